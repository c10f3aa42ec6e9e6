#pragma once

#include <optional>
#include <span>
#include <vector>

#include "engine/CaptureAnalysis.h"
#include "engine/HarmonicTable.h"
#include "engine/Synthesis.h"

/** One order as the design has it and as the capture's window measured it. */
struct ComparedOrder {
    double order = 0.0;
    double design = 0.0;               ///< percent of the fundamental
    double capture = 0.0;              ///< percent of the fundamental
    double magnitudeDifference = 0.0;  ///< capture - design, percentage points
    /** capture - design in degrees, the capture's time shifted so that the fundamentals agree;
     *  none where either line is below kPhaseComparedFrom, whose phase is mostly noise. */
    std::optional<double> phaseDifference;
};

struct DesignComparison {
    std::vector<ComparedOrder> orders;  ///< every order of either, ascending
    double largestMagnitude = 0.0;      ///< of |magnitudeDifference|
    double largestPhase = 0.0;          ///< of |phaseDifference|

    /** Whether every magnitude agrees within tolerance percentage points. */
    [[nodiscard]] bool within(double tolerance) const { return largestMagnitude <= tolerance; }
};

inline constexpr double kDefaultTolerance = 0.1;
inline constexpr double kPhaseComparedFrom = 0.1;

/**
 * Compares a capture's window with a design of the given form, order by order: the design's
 * entries summed per bin of the window, the capture's lines above 0.01 % and at every order
 * of the design.
 */
[[nodiscard]] DesignComparison compareWithDesign(const CaptureAnalysis& capture,
                                                 std::span<const HarmonicEntry> design,
                                                 const SynthesisForm& form);
