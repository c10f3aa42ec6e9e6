#include "fft/Optimize.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "design/Design.h"
#include "fft/Wisdom.h"
#include "support/TestSupport.h"

namespace {

/** Records what the dialog would show, without waiting. */
class RecordingProgress final : public OptimizeProgress {
public:
    bool open() override
    {
        events.push_back("open");
        return canOpen;
    }
    void setPosition(int position) override { events.push_back(std::to_string(position)); }
    void pause(int ms) override { events.push_back("pause " + std::to_string(ms)); }
    void close() override { events.push_back("close"); }

    std::vector<std::string> events;
    bool canOpen = true;
};

bool wisdomKnowsForward(int n)
{
    return !FftPlan::forwardInPlace(n, PlanRigor::WisdomOnly).empty();
}

// The suite's one measured optimization: everywhere else planning is estimated. Reoptimizing
// drops all wisdom first: the 100 learnt before is gone afterwards.
TEST(OptimizePlans, ShowsTheFixedStagesInOrderAndLeavesWisdomForTheListedSizes)
{
    ASSERT_FALSE(FftPlan::forwardInPlace(100).empty());
    ASSERT_TRUE(wisdomKnowsForward(100));
    AnalysisPlanSlot slot;
    ASSERT_TRUE(slot.ensureAnalysisPlan(128));
    RecordingProgress progress;
    reoptimizePlans(slot, progress);

    std::vector<std::string> expected = {"open", "0", "pause 1000", "15", "42", "70"};
    for (const char* position :
         {"101", "118", "148", "175", "180", "195", "195", "196", "197", "198", "199", "200"}) {
        expected.insert(expected.end(), {position, "pause 1000"});
    }
    expected.insert(expected.end(), {"pause 1000", "close"});
    EXPECT_EQ(progress.events, expected);
    EXPECT_FALSE(slot.holdsPlan());

    for (int k = 1; k <= 12; ++k) {
        EXPECT_TRUE(wisdomKnowsForward(k * 128)) << k * 128;
    }
    EXPECT_TRUE(wisdomKnowsForward(2048));
    EXPECT_FALSE(FftPlan::inverseOutOfPlace(65536, PlanRigor::WisdomOnly).empty());
    EXPECT_FALSE(wisdomKnowsForward(100));  // not among the listed sizes
}

class FirstRunOptimization : public ::testing::TestWithParam<bool> {};

TEST_P(FirstRunOptimization, RunsOnceEmptiesTheSlotAndSetsTheFlagOnDisk)
{
    const bool dialogOpens = GetParam();
    TempSettings settings;
    Design design(PlanRigor::Estimate);
    design.start();
    design.recalculate(false);
    ASSERT_TRUE(design.planSlot().holdsPlan());
    RecordingProgress first;
    first.canOpen = dialogOpens;
    EXPECT_TRUE(design.runFirstRunOptimization(settings.store(), first));
    // A dialog that cannot open: the plans are not made, but the flag is still set.
    EXPECT_EQ(first.events.size(), dialogOpens ? 32U : 1U);
    EXPECT_FALSE(design.planSlot().holdsPlan());
    settings.reopen();  // "Optimized" is on disk right away, not only at close
    EXPECT_EQ(settings.store().readInt("Optimized", 0), 1);
    EXPECT_EQ(settings.store().readString("Wisdom", "none"), "none");

    RecordingProgress second;
    EXPECT_FALSE(design.runFirstRunOptimization(settings.store(), second));
    EXPECT_TRUE(second.events.empty());
}

INSTANTIATE_TEST_SUITE_P(Dialog, FirstRunOptimization, ::testing::Bool());

}  // namespace
