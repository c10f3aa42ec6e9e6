#include "engine/LimitTables.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr double kNoLimit = -1.0;

double limitAt(const LimitMask& m, double order)
{
    const auto found = std::find_if(m.orders.begin(), m.orders.end(),
                                    [&](const OrderLimit& limit) { return limit.order == order; });
    return found == m.orders.end() ? kNoLimit : found->limit;
}

struct TableCase {
    const char* name;
    MaskParameters parameters;
    std::vector<std::pair<double, double>> limits;  ///< order, % of the fundamental
    double thd = kNoLimit;
};

// Each value typed from its standard's table, turned into % of the fundamental by hand: 2 A
// of fundamental halves amperes into %, an I_L of 20 A over an I1 of 10 A doubles % of I_L.
TEST(LimitTables, EveryBuiltInTableAtItsEdgesAndRows)
{
    const MaskParameters amps2{.fundamentalRms = 2.0};
    const auto demand = [](double ratio, int edition) {
        return MaskParameters{
            .fundamentalRms = 10.0, .iscIl = ratio, .demandCurrent = 20.0, .edition = edition};
    };
    const TableCase cases[] = {
        {"en50160", {}, {{2, 2}, {7, 5}, {25, 1.5}, {26, kNoLimit}}, 8},
        {"iec61000-2-2", {}, {{7, 5}, {13, 3}, {17, 2}, {49, 0.517551}, {51, kNoLimit}}, 8},
        {"iec61000-2-2", {}, {{15, 0.4}, {21, 0.3}, {27, 0.2}, {45, 0.2}, {12, 0.458333}}, 8},
        {"iec61000-2-2", {}, {{8, 0.5}, {10, 0.5}, {50, 0.3}}, 8},
        {"ieee519-1kv", {}, {{2, 5}}, 8},
        {"ieee519-161kv", {}, {{50, 1.5}}, 2.5},
        {"ieee519-hv", {}, {{51, kNoLimit}}, 1.5},
        {"iec61000-3-2-a", amps2, {{3, 115}, {8, 11.5}, {39, 2.884615}, {40, 2.3}, {41, kNoLimit}}},
        {"iec61000-3-2-b", amps2, {{2, 81}, {3, 172.5}, {40, 3.45}}},
        {"iec61000-3-2-c",
         {.fundamentalRms = 2.0, .powerFactor = 0.9},
         {{2, 2}, {3, 27}, {9, 5}, {11, 3}, {39, 3}, {4, kNoLimit}, {41, kNoLimit}}},
        // 100 W: 3.4 mA/W is 0.34 A; at 600 W h15's 2.31/15 A is capped at class A's 0.15 A.
        {"iec61000-3-2-d", {.fundamentalRms = 1.0, .power = 100}, {{3, 34}, {13, 2.961538}}},
        {"iec61000-3-2-d",
         {.fundamentalRms = 1.0, .power = 600},
         {{5, 114}, {15, 15}, {2, kNoLimit}}},
        {"ieee519-current", demand(19.99, 2014), {{3, 8}, {11, 4}, {35, 0.6}, {50, 0.15}}, 10},
        {"ieee519-current", demand(20, 2014), {{2, 3.5}, {10, 3.5}, {17, 5}, {23, 2}}, 16},
        {"ieee519-current", demand(50, 2022), {{3, 20}, {6, 10}, {8, 20}, {49, 1.4}}, 24},
        {"ieee519-current", demand(100, 2022), {{11, 11}, {22, 10}}, 30},
        {"ieee519-current", demand(1000, 2014), {{35, 2.8}, {50, 0.7}}, 40},
    };
    for (const TableCase& c : cases) {
        const MaskChoice choice = builtInMask(c.name, c.parameters);
        ASSERT_TRUE(choice.mask) << c.name << ": " << choice.error;
        for (const auto& [order, limit] : c.limits) {
            EXPECT_NEAR(limitAt(*choice.mask, order), limit, 1e-6) << c.name << " h" << order;
        }
        EXPECT_NEAR(choice.mask->thd ? choice.mask->thd->limit : kNoLimit, c.thd, 1e-9) << c.name;
        const auto& orders = choice.mask->orders;
        EXPECT_TRUE(std::adjacent_find(orders.begin(), orders.end(),
                                       [](const OrderLimit& a, const OrderLimit& b) {
                                           return a.order >= b.order;
                                       }) == orders.end())
            << c.name << ": orders ascend, each once";
    }
}

