#include "WavWriter.h"

#include <sndfile.h>

#include <QFile>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <ostream>
#include <string_view>
#include <vector>

#include "files/DocumentWriter.h"
#include "files/SaveSignals.h"

namespace {

constexpr std::int64_t kBlockFrames = 16384;

/** A Qt file device (a save file or a temporary file) as libsndfile's virtual I/O sees it. */
struct DeviceFile {
    QFileDevice& device;
    std::string failure;  ///< why the first write failed
};

QFileDevice& deviceOf(void* user)
{
    return static_cast<DeviceFile*>(user)->device;
}

sf_count_t deviceLength(void* user)
{
    return deviceOf(user).size();
}

sf_count_t deviceSeek(sf_count_t offset, int whence, void* user)
{
    QFileDevice& device = deviceOf(user);
    const sf_count_t base = whence == SEEK_SET   ? 0
                            : whence == SEEK_CUR ? device.pos()
                                                 : device.size();
    device.seek(std::max<sf_count_t>(0, base + offset));
    return device.pos();
}

sf_count_t deviceRead(void* destination, sf_count_t count, void* user)
{
    return std::max<qint64>(0, deviceOf(user).read(static_cast<char*>(destination), count));
}

/**
 * A header with its PEAK chunk (and the time of writing in it) turned into a JUNK chunk of
 * zeros: libsndfile leaves out the chunk when told to in a WAV, but not in an RF64.
 */
std::string withoutPeakChunk(const char* header, std::size_t size)
{
    std::string bytes(header, size);
    for (std::size_t at = 12; at + 8 <= bytes.size();) {  // after "RIFF"/"RF64", size, "WAVE"
        const std::string_view id(bytes.data() + at, 4);
        const auto* sizeBytes = reinterpret_cast<const unsigned char*>(bytes.data() + at + 4);
        const std::size_t length = sizeBytes[0] | sizeBytes[1] << 8 | sizeBytes[2] << 16 |
                                   static_cast<std::size_t>(sizeBytes[3]) << 24;
        if (id == "data" || at + 8 + length > bytes.size()) {
            break;
        }
        if (id == "PEAK") {
            bytes.replace(at, 4, "JUNK");
            std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(at + 8), length, '\0');
        }
        at += 8 + length + (length & 1);
    }
    return bytes;
}

sf_count_t deviceWrite(const void* source, sf_count_t count, void* user)
{
    auto* file = static_cast<DeviceFile*>(user);
    const auto* bytes = static_cast<const char*>(source);
    std::string header;
    if (file->device.pos() == 0) {  // libsndfile writes its whole header at once, here
        header = withoutPeakChunk(bytes, static_cast<std::size_t>(count));
        bytes = header.data();
    }
    const qint64 written = file->device.write(bytes, count);
    if (written != count && file->failure.empty()) {
        // The system's reason, taken before anything else can overwrite it.
        file->failure = std::strerror(errno);
    }
    return std::max<qint64>(0, written);
}

sf_count_t deviceTell(void* user)
{
    return deviceOf(user).pos();
}

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

int bytesPerSample(WavEncoding encoding)
{
    return encoding == WavEncoding::Pcm16 ? 2 : encoding == WavEncoding::Pcm24 ? 3 : 4;
}

int formatFor(const WavRequest& request)
{
    const int subtype = request.encoding == WavEncoding::Pcm16   ? SF_FORMAT_PCM_16
                        : request.encoding == WavEncoding::Pcm24 ? SF_FORMAT_PCM_24
                                                                 : SF_FORMAT_FLOAT;
    // A WAV's sizes are 32 bits; beyond them only RF64 is a valid file (a generous margin
    // for the header chunks).
    const std::int64_t dataBytes = request.frames * bytesPerSample(request.encoding);
    const bool large = dataBytes > std::int64_t{0xFFFFFFFF} - 4096;
    return (large ? SF_FORMAT_RF64 : SF_FORMAT_WAV) | subtype;
}

