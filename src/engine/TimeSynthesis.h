#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/HarmonicTable.h"
#include "engine/Synthesis.h"

/**
 * The table as a signal in time: sample i is the synthesis sum at t = i / rate with the
 * fundamental at fundamentalHz (so theta = 2 pi fundamentalHz t takes the place of
 * i x 2 pi / ppc), in percent of a full-scale fundamental. Any stretch of samples can be
 * made on its own, so a long signal is made block by block in bounded memory; the same
 * sample always comes out the same, whichever block it falls in.
 */
class TimeSynthesizer {
public:
    /** form.ppc is not used: the rate and the fundamental set the sampling. */
    TimeSynthesizer(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
                    double fundamentalHz, int rate);

    /** Writes samples first to first + out.size() - 1 into out. */
    void fill(std::int64_t first, std::span<double> out) const;

private:
    struct Component {
        double magnitude;
        double hz;           ///< number x fundamental
        double phaseCycles;  ///< the phase (and the sine's quarter cycle) in cycles
    };

    /** The phase of a component at sample i, in cycles within [0, 1). */
    [[nodiscard]] double cyclesAt(const Component& c, std::int64_t i) const;

    std::vector<Component> m_components;
    int m_rate;
};