// What a table needs is asked for, within its range; what it does not take is refused.
TEST(LimitTables, RefuseParametersMissingOutOfRangeOrNotTaken)
{
    const std::pair<const char*, MaskParameters> cases[] = {
        {"iec61000-3-2-a", {}},
        {"iec61000-3-2-a", {.fundamentalRms = 0.0099}},
        {"iec61000-3-2-b", {.fundamentalRms = 16.01}},
        {"iec61000-3-2-c", {.fundamentalRms = 1, .powerFactor = 0}},
        {"iec61000-3-2-c", {.fundamentalRms = 1, .powerFactor = 1.01}},
        {"iec61000-3-2-d", {.fundamentalRms = 1, .power = 74.9}},
        {"iec61000-3-2-d", {.fundamentalRms = 1, .power = 601}},
        {"ieee519-current", {.fundamentalRms = 1, .iscIl = 20}},
        {"ieee519-current",
         {.fundamentalRms = 1, .iscIl = 20, .demandCurrent = 1, .edition = 2019}},
        {"en50160", {.fundamentalRms = 1}},
        {"iec61000-3-2-a", {.fundamentalRms = 1, .power = 100}},
        {"en50161", {}},
    };
    for (const auto& [name, parameters] : cases) {
        const MaskChoice choice = builtInMask(name, parameters);
        EXPECT_FALSE(choice.mask.has_value()) << name << " " << choice.error;
    }
    EXPECT_NE(builtInMask("iec61000-3-2-a", {.fundamentalRms = 16.01}).error.find("16 A"),
              std::string::npos);
    EXPECT_TRUE(builtInMask("iec61000-3-2-a", {.fundamentalRms = 16}).mask.has_value());
    EXPECT_TRUE(builtInMask("iec61000-3-2-c", {.fundamentalRms = 1, .powerFactor = 1}).mask);
    EXPECT_TRUE(builtInMask("iec61000-3-2-d", {.fundamentalRms = 1, .power = 75}).mask);
}

}  // namespace

namespace {

// EN 50160 4.2.5 and IEEE 519-2014 5.1 and 5.2, as they state the statistics a supply is
// judged by; the emission tables judge equipment, not a recording.
TEST(LimitTables, CarryTheStatisticsARecordingIsJudgedBy)
{
    using R = StatisticRule;
    const R weekly{Statistic::P95, Aggregation::TenMinutes, StatisticPeriod::Week, 1.0};
    const std::pair<const char*, std::vector<R>> cases[] = {
        {"en50160", {weekly}},
        {"iec61000-2-2", {weekly}},
        {"ieee519-1kv", {weekly, {Statistic::P99, Aggregation::Short, StatisticPeriod::Day, 1.5}}},
        {"ieee519-hv", {weekly, {Statistic::P99, Aggregation::Short, StatisticPeriod::Day, 1.5}}},
    };
    for (const auto& [name, rules] : cases) {
        EXPECT_EQ(builtInMask(name, {}).mask->recordingRules, rules) << name;
    }
    const MaskChoice current =
        builtInMask("ieee519-current", {.fundamentalRms = 10, .iscIl = 50, .demandCurrent = 10});
    EXPECT_EQ(current.mask->recordingRules,
              (std::vector<R>{weekly,
                              {Statistic::P99, Aggregation::TenMinutes, StatisticPeriod::Week, 1.5},
                              {Statistic::P99, Aggregation::Short, StatisticPeriod::Day, 2.0}}));
    EXPECT_TRUE(builtInMask("iec61000-3-2-a", {.fundamentalRms = 1}).mask->recordingRules.empty());
}

}  // namespace
