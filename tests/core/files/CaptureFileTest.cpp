#include "files/CaptureFile.h"

#include <sys/stat.h>

#include <cmath>

#include <gtest/gtest.h>

#include "support/CaptureSupport.h"
#include "support/TestSupport.h"

namespace {

struct WavCase {
    const char* name;
    WavLayout layout;
    double resolution;  ///< one step of the form, full scale 1
};

class WavReading : public ::testing::TestWithParam<WavCase> {};

TEST_P(WavReading, GivesTheChosenChannelAtItsRate)
{
    const WavCase& c = GetParam();
    const std::vector<double> samples = {0.5, -0.25, 0.125, -0.75, 0.0, 0.999};
    const TempDir dir;
    const std::string path = dir.file("capture.WAV");
    writeWholeFile(path, wavBytes(samples, 44100, c.layout));
    CaptureOptions options;
    options.channel = c.layout.channels;
    const CaptureReading reading = readCapture(path, options);
    ASSERT_TRUE(reading.capture) << reading.error;
    EXPECT_EQ(reading.capture->rate, 44100.0);
    ASSERT_EQ(reading.capture->samples.size(), samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_NEAR(reading.capture->samples[i], samples[i], c.resolution) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    FormsAndHeaders, WavReading,
    ::testing::Values(WavCase{"u8", {WavForm::U8}, 1.0 / 128},
                      WavCase{"s16_stereo", {WavForm::S16, 2}, 1.0 / 32768},
                      WavCase{
                          "s24_extensible_list", {WavForm::S24, 3, true, true}, 1.0 / (1 << 23)},
                      WavCase{"s32", {WavForm::S32, 1, false, true}, 1e-7},
                      WavCase{"float_extensible", {WavForm::F32, 2, true}, 1e-7}),
    [](const auto& info) { return std::string(info.param.name); });

struct TextCase {
    const char* name;
    std::string text;
    std::optional<double> rate;
    std::size_t count;   ///< samples read, when read
    double readRate;     ///< the rate read
    const char* reason;  ///< when refused: part of the reason
};

TEST(CaptureText, ReadsValuesOrEvenlySpacedTimesAndRefusesTheMalformed)
{
    const TextCase cases[] = {
        {"values with rate", "0.5\n-0.25\n1e-3\n", 8000.0, 3, 8000.0, nullptr},
        {"time heading", "time,value\n0,1\n0.001,2\n0.002,3\n", {}, 3, 1000.0, nullptr},
        {"semicolons crlf", "0;1\r\n0.5;2\r\n1.0;3\r\n", {}, 3, 2.0, nullptr},
        {"rate over time", "0,1\n0.001,2\n", 50.0, 2, 50.0, nullptr},
        {"comments blanks", "# scope\n; export\n\n1\n\n2\n", 10.0, 2, 10.0, nullptr},
        {"no rate", "1\n2\n", {}, 0, 0, "no time column"},
        {"word", "1\n2\nabc\n", 10.0, 0, 0, "Line 3 is not one value"},
        {"three columns", "1,2,3\n", 10.0, 0, 0, "Line 1 is not one value"},
        {"columns change", "1\n2,3\n", 10.0, 0, 0, "Line 2 has 2 values; the first had 1."},
        {"uneven", "0,1\n0.001,2\n0.0020001,3\n", {}, 0, 0, "Line 3 breaks the even spacing"},
        {"backwards", "0,1\n0,2\n", {}, 0, 0, "Line 2 does not come later"},
        {"nan", "1\nnan\n", 10.0, 0, 0, "Line 2 holds a number that is not finite"},
        {"huge", "1\n1e39\n", 10.0, 0, 0, "Line 2 holds a number beyond single precision"},
        {"empty", "", 10.0, 0, 0, "holds no samples"},
        {"bad rate", "1\n", -5.0, 0, 0, "sample rate must be a positive"},
    };
    const TempDir dir;
    const std::string path = dir.file("capture.csv");
    for (const TextCase& c : cases) {
        writeWholeFile(path, c.text);
        CaptureOptions options;
        options.rate = c.rate;
        const CaptureReading reading = readCapture(path, options);
        if (c.reason == nullptr) {
            ASSERT_TRUE(reading.capture) << c.name << ": " << reading.error;
            EXPECT_EQ(reading.capture->samples.size(), c.count) << c.name;
            EXPECT_NEAR(reading.capture->rate, c.readRate, 1e-9 * c.readRate) << c.name;
        } else {
            EXPECT_FALSE(reading.capture) << c.name;
            EXPECT_NE(reading.error.find(c.reason), std::string::npos)
                << c.name << ": " << reading.error;
            EXPECT_EQ(reading.needsRate, std::string(c.name) == "no rate") << c.name;
        }
    }
}

TEST(CaptureWav, RefusesWhatIsNoReadableWavAndTakesAShortDataChunkAsItIs)
{
    const TempDir dir;
    const std::string mono = wavBytes({0.5, 0.25, -0.5, 0.125}, 8000, {});
    std::string longer = mono;  // the header promises more than the file holds
    longer[40] = static_cast<char>(0x40);
    ::mkfifo(dir.file("fifo.wav").c_str(), 0600);
    const struct {
        const char* name;
        std::string bytes;
        int channel;
        const char* reason;
    } cases[] = {
        {"second channel of mono", mono, 2, "channel 2 is not one of them"},
        {"garbage", "RIFF\x10\0\0\0WAVEjunkjunk", 1, "not a WAV file that can be read"},
        {"no data", wavBytes({}, 8000, {}), 1, "holds no samples"},
        {"short data", longer, 1, nullptr},
    };
    for (const auto& c : cases) {
        const std::string path = dir.file(std::string(c.name) + ".wav");
        writeWholeFile(path, c.bytes);
        CaptureOptions options;
        options.channel = c.channel;
        const CaptureReading reading = readCapture(path, options);
        if (c.reason == nullptr) {
            ASSERT_TRUE(reading.capture) << c.name << ": " << reading.error;
            EXPECT_EQ(reading.capture->samples.size(), 4U);
        } else {
            EXPECT_NE(reading.error.find(c.reason), std::string::npos)
                << c.name << ": " << reading.error;
        }
    }
    EXPECT_EQ(readCapture(dir.file("fifo.wav"), {}).error, "It is not a regular file.");
    EXPECT_FALSE(readCapture(dir.path().string() + "/", {}).capture);
}

}  // namespace
