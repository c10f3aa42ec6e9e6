#pragma once

#include <span>
#include <vector>

#include "engine/HarmonicTable.h"
#include "fft/AnalysisPlan.h"
#include "fft/FftBuffer.h"

/** How the table's entries become a waveform. */
struct SynthesisForm {
    bool cosine = true;             ///< cosines, else sines
    bool harmonicReference = true;  ///< phase in the harmonic's own period, else the fundamental's
    float ppc = 128.0F;             ///< samples per fundamental cycle
};

/** π as the program computes it: acos(-1). */
[[nodiscard]] double pi();

/** To the nearest integer, halves away from zero (add 0.5 when positive, else subtract). */
[[nodiscard]] inline int roundHalfAway(double value)
{
    return static_cast<int>(value > 0.0 ? value + 0.5 : value - 0.5);
}

/**
 * Direct sum of the entries into out[0 .. out.size()): sample i is the sum over entries of
 * m x cos(n x theta + phi) (or n x (theta + phi) under the fundamental reference, sine in
 * place of cosine), theta = i x 2 pi / ppc, in percent of a full-scale fundamental.
 * Returns the peak, the largest |sample| (0 for an empty table).
 */
double Synthesize(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
                  std::span<double> out);

/**
 * The recalculation's synthesis: the same sum as Synthesize, within 1e-9 % of it, and
 * fast for large tables. An entry at or near a bin of the window's discrete spectrum
 * (within 0.05 bins: every harmonic of a whole-cycle window, and the entries an analysis
 * makes) is synthesised with all the others near bins by a few inverse real FFTs: one
 * for those exactly on bins, plus one per Taylor term of the small offsets. The rest, and
 * small tables, take the direct sum with each angle reduced exactly to within a cycle
 * (more accurate than the literal sum, which the waveshape writer keeps). Keeps its
 * inverse plan and buffers between runs.
 */
class Synthesizer {
public:
    /** Tables with fewer entries near bins than this take the direct sum alone. */
    static constexpr int kMinimumForTransform = 4;

    /** Fills out as Synthesize does; returns the peak. */
    double synthesize(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
                      std::span<double> out);

    /** Entries that went through the transform in the last run, for tests. */
    [[nodiscard]] int lastTransformedEntries() const { return m_lastTransformed; }

private:
    struct OnBin {
        HarmonicEntry entry;
        long bin;
        double offset;
    };
    struct Term {
        long bin;
        double re;
        double im;
        double epsilon;
        double power;
    };

    bool ensurePlan(int size);
    void transform(const SynthesisForm& form, double largestOffset, double magnitudeSum,
                   std::span<double> out);

    FftPlan m_plan;
    int m_planSize = 0;
    std::unique_ptr<FftBuffer> m_spectrum;
    std::unique_ptr<FftBuffer> m_samples;
    std::unique_ptr<FftBuffer> m_accumulated;
    std::vector<OnBin> m_onBin;
    std::vector<HarmonicEntry> m_offBin;
    std::vector<Term> m_terms;
    int m_lastTransformed = 0;
};
