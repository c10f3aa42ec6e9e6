#include "fft/AnalysisPlan.h"

#include <cmath>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "design/Design.h"
#include "fft/FftBuffer.h"
#include "fft/Planner.h"
#include "fft/Wisdom.h"
#include "support/TestSupport.h"

namespace {

constexpr double kGuard = -12345.0;

TEST(FftPlan, KnownSignalsGiveKnownSpectraAndNothingPastTheHalfSpectrum)
{
    for (const int n : {24, 25, 128, 301, 1536}) {
        SampleBuffer b;
        b.fill(kGuard);
        // 3 + 2 cos(5 theta), and at an even size 1 at the Nyquist frequency.
        for (int i = 0; i < n; ++i) {
            b[static_cast<std::size_t>(i)] = 3.0 + 2.0 * std::cos(2.0 * M_PI * 5.0 * i / n) +
                                             (n % 2 == 0 ? (i % 2 == 0 ? 1.0 : -1.0) : 0.0);
        }
        const FftPlan plan = FftPlan::forwardInPlace(n, PlanRigor::Estimate);
        ASSERT_FALSE(plan.empty());
        plan.executeForwardInPlace(b);
        EXPECT_NEAR(b[0], 3.0 * n, 1e-9 * n) << n;
        EXPECT_NEAR(b[10], 2.0 * n / 2, 1e-9 * n) << n;  // a x N / 2, real: a cosine
        EXPECT_NEAR(std::hypot(b[8], b[9]) + std::fabs(b[11]), 0.0, 1e-9 * n) << n;
        if (n % 2 == 0) {
            EXPECT_NEAR(b[static_cast<std::size_t>(n)], n, 1e-9 * n) << n;
        }
        const auto end = static_cast<std::size_t>(2 * (n / 2 + 1));  // the half spectrum
        for (std::size_t i = end; i < 2 * static_cast<std::size_t>(n) + 16; ++i) {
            ASSERT_EQ(b[i], kGuard) << n << ": " << i;
        }
    }
}

TEST(FftPlan, EmptyAndMovedFromPlansAreHarmless)
{
    FftPlan made = FftPlan::forwardInPlace(64, PlanRigor::Estimate);
    FftPlan moved = std::move(made);
    SampleBuffer buffer;
    buffer[0] = 1.0;
    made.executeForwardInPlace(buffer);  // NOLINT(bugprone-use-after-move): defined as empty
    EXPECT_EQ(buffer[0], 1.0);
    moved = FftPlan();
    EXPECT_TRUE(moved.empty() && FftPlan::forwardInPlace(0).empty());
}

TEST(AnalysisPlanSlot, PlansOnceAndNeverRunsAPlanOfAnotherSize)
{
    AnalysisPlanSlot slot;
    EXPECT_TRUE(slot.ensureAnalysisPlan(256));
    EXPECT_TRUE(slot.ensureAnalysisPlan(256));
    ASSERT_TRUE(slot.ensureAnalysisPlan(128));  // settings changed without a discard
    EXPECT_EQ(slot.planSize(), 128);
    EXPECT_EQ(slot.plansCreated(), 2);
    slot.discardAnalysisPlan();
    EXPECT_FALSE(slot.holdsPlan());
    slot.discardAnalysisPlan();  // emptying an empty slot is harmless
}

// A size wisdom does not know is transformed at once by an estimate; the measured plan, made
// on another thread, takes its place at the next transform and stays in the wisdom.
TEST(AnalysisPlanSlot, MeasuresANewSizeOffTheCallersThreadAndSwapsThePlanIn)
{
    wisdom::forget();
    AnalysisPlanSlot slot;
    ASSERT_TRUE(slot.ensureAnalysisPlan(360));
    const fftw_plan estimated = slot.plan().get();
    slot.finishMeasuring();
    EXPECT_FALSE(FftPlan::forwardInPlace(360, PlanRigor::WisdomOnly).empty());
    ASSERT_TRUE(slot.ensureAnalysisPlan(360));
    EXPECT_NE(slot.plan().get(), estimated);
    EXPECT_EQ(slot.plansCreated(), 1);
    AnalysisPlanSlot closed;  // gone while it measures: it waits, and nothing is left behind
    EXPECT_TRUE(closed.ensureAnalysisPlan(362));
}

TEST(PlannerLock, APlanDestroyedWhileAnotherThreadPlansDoesNotWaitForIt)
{
    FftPlan plan = FftPlan::forwardInPlace(64, PlanRigor::Estimate);
    std::promise<void> held;
    std::promise<void> destroyed;
    std::thread planner([&] {
        const PlannerLock lock;
        held.set_value();
        destroyed.get_future().wait();  // a caller that waited for this lock would hang here
    });
    held.get_future().wait();
    plan.reset();
    destroyed.set_value();
    planner.join();
}

TEST(Wisdom, RoundTripsThroughTheSettingsStoreAndGarbageIsIgnored)
{
    TempSettings settings;
    wisdom::forget();
    EXPECT_FALSE(FftPlan::forwardInPlace(360).empty());  // measured: wisdom now knows 360
    Design::storeWisdom(settings.store());
    settings.reopen();
    const std::string stored = settings.store().readString("Wisdom", "");
    EXPECT_EQ(stored.rfind("(fftw-3", 0), 0U) << stored;

    wisdom::forget();
    EXPECT_TRUE(FftPlan::forwardInPlace(360, PlanRigor::WisdomOnly).empty());
    Design::loadWisdom(settings.store());
    EXPECT_FALSE(FftPlan::forwardInPlace(360, PlanRigor::WisdomOnly).empty());

    settings.store().writeString("Wisdom", "(fftw-3.3.10 fftw_wisdom garbage ((((");
    wisdom::forget();
    Design::loadWisdom(settings.store());
    EXPECT_FALSE(wisdom::importText("not wisdom at all"));
    EXPECT_FALSE(wisdom::importText(""));
    EXPECT_TRUE(AnalysisPlanSlot().ensureAnalysisPlan(128));
}

}  // namespace
