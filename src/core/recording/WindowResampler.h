#pragma once

#include <cstddef>
#include <span>
#include <vector>

/**
 * Resamples windows of a long recording band-limited: a Kaiser-windowed sinc tabulated in
 * kResamplerPhases phases of a sample, each a row of taps, so that a point costs one dot
 * product. The point's position is rounded to the nearest phase (1/2048 of a sample at
 * most), which moves a line at a quarter of the rate by under 0.1 degree.
 */
class WindowResampler {
public:
    /** cutoff: the band kept, as a share of the input's (1 when the rate goes up). */
    explicit WindowResampler(double cutoff);

    /** Input samples the kernel reaches either side of a point. */
    [[nodiscard]] std::size_t reach() const { return m_reach; }

    /**
     * out[j] = x at position start + j step (x[0] at 0): x must hold the samples from
     * start - reach() to the last position + reach().
     */
    void resample(std::span<const float> x, double start, double step, std::span<double> out) const;

    /** The gain at nu cycles per input sample: flat at what a window keeps, zero beyond. */
    [[nodiscard]] double response(double nu) const;

private:
    std::size_t m_reach = 0;
    std::size_t m_taps = 0;
    std::vector<float> m_table;  ///< (phases + 1) rows of m_taps
};

/** Phases of a sample the kernel is tabulated at. */
inline constexpr std::size_t kResamplerPhases = 1024;
