#pragma once

#include <optional>
#include <string>
#include <string_view>

/**
 * The values a long recording is aggregated to, as IEC 61000-4-30 class A analysers do:
 * each 10/12-cycle window, 15 of them in a row (150/180 cycles, about 3 s), the windows of
 * each 10-minute interval, and 12 ten-minute values (2 hours).
 */
enum class Aggregation { Window, Short, TenMinutes, TwoHours };

/** A statistic of a recording's aggregated values; the percentiles are nearest-rank. */
enum class Statistic { Max, P95, P99, Mean };

/** The period a standard takes its statistic over. */
enum class StatisticPeriod { Whole, Day, Week };

/**
 * How a standard judges a recording: a statistic of one aggregation, taken over each period
 * of the recording, against the limits times limitFactor.
 */
struct StatisticRule {
    Statistic statistic = Statistic::P95;
    Aggregation aggregation = Aggregation::TenMinutes;
    StatisticPeriod period = StatisticPeriod::Whole;
    double limitFactor = 1.0;

    bool operator==(const StatisticRule&) const = default;
};

/** As options and mask files write them: "200ms", "3s", "10min", "2h". */
[[nodiscard]] const char* aggregationName(Aggregation aggregation);
[[nodiscard]] std::optional<Aggregation> aggregationNamed(std::string_view name);
/** As sentences name the values: "10-minute values". */
[[nodiscard]] std::string aggregationValues(Aggregation aggregation);
/** As options and mask files write them: "max", "p95", "p99", "mean". */
[[nodiscard]] const char* statisticName(Statistic statistic);
[[nodiscard]] std::optional<Statistic> statisticNamed(std::string_view name);
/** As sentences name it: "the 95th percentile", "the maximum". */
[[nodiscard]] std::string statisticWords(Statistic statistic);
/** "each week", "each day", "the recording". */
[[nodiscard]] std::string periodWords(StatisticPeriod period);
/** The rule as a report names it: "the 95th percentile of 10-minute values of each week". */
[[nodiscard]] std::string ruleText(const StatisticRule& rule);
