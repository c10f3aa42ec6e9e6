#include "WavWriter.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <iostream>
#include <memory>
#include <vector>

#include "files/DocumentWriter.h"
#include "files/InstrumentExport.h"
#include "files/SaveSignals.h"

namespace {

constexpr std::int64_t kBlockFrames = 16384;
/** The room left for header chunks when a WAV's 32-bit sizes are checked. */
constexpr std::int64_t kHeaderMargin = 4096;

int bytesPerSample(WavEncoding encoding)
{
    return encoding == WavEncoding::Pcm16 ? 2 : encoding == WavEncoding::Pcm24 ? 3 : 4;
}

/** Little-endian fields, as a WAV holds them. */
class HeaderBytes {
public:
    HeaderBytes& text(const char* id)
    {
        m_bytes.append(id, 4);
        return *this;
    }
    HeaderBytes& u16(unsigned value) { return field(value, 2); }
    HeaderBytes& u32(std::uint64_t value) { return field(value, 4); }
    HeaderBytes& u64(std::uint64_t value) { return field(value, 8); }
    HeaderBytes& zeros(std::size_t count)
    {
        m_bytes.append(count, '\0');
        return *this;
    }
    [[nodiscard]] std::string take() { return std::move(m_bytes); }

private:
    HeaderBytes& field(std::uint64_t value, int size)
    {
        for (int i = 0; i < size; ++i) {
            m_bytes += static_cast<char>(value >> (8 * i) & 0xFF);
        }
        return *this;
    }
    std::string m_bytes;
};

/** libsndfile's virtual I/O onto a sink: the raw samples, written once, in order. */
struct SinkFile {
    const ByteSink& sink;
    sf_count_t position = 0;
    std::string failure;
    bool failed = false;
};

SinkFile& sinkOf(void* user)
{
    return *static_cast<SinkFile*>(user);
}

sf_count_t sinkLength(void* user)
{
    return sinkOf(user).position;
}

sf_count_t sinkSeek(sf_count_t /*offset*/, int /*whence*/, void* user)
{
    return sinkOf(user).position;  // raw samples are never gone back to
}

sf_count_t sinkRead(void* /*destination*/, sf_count_t /*count*/, void* /*user*/)
{
    return 0;
}

sf_count_t sinkWrite(const void* source, sf_count_t count, void* user)
{
    SinkFile& file = sinkOf(user);
    if (file.failed || !file.sink(std::string_view(static_cast<const char*>(source),
                                                   static_cast<std::size_t>(count)),
                                  file.failure)) {
        file.failed = true;
        return 0;
    }
    file.position += count;
    return count;
}

sf_count_t sinkTell(void* user)
{
    return sinkOf(user).position;
}

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

int subtypeOf(WavEncoding encoding)
{
    return encoding == WavEncoding::Pcm16   ? SF_FORMAT_PCM_16
           : encoding == WavEncoding::Pcm24 ? SF_FORMAT_PCM_24
                                            : SF_FORMAT_FLOAT;
}

/** Reports progress; false when it asks to stop. */
bool goOn(const WavRequest& request, std::int64_t done, std::int64_t total)
{
    return !request.progress || request.progress(done, total);
}

/** The largest |sample| of the whole signal, for normalizing; none when stopped. */
std::optional<double> findPeak(const WavRequest& request, std::vector<double>& block)
{
    const std::optional<SampleLevels> levels = measureLevels(
        request.source, request.frames, block,
        [&request](std::int64_t done) { return goOn(request, done, 2 * request.frames); });
    return levels ? std::optional(levels->peak) : std::nullopt;
}

WavResult stoppedResult()
{
    WavResult result{std::nullopt, "stopped", true};
    return result;
}

}  // namespace

