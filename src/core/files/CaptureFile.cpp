#include "files/CaptureFile.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "files/FileDescriptor.h"
#include "files/InputFile.h"
#include "files/ScanNumbers.h"

namespace {

/** Floats of one block of interleaved frames, whatever the channel count. */
constexpr std::size_t kBlockFloats = std::size_t{1} << 20;
/** Longer lines hold no number anyone wrote; the rest of such a line is dropped. */
constexpr std::size_t kLongestLine = 1024;

CaptureReading failed(std::string why, bool needsRate = false)
{
    return {std::nullopt, std::move(why), needsRate, false};
}

CaptureReading cancelled()
{
    return {std::nullopt, kCancelledReason, false, true};
}

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

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

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

CaptureReading readWav(const std::string& path, const CaptureOptions& options)
{
    std::string error;
    const FileDescriptor fd = openRegular(path, error);
    if (!fd.valid()) {
        return failed(error);
    }
    SF_INFO info{};
    // Through callbacks on the descriptor, which stays this reader's own: libsndfile closes a
    // descriptor it was given when it cannot read it, whatever it was told.
    int descriptor = fd.get();
    const std::unique_ptr<SNDFILE, SndfileCloser> file(
        sf_open_virtual(&descriptorIo(), SFM_READ, &info, &descriptor));
    if (!file) {
        if (std::string why = formatRefusal(fd.get()); !why.empty()) {
            return failed(why);
        }
        return failed("It is not a WAV file that can be read (" +
                      std::string(sf_strerror(nullptr)) + ").");
    }
    const int major = info.format & SF_FORMAT_TYPEMASK;
    if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX && major != SF_FORMAT_RF64) {
        return failed("It is not a WAV file.");
    }
    if (options.channel < 1 || options.channel > info.channels) {
        return failed("It has " + std::to_string(info.channels) +
                      (info.channels == 1 ? " channel" : " channels") + "; channel " +
                      std::to_string(options.channel) + " is not one of them.");
    }
    if (info.frames > kMaxWavFrames) {
        return failed("It holds more than 2^31 frames.");
    }
    if (std::string why = captureRateRefusal(info.samplerate); !why.empty()) {
        return failed(why);
    }
    const auto channels = static_cast<std::size_t>(info.channels);
    const std::size_t wanted =
        std::min({static_cast<std::size_t>(std::max<sf_count_t>(info.frames, 0)), kMaxCaptureFrames,
                  kMaxWavDecodedValues / channels});
    CaptureSignal capture;
    capture.rate = options.rate.value_or(static_cast<double>(info.samplerate));
    capture.samples.reserve(wanted);
    const std::size_t blockFrames = std::max<std::size_t>(1, kBlockFloats / channels);
    std::vector<float> block(blockFrames * channels);
    const auto channel = static_cast<std::size_t>(options.channel - 1);
    while (capture.samples.size() < wanted) {
        const std::size_t ask = std::min(blockFrames, wanted - capture.samples.size());
        if (options.progress && !options.progress(static_cast<double>(capture.samples.size()) /
                                                  static_cast<double>(wanted))) {
            return cancelled();
        }
        const sf_count_t got =
            sf_readf_float(file.get(), block.data(), static_cast<sf_count_t>(ask));
        if (got <= 0) {
            break;  // a data chunk shorter than its header says: what is there counts
        }
        for (sf_count_t frame = 0; frame < got; ++frame) {
            capture.samples.push_back(block[static_cast<std::size_t>(frame) * channels + channel]);
        }
    }
    if (capture.samples.empty()) {
        return failed("It holds no samples.");
    }
    return {std::move(capture), {}, false, false};
}

bool isFieldSeparator(char c)
{
    return c == ',' || c == ';' || isScanSpace(c);
}

/** The numbers of one line (at most three are looked for); none when a token is no number. */
std::optional<std::vector<double>> lineNumbers(std::string_view line)
{
    std::vector<double> numbers;
    LineScanner scan(line);
    constexpr std::size_t kMostFields = 3;
    while (numbers.size() < kMostFields) {
        while (!scan.atEnd() && isFieldSeparator(scan.peek())) {
            scan.setPosition(scan.position() + 1);
        }
        if (scan.atEnd()) {
            return numbers;
        }
        const std::optional<double> value = scan.convertDoubleHere();
        if (!value || (!scan.atEnd() && !isFieldSeparator(scan.peek()))) {
            return std::nullopt;
        }
        numbers.push_back(*value);
    }
    return numbers;
}

