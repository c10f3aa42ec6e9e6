#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "engine/HarmonicTable.h"
#include "fft/AnalysisPlan.h"
#include "fft/FftBuffer.h"
#include "settings/WaveSettings.h"

/** How the table's entries become a waveform. */
struct SynthesisForm {
    bool cosine = true;             ///< cosines, else sines
    bool harmonicReference = true;  ///< phase in the harmonic's own period, else the fundamental's
    float ppc = 128.0F;             ///< samples per fundamental cycle
};

/** The form the active settings ask for. */
[[nodiscard]] inline SynthesisForm synthesisFormOf(const WaveSettings& active)
{
    return {active.basis == WaveBasis::Cosine, active.phaseReference == PhaseReference::Harmonic,
            active.ppc};
}

/**
 * Direct sum of the entries into out[0 .. out.size()): sample i is the sum over entries of
 * m x cos(n x theta + phi) (or n x (theta + phi) under the fundamental reference, sine in
 * place of cosine), theta = i x 2 pi / ppc, in percent of a full-scale fundamental.
 * Returns the peak, the largest |sample| (0 for an empty table).
 */
double synthesizeDirect(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
                        std::span<double> out);

/**
 * The recalculation's synthesis: the same sum as Synthesize, within 1e-9 % of it, for any
 * number (off the bins, at or above ppc, negative), at a cost that hardly depends on the
 * table. Every entry is a coefficient of the spectrum of a transform grid of at least the
 * window's length, at its nearest bin; its offset from that bin (at most half a bin) is
 * expanded around the window's center in a Taylor series, one inverse real FFT per term,
 * each entry taking as many terms as its magnitude and offset need. Where the direct sum
 * is cheaper than one transform it is taken instead, with each angle reduced exactly to
 * within a cycle (more accurate than the literal sum, which the waveshape writer keeps).
 * Keeps its inverse plan and buffers between runs.
 */
class Synthesizer {
public:
    /** Tables whose entries times samples stay within this take the direct sum. */
    static constexpr std::size_t kDirectWork = 2048;

    /** Fills out as Synthesize does; returns the peak. */
    double synthesize(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
                      std::span<double> out);

    /** Entries that went through the transform in the last run, for tests. */
    [[nodiscard]] int lastTransformedEntries() const { return m_lastTransformed; }

    /** One cosine on a transform grid of M points: m cos(2 pi (bin + offset) i / M + phase). */
    struct GridCosine {
        long bin;       ///< the nearest bin, from -M to M
        double offset;  ///< from that bin, at most half a bin either way
        double phase;   ///< radians at i = 0
        double magnitude;
    };
    /** Gives cosine j of a sum, or false when there is none. */
    using CosineSource = std::function<bool(std::size_t j, GridCosine& cosine)>;

    /**
     * Sums count cosines into out (at most size samples) on a grid of size points by the
     * transform path, within the same error budget; false when no plan can be made.
     */
    bool synthesizeOnGrid(int size, std::size_t count, const CosineSource& cosineAt,
                          std::span<double> out);

private:
    /** One entry's coefficient of the current Taylor term, and what the next one needs. */
    struct Term {
        long bin;
        double re;
        double im;
        double turn;   ///< the offset's angle across half the window: e^(i turn t'), |t'| <= 1
        double bound;  ///< largest contribution of the current term to any sample
    };
    /** Entries whose terms are worked out together. */
    static constexpr std::size_t kChunk = 4096;

    bool ensurePlan(int size);
    void transform(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
                   std::span<double> out);
    void transformCosines(std::size_t count, const CosineSource& cosineAt, std::span<double> out);

    /** The spectrum of Taylor term p (at most one past those in use), zeroed for this run. */
    double* termSpectrum(std::size_t p)
    {
        return p < m_spectraInUse ? m_spectra[p].data() : useNextSpectrum();
    }
    double* useNextSpectrum();

    FftPlan m_plan;
    int m_planSize = 0;
    /** One spectrum per Taylor term: memory follows the terms, not the entries. */
    std::vector<FftBuffer> m_spectra;
    std::size_t m_spectraInUse = 0;
    std::unique_ptr<FftBuffer> m_samples;
    std::vector<double> m_power;
    std::vector<Term> m_terms;
    int m_lastTransformed = 0;
};
