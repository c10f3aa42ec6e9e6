#include "engine/PowerQuality.h"

#include <cmath>
#include <numbers>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

struct SpectrumCase {
    const char* name;
    std::vector<std::pair<int, double>> lines;
    int fftCycles;
    double thd40;
    double thd50;
    double kFactor;
};

class PowerQualitySpectrum : public ::testing::TestWithParam<SpectrumCase> {};

TEST_P(PowerQualitySpectrum, ThdCountsWholeOrdersAndKWeighsEveryLineButDc)
{
    const SpectrumCase& c = GetParam();
    const std::vector<double> spectrum = spectrumWith(129, c.lines);
    EXPECT_NEAR(thdToOrder(spectrum, c.fftCycles, kThdOrdersIec), c.thd40, 1e-6);
    EXPECT_NEAR(thdToOrder(spectrum, c.fftCycles, kThdOrdersIeee), c.thd50, 1e-6);
    EXPECT_NEAR(kFactor(spectrum, c.fftCycles).value(), c.kFactor, 1e-6);
}

// clang-format off
const SpectrumCase kSpectrumCases[] = {
    {"PureFundamental", {{1, 100}}, 1, 0, 0, 1},
    // 10, 5 and 2 % at orders 2 to 4: THD-F 11.357817 %.
    {"ReferenceLines", {{1, 100}, {2, 10}, {3, 5}, {4, 2}}, 1, 11.357817, 11.357817,
     10689.0 / 10129.0},
    {"OddLinesForK", {{1, 100}, {3, 30}, {5, 20}, {7, 10}}, 1, std::sqrt(1400.0), std::sqrt(1400.0),
     33000.0 / 11400.0},
    // DC and an interharmonic at 2.5 count in no THD; 2.5 weighs in K at its own order.
    {"DcAndInterharmonic", {{0, 5}, {2, 100}, {5, 10}, {6, 3}}, 2, 3, 3,
     (10000.0 + 6.25 * 100 + 9 * 9) / (10000.0 + 100 + 9)},
    // Order 45 lies between the two THDs' highest orders.
    {"Order45", {{1, 100}, {40, 4}, {45, 3}}, 1, 4, 5,
     (10000.0 + 1600 * 16 + 2025 * 9) / (10000.0 + 16 + 9)},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Lines, PowerQualitySpectrum, ::testing::ValuesIn(kSpectrumCases),
                         [](const auto& info) { return std::string(info.param.name); });

// THD-R: the harmonic lines' RMS over that of the whole orders, DC and interharmonics left out.
TEST(PowerQuality, ThdRCountsWholeOrdersOnlyAndKNeedsALineBesideDc)
{
    // THD-F 11.357817 % (10, 5 and 2 %) over sqrt(1 + 0.11357817^2).
    EXPECT_NEAR(thdRelativeToRms(spectrumWith(129, {{1, 100}, {2, 10}, {3, 5}, {4, 2}}), 1),
                11.285260, 1e-6);
    // h2 at 10 % beside 50 % DC and an interharmonic: 10 / sqrt(100^2 + 10^2).
    EXPECT_NEAR(thdRelativeToRms(spectrumWith(129, {{0, 50}, {2, 100}, {3, 7}, {4, 10}}), 2),
                9.950372, 1e-6);
    EXPECT_FALSE(kFactor(spectrumWith(129, {{0, 5}}), 1).has_value());
}

TEST(PowerQuality, CrestAndFormFactorOfKnownWaves)
{
    // A wave by its phase; its crest and form factors.
    const std::tuple<const char*, double (*)(double), double, double> cases[] = {
        {"sine", [](double x) { return 100 * std::sin(x); }, std::numbers::sqrt2,
         std::numbers::pi / (2 * std::numbers::sqrt2)},
        {"square", [](double x) { return x < std::numbers::pi ? 50.0 : -50.0; }, 1, 1},
    };
    constexpr int kSamples = 1024;
    for (const auto& [name, sample, crest, formFactor] : cases) {
        std::vector<double> wave;
        for (int i = 0; i < kSamples; ++i) {
            wave.push_back(sample(2 * std::numbers::pi * (i + 0.5) / kSamples));
        }
        const PowerQualityFigures f = powerQualityFigures({}, 1, wave);
        EXPECT_NEAR(f.crest.value(), crest, 1e-5) << name;
        EXPECT_NEAR(f.formFactor.value(), formFactor, 1e-5) << name;
    }
    const PowerQualityFigures flat = powerQualityFigures({}, 1, std::vector<double>(16, 0.0));
    EXPECT_FALSE(flat.crest.has_value() || flat.formFactor.has_value());
}

}  // namespace
