#include "engine/DesignComparison.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "engine/CaptureAnalysis.h"
#include "support/CaptureSupport.h"

namespace {

TEST(CaptureComparison, AlignsTimeOnTheFundamentalUnderTheDesignsFormAndFlagsAWrongLine)
{
    // A sine design with phases in the fundamental's period, captured from another instant.
    const std::vector<HarmonicEntry> design = {{1, 100, 0}, {3, 30, 20}, {5, 10, -30}};
    const double shift = 1.234;  // radians of the fundamental
    std::vector<ToneLine> lines;
    for (const HarmonicEntry& entry : design) {
        lines.push_back({entry.number, entry.magnitude,
                         (entry.number * entry.phase - 90) + entry.number * shift * 180 / M_PI});
    }
    const Outcome<CaptureAnalysis> analysis = analyzeCapture(toneSignal(lines, 50.0, 8000, 11), {});
    ASSERT_TRUE(analysis.ok()) << analysis.error;
    const SynthesisForm form{false, false, 128};
    const DesignComparison same = compareWithDesign(*analysis.value, design, form);
    EXPECT_TRUE(same.within(0.05));
    EXPECT_LT(same.largestPhase, 0.1);
    std::vector<HarmonicEntry> other = design;
    other[1].magnitude = 30.2F;
    other.push_back({2, 0.5F, 0});
    const DesignComparison differing = compareWithDesign(*analysis.value, other, form);
    EXPECT_FALSE(differing.within(0.05));
    EXPECT_NEAR(differing.largestMagnitude, 0.5, 0.01);
    ASSERT_EQ(differing.orders.size(), 4U);
    EXPECT_DOUBLE_EQ(differing.orders[1].order, 2.0);
    EXPECT_FALSE(differing.orders[1].phaseDifference);  // nothing measured there
}

// Lines of the same magnitudes in other phases differ as vectors; a design order between the
// window's bins is named with the window that would resolve it, never read off a bin beside it;
// a line below the noise floor is compared only when asked for.
TEST(CaptureComparison, TakesVectorDifferencesAndLeavesOrdersBetweenBinsUnresolved)
{
    const Outcome<CaptureAnalysis> analysis = analyzeCapture(
        toneSignal({{1, 100, 0}, {5, 10, 180}, {7, 2, 0}, {9, 0.03, 0}}, 50.0, 8000, 11), {});
    ASSERT_TRUE(analysis.ok()) << analysis.error;
    const std::vector<HarmonicEntry> design = {{1, 100, 0}, {5, 10, 0}, {7, 2, 0}};
    const DesignComparison inverted = compareWithDesign(*analysis.value, design, SynthesisForm{});
    ASSERT_EQ(inverted.orders.size(), 3U);
    EXPECT_EQ(compareWithDesign(*analysis.value, design, {}, 0.02).orders.size(), 4U);
    EXPECT_NEAR(inverted.orders[1].vectorDifference, 20.0, 0.01);
    EXPECT_NEAR(inverted.largestVector, 20.0, 0.01);
    EXPECT_TRUE(inverted.within(0.05, true));
    EXPECT_FALSE(inverted.within(19.9));
    EXPECT_TRUE(inverted.within(inverted.largestVector));  // a difference at the tolerance is in
    std::vector<HarmonicEntry> between = design;
    between.push_back({7.25F, 2, 0});
    between.push_back({1.09F, 1, 0});
    const DesignComparison unresolved = compareWithDesign(*analysis.value, between, {});
    EXPECT_EQ(unresolved.unresolved, 2U);
    EXPECT_FALSE(unresolved.within(100.0, true));
    ASSERT_EQ(unresolved.orders.size(), 5U);
    const ComparedOrder& order1 = unresolved.orders[1];
    const ComparedOrder& order7 = unresolved.orders[4];
    EXPECT_TRUE(!order1.resolved && !order1.cyclesNeeded) << order1.order;
    EXPECT_TRUE(!order7.resolved && order7.cyclesNeeded == 4) << order7.order;
    EXPECT_NEAR(unresolved.orders[3].capture, 2.0, 0.01);  // the 7th as measured, alone
    EXPECT_NEAR(unresolved.orders[3].design, 2.0, 0.01);
}

}  // namespace
