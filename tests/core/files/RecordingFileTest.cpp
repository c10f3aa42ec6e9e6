#include <gtest/gtest.h>

#include "files/RecordingFile.h"
#include "support/TestSupport.h"

namespace {

struct TextCase {
    const char* text;
    std::optional<double> rate;
    int channels;
    double expectedRate;
    std::vector<std::vector<float>> values;
    std::string error;  ///< at opening or after the reading
};

class TextRecordings : public testing::TestWithParam<TextCase> {};

TEST_P(TextRecordings, StreamEveryChannelOrSayWhichLineFails)
{
    const TextCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file("recording.csv");
    writeWholeFile(path, c.text);
    RecordingReader::Opening opening = RecordingReader::open(path, c.rate);
    if (!opening.reader) {
        EXPECT_EQ(opening.error, c.error);
        return;
    }
    RecordingReader& reader = *opening.reader;
    EXPECT_EQ(reader.channels(), c.channels);
    EXPECT_NEAR(reader.rate(), c.expectedRate, 1e-9 * c.expectedRate);
    std::vector<std::vector<float>> got;
    while (reader.read(2, got) > 0) {  // in pieces smaller than the file
    }
    EXPECT_EQ(reader.error(), c.error);
    if (c.error.empty()) {
        EXPECT_EQ(got, c.values);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Text, TextRecordings,
    testing::Values(TextCase{"time,L1,L2,L3\ns,V,V,V\n0,1,2,3\n0.001,4,5,6\n0.002,7,8,9\n",
                             std::nullopt,
                             3,
                             1000.0,
                             {{1, 4, 7}, {2, 5, 8}, {3, 6, 9}},
                             ""},
                    TextCase{"1\r\n2\r\n3\r\n", 50.0, 1, 50.0, {{1, 2, 3}}, ""},
                    TextCase{"1\n2\n",
                             std::nullopt,
                             1,
                             0.0,
                             {},
                             "It has no time column: the sample rate must be given."},
                    TextCase{"0,1\n0.001,2\n0.0025,3\n0.003,4\n",
                             std::nullopt,
                             1,
                             0.0,
                             {},
                             "Line 3 breaks the even spacing of the time column."},
                    TextCase{"0,1,2\n0.001,2\n",
                             std::nullopt,
                             2,
                             0.0,
                             {},
                             "Line 2 has 2 values; the first had 3."}));

}  // namespace
