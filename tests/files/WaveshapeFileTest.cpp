#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "design/Design.h"
#include "files/DocumentReader.h"
#include "files/WaveshapeFile.h"
#include "support/TestSupport.h"

static void PrintTo(const HarmonicEntry& e, std::ostream* os)
{
    *os << '{' << e.number << ", " << e.magnitude << ", " << e.phase << '}';
}

namespace {

constexpr double kPi = 3.14159265358979323846;
using Samples = std::vector<double>;

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
}

HarmonicTable tableOf(std::initializer_list<HarmonicEntry> entries)
{
    HarmonicTable table;
    for (const HarmonicEntry& e : entries) {
        table.AddHarmonic(e.number, e.magnitude, e.phase);
    }
    return table;
}

Samples readSamples(std::string_view line)
{
    FftBuffer buffer(64);
    SampleReader reader;
    ReadSampleLine(line, reader, buffer);
    return {buffer.data(), buffer.data() + reader.count};
}

/** Magnitudes come back to within the six decimals of the samples. */
void expectEntry(const HarmonicEntry& e, float number, double magnitude, int phase)
{
    EXPECT_EQ(e.number, number);
    EXPECT_NEAR(e.magnitude, magnitude, 1e-4) << "number " << number;
    // Equal as angles: -180 and 180 are the same phase.
    EXPECT_EQ(((e.phase - phase) % 360 + 360) % 360, 0) << "number " << number << ": " << e.phase;
}

}  // namespace

// --- Writing -------------------------------------------------------------------------------

TEST(WaveshapeWrite, DefaultFundamentalFile)
{
    const auto lines = splitLines(WriteWaveshapeFile(WaveSettings{}, tableOf({{1, 100, 0}})));
    ASSERT_EQ(lines.size(), 397U);
    EXPECT_EQ(lines[0], ":1 12 1 1 128.000000");
    for (std::size_t block = 0; block < 12; ++block) {
        const std::size_t marker = 1 + block * 33;
        EXPECT_EQ(lines[marker], std::string("!").append(std::to_string(block + 1)));
        for (std::size_t i = marker + 1; i < marker + 33; ++i) {
            EXPECT_EQ(lines[i].size(), 50U) << i;  // four samples, never a marker
        }
    }
    EXPECT_EQ(lines[2], " 100.000000,   99.879546,   99.518473,   98.917651");
    EXPECT_EQ(lines[18], "-100.000000,  -99.879546,  -99.518473,  -98.917651");
    EXPECT_EQ(lines[33], "  98.078528,   98.917651,   99.518473,   99.879546");
    EXPECT_EQ(lines[35], lines[2]);  // a whole cycle later
}

TEST(WaveshapeWrite, PpcOf130GivesThirtyTwoLinesPerBlockAndSamplesRunOn)
{
    WaveSettings s;
    s.ppc = 130.0F;
    const auto lines = splitLines(WriteWaveshapeFile(s, tableOf({{1, 100, 0}})));
    ASSERT_EQ(lines.size(), 397U);
    EXPECT_EQ(lines[0], ":1 12 1 1 130.000000");
    EXPECT_EQ(lines[34], "!2");
    EXPECT_EQ(lines[35], "  99.533163,   99.883223,  100.000000,   99.883223");   // samples 128-131
    EXPECT_EQ(lines[396], "  21.578420,   26.270738,   30.901699,   35.460489");  // up to 1535
    EXPECT_EQ(sampleLinesPerBlock(131.0F), 32);  // truncated, not rounded
    EXPECT_EQ(sampleLinesPerBlock(132.0F), 33);
}

TEST(WaveshapeWrite, FlagsCountAsSetOnlyWhenOneAndEmptyTableWritesZeros)
{
    const HarmonicTable table = tableOf({{1, 100, 0}, {2, 10, 30}});
    WaveSettings sine;
    sine.displayCycles = 1;
    sine.cosine = 0;
    sine.phaseReference = 0;
    WaveSettings odd = sine;
    odd.cosine = 2;
    odd.phaseReference = -1;
    const auto a = splitLines(WriteWaveshapeFile(sine, table));
    const auto b = splitLines(WriteWaveshapeFile(odd, table));
    ASSERT_EQ(a.size(), 34U);
    ASSERT_EQ(b.size(), 34U);
    EXPECT_EQ(b[0], ":1 1 2 -1 128.000000");
    EXPECT_EQ(std::vector(a.begin() + 1, a.end()), std::vector(b.begin() + 1, b.end()));
    EXPECT_EQ(a[2].substr(0, 11), "   8.660254");  // 10 sin(2 x 30 degrees)
    EXPECT_EQ(splitLines(WriteWaveshapeFile(sine, HarmonicTable{}))[2],
              "   0.000000,    0.000000,    0.000000,    0.000000");
}

