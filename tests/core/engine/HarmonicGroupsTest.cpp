#include "engine/HarmonicGroups.h"

#include <cmath>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

// IEC 61000-4-7's subgroups of a 10-cycle window: DC alone; an order's line and the two
// beside it; every line between two orders but those.
TEST(HarmonicGroups, SubgroupsHoldTheLinesTheStandardGivesThem)
{
    const std::pair<std::size_t, Subgroup> holding[] = {
        {0, {0, false}},  {1, {0, true}},  {8, {0, true}},  {9, {1, false}},
        {11, {1, false}}, {12, {1, true}}, {18, {1, true}}, {19, {2, false}},
    };
    for (const auto& [bin, subgroup] : holding) {
        EXPECT_TRUE(subgroupHolding(bin, kIecCycles50) == subgroup) << bin;
    }
    // Every line 1: a subgroup's level is the root of the number of lines it holds.
    const std::vector<double> ones(30, 1.0);
    const std::pair<Subgroup, double> levels[] = {
        {{0, false}, 1.0},           {{0, true}, std::sqrt(8.0)}, {{1, false}, std::sqrt(3.0)},
        {{1, true}, std::sqrt(7.0)}, {{2, true}, std::sqrt(7.0)},
    };
    for (const auto& [subgroup, level] : levels) {
        EXPECT_DOUBLE_EQ(subgroupLevel(ones, kIecCycles50, subgroup).value(), level);
    }
    EXPECT_FALSE(subgroupLevel(ones, kIecCycles50, {3, false}).has_value());
}

TEST(IecWindow, TakesTheStandardsCyclesByFundamental)
{
    const std::pair<double, int> cases[] = {{44.0, 10}, {49.7, 10}, {54.99, 10}, {55.0, 12},
                                            {60.3, 12}, {65.0, 12}, {65.1, 10},  {400.0, 10}};
    for (const auto& [fundamental, cycles] : cases) {
        EXPECT_EQ(iecWindowCycles(fundamental), cycles) << fundamental;
    }
}

}  // namespace
