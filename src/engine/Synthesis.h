#pragma once

#include <span>

#include "engine/HarmonicTable.h"

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
