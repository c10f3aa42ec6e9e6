#include "files/CaptureFile.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

#include "support/CaptureSupport.h"
#include "support/TestSupport.h"

namespace {

const std::vector<double> kSix = {0.5, -0.25, 0.125, -0.75, 0.0, 0.999};

std::string wavOf(const WavLayout& layout)
{
    return wavBytes(kSix, 44100, layout);
}

std::string longWavHeader()
{
    std::string bytes = wavBytes({0.5, 0.25, -0.5, 0.125}, 8000, {});
    bytes[40] = static_cast<char>(0x40);  // the header promises more than the file holds
    return bytes;
}

CaptureReading readAs(const TempDir& dir, const char* name, const std::string& bytes,
                      std::optional<double> rate, int channel)
{
    writeWholeFile(dir.file(name), bytes);
    CaptureOptions options;
    options.rate = rate;
    options.channel = channel;
    return readCapture(dir.file(name), options);
}

/** wavOf's bytes declaring another sample rate. */
std::string withRate(std::uint32_t rate)
{
    std::string bytes = wavOf({});
    const std::size_t at = bytes.find("fmt ") + 12;  // after the id, the size, format and channels
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<char>(rate >> (8 * i) & 0xffU);
    }
    return bytes;
}

struct ReadCase {
    const char* file;
    std::string bytes;
    std::optional<double> rate;  ///< the rate given
    std::vector<double> values;
    double readRate;
    double resolution = 1e-7;  ///< one step of the form, full scale 1
    int channel = 1;
    std::size_t skipped = 0;  ///< header lines
};

/** time,value lines of 10 s at 48 kHz, times as format writes them (from floats if asked),
 *  the line of index left out, or its time moved by offset. */
std::string timeColumn(const char* format, bool fromFloat, std::size_t index, double offset)
{
    constexpr std::size_t kLines = 480000;
    constexpr double kRate = 48000.0;
    std::string text;
    char line[64];
    for (std::size_t i = 0; i < kLines; ++i) {
        const double exact = static_cast<double>(i) / kRate;
        const double time = fromFloat ? static_cast<double>(static_cast<float>(exact)) : exact;
        if (i != index || offset != 0.0) {
            std::snprintf(line, sizeof line, format, time + (i == index ? offset : 0.0));
            text += line;
        }
    }
    return text;
}

}  // namespace

// A WAV's chosen channel (the helper puts the samples in the last), or text values with a
// given rate or evenly spaced times.
TEST(CaptureFiles, ReadValuesWithTheirRate)
{
    const ReadCase cases[] = {
        {"a.csv", "0.5\n-0.25\n1e-3\n", 8000.0, {0.5, -0.25, 1e-3}, 8000.0},
        {"a.csv", "time,value\n0,1\n0.001,2\n0.002,3\n", {}, {1, 2, 3}, 1000.0, 1e-7, 1, 1},
        {"a.csv",
         "\xEF\xBB\xBF"
         "0\t1\n0.5\t2\n1\t3\n",
         {},
         {1, 2, 3},
         2.0},
        // A scope's name, settings and units lines; a given rate leaves the times unread.
        {"a.csv",
         "Scope 1\nCH1\nx\nx\nx\nx\nx\ns;V\n0;1\n0;2\n5;3\n",
         10.0,
         {1, 2, 3},
         10.0,
         1e-7,
         1,
         8},
        {"a.txt", "0;1\r\n0.5;2\r\n1.0;3\r\n", {}, {1, 2, 3}, 2.0},
        {"a.csv", "0,1\n0.001,2\n", 50.0, {1, 2}, 50.0},  // a given rate wins over the times
        {"a.csv", "# scope\n; export\n\n1\n\n2\n", 10.0, {1, 2}, 10.0},
        {"a.wav", longWavHeader(), {}, {0.5, 0.25, -0.5, 0.125}, 8000.0, 1.0 / 32768},
        {"a.WAV", wavOf({WavForm::U8}), {}, kSix, 44100.0, 1.0 / 128},
        {"a.wav", wavOf({WavForm::S16, 2}), {}, kSix, 44100.0, 1.0 / 32768, 2},
        {"a.wav", wavOf({WavForm::S24, 3, true, true}), {}, kSix, 44100.0, 1.0 / (1 << 23), 3},
        {"a.wav", wavOf({WavForm::S32, 1, false, true}), {}, kSix, 44100.0},
        {"a.wav", wavOf({WavForm::F32, 2, true}), {}, kSix, 44100.0, 1e-7, 2},
    };
    const TempDir dir;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const ReadCase& c = cases[i];
        SCOPED_TRACE(i);
        const CaptureReading reading = readAs(dir, c.file, c.bytes, c.rate, c.channel);
        ASSERT_TRUE(reading.capture) << reading.error;
        EXPECT_NEAR(reading.capture->rate, c.readRate, 1e-9 * c.readRate);
        EXPECT_EQ(reading.skippedLines, c.skipped);
        ASSERT_EQ(reading.capture->samples.size(), c.values.size());
        for (std::size_t j = 0; j < c.values.size(); ++j) {
            EXPECT_NEAR(reading.capture->samples[j], c.values[j], c.resolution) << j;
        }
    }
}

