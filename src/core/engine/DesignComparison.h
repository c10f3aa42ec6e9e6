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
    /** |capture - design| of the two lines as vectors, the capture's time shifted as for the
     *  phase: percentage points, where magnitude and phase each count. */
    double vectorDifference = 0.0;
    /** False for a design order between the window's bins, which is never compared; then
     *  design is its magnitude and capture and the differences are 0. */
    bool resolved = true;
    /** Where not resolved: the fewest cycles of a window that would resolve it, if any. */
    std::optional<int> cyclesNeeded;
};

struct DesignComparison {
    std::vector<ComparedOrder> orders;  ///< every order of either, ascending
    double largestMagnitude = 0.0;      ///< of |magnitudeDifference|
    double largestPhase = 0.0;          ///< of |phaseDifference|
    double largestVector = 0.0;         ///< of vectorDifference
    std::size_t unresolved = 0;         ///< design orders between the window's bins

    /**
     * Whether the capture agrees within tolerance percentage points: every vector difference,
     * or with magnitudeOnly every magnitude difference; an order not resolved never agrees.
     */
    [[nodiscard]] bool within(double tolerance, bool magnitudeOnly = false) const
    {
        return unresolved == 0 && (magnitudeOnly ? largestMagnitude : largestVector) <= tolerance;
    }
};

inline constexpr double kDefaultTolerance = 0.1;
inline constexpr double kPhaseComparedFrom = 0.1;

/**
 * Compares a capture's window with a design of the given form, order by order: the design's
 * entries summed per bin of the window, the capture's lines at or above noiseFloor percent
 * and at every order of the design. A design order that lies between the window's bins is
 * listed unresolved.
 */
[[nodiscard]] DesignComparison compareWithDesign(const CaptureAnalysis& capture,
                                                 std::span<const HarmonicEntry> design,
                                                 const SynthesisForm& form,
                                                 double noiseFloor = kDefaultNoiseFloor);
