#include "design/Presets.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "design/Design.h"

namespace {

const double kPi = std::acos(-1.0);

struct PresetCase {
    const char* name;
    int order;
    float ppc;
    int highest;                          ///< the highest harmonic left after the slot limit
    bool oddOnly;                         ///< whether only odd harmonics are present
    int power;                            ///< magnitudes fall as 1 / n^power of the fundamental's
    std::function<double(double)> ideal;  ///< the waveform the series converges to, 0 < theta < pi
};

// Each series against what it should add up to: its distortion from its own magnitudes (the
// square's to the 63rd is 47.53 %), its shape (which the phases make) against the ideal
// waveform, under the form the preset puts in force.
TEST(Presets, AddUpToTheirWaveformWithinTheSlotLimit)
{
    const auto sawtooth = [](double t) { return (kPi - t) / 2; };
    const PresetCase cases[] = {
        {"square", 63, 128.0F, 63, true, 1, [](double) { return kPi / 4; }},
        {"triangle", 63, 128.0F, 63, true, 2,
         [](double t) { return kPi / 4 * std::min(t, kPi - t); }},
        {"sawtooth", 63, 128.0F, 63, false, 1, sawtooth},
        {"sawtooth", 255, 101.0F, 50, false, 1, sawtooth},  // the slot limit lies just above 50
    };
    for (const PresetCase& c : cases) {
        SCOPED_TRACE(c.order);
        Design design(PlanRigor::Estimate);
        design.setActive(presetForm({.basis = WaveBasis::Sine,
                                     .phaseReference = PhaseReference::Fundamental,
                                     .ppc = c.ppc}));
        putPreset(design, *presetNamed(c.name), c.order);

        int entries = 1;  // the fundamental
        double odd = 0.0, even = 0.0;
        for (int n = c.oddOnly ? 3 : 2; n <= c.highest; n += c.oddOnly ? 2 : 1) {
            ++entries;
            (n % 2 != 0 ? odd : even) += std::pow(100.0 / std::pow(n, c.power), 2);
        }
        ASSERT_EQ(design.table().count(), entries);
        const RecalcResult& result = design.recalculate(false);
        EXPECT_NEAR(result.figures.odd, std::sqrt(odd), 1e-3);
        EXPECT_NEAR(result.figures.even, std::sqrt(even), 1e-3);
        EXPECT_NEAR(result.figures.total, std::sqrt(odd + even), 1e-3);
        for (const double fraction : {0.25, 0.375}) {  // away from the jumps of square and sawtooth
            const auto i = static_cast<std::size_t>(fraction * c.ppc);
            const double theta = 2 * kPi * static_cast<double>(i) / c.ppc;
            EXPECT_NEAR(result.waveform[i], 100.0 * c.ideal(theta), 1.5) << c.name << " " << theta;
        }
    }
}

}  // namespace
