#include "engine/LimitMask.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

constexpr double kNoLimit = -1.0;

LimitMask mask(const char* name, std::optional<double> fundamentalRms = std::nullopt)
{
    MaskChoice choice = builtInMask(name, fundamentalRms);
    EXPECT_TRUE(choice.mask.has_value()) << choice.error;
    return choice.mask.value_or(LimitMask{});
}

double limitAt(const LimitMask& m, double order)
{
    const auto found = std::find_if(m.orders.begin(), m.orders.end(),
                                    [&](const OrderLimit& limit) { return limit.order == order; });
    return found == m.orders.end() ? kNoLimit : found->limit;
}

TEST(LimitMask, BuiltInMasksAtTheEdgesOfTheirFormulasAndWhatTheyNeed)
{
    // IEC 61000-2-2 by its three formulas: odd, odd multiples of 3, even. Class A in A, at
    // 2 A of fundamental: limit / 2 A x 100 %.
    const std::pair<const char*, std::vector<std::pair<double, double>>> cases[] = {
        {"en50160", {{2, 2}, {25, 1.5}, {26, kNoLimit}}},
        {"iec61000-2-2", {{13, 3}, {17, 2}, {49, 2.27 * 17 / 49 - 0.27}, {51, kNoLimit}}},
        {"iec61000-2-2", {{15, 0.4}, {21, 0.3}, {27, 0.2}, {45, 0.2}}},
        {"iec61000-2-2", {{8, 0.5}, {10, 0.5}, {50, 0.3}}},
        {"ieee519-1kv", {{2, 5}}},
        {"ieee519-69kv", {{50, 3}}},
        {"ieee519-hv", {{51, kNoLimit}}},
        {"iec61000-3-2-a",
         {{3, 115}, {8, 0.23 * 8 / 8 * 50}, {15, 7.5}, {39, 0.15 * 15 / 39 * 50}}},
        {"iec61000-3-2-a", {{40, 0.23 * 8 / 40 * 50}, {41, kNoLimit}}},
    };
    for (const auto& [name, limits] : cases) {
        for (const auto& [order, limit] : limits) {
            EXPECT_NEAR(limitAt(mask(name, 2.0), order), limit, 1e-12) << name << " h" << order;
        }
    }
    EXPECT_EQ(mask("en50160").thd->highestOrder, 40);
    EXPECT_EQ(mask("ieee519-161kv").thd->limit, 2.5);
    EXPECT_EQ(mask("ieee519-hv").thd->highestOrder, 50);
    EXPECT_FALSE(mask("iec61000-3-2-a", 1.0).thd.has_value());
    // Class A needs a fundamental current; an unknown name is refused by name.
    for (const std::optional<double> current :
         {std::optional<double>(), std::optional(0.0), std::optional(-1.0),
          std::optional(std::nan("")), std::optional(1e-320), std::optional(16.01)}) {
        const MaskChoice choice = builtInMask("iec61000-3-2-a", current);
        EXPECT_FALSE(choice.mask.has_value());
        EXPECT_NE(choice.error.find("RMS current"), std::string::npos) << choice.error;
    }
    EXPECT_NE(builtInMask("en50161", 1.0).error.find("en50161"), std::string::npos);
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

// The masks' lines in any order, with comments and spaces: the verdicts go by order.
TEST_P(MaskVerdicts, SayWhatPassedWhatWasOverAndWhatCouldNotBeMeasured)
{
    const VerdictCase& c = GetParam();
    const MaskChoice choice = parseMask(c.maskText, "T");
    ASSERT_TRUE(choice.mask) << choice.error;
    const MaskCheck check = checkMask(*choice.mask, spectrumWith(c.binCount, c.lines), c.fftCycles);
    EXPECT_EQ(verdictLine(check), c.verdict);
    EXPECT_EQ(check.passed(), std::string(c.verdict).starts_with("T: pass"));
}

// clang-format off
const VerdictCase kVerdictCases[] = {
    {"Pass", "# supply\n\n5,6  # fifth\n3 , 5\n", {{5, 5}, {3, 1}}, 1, 65,
     "T: pass, closest h5 at 83 % of its limit"},
    {"EqualPasses", "5,6\n", {{5, 6 + 1e-12}}, 1, 65, "T: pass, closest h5 at 100 % of its limit"},
    {"JustOver", "5,6\n", {{5, 6.0001}}, 1, 65, "T: 1 exceeded: h5 6.00 % > 6 %"},
    {"ThdClosest", "5,6\nthd,8,40\n", {{5, 1}, {7, 7}}, 1, 65,
     "T: pass, closest THD\u2084\u2080 at 88 % of its limit"},
    {"Over", "5,6\nthd,8,40\n", {{5, 7.2}, {7, 5.565}}, 1, 65,
     "T: 2 exceeded: h5 7.20 % > 6 %, THD\u2084\u2080 9.10 % > 8 %"},
    {"BetweenBins", "2.5,1\n", {}, 1, 65, "T: 1 unresolved: h2.5 needs FFT cycles 2"},
    {"TwoCycles", "2.5,1\n", {{5, 0.5}}, 2, 129, "T: pass, closest h2.5 at 50 % of its limit"},
    {"NeverResolved", "2.01,1\n", {}, 1, 65,
     "T: 1 unresolved: h2.01 cannot be resolved within 12 FFT cycles"},
    {"AboveTheLastBin", "13,3\nthd,8,40\n5,6\n", {{5, 9}}, 1, 13,
     "T: 1 exceeded, 2 unresolved: h5 9.00 % > 6 %, h13 lies above the highest order analysed, "
     "THD\u2084\u2080 reaches above the highest order analysed"},
    // Orders past every index are above the last line, never read off another one.
    {"PastEveryIndex", "777777777777777777771.7,3\n1e300,1\n", {{0, 50}}, 12, 65,
     "T: 2 unresolved: h7.778e+20 lies above the highest order analysed, h1e+300 lies above the "
     "highest order analysed"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Checks, MaskVerdicts, ::testing::ValuesIn(kVerdictCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MaskCheck, ShareOfAZeroLimitIsZeroOrInfinite)
{
    EXPECT_EQ(shareOfLimit(0, 0), 0);
    EXPECT_TRUE(std::isinf(shareOfLimit(0.1, 0)));
}

TEST(UserMask, RefusesTheFirstMalformedLineByItsNumber)
{
    const std::string longLine = std::string(kLongestMaskLine - 3, ' ') + "5,6";
    const std::pair<std::string, const char*> cases[] = {
        {longLine + "\n" + longLine + " \n", "line 2: longer than 1024 characters"},
        {"3,5\n5\n", "line 2: expected order,limit_percent"},
        {"3,5,1\n", "line 1: expected order,limit_percent"},
        {"three,5\n", "line 1: expected order,limit_percent"},
        {"3,-1\n", "line 1: expected order,limit_percent"},
        {"3,5x\n", "line 1: expected order,limit_percent"},
        {"3,inf\n", "line 1: expected order,limit_percent"},
        {"3,5\n\n3,4\n", "line 3: order 3 is listed twice"},
        {"1,1\n2,1\n3,1\n2,2\n1,2\n", "line 4: order 2 is listed twice"},  // first in the file
        {"2,1\n2,2\nthree\n", "line 2: order 2 is listed twice"},
        {"thd,8,1e20\n", "line 1: expected thd,LIMIT,HIGHEST_ORDER"},
        {"thd,8\n", "line 1: expected thd,LIMIT,HIGHEST_ORDER"},
        {"thd,8,40.5\n", "line 1: expected thd,LIMIT,HIGHEST_ORDER"},
        {"thd,8,1\n", "line 1: expected thd,LIMIT,HIGHEST_ORDER"},
        {"thd,8,40\nthd,5,50\n", "line 2: a second thd line"},
        {"# nothing\n", "the mask lists no limit"},
    };
    for (const auto& [text, error] : cases) {
        const MaskChoice choice = parseMask(text, "bad.csv");
        EXPECT_FALSE(choice.mask.has_value()) << text;
        EXPECT_EQ(choice.error.rfind(error, 0), 0U) << text << " gave: " << choice.error;
    }
}

}  // namespace
