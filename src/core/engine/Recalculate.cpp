#include "engine/Recalculate.h"

#include <cmath>
#include <span>

#include "engine/HarmonicTable.h"
#include "engine/PowerQuality.h"
#include "engine/Resolution.h"
#include "engine/Synthesis.h"
#include "numbers/Arithmetic.h"
#include "numbers/NumberText.h"

namespace {

constexpr double kHeadroom = 1.0526315789473684;  // 1 / 0.95: the peak fills 95 % of each half
constexpr double kSmallestRange = 1.0;
constexpr double kThreshold = 0.01;  // percent; below it a bin is transform noise
constexpr double kLargestFigure = 10000.0;
/** The smallest figure that two decimals show as more than 0.00. */
constexpr double kSmallestShownFigure = 0.005;

void clearAnalysis(RecalcResult& result)
{
    result.analyzed = false;
    result.spectrum.clear();
    result.rows.clear();
    result.figures = DistortionFigures{};
    result.texts = FigureTexts{};
}

}  // namespace

void measureSpectrum(const double* bins, int fftCycles, float frequencyMultiplier, bool listRows,
                     RecalcResult& result)
{
    const int p = fftCycles;
    const double refRe = bins[2 * p];
    const double refIm = bins[2 * p + 1];
    double ref = std::sqrt(refRe * refRe + refIm * refIm);
    if (ref < 1.0) {
        ref = 1.0;
    }
    const double scale = 100.0 / ref;
    const double radiansToDegrees = 180.0 / pi();

    DistortionFigures sums;  // the power of each kind, before its square root
    double fundamental = 0.0;
    result.rows.clear();
    result.spectrum.resize(static_cast<std::size_t>(result.binCount));
    for (int k = 0; k < result.binCount; ++k) {
        const double re = bins[2 * k];
        const double im = bins[2 * k + 1];
        double power = re * re + im * im;
        const double amplitude = std::sqrt(power);
        double value = 0.0;
        if (k == 0) {
            // A constant level on the same footing as a sinusoid's amplitude.
            power *= 0.25;
            value = amplitude * 0.5 * scale;
        } else {
            value = amplitude * scale;
        }
        if (value < kThreshold) {
            value = 0.0;
        }
        result.spectrum[static_cast<std::size_t>(k)] = value;
        if (listRows && value > kThreshold) {
            const double number = static_cast<double>(k) / p * frequencyMultiplier;
            result.rows.push_back(
                CalculatedRow{static_cast<float>(number), static_cast<float>(value),
                              roundHalfAway(std::atan2(im, re) * radiansToDegrees)});
        }
        if (k == 0) {
            sums.dc += power;
            sums.total += power;
        } else if (k % p != 0) {
            sums.inter += power;
            sums.total += power;
        } else if (k == p) {
            fundamental = value;
        } else {
            sums.total += power;
            ((k / p) % 2 != 0 ? sums.odd : sums.even) += power;
        }
    }

    const double factor = scale * 100.0 / (fundamental < 1.0 ? 1.0 : fundamental);
    result.figures = DistortionFigures{std::sqrt(sums.total) * factor, std::sqrt(sums.odd) * factor,
                                       std::sqrt(sums.even) * factor, std::sqrt(sums.dc) * factor,
                                       std::sqrt(sums.inter) * factor};
    result.texts = FigureTexts{figureText(result.figures.total), figureText(result.figures.odd),
                               figureText(result.figures.even), figureText(result.figures.dc),
                               figureText(result.figures.inter)};
    result.analyzed = true;
}

std::string figureText(double figure)
{
    if (figure > kLargestFigure) {
        return ">10000%";
    }
    return formatFixed(figure, 2) + '%';
}

std::string ratioText(const std::optional<double>& figure)
{
    return figure ? formatFixed(*figure, 3) : "-";
}

QualityTexts qualityTexts(const RecalcResult& result)
{
    const PowerQualityFigures& q = result.quality;
    // Without an analysis only the waveform's own ratios mean anything.
    const auto spectral = [&result](double figure) {
        return result.analyzed ? figureText(figure) : std::string("-");
    };
    return {spectral(q.thdR),   spectral(q.thd40),
            spectral(q.thd50),  ratioText(result.analyzed ? q.kFactor : std::nullopt),
            ratioText(q.crest), ratioText(q.formFactor)};
}

double figureAsShown(double figure)
{
    // Rounding noise such as 1e-14 % would otherwise reach scripts as a distortion.
    return std::fabs(figure) < kSmallestShownFigure ? 0.0 : figure;
}

int samplesForCycles(int cycles, float ppc)
{
    return static_cast<int>(cycles * static_cast<double>(ppc) + 0.5);
}

CycleLabels cycleLabelTexts(const WaveSettings& active)
{
    const int displayCycles = active.displayCycles;
    const int fftCycles = active.fftCycles;
    const float ppc = active.ppc;
    CycleLabels labels;
    labels.display = formatInt(displayCycles) + (displayCycles <= 1 ? " Cycle" : " Cycles");
    labels.fft = formatInt(fftCycles) + (fftCycles <= 1 ? " Cycle, " : " Cycles, ") +
                 formatInt(samplesForCycles(fftCycles, ppc)) + " points";
    return labels;
}

std::string figuresLineText(const FigureTexts& texts)
{
    return "Total: " + texts.total + "   Odd: " + texts.odd + "   Even: " + texts.even +
           "   DC: " + texts.dc + "   Inter: " + texts.inter;
}

std::string pictureCaption(const WaveSettings& active, const FigureTexts& texts)
{
    const CycleLabels labels = cycleLabelTexts(active);
    return "Waveform: " + labels.display + "     FFT Window: " + labels.fft + "     " +
           figuresLineText(texts);
}

void recalculateInto(const SettingsModel& settings, const HarmonicTable& table,
                     RecalcEngine& engine, bool listRows, RecalcResult& result)
{
    const WaveSettings& active = settings.activeSettings;
    result.resolution = resolutionHint(table.entries(), active.fftCycles);
    result.sampleCount =
        samplesForCycles(std::max(active.displayCycles, active.fftCycles), active.ppc);
    result.displayCount = samplesForCycles(active.displayCycles, active.ppc);
    result.fftSize = samplesForCycles(active.fftCycles, active.ppc);
    result.binCount = result.fftSize / 2 + 1;

    SampleBuffer& buffer = engine.samples;
    const std::span<double> samples(buffer.data(), static_cast<std::size_t>(result.sampleCount));
    const SynthesisForm form = synthesisFormOf(active);
    result.peak = engine.synthesizer.synthesize(table.entries(), form, samples);

    result.axisHalfRange = result.peak * kHeadroom;
    if (result.axisHalfRange < kSmallestRange) {
        result.axisHalfRange = kSmallestRange;
    }
    // Taken before the transform overwrites the beginning of the buffer.
    result.waveform.assign(samples.begin(), samples.begin() + result.displayCount);

    if (!engine.planSlot.ensureAnalysisPlan(result.fftSize)) {
        clearAnalysis(result);  // no plan: this run shows no analysis
        result.quality = powerQualityFigures({}, active.fftCycles, 0.0, result.waveform);
        return;
    }
    engine.planSlot.plan().executeForwardInPlace(buffer);
    measureSpectrum(buffer.data(), active.fftCycles, settings.frequencyMultiplier(), listRows,
                    result);
    result.quality = powerQualityFigures(result.spectrum, active.fftCycles, result.figures.total,
                                         result.waveform);
}
