#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <vector>

#include "engine/HarmonicTable.h"
#include "files/CoefficientFile.h"
#include "support/TestSupport.h"

static void PrintTo(const HarmonicEntry& e, std::ostream* os)
{
    *os << '{' << e.number << ", " << e.magnitude << ", " << e.phase << '}';
}

static void PrintTo(const WaveSettings& s, std::ostream* os)
{
    *os << ':' << s.fftCycles << ' ' << s.displayCycles << ' ' << s.cosine << ' '
        << s.phaseReference << ' ' << s.ppc;
}

namespace {

WaveSettings settingsOf(int fft, int display, int cosine, int reference, float ppc)
{
    return {.displayCycles = display,
            .fftCycles = fft,
            .cosine = cosine,
            .phaseReference = reference,
            .harmIndex = 0,
            .ppc = ppc};
}

using Entries = std::vector<HarmonicEntry>;

}  // namespace

// --- Writing -------------------------------------------------------------------------------

TEST(CoefficientFileWrite, DefaultSettingsWithFundamentalAndFifth)
{
    HarmonicTable table;
    EXPECT_EQ(WriteCoefficientFile(WaveSettings{}, table), ":1 12 1 1 128.000000\r\n");
    table.AddHarmonic(5.0F, 20.0F, -90);
    table.AddHarmonic(1.0F, 100.0F, 0);
    EXPECT_EQ(WriteCoefficientFile(WaveSettings{}, table),
              ":1 12 1 1 128.000000\r\n1 100.000000 0\r\n5 20.000000 -90\r\n");
}

TEST(CoefficientFileWrite, NumbersUseSixSignificantDigitsAndMagnitudesSixDecimals)
{
    HarmonicTable table;
    table.setSlotsPerHarmonic(1);  // let 123.456789 past the slot limit
    table.AddHarmonic(0.0F, 0.0F, 0);
    table.AddHarmonic(1.0F / 3.0F, 150.5F, 180);
    table.AddHarmonic(1.0F, 33.33F, -180);
    table.AddHarmonic(2.5F, 100.0F, 7);
    table.AddHarmonic(123.456789F, 1.0F, 0);
    EXPECT_EQ(WriteCoefficientFile(WaveSettings{}, table),
              ":1 12 1 1 128.000000\r\n0 0.000000 0\r\n0.333333 150.500000 180\r\n"
              "1 33.330002 -180\r\n2.5 100.000000 7\r\n123.457 1.000000 0\r\n");
}

TEST(CoefficientFileWrite, SettingsLineFieldOrderAndWidenedPpc)
{
    EXPECT_EQ(settingsLineText(settingsOf(3, 7, 0, 0, 100.5F)), ":3 7 0 0 100.500000\r\n");
    // The float's own value, not the decimal that was typed.
    EXPECT_EQ(settingsLineText(settingsOf(3, 7, 0, 0, 100.1F)), ":3 7 0 0 100.099998\r\n");
    EXPECT_EQ(settingsLineText(settingsOf(12, 1, 2, -1, 512.0F)), ":12 1 2 -1 512.000000\r\n");
}

// --- Settings lines ------------------------------------------------------------------------

class CoefficientFileSettings : public ::testing::Test {
protected:
    bool apply(const char* line) { return ApplySettingsLine(line, pending, ws); }
    const WaveSettings& active() const { return ws.active; }

    ReaderProbe ws;
    PendingSettings pending;
};

TEST_F(CoefficientFileSettings, TwoCycleCountsAloneGiveSineFundamentalAnd128)
{
    ASSERT_TRUE(apply(":2 6"));
    EXPECT_EQ(active(), settingsOf(2, 6, 0, 0, 128.0F));
}

TEST_F(CoefficientFileSettings, PpcAndCycleCountLimits)
{
    for (const char* line : {":1 1 1 1 24", ":1 1 1 1 512.5", ":1 1 1 1 nan", ":1 1 1 1 1e999",
                             ":0 6 1 1 100", ":13 6 1 1 100", ":2 0 1 1 100", ":2 13 1 1 100"}) {
        EXPECT_FALSE(apply(line)) << line;
    }
    EXPECT_EQ(active(), WaveSettings{});
    EXPECT_TRUE(apply(":1 1 1 1 24.5"));
    EXPECT_EQ(active().ppc, 24.5F);
    EXPECT_TRUE(apply(":12 1 1 1 512"));
    EXPECT_EQ(active(), settingsOf(12, 1, 1, 1, 512.0F));
}

TEST_F(CoefficientFileSettings, RejectedLineLeavesItsNumbersPending)
{
    EXPECT_FALSE(apply(":0 12 1 1 128"));
    ASSERT_TRUE(apply(":2 6"));
    EXPECT_EQ(active(), settingsOf(2, 6, 1, 0, 128.0F));  // cosine from the rejected line

    // A line with no numbers at all applies whatever is pending.
    EXPECT_FALSE(apply(":3 4 0 1 24"));
    ASSERT_TRUE(apply(":"));
    EXPECT_EQ(active(), settingsOf(3, 4, 0, 0, 128.0F));
}

