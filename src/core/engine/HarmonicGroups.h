#pragma once

#include <complex>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "engine/CaptureAnalysis.h"
#include "engine/LimitTables.h"
#include "engine/PowerQuality.h"

/** IEC 61000-4-7's window: 10 cycles of a 50 Hz supply, 12 of a 60 Hz one (5 Hz lines). */
inline constexpr int kIecCycles50 = 10;
inline constexpr int kIecCycles60 = 12;

/** The fundamentals, in Hz, of IEC 61000-4-7's 60 Hz systems. */
inline constexpr double kLowWindowBand = 55.0;
inline constexpr double kHighWindowBand = 65.0;

/** The window for a fundamental in Hz: 12 cycles from 55 to 65 Hz, else 10. */
[[nodiscard]] int iecWindowCycles(double fundamental);

/**
 * The subgroup of a window that holds a line: a whole order's harmonic subgroup (its line
 * and the two beside it; DC alone at order 0), or the centered interharmonic subgroup between
 * order and order + 1 (every line between, but the two beside each order).
 */
struct Subgroup {
    int order = 0;
    bool interharmonic = false;

    bool operator==(const Subgroup&) const = default;
};

/** The subgroup that holds bin in a window of cycles cycles. */
[[nodiscard]] Subgroup subgroupHolding(std::size_t bin, int cycles);

/**
 * A subgroup's level, the root sum of squares of its lines (amplitudes per bin); none when
 * it reaches past the last line.
 */
[[nodiscard]] std::optional<double> subgroupLevel(std::span<const double> lines, int cycles,
                                                  Subgroup subgroup);

/** IEC 61000-4-7's groupings at one harmonic order, in percent of the fundamental line. */
struct HarmonicGroup {
    int order = 0;
    double subgroup = 0.0;       ///< the order's bin and its two neighbors
    double group = 0.0;          ///< every bin nearer the order than the next, edges half-weighted
    double interharmonic = 0.0;  ///< centered subgroup above the order: bins 2 to N - 2 beyond it
};

struct HarmonicGroups {
    std::vector<HarmonicGroup> orders;  ///< from 1 to the highest the window holds, at most 50
    double thds = 0.0;                  ///< subgroup THD over orders 2 to 40, percent
};

/**
 * The root sum of squares of the harmonic subgroups 2 to highestOrder, in the lines' unit;
 * none when the window does not reach that order's subgroup.
 */
[[nodiscard]] std::optional<double> subgroupDistortion(std::span<const double> lines, int cycles,
                                                       int highestOrder);

/**
 * The groupings of a window of cycles (10 or 12) from its bins' line amplitudes; refused for
 * other windows, whose bins do not fall as the standard counts them.
 */
[[nodiscard]] Outcome<HarmonicGroups> harmonicGroups(std::span<const std::complex<double>> bins,
                                                     int cycles);
