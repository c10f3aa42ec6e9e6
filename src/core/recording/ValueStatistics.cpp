#include "recording/ValueStatistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

/** Bins are this share of their value wide. */
constexpr double kBinWidth = 1e-4;
/** Zero and what is below the smallest float take a bin of their own, below all others. */
constexpr std::int32_t kZeroBin = std::numeric_limits<std::int32_t>::min();
constexpr double kPercent = 100.0;
constexpr double kP95 = 95.0;
constexpr double kP99 = 99.0;

double logStep()
{
    static const double step = std::log1p(kBinWidth);
    return step;
}

std::int32_t binOf(double value)
{
    if (!(value >= std::numeric_limits<float>::min())) {
        return kZeroBin;
    }
    return static_cast<std::int32_t>(std::floor(std::log(value) / logStep()));
}

/** The middle of a bin on the log scale: within half a bin of every value in it. */
double valueOf(std::int32_t bin)
{
    return bin == kZeroBin ? 0.0 : std::exp((static_cast<double>(bin) + 0.5) * logStep());
}

/** The rank (from 1) of the p-th percentile of count values. */
std::size_t rankOf(double p, std::size_t count)
{
    const double rank = std::ceil(p / kPercent * static_cast<double>(count) - 1e-9);
    return std::clamp<std::size_t>(static_cast<std::size_t>(std::max(rank, 1.0)), 1, count);
}

}  // namespace

void ValueStatistics::add(double value)
{
    value = std::max(value, 0.0);
    ++m_count;
    m_sum += value;
    m_max = std::max(m_max, value);
    if (m_histogram.empty() && m_exact.size() < kExactValues) {
        m_exact.push_back(static_cast<float>(value));
        return;
    }
    spill();
    ++m_histogram[binOf(value)];
}

void ValueStatistics::spill()
{
    for (const float value : m_exact) {
        ++m_histogram[binOf(value)];
    }
    m_exact = {};
}

double ValueStatistics::mean() const
{
    return m_count == 0 ? 0.0 : m_sum / static_cast<double>(m_count);
}

double ValueStatistics::percentile(double p) const
{
    if (m_count == 0) {
        return 0.0;
    }
    const std::size_t rank = rankOf(p, m_count);
    if (m_histogram.empty()) {
        std::vector<float> sorted = m_exact;
        const auto at = sorted.begin() + static_cast<std::ptrdiff_t>(rank - 1);
        std::nth_element(sorted.begin(), at, sorted.end());
        return *at;
    }
    std::uint64_t seen = 0;
    for (const auto& [bin, count] : m_histogram) {
        seen += count;
        if (seen >= rank) {
            return std::min(valueOf(bin), m_max);
        }
    }
    return m_max;
}

double ValueStatistics::of(Statistic statistic) const
{
    switch (statistic) {
    case Statistic::Max:
        return max();
    case Statistic::P95:
        return percentile(kP95);
    case Statistic::P99:
        return percentile(kP99);
    case Statistic::Mean:
        return mean();
    }
    return 0.0;
}
