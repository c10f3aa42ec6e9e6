#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/PowerQuality.h"
#include "engine/Synthesis.h"
#include "fft/AnalysisPlan.h"
#include "fft/FftBuffer.h"
#include "settings/WaveSettings.h"

class HarmonicTable;

/** A significant bin, as the calculated-values window lists it. */
struct CalculatedRow {
    float number = 0.0F;     ///< bin / fftCycles x frequency multiplier
    float magnitude = 0.0F;  ///< percent of the fundamental
    int phase = 0;           ///< cosine phase in degrees, -180 to 180
};

/** Texts of the five figure labels. */
struct FigureTexts {
    std::string total;
    std::string odd;
    std::string even;
    std::string dc;
    std::string inter;
};

/** Everything one recalculation shows; reused from run to run to avoid allocation. */
struct RecalcResult {
    int sampleCount = 0;           ///< S: samples synthesized
    int displayCount = 0;          ///< Sd: samples in the waveform chart
    int fftSize = 0;               ///< N: transform size
    int binCount = 0;              ///< B: N / 2 + 1
    double peak = 0.0;             ///< largest |sample|
    double axisHalfRange = 1.0;    ///< A: the waveform axis runs from -A to +A
    std::vector<double> waveform;  ///< the Sd displayed samples
    bool analyzed = false;         ///< false when no transform plan could be made
    std::vector<double> spectrum;  ///< as charted: one value per bin, bin 0 first, noise as 0
    /** Every bin's line as figures and checks count it (see measureLines); empty if not analyzed.
     */
    std::vector<double> lines;
    bool hasFundamental = false;      ///< the fundamental reached kLeastFundamental
    std::vector<CalculatedRow> rows;  ///< listed lines (only when rows were asked for)
    DistortionFigures figures;
    FigureTexts texts;            ///< empty when not analyzed
    PowerQualityFigures quality;  ///< only the waveform's levels when not analyzed
    /** Entries between the FFT window's bins, named with the remedy; empty when none. */
    std::string resolution;
};

/** "%.2f%%" of a figure, or ">10000%" above 10000. */
[[nodiscard]] std::string figureText(double figure);

/** A ratio (K, crest or form factor) as shown: three decimals, "-" when there is none. */
[[nodiscard]] std::string ratioText(const std::optional<double>& figure);

struct RecalcResult;

/** The power-quality figures as the window shows them: "-" where a run has none. */
struct QualityTexts {
    std::string thdR;
    std::string thd40;
    std::string thd50;
    std::string kFactor;
    std::string crest;
    std::string formFactor;
};
[[nodiscard]] QualityTexts qualityTexts(const RecalcResult& result);

/** The figure as its text shows it to a reader of numbers: 0 where the text shows 0.00. */
[[nodiscard]] double figureAsShown(double figure);

/** Texts of the two cycle labels: "12 Cycles" and "1 Cycle, 128 points". */
struct CycleLabels {
    std::string display;
    std::string fft;
};
[[nodiscard]] CycleLabels cycleLabelTexts(const WaveSettings& active);

/** The five figures on one line: "Total: 48.34%   Odd: 48.34%   Even: 0.00%   DC: ...". */
[[nodiscard]] std::string figuresLineText(const FigureTexts& texts);

/** The line between a picture's charts: the cycle labels, then the five figures. */
[[nodiscard]] std::string pictureCaption(const WaveSettings& active, const FigureTexts& texts);

/** trunc(cycles x ppc + 0.5): sizes S, Sd and N. */
[[nodiscard]] int samplesForCycles(int cycles, float ppc);

/**
 * The fundamental's least amplitude, in percent of full scale: below it there is no
 * fundamental to refer to, and lines are given in percent of a full-scale one.
 */
inline constexpr double kLeastFundamental = 1e-6;

/**
 * Lines below this, in percent of the fundamental, are transform noise: no list, chart or
 * analyzed table shows them. Every figure counts them all the same.
 */
inline constexpr double kNoiseLine = 0.01;

/** Whether a line, in percent of the fundamental, is listed: it stands above kNoiseLine. */
[[nodiscard]] constexpr bool isListedLine(double percent)
{
    return percent > kNoiseLine;
}

/** Calls visit(k, lines[k]) for every listed line, in bin order. */
template <typename Visit>
void forEachListedLine(std::span<const double> lines, Visit&& visit)
{
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (isListedLine(lines[k])) {
            visit(static_cast<int>(k), lines[k]);
        }
    }
}

/** The cosine phase in degrees of bin k of a half spectrum (bin k at bins[2k], bins[2k + 1]). */
[[nodiscard]] double binPhaseDegrees(const double* bins, int k);

/**
 * The first binCount bins of a half spectrum as lines in percent of reference (a bin's
 * magnitude): DC as its level, and, when lastIsNyquist, the last bin at its RMS weight (the
 * amplitude of a sinusoid of its RMS). No threshold.
 */
void linesInPercentOf(const double* bins, int binCount, double reference, bool lastIsNyquist,
                      std::vector<double>& lines);

/**
 * The lines of a transformed half spectrum of fftSize points (bin k at bins[2k], bins[2k + 1]):
 * each amplitude in percent of the fundamental line at bin cycles, DC as its level, the line
 * at half the sampling rate at its RMS weight (the amplitude of a sinusoid of its RMS). No
 * threshold. Returns whether there is a fundamental (else lines refer to full scale).
 */
bool measureLines(const double* bins, int binCount, int fftSize, int cycles,
                  std::vector<double>& lines);

/**
 * The bin loop on a transformed half spectrum (bin k at bins[2k], bins[2k + 1]; the count
 * is result.binCount): spectrum values, the calculated rows when listRows, the figures.
 */
void measureSpectrum(const double* bins, int fftCycles, float frequencyMultiplier, bool listRows,
                     RecalcResult& result);

/** The working memory of recalculations: the sample buffer, the synthesis, the plan slot. */
struct RecalcEngine {
    explicit RecalcEngine(PlanRigor rigor) : planSlot(rigor) {}

    SampleBuffer samples;
    Synthesizer synthesizer;
    AnalysisPlanSlot planSlot;
};

/**
 * Synthesizes the table under the active settings into the sample buffer, transforms the
 * FFT window in place with the slot's plan (made when the slot is empty) and measures it.
 * Afterwards the buffer holds the half spectrum in its first 2B doubles and the
 * synthesized samples from 2B to S - 1. listRows: whether the calculated rows are wanted.
 * The active settings must lie within their limits (Design sees to it).
 */
void recalculateInto(const SettingsModel& settings, const HarmonicTable& table,
                     RecalcEngine& engine, bool listRows, RecalcResult& result);
