#include "engine/StatisticRule.h"

#include <array>
#include <utility>

#include "numbers/NumberText.h"

namespace {

constexpr std::array<std::pair<Aggregation, const char*>, 4> kAggregationNames{{
    {Aggregation::Window, "200ms"},
    {Aggregation::Short, "3s"},
    {Aggregation::TenMinutes, "10min"},
    {Aggregation::TwoHours, "2h"},
}};

constexpr std::array<std::pair<Statistic, const char*>, 4> kStatisticNames{{
    {Statistic::Max, "max"},
    {Statistic::P95, "p95"},
    {Statistic::P99, "p99"},
    {Statistic::Mean, "mean"},
}};

template <typename Enum, std::size_t N>
const char* nameIn(const std::array<std::pair<Enum, const char*>, N>& names, Enum value)
{
    for (const auto& [each, name] : names) {
        if (each == value) {
            return name;
        }
    }
    return "";
}

template <typename Enum, std::size_t N>
std::optional<Enum> valueIn(const std::array<std::pair<Enum, const char*>, N>& names,
                            std::string_view name)
{
    for (const auto& [each, text] : names) {
        if (name == text) {
            return each;
        }
    }
    return std::nullopt;
}

}  // namespace

const char* aggregationName(Aggregation aggregation)
{
    return nameIn(kAggregationNames, aggregation);
}

std::optional<Aggregation> aggregationNamed(std::string_view name)
{
    return valueIn(kAggregationNames, name);
}

std::string aggregationValues(Aggregation aggregation)
{
    switch (aggregation) {
    case Aggregation::Window:
        return "10/12-cycle values";
    case Aggregation::Short:
        return "150/180-cycle values";
    case Aggregation::TenMinutes:
        return "10-minute values";
    case Aggregation::TwoHours:
        return "2-hour values";
    }
    return {};
}

const char* statisticName(Statistic statistic)
{
    return nameIn(kStatisticNames, statistic);
}

std::optional<Statistic> statisticNamed(std::string_view name)
{
    return valueIn(kStatisticNames, name);
}

std::string statisticWords(Statistic statistic)
{
    switch (statistic) {
    case Statistic::Max:
        return "the maximum";
    case Statistic::P95:
        return "the 95th percentile";
    case Statistic::P99:
        return "the 99th percentile";
    case Statistic::Mean:
        return "the mean";
    }
    return {};
}

std::string periodWords(StatisticPeriod period)
{
    switch (period) {
    case StatisticPeriod::Whole:
        return "the recording";
    case StatisticPeriod::Day:
        return "each day";
    case StatisticPeriod::Week:
        return "each week";
    }
    return {};
}

std::string ruleText(const StatisticRule& rule)
{
    std::string text = statisticWords(rule.statistic) + " of " +
                       aggregationValues(rule.aggregation) + " of " + periodWords(rule.period);
    if (rule.limitFactor != 1.0) {
        text += " against " + formatGeneral(rule.limitFactor) + " x the limits";
    }
    return text;
}
