#include "recording/RecordingCheck.h"

#include <cmath>
#include <limits>

#include "recording/Quantities.h"

namespace {

constexpr double kDay = 86400.0;
constexpr double kWeek = 7.0 * kDay;

double periodSeconds(StatisticPeriod period)
{
    switch (period) {
    case StatisticPeriod::Day:
        return kDay;
    case StatisticPeriod::Week:
        return kWeek;
    case StatisticPeriod::Whole:
        break;
    }
    return 0.0;
}

/** The largest share of its limit any line or the THD reached. */
double worstShare(const MaskCheck& check)
{
    double share = 0.0;
    for (const OrderCheck& order : check.orders) {
        share = std::max(share, shareOfLimit(order.level, order.limit));
    }
    if (check.thd) {
        share = std::max(share, shareOfLimit(check.thd->level, check.thd->limit.limit));
    }
    return share;
}

/** The quantity a mask's order is measured by: a harmonic or centred interharmonic subgroup. */
std::optional<std::size_t> quantityOf(double order)
{
    const double whole = std::floor(order);
    if (whole < 1.0 || order > kHighestOrder) {
        return std::nullopt;
    }
    const int h = static_cast<int>(whole);
    if (order == whole) {
        return h >= 2 ? std::optional(quantity::harmonic(h)) : std::nullopt;
    }
    return h < kHighestOrder ? std::optional(quantity::interharmonic(h)) : std::nullopt;
}

}  // namespace

RuleTracker::RuleTracker(const LimitMask& mask, const StatisticRule& rule, double flatOrder)
    : m_mask(mask),
      m_rule(rule),
      m_flatOrder(flatOrder),
      m_periodSeconds(periodSeconds(rule.period)),
      m_values(quantity::kCount)
{
    m_verdict.rule = rule;
}

void RuleTracker::take(const IntervalValues& interval)
{
    if (interval.aggregation != m_rule.aggregation || interval.flagged || interval.windows == 0) {
        return;
    }
    const long long period =
        m_periodSeconds > 0.0 ? static_cast<long long>(std::floor(interval.start / m_periodSeconds))
                              : 0;
    if (period != m_period) {
        closePeriod();
        m_period = period;
        m_periodStart = static_cast<double>(period) * m_periodSeconds;
    }
    for (std::size_t q = 0; q < quantity::kCount; ++q) {
        m_values[q].add(interval.values[q]);
    }
}

void RuleTracker::closePeriod()
{
    const std::size_t count = m_values[quantity::kThd].count();
    if (count == 0) {
        return;
    }
    LimitMask scaled = m_mask;
    for (OrderLimit& limit : scaled.orders) {
        limit.limit *= m_rule.limitFactor;
    }
    if (scaled.thd) {
        scaled.thd->limit *= m_rule.limitFactor;
    }
    const auto levelAt = [this](double order) -> std::optional<double> {
        const std::optional<std::size_t> index = quantityOf(order);
        if (!index || order > m_flatOrder) {
            return std::nullopt;
        }
        return m_values[*index].of(m_rule.statistic);
    };
    MaskCheck check = checkLevels(scaled, ruleText(m_rule), levelAt,
                                  m_values[quantity::kCheckThd].of(m_rule.statistic));
    ++m_verdict.periods;
    const bool failed = !check.passed();
    m_verdict.failedPeriods += failed ? 1 : 0;
    const double share = failed ? std::numeric_limits<double>::infinity() : worstShare(check);
    const bool firstFailure = failed && m_verdict.failedPeriods == 1;
    if (firstFailure || (!failed && m_verdict.failedPeriods == 0 && share > m_worstShare)) {
        m_worstShare = share;
        m_verdict.worst = std::move(check);
        m_verdict.worstStart = m_periodStart;
        m_verdict.values = count;
    }
    m_values.assign(quantity::kCount, ValueStatistics());
}

RuleVerdict RuleTracker::finish()
{
    closePeriod();
    return m_verdict;
}