ByteSink descriptorSink(int fd)
{
    return [fd](std::string_view bytes, std::string& error) {
        while (!bytes.empty()) {
            const ssize_t written = ::write(fd, bytes.data(), bytes.size());
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                error = std::strerror(written < 0 ? errno : EIO);
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
        return true;
    };
}

ByteSink streamSink(std::ostream& out)
{
    if (&out == &std::cout) {
        std::cout.flush();  // what went before comes first
        return descriptorSink(STDOUT_FILENO);
    }
    return [&out](std::string_view bytes, std::string& /*error*/) {
        return static_cast<bool>(
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
    };
}

WavContainer containerFor(WavEncoding encoding, std::int64_t frames)
{
    const std::int64_t dataBytes = frames * bytesPerSample(encoding);
    return dataBytes > std::int64_t{0xFFFFFFFF} - kHeaderMargin ? WavContainer::Rf64
                                                                : WavContainer::Wav;
}

std::string wavHeader(WavEncoding encoding, int rate, std::int64_t frames, WavContainer container)
{
    const int width = bytesPerSample(encoding);
    const auto dataBytes = static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(width);
    const std::uint64_t pad = dataBytes & 1;  // a chunk ends on an even byte
    const bool isFloat = encoding == WavEncoding::Float32;
    const auto byteRate = static_cast<std::uint64_t>(rate) * static_cast<std::uint64_t>(width);
    const auto bits = static_cast<unsigned>(8 * width);
    HeaderBytes header;
    if (container == WavContainer::Wav) {
        // fmt, then for floats the fact chunk and a PAD chunk of 16 zeros.
        const std::uint64_t chunks = isFloat ? 72 : 36;
        header.text("RIFF").u32(chunks + dataBytes + pad).text("WAVE");
        header.text("fmt ").u32(16).u16(isFloat ? 3 : 1).u16(1).u32(static_cast<unsigned>(rate));
        header.u32(byteRate).u16(static_cast<unsigned>(width)).u16(bits);
        if (isFloat) {
            header.text("fact").u32(4).u32(static_cast<std::uint64_t>(frames));
            header.text("PAD ").u32(16).zeros(16);
        }
        return header.text("data").u32(dataBytes).take();
    }
    // ds64 with the real sizes, an extensible fmt (mono, front center) and, for floats,
    // where libsndfile puts its PEAK chunk, JUNK.
    const std::uint64_t headerBytes = isFloat ? 128 : 104;
    header.text("RF64").u32(0xFFFFFFFF).text("WAVE");
    header.text("ds64").u32(28).u64(headerBytes - 8 + dataBytes + pad).u64(dataBytes);
    header.u64(static_cast<std::uint64_t>(frames)).u32(0);
    header.text("fmt ").u32(40).u16(0xFFFE).u16(1).u32(static_cast<unsigned>(rate)).u32(byteRate);
    header.u16(static_cast<unsigned>(width)).u16(bits).u16(22).u16(bits).u32(4);
    header.u32(isFloat ? 3 : 1).u16(0).u16(0x10).u32(0xAA000080).u32(0x719B3800);
    if (isFloat) {
        header.text("JUNK").u32(16).zeros(16);
    }
    return header.text("data").u32(0xFFFFFFFF).take();
}

WavResult writeWav(const WavRequest& request, const ByteSink& sink)
{
    std::vector<double> block(static_cast<std::size_t>(std::min(kBlockFrames, request.frames)));
    WavLevels levels;
    double fullScale = 100.0;  // percent; normalized, the peak itself (so it is exactly 1.0)
    if (request.normalize) {
        const std::optional<double> peak = findPeak(request, block);
        if (!peak) {
            return stoppedResult();
        }
        levels.peak = *peak;
        if (levels.peak > 0.0) {
            fullScale = levels.peak;
        }
    }

    std::string error;
    const std::string header = wavHeader(request.encoding, request.rate, request.frames,
                                         containerFor(request.encoding, request.frames));
    if (!sink(header, error)) {
        return {std::nullopt, error};
    }
    // libsndfile converts the samples exactly as into a WAV (integers clipped at full scale
    // rather than wrapped around), as raw little-endian data after our header.
    SF_VIRTUAL_IO io{sinkLength, sinkSeek, sinkRead, sinkWrite, sinkTell};
    SF_INFO info{};
    info.samplerate = request.rate;
    info.channels = 1;
    info.format = SF_FORMAT_RAW | SF_ENDIAN_LITTLE | subtypeOf(request.encoding);
    SinkFile target{sink, 0, {}, false};
    std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open_virtual(&io, SFM_WRITE, &info, &target));
    if (!file) {
        return {std::nullopt, sf_strerror(nullptr)};
    }
    sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);

    const std::int64_t passes = request.normalize ? 2 : 1;
    for (std::int64_t first = 0; first < request.frames; first += kBlockFrames) {
        const auto count = static_cast<std::size_t>(std::min(kBlockFrames, request.frames - first));
        request.source(first, std::span(block.data(), count));
        for (std::size_t i = 0; i < count; ++i) {
            if (!request.normalize) {
                levels.peak = std::max(levels.peak, std::fabs(block[i]));
            }
            block[i] /= fullScale;
            if (std::fabs(block[i]) > 1.0) {
                ++levels.clipped;
            }
        }
        const auto frames = static_cast<sf_count_t>(count);
        if (sf_writef_double(file.get(), block.data(), frames) != frames) {
            return {std::nullopt, target.failed ? target.failure : sf_strerror(file.get())};
        }
        const std::int64_t done = first + frames;
        if (!goOn(request, done + (passes - 1) * request.frames, passes * request.frames)) {
            return stoppedResult();
        }
    }
    file.reset();
    if (target.failed) {
        return {std::nullopt, target.failure};
    }
    if ((target.position & 1) != 0 && !sink(std::string_view("\0", 1), error)) {
        return {std::nullopt, error};
    }
    return {levels, {}};
}

WavResult writeWavFile(const WavRequest& request, const std::string& path)
{
    WavResult result;
    // The same safe steps as every save: the old file stays on any failure.
    const SaveResult saved = saveFileAtomically(path, [&](int fd, std::string& error) {
        result = writeWav(request, descriptorSink(fd));
        if (!result.levels) {
            error = result.error;
            return false;
        }
        return true;
    });
    if (result.stopped) {
        return result;
    }
    if (!saved.ok()) {
        return {std::nullopt, saved.error};
    }
    return result;
}