// --- Reading sample lines ------------------------------------------------------------------

TEST(WaveshapeSampleLine, SeparatorsAndNumberForms)
{
    for (const char* line : {"1,2,3", "1    2     3", "\t1\t2\t\t3\t", " ,1 ,, 2,\t,3,"}) {
        EXPECT_EQ(readSamples(line), (Samples{1, 2, 3})) << line;
    }
    EXPECT_EQ(readSamples("1,2"), (Samples{1, 2}));
    EXPECT_EQ(readSamples(" 100.000000,   99.879546,  -99.518473"),
              (Samples{100.0, 99.879546, -99.518473}));
    EXPECT_EQ(readSamples("1e-05 +5 -2.5 1e-999"), (Samples{1e-05, 5.0, -2.5, 0.0}));
    EXPECT_TRUE(readSamples(" , ,\t,").empty());
}

TEST(WaveshapeSampleLine, NonFiniteAndGarbageTokensAreSkipped)
{
    EXPECT_EQ(readSamples("nan 1 inf 2 1e999 3 -inf -nan"), (Samples{1, 2, 3}));
    EXPECT_EQ(readSamples("abc 1 x2 ,, 3 ?? - . +"), (Samples{1, 3}));
    EXPECT_EQ(readSamples("12abc,4"), (Samples{12, 4}));
    EXPECT_EQ(readSamples(":5 !6 ;7"), Samples{});
}

TEST(WaveshapeSampleLine, SamplesBeyondTheBufferAreIgnored)
{
    ReaderProbe ws;
    SampleReader reader;
    int next = 1;
    for (int line = 0; line < 7000; ++line) {  // 70000 samples, ten a line
        std::string text;
        for (int i = 0; i < 10; ++i) {
            text += std::to_string(next++) + ", ";
        }
        ReadSampleLine(text, reader, ws.samples);
    }
    EXPECT_EQ(reader.count, 65536U);
    EXPECT_EQ(ws.samples[0], 1.0);
    EXPECT_EQ(ws.samples[65535], 65536.0);
}

TEST(WaveshapeSampleLine, LongLineIsReadWhole)
{
    std::string file = ":1 12 1 1 128\r\n";
    for (int i = 0; i < 200; ++i) {
        file += "  " + std::to_string(1000 + i) + ".123456,";
    }
    ReaderProbe ws;
    std::istringstream in(file + "\r\n");
    ASSERT_EQ(ReadDocumentLines(in, DocumentKind::Waveshape, ws).samplesRead, 200U);
    for (std::size_t i = 0; i < 200; ++i) {
        EXPECT_EQ(ws.samples[i], 1000.123456 + static_cast<double>(i)) << i;
    }
}

// --- Analysis ------------------------------------------------------------------------------

TEST(WaveshapeAnalyse, EntriesArePercentOfTheFundamentalBin)
{
    ReaderProbe ws;  // one FFT cycle of 128 samples
    for (int j = 0; j < 128; ++j) {
        const double t = 2.0 * kPi * j / 128.0;
        ws.samples[static_cast<std::size_t>(j)] =
            25.0 + 50.0 * std::cos(t) + 100.0 * std::cos(3.0 * t + kPi / 3.0) +
            0.006 * std::cos(7.0 * t) + 0.004 * std::cos(9.0 * t) +
            30.0 * ((j % 2 == 0) ? 1.0 : -1.0);  // the last bin, which is never entered
    }
    AnalyseWaveshape(ws);
    const auto& e = ws.table.entries();
    ASSERT_EQ(e.size(), 4U);
    expectEntry(e[0], 0.0F, 50.0, 0);  // DC is halved
    EXPECT_EQ(e[1], (HarmonicEntry{1.0F, 100.0F, 0}));
    expectEntry(e[2], 3.0F, 200.0, 60);
    expectEntry(e[3], 7.0F, 0.012, 0);  // 0.008 % on the 9th is below the threshold
}

