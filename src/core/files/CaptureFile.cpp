#include "files/CaptureFile.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>
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
std::optional<std::vector<double>> lineNumbers(std::string_view line, std::string_view& first)
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
        const std::size_t start = scan.position();
        const std::optional<double> value = scan.convertDoubleHere();
        if (!value || (!scan.atEnd() && !isFieldSeparator(scan.peek()))) {
            return std::nullopt;
        }
        if (numbers.empty()) {
            first = line.substr(start, scan.position() - start);
        }
        numbers.push_back(*value);
    }
    return numbers;
}

/** The digits a number was written with: "2.0833e-05" has 5 significant digits and its last
 *  one is in the 9th decimal place. */
struct PrintedDigits {
    int decimals = 0;     ///< place of the last digit; negative for "15e3"
    int significant = 0;  ///< from the first digit that is not 0
};

/** The most an exponent is read as: far beyond any double, and no int overflow. */
constexpr int kMostExponent = 9999;

PrintedDigits printedDigits(std::string_view number)
{
    constexpr int kDecimalBase = 10;
    PrintedDigits digits;
    bool fraction = false;
    std::size_t at = 0;
    for (; at < number.size(); ++at) {
        const char c = number[at];
        if (c == '.') {
            fraction = true;
        } else if (c >= '0' && c <= '9') {
            digits.decimals += fraction ? 1 : 0;
            digits.significant += digits.significant > 0 || c != '0' ? 1 : 0;
        } else if (c == 'e' || c == 'E') {
            break;
        }
    }
    int exponent = 0;
    bool negative = false;
    for (++at; at < number.size(); ++at) {
        const char c = number[at];
        negative = negative || c == '-';
        if (c >= '0' && c <= '9') {
            exponent = std::min(exponent * kDecimalBase + (c - '0'), kMostExponent);
        }
    }
    digits.decimals += negative ? exponent : -exponent;
    return digits;
}

double powerOfTen(int exponent)
{
    return std::pow(10.0, exponent);
}

/** Whether time is a float's value as written to the digits it has: a float32 time column. */
bool writtenFromFloat(double time, int decimals)
{
    // A decimal text has no exact double; the slack covers that conversion.
    constexpr double kConversionSlack = 1.0 + 1e-6;
    const double halfUnit = 0.5 * powerOfTen(-decimals) * kConversionSlack;
    return std::fabs(time - static_cast<double>(static_cast<float>(time))) <= halfUnit;
}

/** Half a float32 ulp at value: how far a float time may lie from the time it stands for. */
double halfFloatUlp(double value)
{
    constexpr int kFloatFractionBits =
        std::numeric_limits<float>::digits;  // 24, the hidden bit too
    return std::ldexp(1.0, std::ilogb(static_cast<float>(value)) - kFloatFractionBits);
}

/** UTF-8's byte-order mark, which some programs put before the first line. */
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
/** Leading lines that are no numbers and are skipped: a scope's name, units, settings. */
constexpr std::size_t kMostHeaderLines = 8;

/**
 * A time column: the steps, and the digits the times were written with, for the check at the
 * end that they are evenly spaced.
 */
class TimeColumn {
public:
    /** The reason the time cannot follow, or empty. */
    std::string take(double time, std::string_view text, std::size_t line)
    {
        const PrintedDigits digits = printedDigits(text);
        m_decimals = std::max(m_decimals, digits.decimals);
        m_significant = std::max(m_significant, digits.significant);
        m_fromFloat = m_fromFloat && writtenFromFloat(time, digits.decimals);
        ++m_count;
        if (m_count == 1) {
            m_first = time;
        } else {
            const double step = time - m_last;
            if (!(step > 0.0)) {
                return "does not come later than the line before.";
            }
            if (m_count == 2 || step < m_smallest) {
                m_smallest = step;
                m_smallestLine = line;
            }
            if (m_count == 2 || step > m_largest) {
                m_largest = step;
                m_largestLine = line;
            }
        }
        m_last = time;
        return {};
    }

    [[nodiscard]] double rate() const
    {
        return static_cast<double>(m_count - 1) / (m_last - m_first);
    }

