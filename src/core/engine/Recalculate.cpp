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
constexpr double kPercent = 100.0;
/** The line at half the sampling rate is one real cosine: half the power of its bin's value. */
const double kNyquistWeight = 1.0 / std::sqrt(2.0);
constexpr double kLargestFigure = 10000.0;
/** The smallest figure that two decimals show as more than 0.00. */
constexpr double kSmallestShownFigure = 0.005;

void clearAnalysis(RecalcResult& result)
{
    result.analyzed = false;
    result.spectrum.clear();
    result.lines.clear();
    result.rows.clear();
    result.figures = DistortionFigures{};
    result.texts = FigureTexts{};
}

}  // namespace

double binPhaseDegrees(const double* bins, int k)
{
    const double radiansToDegrees = 180.0 / pi();
    return std::atan2(bins[2 * k + 1], bins[2 * k]) * radiansToDegrees;
}

void linesInPercentOf(const double* bins, int binCount, double reference, bool lastIsNyquist,
                      std::vector<double>& lines)
{
    const double scale = kPercent / reference;
    lines.resize(static_cast<std::size_t>(binCount));
    for (int k = 0; k < binCount; ++k) {
        double line =
            std::sqrt(bins[2 * k] * bins[2 * k] + bins[2 * k + 1] * bins[2 * k + 1]) * scale;
        if (k == 0) {
            line *= 0.5;  // a constant level on the same footing as a sinusoid's amplitude
        } else if (lastIsNyquist && k == binCount - 1) {
            line *= kNyquistWeight;
        }
        lines[static_cast<std::size_t>(k)] = line;
    }
}

bool measureLines(const double* bins, int binCount, int fftSize, int cycles,
                  std::vector<double>& lines)
{
    const double samplesPerAmplitude = 0.5 * fftSize;  // a sinusoid of amplitude 1 gives N / 2
    const double fundamental = std::sqrt(bins[2 * cycles] * bins[2 * cycles] +
                                         bins[2 * cycles + 1] * bins[2 * cycles + 1]);
    const bool hasFundamental = fundamental >= kLeastFundamental * samplesPerAmplitude;
    // Without one, lines refer to a full-scale fundamental (100 % amplitude).
    const double reference = hasFundamental ? fundamental : kPercent * samplesPerAmplitude;
    const bool hasNyquist = fftSize % 2 == 0 && binCount == fftSize / 2 + 1;
    linesInPercentOf(bins, binCount, reference, hasNyquist, lines);
    return hasFundamental;
}

void measureSpectrum(const double* bins, int fftCycles, float frequencyMultiplier, bool listRows,
                     RecalcResult& result)
{
    const int p = fftCycles;
    const int fftSize = result.fftSize > 0 ? result.fftSize : 2 * result.binCount - 1;
    result.hasFundamental = measureLines(bins, result.binCount, fftSize, p, result.lines);
    const bool hasNyquist = fftSize % 2 == 0;

    result.rows.clear();
    result.spectrum.resize(static_cast<std::size_t>(result.binCount));
    for (int k = 0; k < result.binCount; ++k) {
        const double line = result.lines[static_cast<std::size_t>(k)];
        // The chart shows the line at half the sampling rate as the transform gives it.
        double value = hasNyquist && k == result.binCount - 1 ? line / kNyquistWeight : line;
        if (value < kNoiseLine) {
            value = 0.0;  // the list and chart leave transform noise out; no figure does
        }
        result.spectrum[static_cast<std::size_t>(k)] = value;
    }
    if (listRows) {
        forEachListedLine(result.spectrum, [&](int k, double value) {
            const double number = static_cast<double>(k) / p * frequencyMultiplier;
            result.rows.push_back(CalculatedRow{static_cast<float>(number),
                                                static_cast<float>(value),
                                                roundHalfAway(binPhaseDegrees(bins, k))});
        });
    }
    result.figures = distortionFigures(result.lines, p);
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
        result.quality = powerQualityFigures({}, active.fftCycles, result.waveform);
        return;
    }
    engine.planSlot.plan().executeForwardInPlace(buffer);
    measureSpectrum(buffer.data(), active.fftCycles, settings.frequencyMultiplier(), listRows,
                    result);
    result.quality = powerQualityFigures(result.lines, active.fftCycles, result.waveform);
}
