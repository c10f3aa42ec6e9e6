#include <gtest/gtest.h>

#include <cmath>

#include "recording/IntervalAggregator.h"
#include "recording/Quantities.h"
#include "recording/ValueStatistics.h"

namespace {

constexpr double kWindow = 0.2;      // seconds
constexpr double kTenMinutes = 6.0;  // shortened: 30 windows
constexpr std::size_t kPerTen = 30;

struct Collected {
    std::vector<IntervalValues> shorts, tens, twos;
};

/** Feeds windows of value(i) in THD (flagged where asked) and collects what closes. */
Collected aggregate(std::size_t windows, const std::function<double(std::size_t)>& value,
                    std::size_t flagged = SIZE_MAX, double end = -1.0)
{
    Collected got;
    IntervalAggregator aggregator(1, {kTenMinutes, 0.0}, [&got](const IntervalValues& interval) {
        auto& list = interval.aggregation == Aggregation::Short        ? got.shorts
                     : interval.aggregation == Aggregation::TenMinutes ? got.tens
                     : interval.aggregation == Aggregation::TwoHours   ? got.twos
                                                                       : got.shorts;
        if (interval.aggregation != Aggregation::Window) {
            list.push_back(interval);
        }
    });
    std::vector<float> values(quantity::kCount, 0.0F);
    for (std::size_t i = 0; i < windows; ++i) {
        values[quantity::kThd] = static_cast<float>(value(i));
        aggregator.addWindow(static_cast<double>(i) * kWindow, static_cast<double>(i + 1) * kWindow,
                             values, i == flagged);
    }
    aggregator.finish(end >= 0.0 ? end : static_cast<double>(windows) * kWindow);
    return got;
}

float thd(const IntervalValues& interval)
{
    return interval.values[quantity::kThd];
}

TEST(IntervalAggregation, TakesTheRootMeanSquareOf15WindowsAnd12TenMinuteValues)
{
    // Windows valued 1, 2, 3, ... : sums of squares by n(n+1)(2n+1)/6, worked out here.
    const Collected first = aggregate(kPerTen, [](std::size_t i) { return i + 1.0; });
    ASSERT_EQ(first.shorts.size(), 2U);
    EXPECT_NEAR(thd(first.shorts[0]), std::sqrt(1240.0 / 15), 1e-4);             // 1..15
    EXPECT_NEAR(thd(first.shorts[1]), std::sqrt((9455.0 - 1240.0) / 15), 1e-4);  // 16..30
    ASSERT_EQ(first.tens.size(), 1U);
    EXPECT_NEAR(thd(first.tens[0]), std::sqrt(9455.0 / 30), 1e-4);
    EXPECT_FALSE(first.tens[0].partial);

    // Twelve 10-minute intervals valued 1 to 12: their 2-hour value, sqrt(650 / 12).
    const Collected two = aggregate(12 * kPerTen, [](std::size_t i) { return i / kPerTen + 1.0; });
    ASSERT_EQ(two.tens.size(), 12U);
    EXPECT_NEAR(thd(two.tens[11]), 12.0, 1e-6);
    ASSERT_EQ(two.twos.size(), 1U);
    EXPECT_NEAR(thd(two.twos[0]), std::sqrt(650.0 / 12), 1e-4);
    EXPECT_FALSE(two.twos[0].partial);
    EXPECT_NEAR(two.twos[0].end, 12 * kTenMinutes, 1e-9);
}

TEST(IntervalAggregation, FlagsEveryIntervalThatHoldsAFlaggedWindowAndMarksPartialOnes)
{
    // Window 40 lies in the second 10-minute interval and its first 150/180-cycle group.
    const Collected got = aggregate(
        12 * kPerTen + 10, [](std::size_t) { return 1.0; }, 40);
    ASSERT_GE(got.tens.size(), 13U);
    for (std::size_t t = 0; t < got.tens.size(); ++t) {
        EXPECT_EQ(got.tens[t].flagged, t == 1) << t;
    }
    EXPECT_TRUE(got.shorts[2].flagged);
    EXPECT_FALSE(got.shorts[3].flagged);
    EXPECT_TRUE(got.twos[0].flagged);
    // The last 10-minute interval holds 10 windows of its 30: partial, and so its 2-hour one.
    EXPECT_TRUE(got.tens.back().partial);
    EXPECT_EQ(got.tens.back().windows, 10U);
    ASSERT_EQ(got.twos.size(), 2U);
    EXPECT_TRUE(got.twos[1].partial);
    EXPECT_FALSE(got.twos[0].partial);
}

TEST(IntervalMarks, StartOnTheClockWhenTheRecordingsStartIsGiven)
{
    const IntervalMarks marks{600.0, 1000.0};  // the first sample at 1000 s past a mark
    EXPECT_EQ(marks.tenMinuteIndex(0.0), 1);
    EXPECT_DOUBLE_EQ(marks.tenMinuteStart(2), 200.0);
    EXPECT_EQ(marks.tenMinuteIndex(199.999), 1);
    EXPECT_EQ(marks.tenMinuteIndex(200.0), 2);
}

struct PercentileCase {
    std::size_t count;  ///< values 1 to count
    double p;
    double expected;
    double tolerance;
};

class Percentiles : public testing::TestWithParam<PercentileCase> {};

TEST_P(Percentiles, AreTheNearestRankOfTheValues)
{
    const PercentileCase& c = GetParam();
    ValueStatistics values;
    for (std::size_t i = c.count; i >= 1; --i) {  // any order
        values.add(static_cast<double>(i));
    }
    EXPECT_NEAR(values.percentile(c.p), c.expected, c.tolerance);
    EXPECT_EQ(values.count(), c.count);
    EXPECT_DOUBLE_EQ(values.max(), static_cast<double>(c.count));
    EXPECT_NEAR(values.mean(), (static_cast<double>(c.count) + 1) / 2, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Values, Percentiles,
    testing::Values(PercentileCase{40, 95, 38, 0}, PercentileCase{40, 99, 40, 0},
                    PercentileCase{20, 95, 19, 0}, PercentileCase{1, 95, 1, 0},
                    PercentileCase{100, 95, 95, 0},
                    // Beyond the values kept as they are: within a ten-thousandth.
                    PercentileCase{100000, 95, 95000, 9.5}, PercentileCase{100000, 99, 99000, 9.9},
                    PercentileCase{100000, 100, 100000, 10}));

}  // namespace
