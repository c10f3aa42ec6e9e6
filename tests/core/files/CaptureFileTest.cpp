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

struct ReadCase {
    const char* name;
    const char* file;
    std::string bytes;
    std::optional<double> rate;
    int channel;
    std::size_t count;   ///< samples read, when read
    double readRate;     ///< the rate read
    const char* reason;  ///< when refused: part of the reason
};

std::string longWavHeader()
{
    std::string bytes = wavBytes({0.5, 0.25, -0.5, 0.125}, 8000, {});
    bytes[40] = static_cast<char>(0x40);  // the header promises more than the file holds
    return bytes;
}

TEST(CaptureFiles, ReadValuesEvenTimesOrAWavChannelAndRefuseTheMalformedWithAReason)
{
    const std::string mono = wavBytes({0.5, 0.25, -0.5, 0.125}, 8000, {});
    const ReadCase cases[] = {
        {"values with rate", "a.csv", "0.5\n-0.25\n1e-3\n", 8000.0, 1, 3, 8000.0, nullptr},
        {"time heading", "a.csv", "time,value\n0,1\n0.001,2\n0.002,3\n", {}, 1, 3, 1000.0, nullptr},
        {"semicolons crlf", "a.txt", "0;1\r\n0.5;2\r\n1.0;3\r\n", {}, 1, 3, 2.0, nullptr},
        {"rate over time", "a.csv", "0,1\n0.001,2\n", 50.0, 1, 2, 50.0, nullptr},
        {"comments blanks", "a.csv", "# scope\n; export\n\n1\n\n2\n", 10.0, 1, 2, 10.0, nullptr},
        {"short data chunk", "a.wav", longWavHeader(), {}, 1, 4, 8000.0, nullptr},
        {"no rate", "a.csv", "1\n2\n", {}, 1, 0, 0, "no time column"},
        {"word", "a.csv", "1\n2\nabc\n", 10.0, 1, 0, 0, "Line 3 is not one value"},
        {"three columns", "a.csv", "1,2,3\n", 10.0, 1, 0, 0, "Line 1 is not one value"},
        {"columns change", "a.csv", "1\n2,3\n", 10.0, 1, 0, 0,
         "Line 2 has 2 values; the first had 1."},
        {"uneven",
         "a.csv",
         "0,1\n0.001,2\n0.0020001,3\n",
         {},
         1,
         0,
         0,
         "Line 3 breaks the even spacing"},
        {"backwards", "a.csv", "0,1\n0,2\n", {}, 1, 0, 0, "Line 2 does not come later"},
        {"nan", "a.csv", "1\nnan\n", 10.0, 1, 0, 0, "Line 2 holds a number that is not finite"},
        {"huge", "a.csv", "1\n1e39\n", 10.0, 1, 0, 0,
         "Line 2 holds a number beyond single precision"},
        {"empty", "a.csv", "", 10.0, 1, 0, 0, "holds no samples"},
        {"bad rate", "a.csv", "1\n", -5.0, 1, 0, 0, "sample rate must be a positive"},
        {"second channel of mono", "a.wav", mono, {}, 2, 0, 0, "channel 2 is not one of them"},
        {"garbage",
         "a.wav",
         std::string("RIFF\x10\0\0\0WAVEjunkjunk", 20),
         {},
         1,
         0,
         0,
         "not a WAV file that can be read"},
        {"no data", "a.wav", wavBytes({}, 8000, {}), {}, 1, 0, 0, "holds no samples"},
    };
    const TempDir dir;
    for (const ReadCase& c : cases) {
        const std::string path = dir.file(c.file);
        writeWholeFile(path, c.bytes);
        CaptureOptions options;
        options.rate = c.rate;
        options.channel = c.channel;
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
    ::mkfifo(dir.file("fifo.wav").c_str(), 0600);
    EXPECT_EQ(readCapture(dir.file("fifo.wav"), {}).error, "It is not a regular file.");
    EXPECT_FALSE(readCapture(dir.path().string() + "/", {}).capture);
}

}  // namespace