/** Takes the lines of a text capture one by one. */
class TextCapture {
public:
    void take(std::string_view line)
    {
        ++m_line;
        if (!m_error.empty()) {
            return;
        }
        const auto first = std::find_if_not(line.begin(), line.end(), isScanSpace);
        if (first == line.end() || *first == ';' || *first == '#') {
            return;
        }
        m_commaDecimals = m_commaDecimals && looksLikeDecimalCommas(line);
        const std::optional<std::vector<double>> numbers = lineNumbers(line);
        if (!numbers && m_columns == 0 && !m_headingSeen) {
            m_headingSeen = true;  // a heading such as "time,value"
            return;
        }
        if (!numbers || numbers->empty() || numbers->size() > 2) {
            fail("is not one value or a time,value pair.");
            return;
        }
        if (m_columns == 0) {
            m_columns = numbers->size();
        } else if (numbers->size() != m_columns) {
            fail("has " + std::to_string(numbers->size()) + " values; the first had " +
                 std::to_string(m_columns) + ".");
            return;
        }
        for (const double value : *numbers) {
            if (!std::isfinite(value)) {
                fail("holds a number that is not finite.");
                return;
            }
            if (!std::isfinite(static_cast<float>(value))) {
                fail("holds a number beyond single precision.");
                return;
            }
        }
        if (m_samples.size() >= kMaxCaptureFrames) {
            return;  // the start is all an analysis takes
        }
        if (m_columns == 2) {
            takeTime((*numbers)[0]);
        }
        m_samples.push_back(static_cast<float>(numbers->back()));
    }

    CaptureReading finish(const CaptureOptions& options)
    {
        if (!m_error.empty()) {
            return failed(m_error);
        }
        if (m_samples.empty()) {
            return failed("It holds no samples.");
        }
        CaptureSignal capture;
        if (options.rate) {
            capture.rate = *options.rate;
        } else if (m_columns == 2 && m_samples.size() > 1) {
            capture.rate = static_cast<double>(m_samples.size() - 1) / (m_lastTime - m_firstTime);
        } else {
            return failed("It has no time column: the sample rate must be given.", true);
        }
        capture.samples = std::move(m_samples);
        return {std::move(capture), {}, false, false};
    }

private:
    /** A digit, a comma and a digit, and no full stop: "0,039" or "0,001;1,5". */
    static bool looksLikeDecimalCommas(std::string_view line)
    {
        const auto digit = [](char c) { return c >= '0' && c <= '9'; };
        if (line.find('.') != std::string_view::npos) {
            return false;
        }
        for (std::size_t at = line.find(','); at != std::string_view::npos;
             at = line.find(',', at + 1)) {
            if (at > 0 && at + 1 < line.size() && digit(line[at - 1]) && digit(line[at + 1])) {
                return true;
            }
        }
        return false;
    }

    void fail(const std::string& why)
    {
        m_error = "Line " + std::to_string(m_line) + ' ' + why;
        if (m_commaDecimals) {
            m_error +=
                " Its numbers seem to be written with decimal commas (as in 0,039): "
                "write them with decimal points.";
        }
    }

    void takeTime(double time)
    {
        if (m_samples.empty()) {
            m_firstTime = time;
        } else if (m_samples.size() == 1) {
            m_step = time - m_lastTime;
            if (!(m_step > 0.0)) {
                fail("does not come later than the line before.");
            }
        } else if (std::fabs(time - m_lastTime - m_step) > kEvenSpacing * m_step) {
            fail("breaks the even spacing of the time column.");
        }
        m_lastTime = time;
    }

    std::vector<float> m_samples;
    std::size_t m_columns = 0;
    std::size_t m_line = 0;
    bool m_headingSeen = false;
    double m_firstTime = 0.0;
    double m_lastTime = 0.0;
    double m_step = 0.0;
    std::string m_error;
    bool m_commaDecimals = true;  ///< every line so far reads as decimal commas
};

CaptureReading readText(const std::string& path, const CaptureOptions& options)
{
    InputFile::Opening opening = InputFile::open(path);
    if (!opening.file) {
        return failed(opening.error);
    }
    opening.file->setProgress(options.progress);
    TextCapture text;
    const ReadEnd end =
        readLines(*opening.file, kLongestLine, [&text](std::string_view line) { text.take(line); });
    if (end.cancelled) {
        return cancelled();
    }
    if (std::string why = end.failure(); !why.empty()) {
        return failed(why);
    }
    return text.finish(options);
}

}  // namespace

CaptureReading readCapture(const std::string& path, const CaptureOptions& options)
{
    if (options.rate) {
        if (std::string why = captureRateRefusal(*options.rate); !why.empty()) {
            return failed(why);
        }
    }
    return endsWithWav(path) ? readWav(path, options) : readText(path, options);
}
