#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/HarmonicTable.h"
#include "files/CoefficientFile.h"
#include "support/TestSupport.h"

TEST(CoefficientFileWrite, SettingsLineThenEntriesInNumberOrder)
{
    // Field order, and the float's own value rather than the decimal that was typed.
    EXPECT_EQ(settingsLineText(settingsOf(12, 7, 2, -1, 100.1F)), ":12 7 2 -1 100.099998\r\n");
    const HarmonicTable table = tableOf({{2.5F, 100, 7},
                                         {0, 0, 0},
                                         {1.0F / 3.0F, 150.5F, 180},
                                         {1, 33.33F, -180},
                                         {12.345678F, 1, 0}});
    EXPECT_EQ(writeCoefficientFile(WaveSettings{}, table),
              ":1 12 1 1 128.000000\r\n0 0.000000 0\r\n0.333333 150.500000 180\r\n"
              "1 33.330002 -180\r\n2.5 100.000000 7\r\n12.3457 1.000000 0\r\n");
}

// Lines of one file in turn, and what the last applies: two cycle counts alone give sine,
// fundamental reference and 128; scanning stops at the first field that does not convert;
// a refused line leaves its numbers pending; flags keep their low 8 bits, then become 0 or 1.
// A line without both cycle counts is refused; whether they and ppc lie within the limits is
// the design's to say.
TEST(CoefficientFileSettings, AppliedWithPendingNumbersAndNormalizedFlags)
{
    const WaveSettings before = settingsOf(5, 5, 1, 1, 300.0F);
    const std::tuple<std::vector<const char*>, bool, WaveSettings> cases[] = {
        {{":2 6"}, true, settingsOf(2, 6, 0, 0, 128.0F)},
        {{":  3\t4 x 1 100"}, true, settingsOf(3, 4, 0, 0, 128.0F)},
        {{":0 12 1 1 128", ":2 6"}, true, settingsOf(2, 6, 1, 0, 128.0F)},
        {{":3 4 0 1 24", ":"}, true, settingsOf(3, 4, 0, 0, 128.0F)},
        {{":1 12 256 2 128"}, true, settingsOf(1, 12, 0, 1, 128.0F)},
        {{":1 12 -1 512 128"}, true, settingsOf(1, 12, 1, 0, 128.0F)},
        {{":2,6"}, false, before},
        {{"1 1 1 1 100"}, false, before},
        {{":2"}, false, before},
        {{":"}, false, before},
    };
    for (const auto& [lines, applied, active] : cases) {
        ReaderProbe probe;
        probe.active = before;
        PendingSettings pending;
        bool last = false;
        for (const char* line : lines) {
            last = applySettingsLine(line, pending, probe);
        }
        EXPECT_EQ(last, applied) << lines.back();
        EXPECT_EQ(probe.active, active) << lines.back();
    }
}

TEST(CoefficientFileHarmonicLine, RefusesLinesWithoutThreeNumbersInRange)
{
    HarmonicTable table;
    table.setSlotsPerHarmonic(1);  // only the reader's own limits count here
    for (const char* line : {"", "3", "3 50", "3 50 x", "3,50,0", " :3 50 0", ";3 50 0", "-1 50 0",
                             "2 -0.5 0", "nan 50 0", "2 nan 0", "inf 50 0", "2 inf 0", "2 1e999 0",
                             "256 50 0", "1e999 50 0", "255.999999 50 0"}) {
        EXPECT_FALSE(readHarmonicLine(line, table)) << line;
    }
    EXPECT_EQ(table.count(), 0);
}

// Everything the writer writes comes back, the phase brought into range, and never a
// negative zero (it would show as "-0.00"). At 128 slots 255.99 just fits and 255.999 is
// accepted but dropped by the slot limit.
TEST(CoefficientFileHarmonicLine, AcceptsWhatTheWriterWrites)
{
    const std::pair<const char*, std::optional<HarmonicEntry>> cases[] = {
        {"\t 2  40.5\t12.5 trailing text", HarmonicEntry{2, 40.5F, 12}},
        {"0 12.5 0", HarmonicEntry{0, 12.5F, 0}},
        {"1 0 0", HarmonicEntry{1, 0, 0}},
        {"2 250.000000 -45", HarmonicEntry{2, 250, -45}},
        {"3 33.330002 90", HarmonicEntry{3, 33.33F, 90}},
        {"4 50 540", HarmonicEntry{4, 50, 180}},
        {"-0 -0.0 0", HarmonicEntry{0, 0, 0}},
        {"255.99 50 0", HarmonicEntry{255.99F, 50, 0}},
        {"255.999 50 0", std::nullopt},
    };
    for (const auto& [line, entry] : cases) {
        HarmonicTable table;
        table.setSlotsPerHarmonic(128);
        EXPECT_TRUE(readHarmonicLine(line, table)) << line;
        ASSERT_EQ(table.count(), entry ? 1 : 0) << line;
        if (entry) {
            const HarmonicEntry e = table.entry(0);
            EXPECT_EQ(e, *entry) << line;
            EXPECT_FALSE(std::signbit(e.number) || std::signbit(e.magnitude)) << line;
        }
    }
}

TEST(CoefficientFileNormalizePhase, Edges)
{
    constexpr int kMin = std::numeric_limits<int>::min();
    constexpr int kMax = std::numeric_limits<int>::max();
    const std::pair<int, int> cases[] = {
        {-180, -180}, {180, 180},   {-181, 179},      {181, -179}, {540, 180},
        {541, -179},  {-540, -180}, {720, 0},         {359, -1},   {-359, 1},
        {kMin, -128}, {kMax, 127},  {kMin + 1, -127},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(normalizePhase(in), out) << in;
    }
}
