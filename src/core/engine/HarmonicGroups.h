#pragma once

#include <complex>
#include <span>
#include <vector>

#include "engine/CaptureAnalysis.h"

/** IEC 61000-4-7's groupings at one harmonic order, in percent of the fundamental line. */
struct HarmonicGroup {
    int order = 0;
    double subgroup = 0.0;       ///< the order's bin and its two neighbours
    double group = 0.0;          ///< every bin nearer the order than the next, edges half-weighted
    double interharmonic = 0.0;  ///< centred subgroup above the order: bins 2 to N - 2 beyond it
};

struct HarmonicGroups {
    std::vector<HarmonicGroup> orders;  ///< from 1 to the highest the window holds, at most 50
    double thds = 0.0;                  ///< subgroup THD over orders 2 to 40, percent
};

/** The highest order grouped, and the last the subgroup THD counts. */
inline constexpr int kHighestGroupedOrder = 50;
inline constexpr int kThdsOrders = 40;

/**
 * The groupings of a window of cycles (10 or 12) from its bins' line amplitudes; refused for
 * other windows, whose bins do not fall as the standard counts them.
 */
[[nodiscard]] Outcome<HarmonicGroups> harmonicGroups(std::span<const std::complex<double>> bins,
                                                     int cycles);
