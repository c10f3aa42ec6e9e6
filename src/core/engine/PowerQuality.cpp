#include "engine/PowerQuality.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "engine/Resolution.h"
#include "numbers/Checked.h"

namespace {

constexpr double kPercent = 100.0;

std::optional<std::size_t> binOf(double order, int fftCycles)
{
    if (order < 0.0 || !liesOnBin(order, fftCycles)) {
        return std::nullopt;
    }
    return checkedCount<std::size_t>(std::nearbyint(order * fftCycles));
}

}  // namespace

DistortionFigures distortionFigures(std::span<const double> lines, int fftCycles)
{
    const auto cycles = static_cast<std::size_t>(fftCycles);
    DistortionFigures sums;  // the power of each kind, before its square root
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const double power = lines[k] * lines[k];
        if (k == 0) {
            sums.dc += power;
            sums.total += power;
        } else if (k % cycles != 0) {
            sums.inter += power;
            sums.total += power;
        } else if (k != cycles) {
            sums.total += power;
            ((k / cycles) % 2 != 0 ? sums.odd : sums.even) += power;
        }
    }
    return {std::sqrt(sums.total), std::sqrt(sums.odd), std::sqrt(sums.even), std::sqrt(sums.dc),
            std::sqrt(sums.inter)};
}

double thdRelativeToRms(std::span<const double> lines, int fftCycles)
{
    const auto cycles = static_cast<std::size_t>(fftCycles);
    if (cycles >= lines.size()) {
        return 0.0;
    }
    double harmonics = 0.0;
    for (std::size_t bin = kFirstHarmonic * cycles; bin < lines.size(); bin += cycles) {
        harmonics += lines[bin] * lines[bin];
    }
    const double whole = harmonics + lines[cycles] * lines[cycles];
    return whole > 0.0 ? kPercent * std::sqrt(harmonics / whole) : 0.0;
}

std::optional<double> lineAtOrder(std::span<const double> spectrum, int fftCycles, double order)
{
    const std::optional<std::size_t> bin = binOf(order, fftCycles);
    if (!bin || *bin >= spectrum.size()) {
        return std::nullopt;
    }
    return spectrum[*bin];
}

double thdToOrder(std::span<const double> spectrum, int fftCycles, int highestOrder)
{
    return harmonicDistortion(highestOrder, [&](int order) -> std::optional<double> {
        const auto bin = static_cast<std::size_t>(order) * static_cast<std::size_t>(fftCycles);
        if (bin >= spectrum.size()) {
            return std::nullopt;
        }
        return spectrum[bin];
    });
}

std::optional<double> kFactor(std::span<const double> spectrum, int fftCycles)
{
    double weighted = 0.0;
    double squares = 0.0;
    for (std::size_t bin = 1; bin < spectrum.size(); ++bin) {
        const double order = static_cast<double>(bin) / fftCycles;
        const double square = spectrum[bin] * spectrum[bin];
        weighted += order * order * square;
        squares += square;
    }
    if (squares <= 0.0) {
        return std::nullopt;
    }
    return weighted / squares;
}

PowerQualityFigures powerQualityFigures(std::span<const double> spectrum, int fftCycles,
                                        std::span<const double> waveform)
{
    PowerQualityFigures figures;
    figures.thdR = thdRelativeToRms(spectrum, fftCycles);
    figures.thd40 = thdToOrder(spectrum, fftCycles, kThdOrdersIec);
    figures.thd50 = thdToOrder(spectrum, fftCycles, kThdOrdersIeee);
    figures.kFactor = kFactor(spectrum, fftCycles);
    double squares = 0.0;
    double magnitudes = 0.0;
    for (const double x : waveform) {
        figures.peak = std::max(figures.peak, std::fabs(x));
        squares += x * x;
        magnitudes += std::fabs(x);
    }
    if (waveform.empty()) {
        return figures;
    }
    const auto count = static_cast<double>(waveform.size());
    figures.rms = std::sqrt(squares / count);
    if (figures.rms > 0.0) {
        figures.crest = figures.peak / figures.rms;
        figures.formFactor = figures.rms / (magnitudes / count);
    }
    return figures;
}
