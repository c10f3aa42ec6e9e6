#pragma once

#include <cmath>
#include <optional>
#include <span>

/** The five distortion figures in percent of the fundamental. */
struct DistortionFigures {
    double total = 0.0;  ///< every line but the fundamental's
    double odd = 0.0;    ///< whole odd orders from 3
    double even = 0.0;   ///< whole even orders
    double dc = 0.0;
    double inter = 0.0;  ///< every line between whole orders
};

/** The five figures of one analysis' lines (measureLines): root sums of squares. */
[[nodiscard]] DistortionFigures distortionFigures(std::span<const double> lines, int fftCycles);

/**
 * The figures power-quality standards quote, beside the five distortion figures. Spectrum
 * values are line amplitudes in percent of the fundamental line; bin k is order k / fftCycles.
 */
struct PowerQualityFigures {
    double thdR = 0.0;                 ///< harmonic RMS over the RMS of orders 1 and up, %
    double thd40 = 0.0;                ///< whole orders 2 to 40 only, %
    double thd50 = 0.0;                ///< whole orders 2 to 50 only, %
    std::optional<double> kFactor;     ///< none without any line but DC
    double peak = 0.0;                 ///< largest |sample| of the displayed waveform, %
    double rms = 0.0;                  ///< of the displayed waveform, %
    std::optional<double> crest;       ///< peak / RMS; none for a flat waveform
    std::optional<double> formFactor;  ///< RMS / mean |x|; none for a flat waveform
};

/** The highest orders the standards' THD figures count. */
inline constexpr int kThdOrdersIec = 40;
inline constexpr int kThdOrdersIeee = 50;
/** The first order a THD counts. */
inline constexpr int kFirstHarmonic = 2;

/**
 * A THD in the levels' unit: the root sum of squares of level(h), a std::optional<double>,
 * over the whole orders h from 2 to highestOrder; the first order without a level ends it.
 */
template <typename Level>
[[nodiscard]] double harmonicDistortion(int highestOrder, Level&& level)
{
    double squares = 0.0;
    for (int order = kFirstHarmonic; order <= highestOrder; ++order) {
        const std::optional<double> x = level(order);
        if (!x) {
            break;
        }
        squares += *x * *x;
    }
    return std::sqrt(squares);
}

/**
 * THD-R: the RMS of the whole orders from 2 over that of the orders from 1, in percent; DC and
 * interharmonics count in neither, as in THD40.
 */
[[nodiscard]] double thdRelativeToRms(std::span<const double> spectrum, int fftCycles);

/** The line at order (in the spectrum's unit); none when it has no bin of its own. */
[[nodiscard]] std::optional<double> lineAtOrder(std::span<const double> spectrum, int fftCycles,
                                                double order);

/** Root sum of squares of the lines at the whole orders 2 to highestOrder that have a bin. */
[[nodiscard]] double thdToOrder(std::span<const double> spectrum, int fftCycles, int highestOrder);

/** Sum of h^2 X_h^2 over sum of X_h^2, every line but DC, interharmonics at their own order. */
[[nodiscard]] std::optional<double> kFactor(std::span<const double> spectrum, int fftCycles);

/** All the figures of one analysis' lines (measureLines); waveform the displayed samples. */
[[nodiscard]] PowerQualityFigures powerQualityFigures(std::span<const double> spectrum,
                                                      int fftCycles,
                                                      std::span<const double> waveform);
