#include "fft/Optimize.h"

#include <array>

#include "fft/FftBuffer.h"
#include "fft/Wisdom.h"
#include "settings/WaveSettings.h"

namespace {

constexpr int kPauseMs = 1000;

/** The sizes measured besides the FFT windows: the whole buffer (inverse) and one between. */
constexpr int kInverseSize = static_cast<int>(kSampleBufferSize);
constexpr int kForwardSize = 2048;

// Progress positions: after the start, after each of those two, and after each of the FFT
// windows of the default ppc, from kMaxCycles cycles down to 1.
constexpr int kStartedPosition = 15;
constexpr int kInversePosition = 42;
constexpr int kForwardPosition = 70;
constexpr std::array<int, kMaxCycles> kCyclePositions = {101, 118, 148, 175, 180, 195,
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
    progress.setPosition(kStartedPosition);
    slot.discardAnalysisPlan();

    planAndDrop(FftPlan::inverseOutOfPlace(kInverseSize, rigor));
    progress.setPosition(kInversePosition);
    planAndDrop(FftPlan::forwardInPlace(kForwardSize, rigor));
    progress.setPosition(kForwardPosition);
    for (int k = kMaxCycles; k >= 1; --k) {
        planAndDrop(FftPlan::forwardInPlace(
            static_cast<int>(k * static_cast<double>(kDefaultPpc) + 0.5), rigor));
        progress.setPosition(kCyclePositions[static_cast<std::size_t>(kMaxCycles - k)]);
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
