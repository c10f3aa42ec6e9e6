#pragma once

#include <complex>
#include <cstddef>
#include <span>
#include <vector>

#include "fft/AnalysisPlan.h"
#include "fft/FftBuffer.h"
#include "recording/Quantities.h"
#include "recording/WindowResampler.h"

/** A window's fundamental moves at most this share from the window before (2.5 Hz at 50). */
inline constexpr double kMostFundamentalMove = 0.05;

/** The shape of a recording's windows, fixed for the whole recording. */
struct WindowShape {
    double rate = 0.0;       ///< samples per second
    int cycles = 0;          ///< 10, or 12 for a 60 Hz supply
    int pointsPerCycle = 0;  ///< of the resampled window
    double cutoff = 1.0;     ///< the band kept, as a share of the recording's
    double flatOrder = 0.0;  ///< the highest order the resampler passes flat
    int checkThdOrders = quantity::kThdOrders;
};

/** The one-cycle RMS values of a window, refreshed every half cycle. */
struct CycleRms {
    double least = 0.0;
    double most = 0.0;
};

/**
 * Measures windows of one channel: resampled to the window's points per cycle, transformed,
 * and grouped into IEC 61000-4-7's subgroups. Keeps its buffers and plan between windows.
 */
class WindowMeasurer {
public:
    explicit WindowMeasurer(const WindowShape& shape);

    /**
     * Measures the window of x from position start (x[0] at 0) over cycles cycles of
     * fundamental Hz into values (quantity::kCount); false when it holds no fundamental. x
     * must hold the resampler's reach() either side.
     */
    bool measure(std::span<const float> x, double start, double fundamental,
                 std::span<float> values);

    [[nodiscard]] std::size_t reach() const { return m_resampler.reach(); }

private:
    WindowShape m_shape;
    WindowResampler m_resampler;
    FftPlan m_plan;
    FftBuffer m_buffer;
    std::vector<double> m_lines;
};

/** One-cycle RMS values over the window from start, each half cycle; cycle in samples. */
[[nodiscard]] CycleRms cycleRms(std::span<const float> x, double start, double cycle, int cycles);

/**
 * The fundamental of the window from start, refined from the phase drift of its line
 * between the window's halves, starting from the estimate; none when the window holds too
 * little of it or it moved too far.
 */
[[nodiscard]] std::optional<double> trackFundamental(std::span<const float> x, double start,
                                                     double estimate, const WindowShape& shape);