/** The largest |sample| of the whole signal, for normalising. */
double findPeak(const WavRequest& request, std::vector<double>& block)
{
    double peak = 0.0;
    for (std::int64_t first = 0; first < request.frames; first += kBlockFrames) {
        const auto count = static_cast<std::size_t>(std::min(kBlockFrames, request.frames - first));
        request.source(first, std::span(block.data(), count));
        for (std::size_t i = 0; i < count; ++i) {
            peak = std::max(peak, std::fabs(block[i]));
        }
    }
    return peak;
}

/** Writes the whole WAV onto device, which must be open for writing and seekable. */
WavResult writeWav(const WavRequest& request, QFileDevice& device)
{
    SF_VIRTUAL_IO io{deviceLength, deviceSeek, deviceRead, deviceWrite, deviceTell};
    SF_INFO info{};
    info.samplerate = request.rate;
    info.channels = 1;
    info.format = formatFor(request);
    DeviceFile target{device, {}};
    std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open_virtual(&io, SFM_WRITE, &info, &target));
    if (!file) {
        return {std::nullopt, sf_strerror(nullptr)};
    }
    // The PEAK chunk carries the time of writing: without it the bytes depend on the input
    // alone. Integer samples are clipped at full scale rather than wrapped around.
    sf_command(file.get(), SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);

    std::vector<double> block(static_cast<std::size_t>(std::min(kBlockFrames, request.frames)));
    WavLevels levels;
    double fullScale = 100.0;  // percent; normalised, the peak itself (so it is exactly 1.0)
    if (request.normalize) {
        levels.peak = findPeak(request, block);
        if (levels.peak > 0.0) {
            fullScale = levels.peak;
        }
    }
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
            return {std::nullopt,
                    target.failure.empty() ? std::string(sf_strerror(file.get())) : target.failure};
        }
    }
    file.reset();  // closing writes the final header sizes
    if (!target.failure.empty()) {
        return {std::nullopt, target.failure};
    }
    return {levels, {}};
}

}  // namespace

WavResult writeWavFile(const WavRequest& request, const std::string& path)
{
    WavResult result;
    // The same safe steps as every save: the old file stays on any failure.
    const SaveResult saved = SaveFileAtomically(path, [&](int fd, std::string& error) {
        QFile output;
        if (!output.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
            error = output.errorString().toStdString();
            return false;
        }
        result = writeWav(request, output);
        if (!result.levels || !output.flush()) {
            error = result.error.empty() ? output.errorString().toStdString() : result.error;
            return false;
        }
        return true;
    });
    if (!saved.ok()) {
        return {std::nullopt, saved.error};
    }
    return result;
}

WavResult writeWavStream(const WavRequest& request, std::ostream& out)
{
    // A WAV's header is only complete at the end, and a stream cannot go back to it.
    QTemporaryFile scratch;
    if (!scratch.open()) {
        return {std::nullopt, "no temporary file: " + scratch.errorString().toStdString()};
    }
    const RemovedOnSignal removed(QFile::encodeName(scratch.fileName()).toStdString());
    WavResult result = writeWav(request, scratch);
    if (!result.levels) {
        return result;
    }
    if (scratch.error() != QFileDevice::NoError || !scratch.seek(0)) {
        return {std::nullopt, scratch.errorString().toStdString()};
    }
    std::vector<char> chunk(1 << 20);
    while (!scratch.atEnd()) {
        const qint64 got = scratch.read(chunk.data(), static_cast<qint64>(chunk.size()));
        if (got <= 0) {
            return {std::nullopt, scratch.errorString().toStdString()};
        }
        if (!out.write(chunk.data(), got)) {
            return {std::nullopt, {}};  // the stream has no reason to give
        }
    }
    if (!out.flush()) {
        return {std::nullopt, {}};  // the stream has no reason to give
    }
    return result;
}
