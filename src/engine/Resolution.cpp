#include "engine/Resolution.h"

#include <cmath>
#include <numeric>

#include "app/WaveSettings.h"
#include "engine/NumberText.h"

namespace {

/**
 * How far from a bin an entry still counts as on it, in bins: closer, it leaks less than
 * 0.01 % of its magnitude into its neighbours, which no figure shows, and numbers typed
 * as 1.333333 or 255.1 (32-bit floats near 4/3 and 255.1) count as meant.
 */
constexpr double kOnBin = 1e-4;

/** The fewest cycles (at most kMaxCycles) in which number makes whole periods, or 0. */
int cyclesResolving(float number)
{
    for (int cycles = 1; cycles <= kMaxCycles; ++cycles) {
        const double bin = static_cast<double>(number) * cycles;
        if (std::fabs(bin - std::nearbyint(bin)) <= kOnBin) {
            return cycles;
        }
    }
    return 0;
}

}  // namespace

std::string resolutionHint(std::span<const HarmonicEntry> entries, int fftCycles)
{
    const HarmonicEntry* first = nullptr;
    int unresolved = 0;
    int needed = 1;  // the least common multiple of every entry's cycles, while within reach
    for (const HarmonicEntry& entry : entries) {
        const int cycles = cyclesResolving(entry.number);
        needed = cycles == 0 ? 0 : std::lcm(needed, cycles);
        if (needed > kMaxCycles) {
            needed = 0;
        }
        if (cycles == 0 || fftCycles % cycles != 0) {
            first = first ? first : &entry;
            ++unresolved;
        }
    }
    if (first == nullptr) {
        return {};
    }
    std::string hint = formatFixed(static_cast<double>(first->number), 2);
    hint += unresolved == 1 ? " lies between FFT bins"
                            : " and " + formatInt(unresolved - 1) + " more lie between FFT bins";
    if (needed == 0) {
        return hint + " and cannot be resolved within " + formatInt(kMaxCycles) + " cycles";
    }
    return hint + ": set FFT cycles to " + formatInt(needed) + " to measure " +
           (unresolved == 1 ? "it" : "them");
}
