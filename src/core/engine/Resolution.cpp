#include "engine/Resolution.h"

#include <cmath>
#include <numeric>

#include "numbers/NumberText.h"
#include "settings/WaveSettings.h"

namespace {

/**
 * How far from a fraction with a denominator of at most kMaxCycles an order still counts as
 * that fraction, in orders: within it, an entry lies within 1e-4 bins of its bin in every
 * window that resolves it, and so leaks less than 0.01 % of its magnitude into its
 * neighbors, which no figure shows; numbers typed as 1.333333 or 255.1 (32-bit floats near
 * 4/3 and 255.1) count as meant. Decided on the order, so that more cycles never un-resolve
 * what fewer resolve.
 */
constexpr double kOnOrder = 1e-4 / kMaxCycles;

/**
 * The fewest cycles, at most kMaxCycles, in which every entry makes whole periods; 0 when
 * there are none. Stops at the first entry that rules every count out.
 */
int cyclesResolvingAll(std::span<const HarmonicEntry> entries)
{
    int needed = 1;  // the least common multiple of each entry's fewest cycles so far
    for (const HarmonicEntry& entry : entries) {
        const std::optional<int> cycles = fewestCyclesResolving(entry.number);
        needed = cycles ? std::lcm(needed, *cycles) : 0;
        if (needed == 0 || needed > kMaxCycles) {
            return 0;
        }
    }
    return needed;
}

}  // namespace

bool liesOnBin(double number, int cycles)
{
    // Fractions with denominators up to kMaxCycles lie far further apart than the tolerance,
    // so the order is on a bin of these cycles exactly when the fewest cycles divide them.
    const double bin = number * cycles;
    return std::fabs(bin - std::nearbyint(bin)) <= kOnOrder * cycles;
}

std::optional<int> fewestCyclesResolving(double number)
{
    for (int cycles = 1; cycles <= kMaxCycles; ++cycles) {
        const double bin = number * cycles;
        if (std::fabs(bin - std::nearbyint(bin)) <= kOnOrder * cycles) {
            return cycles;
        }
    }
    return std::nullopt;
}

std::string resolutionHint(std::span<const HarmonicEntry> entries, int fftCycles)
{
    // One test an entry in the usual case, where every entry lies on a bin: this runs with
    // every recalculation.
    const HarmonicEntry* first = nullptr;
    int unresolved = 0;
    for (const HarmonicEntry& entry : entries) {
        if (!liesOnBin(entry.number, fftCycles)) {
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
    const int needed = cyclesResolvingAll(entries);
    if (needed == 0) {
        return hint + " and cannot be resolved within " + formatInt(kMaxCycles) + " cycles";
    }
    return hint + ": set FFT cycles to " + formatInt(needed) + " to measure " +
           (unresolved == 1 ? "it" : "them");
}
