#include "engine/LimitCheck.h"

#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "files/MaskReader.h"
#include "support/TestSupport.h"

namespace {

/** Lines as the display's window of fftCycles holds them, in % of a 100 % fundamental. */
CheckMeasurement displayed(int binCount, const std::vector<std::pair<int, double>>& lines,
                           int fftCycles)
{
    CheckMeasurement measured;
    measured.kind = CheckMeasure::Display;
    measured.cycles = fftCycles;
    measured.lines = spectrumWith(binCount, lines);
    measured.hasFundamental = true;
    measured.fundamentalHz = 50;
    return measured;
}

LimitMask userMask(const char* text)
{
    MaskChoice choice = parseMask(text, "T");
    EXPECT_TRUE(choice.mask) << choice.error;
    return choice.mask.value_or(LimitMask{});
}

struct VerdictCase {
    const char* name;
    const char* maskText;
    std::vector<std::pair<int, double>> lines;
    int fftCycles;
    int binCount;
    const char* verdict;
};

class MaskVerdicts : public ::testing::TestWithParam<VerdictCase> {};

// Measured in the display's window, each order by its own line. The masks' lines in any
// order, with comments and spaces: the verdicts go by order.
TEST_P(MaskVerdicts, SayWhatPassedWhatWasOverAndWhatCouldNotBeMeasured)
{
    const VerdictCase& c = GetParam();
    const MaskCheck check =
        checkMask(userMask(c.maskText), displayed(c.binCount, c.lines, c.fftCycles));
    EXPECT_EQ(verdictLine(check), c.verdict);
    EXPECT_EQ(check.passed(), std::string(c.verdict).starts_with("T: pass"));
    EXPECT_EQ(checkReport(check).find("-0.00 "), std::string::npos);  // an exact pass has 0 left
}

// clang-format off
const VerdictCase kVerdictCases[] = {
    {"Pass", "# supply\n\n5,6  # fifth\n3 , 5\n", {{1, 100}, {5, 5}, {3, 1}}, 1, 65,
     "T: pass, closest h5 at 83 % of its limit"},
    {"EqualPasses", "5,6\n", {{1, 100}, {5, 6 + 1e-12}}, 1, 65,
     "T: pass, closest h5 at 100 % of its limit"},
    // Digits enough that a failing line never reads as two equal numbers.
    {"JustOver", "5,6\n12,0.458333\n", {{1, 100}, {5, 6.0001}, {12, 0.46}}, 1, 65,
     "T: 2 exceeded: h5 6.0001 % > 6 %, h12 0.460 % > 0.458 %"},
    {"ThdClosest", "5,6\nthd,8,40\n", {{1, 100}, {5, 1}, {7, 7}}, 1, 65,
     "T: pass, closest THD\u2084\u2080 at 88 % of its limit"},
    {"Over", "5,6\nthd,8,40\n", {{1, 100}, {5, 7.2}, {7, 5.565}}, 1, 65,
     "T: 2 exceeded: h5 7.20 % > 6 %, THD\u2084\u2080 9.10 % > 8 %"},
    {"BetweenBins", "2.5,1\n", {{1, 100}}, 1, 65, "T: 1 unresolved: h2.5 needs FFT cycles 2"},
    {"TwoCycles", "2.5,1\n", {{2, 100}, {5, 0.5}}, 2, 129,
     "T: pass, closest h2.5 at 50 % of its limit"},
    {"NeverResolved", "2.01,1\n", {{1, 100}}, 1, 65,
     "T: 1 unresolved: h2.01 cannot be resolved within 12 FFT cycles"},
    {"AboveTheLastBin", "13,3\nthd,8,40\n5,6\n", {{1, 100}, {5, 9}}, 1, 13,
     "T: 1 exceeded, 2 unresolved: h5 9.00 % > 6 %, h13 lies above the highest order analysed, "
     "THD\u2084\u2080 reaches above the highest order analysed"},
    // Orders past every index are above the last line, never read off another one.
    {"PastEveryIndex", "777777777777777777771.7,3\n1e300,1\n", {{12, 100}}, 12, 65,
     "T: 2 unresolved: h7.778e+20 lies above the highest order analysed, h1e+300 lies above the "
     "highest order analysed"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Checks, MaskVerdicts, ::testing::ValuesIn(kVerdictCases),
                         [](const auto& info) { return std::string(info.param.name); });

/** A design measured as an analyser measures it, at 128 points per cycle. */
CheckMeasurement analyzed(const std::vector<HarmonicEntry>& entries, double fundamentalHz = 50)
{
    IecMeter meter(PlanRigor::Estimate);
    CheckMeasurement measured;
    EXPECT_TRUE(meter.measure(entries, SynthesisForm{}, fundamentalHz, measured));
    return measured;
}

/** Parameters that every built-in table takes, for the ones it needs. */
MaskParameters takenBy(const BuiltInMask& mask)
{
    MaskParameters p;
    for (const MaskParameter parameter : mask.parameters) {
        switch (parameter) {
        case MaskParameter::FundamentalRms:
            p.fundamentalRms = 1;
            break;
        case MaskParameter::PowerFactor:
            p.powerFactor = 1;
            break;
        case MaskParameter::Power:
            p.power = 100;
            break;
        case MaskParameter::IscIl:
            p.iscIl = 50;
            break;
        case MaskParameter::DemandCurrent:
            p.demandCurrent = 1;
            break;
        case MaskParameter::Edition:
            break;
        }
    }
    return p;
}

// An interharmonic is read in its own subgroup: no whole order fails from its leakage, under
// any built-in table, and the report names it.
TEST(IecCheck, InterharmonicsAreReportedByNameAndNeverFailWholeOrders)
{
    const std::pair<float, const char*> entries[] = {
        {2.5F, "order 2.5 (125 Hz): 10.00 % in the interharmonic subgroup 2-3: "},
        {5.5F, "order 5.5 (275 Hz): 10.00 % in the interharmonic subgroup 5-6: "},
        {7.3F, "order 7.3 (365 Hz): 10.00 % in the interharmonic subgroup 7-8: "},
    };
    for (const BuiltInMask& shown : builtInMasks()) {
        const LimitMask mask = *builtInMask(shown.name, takenBy(shown)).mask;
        for (const auto& [order, note] : entries) {
            const MaskCheck check = checkMask(mask, analyzed({{1, 100, 0}, {order, 10, 0}}));
            EXPECT_EQ(check.count(LimitStatus::Over), 0) << shown.name << " " << order;
            ASSERT_FALSE(check.notes.empty()) << shown.name;
            EXPECT_TRUE(noteText(check, check.notes[0]).starts_with(note)) << shown.name;
        }
    }
    // Off the window's lines even at 10 cycles: measured with its leakage, and said so.
    const MaskCheck leaking =
        checkMask(*builtInMask("en50160", {}).mask, analyzed({{1, 100, 0}, {7.33F, 10, 0}}));
    ASSERT_EQ(leaking.notes.size(), 1U);
    EXPECT_EQ(noteText(leaking, leaking.notes[0]),
              "order 7.33 (366.5 Hz) falls between the lines of the 10-cycle window: measured "
              "with its leakage into the subgroups around it, as an analyser measures it");
}

// DC is its own line; at 60 Hz the window is 12 cycles; no fundamental, no check.
TEST(IecCheck, ReportsDcAndRefusesADesignWithoutAFundamental)
{
    const LimitMask en50160 = *builtInMask("en50160", {}).mask;
    const MaskCheck dc = checkMask(en50160, analyzed({{1, 100, 0}, {0, 10, 0}}, 60));
    EXPECT_EQ(dc.measurement.find("IEC 61000-4-7: 12 cycles of 60 Hz"), 0U);
    ASSERT_EQ(dc.notes.size(), 1U);
    EXPECT_EQ(noteText(dc, dc.notes[0]), "DC 10.00 %: EN 50160 sets no limit");
    EXPECT_TRUE(dc.passed());
    const MaskCheck none = checkMask(en50160, analyzed({{3, 10, 0}}));
    EXPECT_EQ(verdictLine(none), "EN 50160: There is no fundamental to refer the limits to.");
    EXPECT_FALSE(none.passed());
}

// Amperes beside percent; IEC 61000-3-2 disregards lines below 0.6 % of the input current or
// 5 mA; TDD goes against I_L.
TEST(MaskCheck, InAmperesAndAgainstTheDemandCurrent)
{
    const auto verdict = [](const char* name, MaskParameters p,
                            std::vector<std::pair<int, double>> l) {
        l.emplace_back(1, 100);
        return verdictLine(checkMask(*builtInMask(name, p).mask, displayed(65, l, 1)));
    };
    const MaskParameters at10{.fundamentalRms = 10};
    EXPECT_EQ(verdict("iec61000-3-2-a", at10, {{3, 24.1}}),
              "IEC 61000-3-2 Class A: 1 exceeded: h3 2.41 A (24.1 %) > 2.30 A");
    // At 16 A, h40's 46 mA is under 0.6 % of the input current (96 mA): 94.4 mA is disregarded.
    const MaskParameters at16{.fundamentalRms = 16};
    EXPECT_TRUE(verdict("iec61000-3-2-a", at16, {{40, 0.59}}).ends_with(": pass"));
    EXPECT_NE(verdict("iec61000-3-2-a", at16, {{40, 0.625}}).find("h40 0.10 A"), std::string::npos);
    // At 0.1 A the 5 mA floor rules: 4 mA over h11's 3 mA is disregarded, 6 mA is not.
    const MaskParameters tenth{.fundamentalRms = 0.1, .powerFactor = 1};
    EXPECT_TRUE(verdict("iec61000-3-2-c", tenth, {{11, 4}}).ends_with(": pass"));
    EXPECT_NE(verdict("iec61000-3-2-c", tenth, {{11, 6}}).find("1 exceeded"), std::string::npos);
    // I1 10 A, I_L 20 A: 10.1 % of I1 is 5.05 % of I_L, over row 1's TDD of 5 %.
    const MaskParameters demand{.fundamentalRms = 10, .iscIl = 10, .demandCurrent = 20};
    EXPECT_TRUE(verdict("ieee519-current", demand, {{3, 7.6}, {5, 6.6523}})
                    .ends_with("TDD 5.05 % of I_L > 5 % of I_L"));
}

// Columns stay apart however large a level grows.
TEST(MaskCheck, ReportColumnsStayApart)
{
    const std::string report =
        checkReport(checkMask(userMask("5,6\n"), displayed(65, {{1, 100}, {5, 1e6}}, 1)));
    std::istringstream row(report.substr(report.find("\nh5 ") + 1));
    std::string name, level, limit, margin, share, status;
    row >> name >> level >> limit >> margin >> share >> status;
    EXPECT_EQ(level + ' ' + limit + ' ' + status, "1000000.00 6.00 over") << report;
}

}  // namespace