TEST(WaveshapeAnalyse, SizeIsTruncatedWithoutAddingAHalf)
{
    ReaderProbe ws;
    ws.active.fftCycles = 3;
    ws.active.ppc = 100.5F;
    for (std::size_t j = 0; j < 301; ++j) {
        ws.samples[j] = std::cos(2.0 * kPi * 3.0 * static_cast<double>(j) / 301.0);
    }
    ws.samples[301] = 1000.0;  // would ruin the spectrum of 302 samples
    AnalyseWaveshape(ws);
    ASSERT_EQ(ws.table.count(), 1);
    EXPECT_EQ(ws.table.entry(0), (HarmonicEntry{1.0F, 100.0F, 0}));
}

TEST(WaveshapeAnalyse, SilentOrNonFiniteFundamentalAddsNothing)
{
    ReaderProbe ws;
    AnalyseWaveshape(ws);
    EXPECT_EQ(ws.table.count(), 0);
    for (double bad : {std::numeric_limits<double>::infinity(), std::nan("")}) {
        ws.samples.fill(0.0);
        ws.samples[5] = bad;
        AnalyseWaveshape(ws);
        EXPECT_EQ(ws.table.count(), 0) << bad;
    }
}

// --- Round trips ---------------------------------------------------------------------------

class WaveshapeRoundTrip : public ::testing::Test {
protected:
    void roundTrip(const WaveSettings& written, const HarmonicTable& table)
    {
        std::istringstream in(WriteWaveshapeFile(written, table));
        ws.open(in, DocumentKind::Waveshape);
        EXPECT_EQ(ws.active(), written);
    }

    const HarmonicTable design = tableOf({{1, 100, 0}, {3, 33.33F, -90}, {5, 20, 45}});
    Design ws;
};

TEST_F(WaveshapeRoundTrip, CosineHarmonicReadsBackTheSameTable)
{
    roundTrip(WaveSettings{}, design);
    ASSERT_EQ(ws.table().count(), 3);
    EXPECT_EQ(ws.table().entry(0), (HarmonicEntry{1.0F, 100.0F, 0}));
    expectEntry(ws.table().entry(1), 3.0F, 33.33, -90);
    expectEntry(ws.table().entry(2), 5.0F, 20.0, 45);
}

TEST_F(WaveshapeRoundTrip, SineComesBackNinetyDegreesLower)
{
    WaveSettings s;
    s.cosine = 0;
    roundTrip(s, design);
    ASSERT_EQ(ws.table().count(), 3);
    expectEntry(ws.table().entry(0), 1.0F, 100.0, -90);
    expectEntry(ws.table().entry(1), 3.0F, 33.33, -180);
    expectEntry(ws.table().entry(2), 5.0F, 20.0, -45);
}

TEST_F(WaveshapeRoundTrip, FundamentalReferenceMultipliesPhases)
{
    WaveSettings s;
    s.phaseReference = 0;
    roundTrip(s, design);
    ASSERT_EQ(ws.table().count(), 3);
    EXPECT_EQ(ws.table().entry(0).phase, 0);
    EXPECT_EQ(ws.table().entry(1).phase, 90);    // 3 x -90
    EXPECT_EQ(ws.table().entry(2).phase, -135);  // 5 x 45 = 225
}

TEST_F(WaveshapeRoundTrip, TwoFftCyclesFindHalfHarmonics)
{
    WaveSettings s;
    s.fftCycles = 2;
    roundTrip(s, tableOf({{0.5F, 50, 30}, {1, 100, 0}, {2.5F, 10, -60}}));
    ASSERT_EQ(ws.table().count(), 3);
    expectEntry(ws.table().entry(0), 0.5F, 50.0, 30);
    EXPECT_EQ(ws.table().entry(1), (HarmonicEntry{1.0F, 100.0F, 0}));
    expectEntry(ws.table().entry(2), 2.5F, 10.0, -60);
}

TEST_F(WaveshapeRoundTrip, SilentWaveshapeGivesAnEmptyTable)
{
    roundTrip(WaveSettings{}, HarmonicTable{});
    EXPECT_EQ(ws.table().count(), 0);
    EXPECT_EQ(ws.table().selectedRow(), -1);
}
