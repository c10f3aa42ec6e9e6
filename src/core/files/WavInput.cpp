#include "files/WavInput.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "engine/CaptureAnalysis.h"

namespace {

/** The header bytes looked at to say why a WAV file was refused. */
constexpr std::size_t kHeaderBytes = 64 * 1024;
/** libsndfile's most channels. */
constexpr unsigned kMostWavChannels = 1024;

unsigned littleEndian(const unsigned char* bytes, int count)
{
    unsigned value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8U | bytes[i];
    }
    return value;
}

/**
 * What the "fmt " chunk of a RIFF, RF64 or BW64 header says that libsndfile refuses without
 * naming it (a sample rate of 0 Hz or of gigahertz, no channels or too many); empty when the
 * header says nothing of the kind.
 */
std::string formatRefusal(int fd)
{
    std::vector<unsigned char> header(kHeaderBytes);
    const ssize_t got = ::pread(fd, header.data(), header.size(), 0);
    constexpr std::size_t kChunksStart = 12;
    constexpr std::size_t kChunkHead = 8;
    constexpr std::size_t kFormatBytes = 16;
    if (got < static_cast<ssize_t>(kChunksStart) || std::memcmp(&header[8], "WAVE", 4) != 0) {
        return {};
    }
    const auto size = static_cast<std::size_t>(got);
    for (std::size_t at = kChunksStart; at + kChunkHead <= size;) {
        const std::size_t length = littleEndian(&header[at + 4], 4);
        if (std::memcmp(&header[at], "fmt ", 4) == 0 && length >= kFormatBytes &&
            at + kChunkHead + kFormatBytes <= size) {
            const unsigned char* format = &header[at + kChunkHead];
            const unsigned channels = littleEndian(format + 2, 2);
            const unsigned rate = littleEndian(format + 4, 4);
            if (std::string why = captureRateRefusal(rate); !why.empty()) {
                return why;
            }
            if (channels == 0 || channels > kMostWavChannels) {
                return "It declares " + std::to_string(channels) + " channels; from 1 to " +
                       std::to_string(kMostWavChannels) + " can be read.";
            }
            return {};
        }
        at += kChunkHead + length + (length & 1U);  // chunks are padded to even lengths
    }
    return {};
}

/** libsndfile's view of an open descriptor (its user data), which it never closes. */
SF_VIRTUAL_IO& descriptorIo()
{
    static SF_VIRTUAL_IO io{
        [](void* user) -> sf_count_t {
            struct stat st {};
            return ::fstat(*static_cast<int*>(user), &st) == 0 ? st.st_size : -1;
        },
        [](sf_count_t offset, int whence, void* user) -> sf_count_t {
            return ::lseek(*static_cast<int*>(user), offset, whence);
        },
        [](void* buffer, sf_count_t count, void* user) -> sf_count_t {
            ssize_t got = 0;
            do {
                got = ::read(*static_cast<int*>(user), buffer, static_cast<std::size_t>(count));
            } while (got < 0 && errno == EINTR);
            return got;
        },
        [](const void*, sf_count_t, void*) -> sf_count_t { return 0; },  // read only
        [](void* user) -> sf_count_t { return ::lseek(*static_cast<int*>(user), 0, SEEK_CUR); }};
    return io;
}

}  // namespace

bool endsWithWav(const std::string& path)
{
    constexpr std::size_t kSuffix = 4;
    if (path.size() < kSuffix) {
        return false;
    }
    std::string suffix = path.substr(path.size() - kSuffix);
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return suffix == ".wav";
}

/** Opens a regular file without blocking, as every reader does; the reason when it cannot. */
FileDescriptor openRegular(const std::string& path, std::string& error)
{
    struct stat st {};
    FileDescriptor fd;
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) + std::string(".")
                                    : "It is not a regular file.";
        return fd;
    }
    fd = FileDescriptor(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0) {
        error = std::strerror(errno) + std::string(".");
        return FileDescriptor();
    }
    if (!S_ISREG(st.st_mode)) {
        error = "It is not a regular file.";
        return FileDescriptor();
    }
    return fd;
}

struct WavInput::Sndfile {
    SNDFILE* file = nullptr;
    ~Sndfile() { sf_close(file); }
};

std::unique_ptr<WavInput> WavInput::open(const std::string& path, std::string& error)
{
    std::unique_ptr<WavInput> wav(new WavInput());
    wav->m_fd = openRegular(path, error);
    if (!wav->m_fd.valid()) {
        return nullptr;
    }
    struct stat st {};
    if (::fstat(wav->m_fd.get(), &st) == 0) {
        wav->m_bytes = static_cast<std::uint64_t>(st.st_size);
    }
    SF_INFO info{};
    wav->m_descriptor = wav->m_fd.get();
    SNDFILE* file = sf_open_virtual(&descriptorIo(), SFM_READ, &info, &wav->m_descriptor);
    if (file == nullptr) {
        error = formatRefusal(wav->m_fd.get());
        if (error.empty()) {
            error = "It is not a WAV file that can be read (" + std::string(sf_strerror(nullptr)) +
                    ").";
        }
        return nullptr;
    }
    wav->m_file = std::make_unique<Sndfile>();
    wav->m_file->file = file;
    const int major = info.format & SF_FORMAT_TYPEMASK;
    if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX && major != SF_FORMAT_RF64) {
        error = "It is not a WAV file.";
        return nullptr;
    }
    wav->m_channels = info.channels;
    wav->m_sampleRate = info.samplerate;
    wav->m_frames = std::max<std::int64_t>(info.frames, 0);
    return wav;
}

WavInput::~WavInput() = default;

std::uint64_t WavInput::position() const
{
    const off_t at = ::lseek(m_fd.get(), 0, SEEK_CUR);
    return at < 0 ? 0 : static_cast<std::uint64_t>(at);
}

std::int64_t WavInput::read(float* out, std::int64_t frames)
{
    const sf_count_t got = sf_readf_float(m_file->file, out, frames);
    return got > 0 ? got : 0;
}