    /**
     * The line whose step is further from the mean step than the times' rounding allows, or
     * 0. A time written to half a unit of its last digit (and, from a float, to half an ulp
     * before that) makes a step off by up to twice that, and the mean step off by that over
     * the steps; 1e-6 of the mean is allowed whatever the digits. Where that rounding is not
     * below half a step, a missing line would look the same, and only 1e-6 is allowed.
     */
    [[nodiscard]] std::size_t unevenLine() const
    {
        if (m_count < 3) {
            return 0;
        }
        const double steps = static_cast<double>(m_count - 1);
        const double mean = (m_last - m_first) / steps;
        const double rounding = 2.0 * timeError() * (1.0 + 1.0 / steps);
        const double allowed =
            std::max(kEvenSpacing * mean, rounding < 0.5 * mean ? rounding : 0.0);
        const double over = m_largest - mean;
        const double under = mean - m_smallest;
        if (std::max(over, under) <= allowed) {
            return 0;
        }
        return over >= under ? m_largestLine : m_smallestLine;
    }

private:
    /**
     * How far a time may lie from the one it stands for: half a unit of the last digit the
     * column is written with. A fixed-decimals column ("%.10f") has that at its most decimals;
     * a column of significant digits ("%.10g") at its largest time with the most digits.
     * Times that are all float values add half a float ulp of the largest.
     */
    [[nodiscard]] double timeError() const
    {
        const double largest = std::max(std::fabs(m_first), std::fabs(m_last));
        const int magnitude = static_cast<int>(std::floor(std::log10(largest)));
        const double unit =
            std::max(powerOfTen(-m_decimals), powerOfTen(magnitude - m_significant + 1));
        return 0.5 * unit + (m_fromFloat ? halfFloatUlp(largest) : 0.0);
    }

    std::size_t m_count = 0;
    double m_first = 0.0;
    double m_last = 0.0;
    double m_smallest = 0.0;  ///< step
    double m_largest = 0.0;
    std::size_t m_smallestLine = 0;
    std::size_t m_largestLine = 0;
    int m_decimals = -kMostExponent;
    int m_significant = 0;
    bool m_fromFloat = true;  ///< every time so far is a float as written
};

/** Takes the lines of a text capture one by one. */
class TextCapture {
public:
    /** timed: the times are read (a given rate makes them mere text). */
    explicit TextCapture(bool timed) : m_timed(timed) {}

    void take(std::string_view line)
    {
        ++m_line;
        if (!m_error.empty()) {
            return;
        }
        if (m_line == 1 && line.starts_with(kByteOrderMark)) {
            line.remove_prefix(kByteOrderMark.size());
        }
        const auto first = std::find_if_not(line.begin(), line.end(), isScanSpace);
        if (first == line.end() || *first == ';' || *first == '#') {
            return;
        }
        m_commaDecimals = m_commaDecimals && looksLikeDecimalCommas(line);
        std::string_view timeText;
        const std::optional<std::vector<double>> numbers = lineNumbers(line, timeText);
        if (!numbers && m_columns == 0 && m_headerLines < kMostHeaderLines) {
            ++m_headerLines;  // a heading such as "time,value", a unit line such as "s,V"
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
        if (m_columns == 2 && m_timed) {
            if (std::string why = m_times.take(numbers->front(), timeText, m_line); !why.empty()) {
                fail(why);
                return;
            }
        }
        m_samples.push_back(static_cast<float>(numbers->back()));
    }

    CaptureReading finish(const CaptureOptions& options)
    {
        if (m_error.empty() && m_columns == 2 && m_timed) {
            if (const std::size_t line = m_times.unevenLine(); line > 0) {
                m_line = line;
                fail("breaks the even spacing of the time column.");
            }
        }
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
            capture.rate = m_times.rate();
        } else {
            return failed("It has no time column: the sample rate must be given.", true);
        }
        capture.samples = std::move(m_samples);
        CaptureReading reading{std::move(capture), {}, false, false};
        reading.skippedLines = m_headerLines;
        return reading;
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

    std::vector<float> m_samples;
    TimeColumn m_times;
    std::size_t m_columns = 0;
    std::size_t m_line = 0;
    std::size_t m_headerLines = 0;
    std::string m_error;
    bool m_timed = true;
    bool m_commaDecimals = true;  ///< every line so far reads as decimal commas
};

CaptureReading readText(const std::string& path, const CaptureOptions& options)
{
    InputFile::Opening opening = InputFile::open(path);
    if (!opening.file) {
        return failed(opening.error);
    }
    opening.file->setProgress(options.progress);
    TextCapture text(!options.rate);
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