TEST_F(CoefficientFileSettings, ScanningStopsAtTheFirstFieldThatDoesNotConvert)
{
    // Blanks and tabs may stand between numbers; the 100 after the failed field is never read.
    ASSERT_TRUE(apply(":  3\t4 x 1 100"));
    EXPECT_EQ(active(), settingsOf(3, 4, 0, 0, 128.0F));
    PendingSettings fresh;
    EXPECT_FALSE(ApplySettingsLine(":2,6", fresh, ws));  // no display cycle count at all
}

TEST_F(CoefficientFileSettings, FlagsKeepLowEightBitsThenBecomeZeroOrOne)
{
    ASSERT_TRUE(apply(":1 12 256 2 128"));
    EXPECT_EQ(active(), settingsOf(1, 12, 0, 1, 128.0F));
    ASSERT_TRUE(apply(":1 12 -1 512 128"));
    EXPECT_EQ(active(), settingsOf(1, 12, 1, 0, 128.0F));
}

// --- Harmonic lines ------------------------------------------------------------------------

TEST(CoefficientFileHarmonicLine, NeedsAllThreeNumbersAndIgnoresTheRest)
{
    HarmonicTable table;
    for (const char* line : {"", "3", "3 50", "3 50 x", "3,50,0", " :3 50 0", ";3 50 0"}) {
        EXPECT_FALSE(ReadHarmonicLine(line, table)) << line;
    }
    EXPECT_TRUE(ReadHarmonicLine("\t 2  40.5\t12.5 trailing text", table));
    EXPECT_EQ(table.entries(), (Entries{{2.0F, 40.5F, 12}}));
}

TEST(CoefficientFileHarmonicLine, AcceptsEverythingTheWriterWrites)
{
    HarmonicTable table;
    for (const char* line : {"0 12.5 0", "1 0 0", "2 250.000000 -45", "3 33.330002 90"}) {
        EXPECT_TRUE(ReadHarmonicLine(line, table)) << line;
    }
    EXPECT_EQ(
        table.entries(),
        (Entries{{0.0F, 12.5F, 0}, {1.0F, 0.0F, 0}, {2.0F, 250.0F, -45}, {3.0F, 33.33F, 90}}));
}

TEST(CoefficientFileHarmonicLine, RejectsNegativeNonFiniteAndTooLargeValues)
{
    HarmonicTable table;
    table.setSlotsPerHarmonic(1);  // only the reader's own limits count here
    for (const char* line : {"-1 50 0", "2 -0.5 0", "nan 50 0", "2 nan 0", "inf 50 0", "2 inf 0",
                             "2 1e999 0", "256 50 0", "255.999999 50 0", "1e999 50 0"}) {
        EXPECT_FALSE(ReadHarmonicLine(line, table)) << line;
    }
    EXPECT_TRUE(ReadHarmonicLine("255.99 50 0", table));
    EXPECT_EQ(table.entries(), (Entries{{255.99F, 50.0F, 0}}));
}

TEST(CoefficientFileHarmonicLine, PhaseIsBroughtIntoRange)
{
    HarmonicTable table;
    for (const char* line : {"1 50 -181", "2 50 540", "3 50 -2147483648", "4 50 2147483647"}) {
        EXPECT_TRUE(ReadHarmonicLine(line, table)) << line;
    }
    EXPECT_EQ(
        table.entries(),
        (Entries{{1.0F, 50.0F, 179}, {2.0F, 50.0F, 180}, {3.0F, 50.0F, -128}, {4.0F, 50.0F, 127}}));
}

TEST(CoefficientFileHarmonicLine, SlotLimitStillDropsEntries)
{
    HarmonicTable table;  // 512 slots per harmonic, as at 128 samples per cycle
    ASSERT_EQ(63.99902F, std::nextafter(63.9990234375F, 0.0F));
    EXPECT_TRUE(ReadHarmonicLine("63.99902 50 0", table));
    EXPECT_TRUE(ReadHarmonicLine("63.9990234375 50 0", table));  // slot 32768
    EXPECT_TRUE(ReadHarmonicLine("100 50 0", table));
    EXPECT_EQ(table.entries(), (Entries{{63.99902F, 50.0F, 0}}));
}

TEST(CoefficientFileNormalisePhase, Edges)
{
    constexpr int kMin = std::numeric_limits<int>::min();
    constexpr int kMax = std::numeric_limits<int>::max();
    const std::pair<int, int> cases[] = {
        {-180, -180}, {180, 180},   {-181, 179},      {181, -179}, {540, 180},
        {541, -179},  {-540, -180}, {720, 0},         {359, -1},   {-359, 1},
        {kMin, -128}, {kMax, 127},  {kMin + 1, -127},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(normalisePhase(in), out) << in;
    }
}
