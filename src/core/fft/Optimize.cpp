#include "fft/Optimize.h"

#include <array>

#include "fft/Wisdom.h"

namespace {

constexpr int kPauseMs = 1000;

// Progress position after each of the sizes k x 128, k = 12 down to 1.
constexpr std::array<int, 12> kCyclePositions = {101, 118, 148, 175, 180, 195,
                                                 195, 196, 197, 198, 199, 200};

void planAndDrop(FftPlan plan)
{
    plan.reset();  // only the wisdom it leaves behind is wanted
}

}  // namespace

bool optimizePlans(AnalysisPlanSlot& slot, OptimizeProgress& progress)
{
    if (!progress.open()) {
        return false;
    }
    const PlanRigor rigor = slot.rigor();
    progress.setPosition(0);
    progress.pause(kPauseMs);
    progress.setPosition(15);
    slot.discardAnalysisPlan();

    planAndDrop(FftPlan::inverseOutOfPlace(65536, rigor));
    progress.setPosition(42);
    planAndDrop(FftPlan::forwardInPlace(2048, rigor));
    progress.setPosition(70);
    for (int k = 12; k >= 1; --k) {
        planAndDrop(FftPlan::forwardInPlace(static_cast<int>(k * 128.0 + 0.5), rigor));
        progress.setPosition(kCyclePositions[static_cast<std::size_t>(12 - k)]);
        progress.pause(kPauseMs);
    }

    slot.discardAnalysisPlan();
    progress.pause(kPauseMs);
    progress.close();
    return true;
}

void reoptimizePlans(AnalysisPlanSlot& slot, OptimizeProgress& progress)
{
    wisdom::forget();
    optimizePlans(slot, progress);
}
