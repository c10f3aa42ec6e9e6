#include "engine/Recalculate.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "design/Design.h"
#include "engine/Resolution.h"
#include "fft/Wisdom.h"

namespace {

using Entries = std::vector<HarmonicEntry>;

WaveSettings settingsWith(int displayCycles, int fftCycles, float ppc)
{
    return {.displayCycles = displayCycles, .fftCycles = fftCycles, .ppc = ppc};
}

/** A design under the given active settings holding the given entries. */
struct Designed {
    explicit Designed(const Entries& entries, const WaveSettings& settings = {})
    {
        design.setActive(settings);
        for (const HarmonicEntry& e : entries) {
            design.add(e.number, e.magnitude, e.phase);
        }
    }
    const RecalcResult& run() { return design.recalculate(true); }

    Design design{PlanRigor::Estimate};
};

const CalculatedRow* rowFor(const RecalcResult& r, float number)
{
    const auto row = std::find_if(r.rows.begin(), r.rows.end(), [&](const CalculatedRow& row) {
        return std::fabs(row.number - number) < 1e-4F;
    });
    return row == r.rows.end() ? nullptr : &*row;
}

struct FigureCase {
    const char* name;
    Entries entries;
    std::vector<std::pair<int, double>> bins;  // bin, charted value
    const char* figures;                       // total, odd, even, DC, interharmonic
    WaveSettings settings{};
    int fftSize = 128;
};

class RecalculateFigures : public ::testing::TestWithParam<FigureCase> {};

TEST_P(RecalculateFigures, SpectrumAndFiguresAreRelativeToTheFundamental)
{
    const FigureCase& c = GetParam();
    Designed design(c.entries, c.settings);
    const RecalcResult& r = design.run();
    ASSERT_TRUE(r.analyzed);
    EXPECT_EQ(r.fftSize, c.fftSize);
    EXPECT_EQ(r.binCount, c.fftSize / 2 + 1);
    for (const auto& [bin, value] : c.bins) {
        EXPECT_NEAR(r.spectrum[static_cast<std::size_t>(bin)], value, 1e-9) << bin;
    }
    const FigureTexts& t = r.texts;
    EXPECT_EQ(t.total + ' ' + t.odd + ' ' + t.even + ' ' + t.dc + ' ' + t.inter, c.figures);
}

constexpr const char* kNone = "0.00% 0.00% 0.00% 0.00% 0.00%";

// clang-format off
const FigureCase kFigureCases[] = {
    {"fundamental", {{1, 100, 0}}, {{1, 100}, {0, 0}, {2, 0}, {64, 0}}, kNone},
    {"odd", {{1, 100, 0}, {3, 10, 0}}, {{3, 10}}, "10.00% 10.00% 0.00% 0.00% 0.00%"},
    {"oddAndEven", {{1, 100, 0}, {3, 10, 0}, {2, 5, 0}}, {{2, 5}, {3, 10}},
     "11.18% 10.00% 5.00% 0.00% 0.00%"},
    {"halfFundamental", {{1, 50, 0}, {3, 10, 0}}, {{1, 100}, {3, 20}},
     "20.00% 20.00% 0.00% 0.00% 0.00%"},
    {"offsetHalved", {{1, 100, 0}, {0, 5, 0}}, {{0, 5}}, "5.00% 0.00% 0.00% 5.00% 0.00%"},
    {"interharmonicOnItsBin", {{1, 100, 0}, {1.5F, 10, 0}}, {{2, 100}, {3, 10}},
     "10.00% 0.00% 0.00% 0.00% 10.00%", settingsWith(12, 2, 128), 256},
    // Without a fundamental, lines are in % of a full-scale one.
    {"noFundamental", {{3, 10, 0}}, {{3, 10}}, "10.00% 10.00% 0.00% 0.00% 0.00%"},
    {"oddTransformSize", {{1, 100, 0}}, {{1, 100}}, kNone, settingsWith(12, 1, 25), 25},
    {"largerCycleCountSynthesised", {{1, 100, 0}}, {{4, 100}}, kNone, settingsWith(1, 4, 128), 512},
    {"nonIntegerPpcRoundsTheSize", {{1, 100, 0}}, {}, "0.87% 0.04% 0.11% 0.17% 0.85%",
     settingsWith(1, 3, 100.5F), 302},
    {"empty", {}, {{0, 0}, {1, 0}}, kNone},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Designs, RecalculateFigures, ::testing::ValuesIn(kFigureCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Every figure counts every line, refers to one fundamental line and weighs each line by its
// RMS; expected values from the lines' RMS by hand.
TEST(Recalculate, FiguresCountEveryLineAtItsRmsWeight)
{
    Entries forty{{1, 100, 0}};
    for (int h = 2; h <= 41; ++h) {
        forty.push_back({static_cast<float>(h), 0.009F, 0});
    }
    const std::tuple<const char*, Entries, WaveSettings, double, double> cases[] = {
        // Below the list's threshold, each: 40 lines in Total, 39 in THD40.
        {"belowTheList", forty, {}, 0.009 * std::sqrt(40.0), 0.009 * std::sqrt(39.0)},
        {"noFundamental", {{3, 10, 0}}, {}, 10, 10},
    };
    for (const auto& [name, entries, settings, total, thd40] : cases) {
        Designed design(entries, settings);
        const RecalcResult& r = design.run();
        EXPECT_NEAR(r.figures.total, total, 1e-6) << name;
        EXPECT_NEAR(r.quality.thd40, thd40, 1e-6) << name;
    }
    // A 10 % cosine at half the sampling rate of a 4-point window (bin 2 holds N x 10): an
    // RMS of 10 against the fundamental's 100 / sqrt 2.
    double bins[2 * 3] = {0, 0, 200, 0, 40, 0};
    RecalcResult half;
    half.binCount = 3;
    half.fftSize = 4;
    measureSpectrum(bins, 1, 1.0F, false, half);
    EXPECT_NEAR(half.figures.total, 10 * std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(powerQualityFigures(half.lines, 1, {}).thd40, 10 * std::sqrt(2.0), 1e-9);
}

TEST(Recalculate, SampleBufferHoldsSpectrumThenSamplesThenWhatWasThere)
{
    Designed design({});
    design.design.openSamples([](FftBuffer& samples) {
        samples.fill(7.0);
        return samples.size();
    });
    design.design.add(1.0F, 100.0F, 0);
    const RecalcResult& r = design.run();
    const SampleBuffer& buffer = design.design.samples();
    EXPECT_NEAR(std::hypot(buffer[2], buffer[3]), 6400.0, 1e-6);  // a x N / 2 in bin 1
    ASSERT_EQ(r.waveform.size(), static_cast<std::size_t>(r.sampleCount));
    for (auto i = static_cast<std::size_t>(2 * r.binCount); i < buffer.size(); ++i) {
        ASSERT_EQ(buffer[i], i < r.waveform.size() ? r.waveform[i] : 7.0) << i;
    }
}

TEST(Recalculate, ListedRowsFollowTheDisplayModeTheWaveformAndTheSpread)
{
    Designed hertz({{1.0F, 100.0F, 0}, {3.0F, 10.0F, 0}, {0.0F, 5.0F, 0}},
                   {.displayMode = DisplayMode::Hertz50});
    const RecalcResult& h = hertz.run();
    ASSERT_NE(rowFor(h, 150.0F), nullptr);
    EXPECT_NEAR(rowFor(h, 0.0F)->magnitude, 5.0F, 1e-5F);  // the halved offset

    Designed sines({{1.0F, 100.0F, 0}}, {.basis = WaveBasis::Sine});
    const RecalcResult& s = sines.run();
    EXPECT_NEAR(s.waveform[32], 100.0, 1e-9);  // a sine peaks a quarter cycle in
    EXPECT_EQ(s.rows[0].phase, -90);           // listed as the cosine phase

    Designed shifted({{1.0F, 100.0F, 0}, {3.0F, 10.0F, 10}},
                     {.phaseReference = PhaseReference::Fundamental});
    const RecalcResult& f = shifted.run();
    EXPECT_NEAR(f.waveform[0], 100.0 + 10.0 * std::cos(30.0 * M_PI / 180.0), 1e-9);
    EXPECT_EQ(rowFor(f, 3.0F)->phase, 30);  // 10 degrees of the fundamental are 30 of the 3rd

    // Without a bin of its own 1.5 leaks into the harmonic bins; with one cycle every bin
    // is a harmonic bin, so nothing counts as an interharmonic.
    Designed spread({{1.0F, 100.0F, 0}, {1.5F, 10.0F, 0}});
    const RecalcResult& p = spread.run();
    EXPECT_EQ(rowFor(p, 1.5F), nullptr);
    EXPECT_GT(p.figures.even, 1.0);
    EXPECT_EQ(p.figures.inter, 0.0);
}

TEST(Recalculate, AxisRangeLeavesAMarginWithAFloorOfOne)
{
    EXPECT_EQ(Designed({{1.0F, 100.0F, 0}}).run().axisHalfRange, 105.26315789473684);
    EXPECT_EQ(Designed({}).run().axisHalfRange, 1.0);
    EXPECT_EQ(Designed({{1.0F, 0.5F, 0}}).run().axisHalfRange, 1.0);
}

TEST(Recalculate, PlansOnceListsRowsOnlyWhenAskedAndNeverShowsStaleRows)
{
    Designed design({{1.0F, 100.0F, 0}, {3.0F, 10.0F, 0}});
    EXPECT_TRUE(design.design.recalculate(false).rows.empty());
    EXPECT_EQ(design.design.result().texts.odd, "10.00%");
    EXPECT_EQ(design.run().rows.size(), 2U);
    EXPECT_EQ(design.design.planSlot().plansCreated(), 1);
    design.design.discardPlan();
    design.design.clear();
    EXPECT_TRUE(design.run().rows.empty());
    EXPECT_EQ(design.design.planSlot().plansCreated(), 2);
}

TEST(Recalculate, WithoutAPlanOrWithinvalidSettingsTheAnalysisIsSkipped)
{
    wisdom::forget();
    Design design(PlanRigor::WisdomOnly);
    design.setActive(settingsWith(12, 1, 97.0F));  // a size no earlier plan has met
    design.add(1.0F, 100.0F, 0);
    const RecalcResult& result = design.recalculate(true);
    EXPECT_FALSE(result.analyzed);
    EXPECT_TRUE(result.spectrum.empty() && result.rows.empty() && result.texts.total.empty());
    EXPECT_EQ(result.waveform.size(), static_cast<std::size_t>(result.displayCount));

    design.setActive(settingsWith(1000, 1, 128.0F));  // never reaches the buffer
    EXPECT_EQ(design.recalculate(true).sampleCount, 0);
}

TEST(MeasureSpectrum, ChartsExactlyOneHundredthButListsItNotAndRoundsPhasesAwayFromZero)
{
    // Bin 1 at 100 gives a scale of 1, so every bin shows its own amplitude.
    const double a = 45.5 * M_PI / 180.0;
    // clang-format off
    double bins[2 * 6] = {0, 0, 100, 0, 0.01, 0, 0.0099, 0,
                          10 * std::cos(a), 10 * std::sin(a), 10 * std::cos(a), -10 * std::sin(a)};
    // clang-format on
    RecalcResult result;
    result.binCount = 6;
    result.fftSize = 11;  // odd: no line at half the sampling rate
    measureSpectrum(bins, 1, 1.0F, true, result);
    EXPECT_EQ(result.spectrum[2], 0.01);
    EXPECT_EQ(result.spectrum[3], 0.0);
    ASSERT_EQ(result.rows.size(), 3U);
    EXPECT_EQ(result.rows[1].number, 4.0F);
    EXPECT_EQ(result.rows[1].phase, 46);
    EXPECT_EQ(result.rows[2].phase, -46);
}

TEST(FigureText, ShowsTwoDecimalsUpToTenThousandAndIsZeroExactlyWhereItShowsZero)
{
    EXPECT_EQ(figureText(10000.0), "10000.00%");
    EXPECT_EQ(figureText(10000.001), ">10000%");
    for (const double figure : {1.12e-14, 0.004999, 0.005, 0.0051, 47.53}) {
        const bool textIsZero = figureText(figure) == "0.00%";
        EXPECT_EQ(figureAsShown(figure) == 0.0, textIsZero) << figure;
        if (!textIsZero) {
            EXPECT_EQ(figureAsShown(figure), figure);
        }
    }
}

TEST(ResolutionHint, NamesEntriesBetweenBinsAndTheSmallestWindowForAll)
{
    // clang-format off
    const std::tuple<Entries, int, const char*> cases[] = {
        {{{0}, {1}, {63}}, 1, ""},
        {{{1}, {2.5F}}, 1, "2.50 lies between FFT bins: set FFT cycles to 2 to measure it"},
        {{{1.5F}, {2.5F}}, 2, ""},
        {{{1.333333F}, {1.5F}, {2.5F}}, 1,
         "1.33 and 2 more lie between FFT bins: set FFT cycles to 6 to measure them"},
        {{{1.333333F}, {1.5F}}, 2, "1.33 lies between FFT bins: set FFT cycles to 6 to measure it"},
        {{{1.25F}, {1.5F}}, 12, ""},
        {{{1.2F}, {1.5F}}, 2, "1.20 lies between FFT bins: set FFT cycles to 10 to measure it"},
        {{{1.0833333F}}, 1, "1.08 lies between FFT bins: set FFT cycles to 12 to measure it"},
        {{{1.2F}, {1.25F}}, 1,
         "1.20 and 1 more lie between FFT bins and cannot be resolved within 12 cycles"},
        {{{0.37F}, {255.1F}}, 10,
         "0.37 lies between FFT bins and cannot be resolved within 12 cycles"},
        // Decided on the order: 2.00007 is off every window's bins, not on 1 cycle's alone.
        {{{1}, {2.00007F}}, 2, "2.00 lies between FFT bins and cannot be resolved within 12 cycles"},
    };
    // clang-format on
    for (const auto& [entries, fftCycles, hint] : cases) {
        EXPECT_EQ(resolutionHint(entries, fftCycles), hint) << fftCycles;
    }
}

}  // namespace
