#include "engine/TimeSynthesis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

const std::vector<HarmonicEntry> kTable = {
    {0.0F, 5.0F, 0}, {1.0F, 100.0F, 0}, {1.5F, 4.0F, 30}, {3.0F, 10.0F, -45}};

class TimeSynthesis : public ::testing::TestWithParam<SynthesisForm> {};

// At rate = ppc x the fundamental the samples are those of the recalculation's synthesis,
// whatever block they are made in; an hour into the signal the phase is still exact.
TEST_P(TimeSynthesis, IsTheSynthesisSumAtEveryIndex)
{
    SynthesisForm form = GetParam();
    form.ppc = 128.0F;
    const TimeSynthesizer time(kTable, form, 375.0, 48000);
    std::vector<double> expected(1536);
    Synthesize(kTable, form, expected);
    std::vector<double> whole(1536);
    time.fill(0, whole);
    std::vector<double> tail(536);
    time.fill(1000, tail);
    for (std::size_t i = 0; i < whole.size(); ++i) {
        ASSERT_NEAR(whole[i], expected[i], 1e-9) << i;
        if (i >= 1000) {
            ASSERT_NEAR(tail[i - 1000], expected[i], 1e-9) << i;
        }
    }

    // 50.25 Hz at 384 kHz: 8 x number x 50.25 is whole, so each phase is exactly known.
    const TimeSynthesizer hour(kTable, form, 50.25, 384000);
    const std::int64_t last = std::int64_t{3600} * 384000 - 1;
    std::vector<double> end(3);
    hour.fill(last - 2, end);
    for (std::int64_t k = 0; k < 3; ++k) {
        const std::int64_t i = last - 2 + k;
        long double sum = 0.0L;
        for (const HarmonicEntry& e : kTable) {
            const auto eighths = static_cast<std::int64_t>(e.number * 402.0F);
            const long double turn =
                static_cast<long double>((eighths * i) % (8 * 384000)) / (8 * 384000.0L);
            const long double shift = (form.harmonicReference ? 1.0L : e.number) * e.phase / 360.0L;
            const long double angle = 2.0L * std::acos(-1.0L) * (turn + shift);
            sum += e.magnitude * (form.cosine ? std::cos(angle) : std::sin(angle));
        }
        EXPECT_NEAR(end[static_cast<std::size_t>(k)], static_cast<double>(sum), 1e-9) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, TimeSynthesis,
                         ::testing::Values(SynthesisForm{true, true}, SynthesisForm{false, true},
                                           SynthesisForm{true, false},
                                           SynthesisForm{false, false}));

}  // namespace
