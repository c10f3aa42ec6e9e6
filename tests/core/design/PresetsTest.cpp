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
    int highest;  ///< the highest harmonic left after the slot limit
    std::function<bool(int)> present;
    std::function<double(int)> magnitude;  ///< relative to the fundamental
    std::function<double(double)> ideal;   ///< the waveform the series converges to, 0 < theta < pi
};

class Presets : public ::testing::TestWithParam<PresetCase> {};

// Each series against what it should add up to: its distortion from its own magnitudes (the
// square's to the 63rd is 47.53 %), its shape (which the phases make) against the ideal
// waveform, under the form the preset puts in force.
TEST_P(Presets, AddUpToTheirWaveformWithinTheSlotLimit)
{
    const PresetCase& c = GetParam();
    Design design(PlanRigor::Estimate);
    WaveSettings settings = design.active();
    settings.basis = WaveBasis::Sine;
    settings.phaseReference = PhaseReference::Fundamental;
    settings.ppc = c.ppc;
    design.setActive(presetForm(settings));
    putPreset(design, *presetNamed(c.name), c.order);

    int entries = 0;
    double odd = 0.0;
    double even = 0.0;
    for (int n = 1; n <= c.highest; ++n) {
        if (c.present(n)) {
            ++entries;
            if (n > 1) {
                (n % 2 != 0 ? odd : even) += std::pow(c.magnitude(n) * 100.0, 2);
            }
        }
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

bool isOdd(int n)
{
    return n % 2 != 0;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Presets,
    ::testing::Values(
        PresetCase{"square", 63, 128.0F, 63, isOdd, [](int n) { return 1.0 / n; },
                   [](double) { return kPi / 4; }},
        PresetCase{"triangle", 63, 128.0F, 63, isOdd, [](int n) { return 1.0 / (n * n); },
                   [](double t) { return kPi / 4 * std::min(t, kPi - t); }},
        PresetCase{"sawtooth", 63, 128.0F, 63, [](int) { return true; },
                   [](int n) { return 1.0 / n; }, [](double t) { return (kPi - t) / 2; }},
        // The slot limit at 101 samples per cycle lies just above 50.
        PresetCase{"sawtooth", 255, 101.0F, 50, [](int) { return true; },
                   [](int n) { return 1.0 / n; }, [](double t) { return (kPi - t) / 2; }}),
    [](const auto& info) {
        return std::string(info.param.name) + std::to_string(info.param.order);
    });

}  // namespace
