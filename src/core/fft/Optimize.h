#pragma once

#include "fft/AnalysisPlan.h"

/**
 * What the optimization shows while it runs: the optimizing dialog in the window, a
 * recorder in tests. Pauses go through it so that tests need not wait.
 */
class OptimizeProgress {
public:
    virtual ~OptimizeProgress() = default;
    /** Creates and shows the dialog with the range 0 to 200; false when it cannot. */
    virtual bool open() = 0;
    /** Moves the bar to position and makes that visible at once. */
    virtual void setPosition(int position) = 0;
    /** Waits for milliseconds (the fixed pauses that keep each stage visible). */
    virtual void pause(int milliseconds) = 0;
    /** Destroys the dialog. */
    virtual void close() = 0;
};

/** Upper end of the optimizing dialog's progress range. */
inline constexpr int kOptimizeProgressMaximum = 200;

/**
 * Plans the fixed list of sizes with measurement so that later plans come from wisdom:
 * the whole sample buffer (inverse), 2048, then the FFT windows of the default ppc from the
 * most cycles down to 1. Empties the slot at the start and at the end. Returns false (and touches
 * nothing) when the dialog cannot be opened.
 */
bool optimizePlans(AnalysisPlanSlot& slot, OptimizeProgress& progress);

/** Reoptimize after the user said Yes: forgets all wisdom, then optimizePlans. */
void reoptimizePlans(AnalysisPlanSlot& slot, OptimizeProgress& progress);
