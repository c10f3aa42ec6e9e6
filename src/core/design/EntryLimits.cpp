#include "design/EntryLimits.h"

WaveSettings withinLimits(WaveSettings loaded)
{
    // A damaged store must never hand the recalculation a ppc outside its limits (the cycle
    // counts are read within theirs).
    if (!isAcceptedPpc(loaded.ppc)) {
        loaded.ppc = kDefaultPpc;
    }
    return loaded;
}