TEST(CaptureFiles, RefuseTheMalformedWithAReason)
{
    const std::string noTimes = "no time column";  // the one refusal that asks for a rate
    const struct {
        const char* file;
        std::string bytes;
        std::optional<double> rate;
        std::string reason;  ///< part of the reason
        int channel = 1;
    } cases[] = {
        {"a.csv", "1\n2\n", {}, noTimes},
        {"a.csv", "1\n2\nabc\n", 10.0, "Line 3 is not one value"},
        {"a.csv", "1,2,3\n", 10.0, "Line 1 is not one value"},
        {"a.csv", "1\n2,3\n", 10.0, "Line 2 has 2 values; the first had 1."},
        // Times written no finer than their step cannot show rounding apart from a lost line.
        {"a.csv", "0,1\n0.001,2\n0.002,3\n0.004,4\n0.005,5\n", {}, "Line 4 breaks the even"},
        {"a.csv", "a\nb\nc\nd\ne\nf\ng\nh\ni\n1\n", 10.0, "Line 9 is not one value"},
        {"a.csv", "0,1\n0,2\n", {}, "Line 2 does not come later"},
        {"a.csv", "1\nnan\n", 10.0, "Line 2 holds a number that is not finite"},
        {"a.csv", "1\n1e39\n", 10.0, "Line 2 holds a number beyond single precision"},
        {"a.csv", "", 10.0, "holds no samples"},
        {"a.csv", "1\n", -5.0, "Hz is not usable"},
        {"a.wav", withRate(0), {}, "The sample rate 0 Hz is not usable"},
        {"a.wav", withRate(4000000000U), {}, "The sample rate 4000000000 Hz is not usable"},
        {"a.csv",
         "0,039\n0,041\n",
         {},
         "Line 2 does not come later than the line before. Its "
         "numbers seem to be written with decimal commas"},
        {"a.csv",
         "0,001;1,5\n",
         {},
         "Line 1 is not one value or a time,value pair. Its numbers "
         "seem to be written with decimal commas"},
        {"a.wav", wavOf({}), {}, "channel 2 is not one of them", 2},
        {"a.wav", std::string("RIFF\x10\0\0\0WAVEjunkjunk", 20), {}, "not a WAV file that can"},
        {"a.wav", wavBytes({}, 8000, {}), {}, "holds no samples"},
    };
    const TempDir dir;
    for (const auto& c : cases) {
        const CaptureReading reading = readAs(dir, c.file, c.bytes, c.rate, c.channel);
        EXPECT_FALSE(reading.capture) << c.reason;
        EXPECT_NE(reading.error.find(c.reason), std::string::npos) << reading.error;
        EXPECT_EQ(reading.needsRate, c.reason == noTimes) << c.reason;
    }
    ::mkfifo(dir.file("fifo.wav").c_str(), 0600);
    EXPECT_EQ(readCapture(dir.file("fifo.wav"), {}).error, "It is not a regular file.");
    EXPECT_FALSE(readCapture(dir.path().string() + "/", {}).capture);
}

// Times as recorders write them read as even within half a unit of their last digit (and
// half a float ulp for float times); a lost line or a time three units off is refused.
TEST(CaptureFiles, ReadTimeColumnsEvenToTheirDigits)
{
    const struct {
        const char* format;
        bool fromFloat;
        std::size_t index = 0;  ///< of the line left out or moved
        double offset = 0.0;
        const char* reason = nullptr;
    } cases[] = {
        {"%.10f,1\n", false},
        {"%.10g,1\n", false},
        {"%.9g,1\n", true},
        {"%.10g,1\n", false, 240000, 0.0, "Line 240001 breaks the even spacing"},
        {"%.10g,1\n", false, 300000, 3e-9, "breaks the even spacing"},
        {"%.9g,1\n", true, 400000, 3e-6, "breaks the even spacing"},
    };
    const TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        const CaptureReading reading =
            readAs(dir, "t.csv", timeColumn(c.format, c.fromFloat, c.index, c.offset), {}, 1);
        if (c.reason) {
            EXPECT_NE(reading.error.find(c.reason), std::string::npos) << reading.error;
        } else {
            ASSERT_TRUE(reading.capture) << reading.error;
            EXPECT_NEAR(reading.capture->rate, 48000.0, 48000.0 * 1e-7);
        }
    }
}

// A reading stops when its progress says so, a WAV's as well as a text's; a WAV of many
// channels is decoded only as far as a bounded number of values.
TEST(CaptureFiles, StopWhenToldAndDecodeManyChannelsOnlySoFar)
{
    const TempDir dir;
    for (const auto& [name, bytes] :
         {std::pair{"a.wav", wavOf({})}, std::pair{"a.csv", std::string("1\n2\n")}}) {
        writeWholeFile(dir.file(name), bytes);
        CaptureOptions options;
        options.rate = 10.0;
        options.progress = [](double) { return false; };
        const CaptureReading reading = readCapture(dir.file(name), options);
        EXPECT_TRUE(reading.cancelled && !reading.capture) << name;
    }
    // A 16-bit header of 1024 channels, its data sparse zeros.
    constexpr int kChannels = 1024;
    constexpr std::uint32_t kDataBytes = (1U << 17) * kChannels * 2;
    std::string header = wavBytes({}, 8000, {WavForm::S16, kChannels});
    const auto put = [&header](std::size_t at, std::uint32_t value) {
        for (std::size_t i = 0; i < 4; ++i) {
            header[at + i] = static_cast<char>(value >> (8 * i) & 0xffU);
        }
    };
    put(4, kDataBytes + static_cast<std::uint32_t>(header.size()) - 8);
    put(header.size() - 4, kDataBytes);
    writeWholeFile(dir.file("many.wav"), header);
    std::filesystem::resize_file(dir.file("many.wav"), header.size() + kDataBytes);
    const CaptureReading reading = readCapture(dir.file("many.wav"), {});
    ASSERT_TRUE(reading.capture) << reading.error;
    EXPECT_EQ(reading.capture->samples.size(), kMaxWavDecodedValues / kChannels);
}
