#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "engine/StatisticRule.h"

/**
 * The maximum, mean and nearest-rank percentiles of values of 0 or more, in bounded memory:
 * the values themselves up to kExactValues, beyond that a histogram of bins a ten-thousandth
 * of the value wide, so that a percentile of any count lies within 1e-4 of a value taken.
 */
class ValueStatistics {
public:
    void add(double value);

    [[nodiscard]] std::size_t count() const { return m_count; }
    [[nodiscard]] double max() const { return m_max; }
    [[nodiscard]] double mean() const;
    /**
     * The smallest value that at least p % of the values are at or below (nearest rank:
     * the ceil(p n / 100)-th smallest); 0 when there are none.
     */
    [[nodiscard]] double percentile(double p) const;
    /** The statistic a rule or a report names. */
    [[nodiscard]] double of(Statistic statistic) const;

private:
    void spill();

    std::vector<float> m_exact;
    std::map<std::int32_t, std::uint64_t> m_histogram;  ///< bin to count
    std::size_t m_count = 0;
    double m_sum = 0.0;
    double m_max = 0.0;
};

/** Values kept as they are before a histogram takes over. */
inline constexpr std::size_t kExactValues = 8192;
