#include "design/EntryLimits.h"

WaveSettings withinLimits(WaveSettings loaded)
{
    // A damaged store must never hand the recalculation a count or ppc outside its limits.
    const WaveSettings defaults;
    if (!kCyclesRange.contains(loaded.displayCycles)) {
        loaded.displayCycles = defaults.displayCycles;
    }
    if (!kCyclesRange.contains(loaded.fftCycles)) {
        loaded.fftCycles = defaults.fftCycles;
    }
    if (!isAcceptedPpc(loaded.ppc)) {
        loaded.ppc = defaults.ppc;
    }
    return loaded;
}
