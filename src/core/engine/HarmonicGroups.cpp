#include "engine/HarmonicGroups.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPercent = 100.0;

/** Root sum of squares of lines first to last. */
double rootSumOfSquares(std::span<const double> lines, std::size_t first, std::size_t last)
{
    double sum = 0.0;
    for (std::size_t k = first; k <= last; ++k) {
        sum += lines[k] * lines[k];
    }
    return std::sqrt(sum);
}

}  // namespace

int iecWindowCycles(double fundamental)
{
    return fundamental >= kLowWindowBand && fundamental <= kHighWindowBand ? kIecCycles60
                                                                           : kIecCycles50;
}

Subgroup subgroupHolding(std::size_t bin, int cycles)
{
    const auto perOrder = static_cast<std::size_t>(cycles);
    const std::size_t below = bin / perOrder;
    const std::size_t offset = bin - below * perOrder;
    if (bin == 0 || (offset <= 1 && below > 0)) {
        return {static_cast<int>(below), false};
    }
    if (offset + 1 >= perOrder) {
        return {static_cast<int>(below + 1), false};
    }
    return {static_cast<int>(below), true};
}

std::optional<double> subgroupLevel(std::span<const double> lines, int cycles, Subgroup subgroup)
{
    const auto perOrder = static_cast<std::size_t>(cycles);
    const std::size_t center = static_cast<std::size_t>(subgroup.order) * perOrder;
    std::size_t first = center == 0 ? 0 : center - 1;
    std::size_t last = center == 0 ? 0 : center + 1;
    if (subgroup.interharmonic) {
        first = center + 2;
        last = center + perOrder - 2;
    }
    if (center == 0 && subgroup.interharmonic) {
        first = 1;  // DC is a line of its own: the line above it starts the first subgroup
    }
    if (last >= lines.size() || first > last) {
        return std::nullopt;
    }
    return rootSumOfSquares(lines, first, last);
}

std::optional<double> subgroupDistortion(std::span<const double> lines, int cycles,
                                         int highestOrder)
{
    if (!subgroupLevel(lines, cycles, {std::max(highestOrder, 1), false})) {
        return std::nullopt;
    }
    return harmonicDistortion(highestOrder, [&](int h) {
        return subgroupLevel(lines, cycles, {h, false});
    });
}

Outcome<HarmonicGroups> harmonicGroups(std::span<const std::complex<double>> bins, int cycles)
{
    if (cycles != kIecCycles50 && cycles != kIecCycles60) {
        return Outcome<HarmonicGroups>::failure("Groups need a window of 10 or 12 cycles.");
    }
    std::vector<double> lines(bins.size());
    for (std::size_t k = 0; k < bins.size(); ++k) {
        lines[k] = std::abs(bins[k]);
    }
    const auto square = [&lines](int k) { return std::pow(lines[static_cast<std::size_t>(k)], 2); };
    const int half = cycles / 2;
    HarmonicGroups groups;
    for (int h = 1; h <= kHighestOrder; ++h) {
        const std::optional<double> interharmonic = subgroupLevel(lines, cycles, {h, true});
        if (!interharmonic) {
            break;
        }
        const int center = cycles * h;
        HarmonicGroup group;
        group.order = h;
        group.subgroup = *subgroupLevel(lines, cycles, {h, false});
        group.group = std::pow(rootSumOfSquares(lines, static_cast<std::size_t>(center - half + 1),
                                                static_cast<std::size_t>(center + half - 1)),
                               2);
        group.group =
            std::sqrt(0.5 * square(center - half) + group.group + 0.5 * square(center + half));
        group.interharmonic = *interharmonic;
        groups.orders.push_back(group);
    }
    if (groups.orders.empty() || !(groups.orders.front().subgroup > 0.0)) {
        return Outcome<HarmonicGroups>::failure("The window holds no fundamental to group.");
    }
    const int highest = std::min(kThdOrdersIec, static_cast<int>(groups.orders.size()));
    groups.thds = kPercent * subgroupDistortion(lines, cycles, highest).value_or(0.0) /
                  groups.orders.front().subgroup;
    return {std::move(groups), {}};
}
