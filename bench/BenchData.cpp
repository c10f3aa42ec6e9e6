#include "BenchData.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <utility>

#include "design/Design.h"
#include "engine/Synthesis.h"
#include "files/CoefficientFile.h"
#include "files/WaveshapeFile.h"
#include "numbers/Arithmetic.h"
#include "numbers/NumberText.h"

namespace {

/** A small deterministic generator, so every run and the peer see the same designs. */
class Lcg {
public:
    double next()  // uniform in [0, 1)
    {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(m_state >> 11) * (1.0 / 9007199254740992.0);
    }

private:
    std::uint64_t m_state = 0x4b6f7276616c696eULL;
};

WaveSettings denseSettings(int fftCycles = 12, float ppc = 512.0F)
{
    WaveSettings s;
    s.ppc = ppc;
    s.displayCycles = 12;
    s.fftCycles = fftCycles;
    return s;
}

void write(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

/**
 * f3.kvk: 400,000 entries in descending number order, about 7 MB. f4.kvk: exactly 64 MiB of
 * short lines whose numbers fall from 63.99 to 0.01 again and again (about 6.7 million
 * entries, each number many times), padded with a comment line. f6.kvk: 64 MiB of "n m 0"
 * lines, numbers 1 to 9 (about 11.2 million entries).
 */
void writeManyEntries(const std::string& folder)
{
    {
        std::string text = ":1 12 1 1 128.000000\r\n";
        constexpr int kCount = 400'000;
        for (int i = 0; i < kCount; ++i) {
            text += formatFixed(63.9 * (kCount - i) / kCount, 6);
            text += ' ';
            text += formatInt(1 + i % 97);
            text += ' ';
            text += formatInt(i % 361 - 180);
            text += "\r\n";
        }
        write(folder + "/f3.kvk", text);
    }
    constexpr std::size_t kSize = std::size_t{64} << 20;
    std::string text;
    text.reserve(kSize);
    for (int i = 0;; ++i) {
        const int hundredths = 6399 - i % 6399;
        std::string line = formatInt(hundredths / 100) + '.' + char('0' + hundredths / 10 % 10) +
                           char('0' + hundredths % 10) + ' ' + formatInt(1 + i % 9) + " 0\n";
        if (text.size() + line.size() + 3 > kSize) {
            break;
        }
        text += line;
    }
    text += ';';
    text.append(kSize - text.size() - 1, ' ');
    text += '\n';
    write(folder + "/f4.kvk", text);

    // The most entries a file under the cap gives: 64 MiB of the shortest kept lines.
    text.clear();
    for (int i = 0; text.size() + 6 <= kSize; ++i) {
        text += char('1' + i % 9);
        text += ' ';
        text += char('1' + i / 9 % 9);
        text += " 0\n";
    }
    write(folder + "/f6.kvk", text);
}

/**
 * The largest inputs the readers take, just under the cap: m64.csv, a mask of distinct
 * orders (about 5.6 million lines), and c64.csv, a capture of time,value lines at 48 kHz
 * with times to the picosecond (about 2.7 million lines).
 */
void writeLargestReaderInputs(const std::string& folder)
{
    constexpr std::size_t kSize = (std::size_t{64} << 20) - 64;
    std::string text;
    text.reserve(kSize + 64);
    for (int order = 2; text.size() < kSize; ++order) {
        text += formatInt(order) + ",1.5\n";
    }
    write(folder + "/m64.csv", text);
    text.clear();
    constexpr double kRate = 48000.0;
    for (int i = 0; text.size() < kSize; ++i) {
        const double t = i / kRate;
        text += formatFixed(t, 12) + ',' + formatFixed(std::sin(2.0 * pi() * 50.0 * t), 6) + '\n';
    }
    write(folder + "/c64.csv", text);
}

/**
 * pq.csv: a second of a 49.9 Hz mains voltage with harmonics 3, 5 and 7 at 48 kHz, as a
 * recorder's time,value lines: its analysis window is 10 cycles of 1024 points.
 */
void writeMainsCapture(const std::string& folder, Lcg& random)
{
    constexpr double kRate = 48000.0;
    constexpr double kFundamental = 49.9;
    constexpr double kNoise = 0.5;
    constexpr std::pair<int, double> kHarmonics[] = {{1, 325.0}, {3, 9.0}, {5, 14.0}, {7, 6.5}};
    std::string text;
    for (int i = 0; i < static_cast<int>(kRate); ++i) {
        const double t = i / kRate;
        double value = kNoise * (random.next() - 0.5);
        for (const auto& [order, amplitude] : kHarmonics) {
            value += amplitude * std::sin(2.0 * pi() * order * kFundamental * t);
        }
        text += formatFixed(t, 9) + ',' + formatFixed(value, 4) + '\n';
    }
    write(folder + "/pq.csv", text);
}

}  // namespace

void writeBenchData(const std::string& folder)
{
    Lcg random;
    {
        Design design;
        design.start();
        write(folder + "/r1.kvk", writeCoefficientFile(design.active(), design.table()));
    }
    {
        Design design;
        design.setActive(denseSettings());
        design.add(1.0F, 100.0F, 0);
        for (int n = 2; n <= 51; ++n) {
            const auto magnitude = static_cast<float>(1.0 + 9.0 * random.next());
            const int phase = static_cast<int>(std::floor(random.next() * 361.0)) - 180;
            design.add(static_cast<float>(n), magnitude, phase);
        }
        write(folder + "/r2.kvk", writeCoefficientFile(design.active(), design.table()));
    }
    // What opening a noisy waveshape gives: one entry per bin of the analysis window.
    // Estimated plans: measured ones are picked by timing and could move a last digit.
    const auto analyzed = [&](const WaveSettings& settings, const char* name) {
        Design design(PlanRigor::Estimate);
        design.setActive(settings);
        design.openSamples([&](FftBuffer& samples) {
            for (std::size_t i = 0; i < 6144; ++i) {
                samples[i] = 100.0 * std::cos(2.0 * pi() * static_cast<double>(i) /
                                              static_cast<double>(settings.ppc)) +
                             40.0 * (random.next() - 0.5);
            }
            return std::size_t{6144};
        });
        write(folder + name, writeCoefficientFile(design.active(), design.table()));
    };
    analyzed(denseSettings(), "/r3.kvk");
    {
        std::string text = ":1 12 1 1 128.000000\r\n";
        for (int line = 0; line < 65536 / 4; ++line) {
            for (int column = 0; column < 4; ++column) {
                if (column > 0) {
                    text += ", ";
                }
                const int i = line * 4 + column;
                appendFixed(text,
                            100.0 * std::cos(2.0 * pi() * i / 128.0) + 10.0 * (random.next() - 0.5),
                            11, 6);
            }
            text += "\r\n";
        }
        write(folder + "/f1.kvw", text);
    }
    {
        Design design;
        design.setActive(denseSettings());
        design.add(1.0F, 100.0F, 0);
        for (int e = 0; e < 3000; ++e) {
            const auto number = static_cast<float>(1.0 + 254.0 * random.next());
            const auto magnitude = static_cast<float>(0.01 + 10.0 * random.next());
            const int phase = static_cast<int>(std::floor(random.next() * 361.0)) - 180;
            design.add(number, magnitude, phase);
        }
        write(folder + "/w1.kvk", writeCoefficientFile(design.active(), design.table()));
    }
    analyzed(denseSettings(11), "/w2.kvk");
    analyzed(denseSettings(12, 511.9F), "/w3.kvk");
    writeManyEntries(folder);
    writeLargestReaderInputs(folder);
    writeMainsCapture(folder, random);
}
