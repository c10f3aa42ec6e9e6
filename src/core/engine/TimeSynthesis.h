#pragma once

#include <complex>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/HarmonicTable.h"
#include "engine/Synthesis.h"

/** One number's entries: their phasors summed. */
struct NumberPhasor {
    float number;
    std::complex<double> phasor;
};

/**
 * The phasor of each distinct number, in number order: m e^(i 2 pi cycles) summed over its
 * entries, so that the table's sum is that of Re(phasor e^(i number theta)). The phase shifts
 * the harmonic's own cycle, or under the fundamental reference the fundamental's, which is n
 * of the harmonic's; a sine is a cosine a quarter late. Entries that are not finite are left
 * out.
 */
[[nodiscard]] std::vector<NumberPhasor> phasorsByNumber(std::span<const HarmonicEntry> entries,
                                                        const SynthesisForm& form);

/**
 * The table as a signal in time: sample i is the synthesis sum at t = i / rate with the
 * fundamental at fundamentalHz (so theta = 2 pi fundamentalHz t takes the place of
 * i x 2 pi / ppc), in percent of a full-scale fundamental. Any stretch of samples can be
 * made on its own, in memory that follows the block and not the signal; the same sample
 * comes out the same, within the synthesis's error budget, whichever block it falls in.
 *
 * The cost does not grow with entries x samples: entries with one number are one cosine,
 * and the signal is made in blocks of a whole number of fundamental periods where the rate
 * allows. A cosine on a bin of the block is the same in every block, so those are made
 * once; the others start each block at their exact phase there and come from the
 * recalculation's transform path (their offset from the bin by its Taylor series), or by
 * rotation when they are few.
 */
class TimeSynthesizer {
public:
    /** form.ppc is not used: the rate and the fundamental set the sampling. */
    TimeSynthesizer(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
                    double fundamentalHz, int rate);

    /** Writes samples first to first + out.size() - 1 into out; cheapest in order. */
    void fill(std::int64_t first, std::span<double> out);

    /** Samples per block, for tests. */
    [[nodiscard]] std::int64_t blockLength() const { return m_blockLength; }
    /** Cosines made anew in every block, for tests. */
    [[nodiscard]] std::size_t movingCount() const { return m_moving.size(); }

    /** Moving cosines up to this many are rotated sample by sample, more are transformed. */
    static constexpr std::size_t kRotatedCosines = 64;

private:
    struct Cosine {
        double hz;           ///< number x fundamental
        double magnitude;    ///< of all entries with this number together
        double phaseCycles;  ///< at sample 0, in cycles (the sine's quarter included)
        long bin;            ///< nearest bin of the block's transform
        double offset;       ///< from that bin, in bins (0: the same in every block)
    };

    void makeBlock(std::int64_t block);
    /** Adds the moving cosines, rotated sample by sample, to samples first onwards. */
    void rotate(std::int64_t first, std::span<double> out) const;
    /** The phase of c at sample i in cycles within [0, 1), exact to the last digit. */
    [[nodiscard]] double cyclesAt(const Cosine& c, std::int64_t i) const;

    std::vector<Cosine> m_moving;
    std::vector<double> m_fixed;    ///< the cosines on the block's bins: every block's share
    std::vector<double> m_current;  ///< the block m_currentBlock
    std::vector<double> m_scratch;
    std::int64_t m_blockLength;
    std::int64_t m_currentBlock = -1;
    int m_rate;
    Synthesizer m_grid;
};
