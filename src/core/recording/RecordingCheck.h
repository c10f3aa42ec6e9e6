#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "engine/LimitCheck.h"
#include "recording/IntervalAggregator.h"
#include "recording/ValueStatistics.h"

/** How a recording fared under one of its mask's rules. */
struct RuleVerdict {
    StatisticRule rule;
    /** The period that came out worst: the first that failed, else the closest to a limit. */
    MaskCheck worst;
    std::size_t periods = 0;  ///< with values
    std::size_t failedPeriods = 0;
    double worstStart = 0.0;  ///< seconds into the recording where the worst period starts
    std::size_t values = 0;   ///< in the worst period

    [[nodiscard]] bool passed() const { return failedPeriods == 0 && periods > 0; }
};

/**
 * Judges one channel by one rule: the rule's statistic of its aggregation's unflagged values,
 * per period (a day or a week from the recording's start, or the whole), against the mask.
 */
class RuleTracker {
public:
    RuleTracker(const LimitMask& mask, const StatisticRule& rule, double flatOrder);

    /** An interval of any aggregation; those of the rule's are taken. */
    void take(const IntervalValues& interval);
    /** The verdict once the recording has ended. */
    [[nodiscard]] RuleVerdict finish();

private:
    void closePeriod();

    LimitMask m_mask;
    StatisticRule m_rule;
    double m_flatOrder = 0.0;
    double m_periodSeconds = 0.0;  ///< 0: the whole recording
    long long m_period = -1;
    double m_periodStart = 0.0;
    std::vector<ValueStatistics> m_values;  ///< per quantity, of the period at hand
    RuleVerdict m_verdict;
    double m_worstShare = -1.0;
};
