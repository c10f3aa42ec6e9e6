#include "fft/AnalysisPlan.h"

#include <cmath>

#include <gtest/gtest.h>

#include "design/Design.h"
#include "fft/FftBuffer.h"
#include "fft/Wisdom.h"
#include "support/TestSupport.h"

namespace {

constexpr double kGuard = -12345.0;

/** Runs a fresh forward plan of n points on samples[0, n); the rest of the buffer is a guard. */
SampleBuffer transform(int n, double (*signal)(int i, int n))
{
    SampleBuffer buffer;
    buffer.fill(kGuard);
    const FftPlan plan = FftPlan::forwardInPlace(n, PlanRigor::Estimate);
    EXPECT_FALSE(plan.empty());
    for (int i = 0; i < n; ++i) {
        buffer[static_cast<std::size_t>(i)] = signal(i, n);
    }
    plan.executeForwardInPlace(buffer);
    return buffer;
}

double magnitudeOf(const SampleBuffer& b, int k)
{
    return std::hypot(b[static_cast<std::size_t>(2 * k)], b[static_cast<std::size_t>(2 * k + 1)]);
}

void expectGuardIntact(const SampleBuffer& b, int n)
{
    // Past the half spectrum (and past the samples) nothing may have been written.
    for (std::size_t i = std::max<std::size_t>(2 * (static_cast<std::size_t>(n) / 2 + 1),
                                               static_cast<std::size_t>(n));
         i < 2 * static_cast<std::size_t>(n) + 16; ++i) {
        ASSERT_EQ(b[i], kGuard) << i;
    }
}

TEST(FftPlan, KnownSignalsGiveKnownSpectra)
{
    for (const int n : {24, 25, 128, 301, 1536}) {
        const SampleBuffer dc = transform(n, [](int, int) { return 3.0; });
        EXPECT_NEAR(dc[0], 3.0 * n, 1e-9 * n) << n;
        EXPECT_NEAR(magnitudeOf(dc, 1), 0.0, 1e-9 * n) << n;
        expectGuardIntact(dc, n);

        const SampleBuffer cosine = transform(
            n, [](int i, int size) { return 2.0 * std::cos(2.0 * M_PI * 5.0 * i / size); });
        EXPECT_NEAR(cosine[10], 2.0 * n / 2, 1e-9 * n) << n;  // a x N / 2, real: a cosine
        EXPECT_NEAR(cosine[11], 0.0, 1e-9 * n) << n;
        EXPECT_NEAR(magnitudeOf(cosine, 4), 0.0, 1e-9 * n) << n;
        expectGuardIntact(cosine, n);
    }
    const SampleBuffer nyquist = transform(128, [](int i, int) { return i % 2 == 0 ? 1.0 : -1.0; });
    EXPECT_NEAR(nyquist[128], 128.0, 1e-9);
    EXPECT_NEAR(nyquist[129], 0.0, 1e-9);
}

TEST(FftPlan, EmptyAndMovedFromPlansAreHarmless)
{
    FftPlan made = FftPlan::forwardInPlace(64, PlanRigor::Estimate);
    FftPlan moved = std::move(made);
    EXPECT_FALSE(moved.empty());
    SampleBuffer buffer;
    buffer[0] = 1.0;
    made.executeForwardInPlace(buffer);  // NOLINT(bugprone-use-after-move): defined as empty
    EXPECT_EQ(buffer[0], 1.0);
    moved = FftPlan();
    EXPECT_TRUE(moved.empty());
    EXPECT_TRUE(FftPlan::forwardInPlace(0).empty());
}

TEST(AnalysisPlanSlot, PlansOnceOnScratchMemoryAndNeverRunsAPlanOfAnotherSize)
{
    SampleBuffer samples;
    for (std::size_t i = 0; i < 256; ++i) {
        samples[i] = static_cast<double>(i);
    }
    AnalysisPlanSlot slot;
    EXPECT_FALSE(slot.holdsPlan());
    EXPECT_TRUE(slot.ensureAnalysisPlan(256));
    EXPECT_TRUE(slot.ensureAnalysisPlan(256));
    EXPECT_EQ(slot.plansCreated(), 1);
    for (std::size_t i = 0; i < 256; ++i) {
        ASSERT_EQ(samples[i], static_cast<double>(i));  // measuring never touched the samples
    }
    ASSERT_TRUE(slot.ensureAnalysisPlan(128));  // settings changed without a discard
    EXPECT_EQ(slot.planSize(), 128);
    EXPECT_EQ(slot.plansCreated(), 2);
    slot.discardAnalysisPlan();
    EXPECT_FALSE(slot.holdsPlan());
    slot.discardAnalysisPlan();  // emptying an empty slot is harmless

    wisdom::forget();
    AnalysisPlanSlot unplannable(PlanRigor::WisdomOnly);
    EXPECT_FALSE(unplannable.ensureAnalysisPlan(300));
    EXPECT_FALSE(unplannable.holdsPlan());
}

TEST(Wisdom, RoundTripsThroughTheSettingsStore)
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
}

TEST(Wisdom, GarbageIsIgnoredAndPlansAreMeasuredAfresh)
{
    TempSettings settings;
    settings.store().writeString("Wisdom", "(fftw-3.3.10 fftw_wisdom garbage ((((");
    settings.reopen();
    wisdom::forget();
    Design::loadWisdom(settings.store());
    EXPECT_FALSE(wisdom::importText("not wisdom at all"));
    EXPECT_FALSE(wisdom::importText(""));
    AnalysisPlanSlot slot;
    EXPECT_TRUE(slot.ensureAnalysisPlan(128));
}

}  // namespace
