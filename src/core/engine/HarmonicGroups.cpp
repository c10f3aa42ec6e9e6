#include "engine/HarmonicGroups.h"

#include <cmath>

namespace {

constexpr int kCycles50 = 10;
constexpr int kCycles60 = 12;

}  // namespace

Outcome<HarmonicGroups> harmonicGroups(std::span<const std::complex<double>> bins, int cycles)
{
    if (cycles != kCycles50 && cycles != kCycles60) {
        return Outcome<HarmonicGroups>::failure("Groups need a window of 10 or 12 cycles.");
    }
    const auto square = [&bins](int k) { return std::norm(bins[static_cast<std::size_t>(k)]); };
    const auto sum = [&square](int first, int last) {
        double total = 0.0;
        for (int k = first; k <= last; ++k) {
            total += square(k);
        }
        return total;
    };
    const int half = cycles / 2;
    const int lastBin = static_cast<int>(bins.size()) - 1;
    HarmonicGroups groups;
    for (int h = 1; h <= kHighestGroupedOrder && cycles * h + cycles - 2 <= lastBin; ++h) {
        const int center = cycles * h;
        HarmonicGroup group;
        group.order = h;
        group.subgroup = std::sqrt(sum(center - 1, center + 1));
        group.group =
            std::sqrt(0.5 * square(center - half) + sum(center - half + 1, center + half - 1) +
                      0.5 * square(center + half));
        group.interharmonic = std::sqrt(sum(center + 2, center + cycles - 2));
        groups.orders.push_back(group);
    }
    if (groups.orders.empty() || !(groups.orders.front().subgroup > 0.0)) {
        return Outcome<HarmonicGroups>::failure("The window holds no fundamental to group.");
    }
    double ratios = 0.0;
    const double fundamental = groups.orders.front().subgroup;
    for (const HarmonicGroup& group : groups.orders) {
        if (group.order >= 2 && group.order <= kThdsOrders) {
            ratios += std::pow(group.subgroup / fundamental, 2);
        }
    }
    groups.thds = 100.0 * std::sqrt(ratios);
    return {std::move(groups), {}};
}
