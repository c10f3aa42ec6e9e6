#include "support/TestSupport.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <ostream>
#include <random>
#include <sstream>

TempDir::TempDir()
{
    std::random_device seed;
    const auto base = std::filesystem::temp_directory_path();
    do {
        m_path = base / ("korvalin-test-" + std::to_string(seed()));
    } while (!std::filesystem::create_directory(m_path));
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void TempSettings::reopen()
{
    m_store->flush();
    m_store = QtSettingsStore::forFile(path());
}

std::string readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeWholeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

HarmonicTable tableOf(const std::vector<HarmonicEntry>& entries)
{
    HarmonicTable table;
    for (const HarmonicEntry& e : entries) {
        table.addHarmonic(e.number, e.magnitude, e.phase);
    }
    return table;
}

std::vector<double> spectrumWith(int binCount, const std::vector<std::pair<int, double>>& lines)
{
    std::vector<double> spectrum(static_cast<std::size_t>(binCount), 0.0);
    for (const auto& [bin, value] : lines) {
        spectrum.at(static_cast<std::size_t>(bin)) = value;
    }
    return spectrum;
}

void PrintTo(const HarmonicEntry& entry, std::ostream* os)
{
    *os << '{' << entry.number << ", " << entry.magnitude << ", " << entry.phase << '}';
}

WaveSettings settingsOf(int fft, int display, int cosine, int reference, float ppc)
{
    return {display,
            fft,
            static_cast<WaveBasis>(cosine),
            static_cast<PhaseReference>(reference),
            DisplayMode::Hertz60,
            ppc};
}

void PrintTo(const WaveSettings& s, std::ostream* os)
{
    *os << ':' << s.fftCycles << ' ' << s.displayCycles << ' ' << storedValue(s.basis) << ' '
        << storedValue(s.phaseReference) << ' ' << s.ppc << " display "
        << storedValue(s.displayMode);
}

void makeSpecial(Special kind, const std::string& path)
{
    switch (kind) {
    case Special::Fifo:
        ::mkfifo(path.c_str(), 0644);
        return;
    case Special::Socket: {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::close(fd);  // the name stays
        return;
    }
    case Special::Folder:
        std::filesystem::create_directory(path);
        return;
    case Special::LinkToFifo:
        ::mkfifo((path + ".fifo").c_str(), 0644);
        std::filesystem::create_symlink(path + ".fifo", path);
        return;
    }
}

std::string tableTooLargeToWrite()
{
    std::string table;
    for (int i = 0; i < 4800000; ++i) {
        table += "1 1 0\n";  // written "1 1.000000 0\r\n": over twice as long
    }
    return table;
}
