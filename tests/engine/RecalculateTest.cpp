#include "engine/Recalculate.h"

#include <cmath>
#include <initializer_list>
#include <sstream>

#include <gtest/gtest.h>

#include "design/Design.h"
#include "fft/Wisdom.h"

namespace {

constexpr double kTolerance = 1e-9;

/** A design under the given active settings holding the given entries. */
class Designed {
public:
    explicit Designed(std::initializer_list<HarmonicEntry> entries, WaveSettings settings = {})
    {
        design.setActive(settings);
        add(entries);
    }

    void add(std::initializer_list<HarmonicEntry> entries)
    {
        for (const HarmonicEntry& e : entries) {
            design.add(e.number, e.magnitude, e.phase);
        }
    }

    const RecalcResult& run() { return design.recalculate(true); }

    Design design;
};

WaveSettings withFftCycles(int cycles)
{
    WaveSettings s;
    s.fftCycles = cycles;
    return s;
}

const CalculatedRow* rowFor(const RecalcResult& r, float number)
{
    for (const CalculatedRow& row : r.rows) {
        if (std::fabs(row.number - number) < 1e-4F) {
            return &row;
        }
    }
    return nullptr;
}

TEST(Recalculate, DefaultsWithTheFundamentalAlone)
{
    Designed design({{1.0F, 100.0F, 0}});
    const RecalcResult& r = design.run();
    EXPECT_EQ(r.sampleCount, 1536);
    EXPECT_EQ(r.displayCount, 1536);
    EXPECT_EQ(r.fftSize, 128);
    EXPECT_EQ(r.binCount, 65);
    EXPECT_EQ(r.axisHalfRange, 105.26315789473684);
    ASSERT_EQ(r.waveform.size(), 1536U);
    for (std::size_t i = 0; i < r.waveform.size(); ++i) {
        ASSERT_NEAR(r.waveform[i], 100.0 * std::cos(2.0 * M_PI * static_cast<double>(i) / 128.0),
                    kTolerance)
            << i;
    }
    ASSERT_TRUE(r.analysed);
    ASSERT_EQ(r.spectrum.size(), 65U);
    EXPECT_NEAR(r.spectrum[1], 100.0, kTolerance);
    for (std::size_t k = 0; k < r.spectrum.size(); ++k) {
        if (k != 1) {
            EXPECT_EQ(r.spectrum[k], 0.0) << k;  // noise below 0.01 is charted as 0
        }
    }
    ASSERT_EQ(r.rows.size(), 1U);
    EXPECT_EQ(r.rows[0].number, 1.0F);
    EXPECT_NEAR(r.rows[0].magnitude, 100.0F, 1e-4F);
    EXPECT_EQ(r.rows[0].phase, 0);
    for (const std::string* text :
         {&r.texts.total, &r.texts.odd, &r.texts.even, &r.texts.dc, &r.texts.inter}) {
        EXPECT_EQ(*text, "0.00%");
    }
}

TEST(Recalculate, SampleBufferHoldsSpectrumThenSamplesThenWhatWasThere)
{
    Designed design({});
    design.design.openSamples([](FftBuffer& samples) {
        samples.fill(7.0);
        return samples.size();
    });
    design.add({{1.0F, 100.0F, 0}});
    const RecalcResult& r = design.run();
    const SampleBuffer& buffer = design.design.samples();
    EXPECT_NEAR(std::hypot(buffer[2], buffer[3]), 6400.0, 1e-6);  // a x N / 2 in bin 1
    for (int i = 2 * r.binCount; i < r.sampleCount; ++i) {
        ASSERT_NEAR(buffer[static_cast<std::size_t>(i)], r.waveform[static_cast<std::size_t>(i)],
                    0.0)
            << i;
    }
    for (std::size_t i = static_cast<std::size_t>(r.sampleCount); i < buffer.size(); ++i) {
        ASSERT_EQ(buffer[i], 7.0) << i;
    }
}

TEST(Recalculate, OddAndEvenHarmonicsGiveTheirFigures)
{
    Designed third({{1.0F, 100.0F, 0}, {3.0F, 10.0F, 0}});
    const RecalcResult& r3 = third.run();
    EXPECT_EQ(r3.texts.odd, "10.00%");
    EXPECT_EQ(r3.texts.total, "10.00%");
    EXPECT_EQ(r3.texts.even, "0.00%");
    EXPECT_NEAR(r3.spectrum[3], 10.0, 1e-6);

    Designed both({{1.0F, 100.0F, 0}, {3.0F, 10.0F, 0}, {2.0F, 5.0F, 0}});
    const RecalcResult& r = both.run();
    EXPECT_EQ(r.texts.even, "5.00%");
    EXPECT_EQ(r.texts.odd, "10.00%");
    EXPECT_EQ(r.texts.total, "11.18%");
    EXPECT_NEAR(r.figures.total, std::sqrt(125.0), 1e-9);
    EXPECT_EQ(r.texts.dc, "0.00%");
    EXPECT_EQ(r.texts.inter, "0.00%");
}

TEST(Recalculate, FiguresAreRelativeToTheFundamental)
{
    Designed design({{1.0F, 50.0F, 0}, {3.0F, 10.0F, 0}});
    const RecalcResult& r = design.run();
    EXPECT_NEAR(r.spectrum[1], 100.0, 1e-9);
    EXPECT_NEAR(r.spectrum[3], 20.0, 1e-9);
    const CalculatedRow* row = rowFor(r, 3.0F);
    ASSERT_NE(row, nullptr);
    EXPECT_NEAR(row->magnitude, 20.0F, 1e-4F);
    EXPECT_EQ(r.texts.odd, "20.00%");
}

TEST(Recalculate, ConstantOffsetIsHalvedOntoTheAmplitudeScale)
{
    Designed design({{1.0F, 100.0F, 0}, {0.0F, 5.0F, 0}});
    const RecalcResult& r = design.run();
    EXPECT_NEAR(r.spectrum[0], 5.0, 1e-9);
    const CalculatedRow* row = rowFor(r, 0.0F);
    ASSERT_NE(row, nullptr);
    EXPECT_NEAR(row->magnitude, 5.0F, 1e-5F);
    EXPECT_EQ(row->phase, 0);
    EXPECT_EQ(r.texts.dc, "5.00%");
    EXPECT_EQ(r.texts.total, "5.00%");
    EXPECT_EQ(r.texts.odd, "0.00%");
}

TEST(Recalculate, InterharmonicOnItsOwnBinWithTwoFftCycles)
{
    Designed design({{1.0F, 100.0F, 0}, {1.5F, 10.0F, 0}}, withFftCycles(2));
    const RecalcResult& r = design.run();
    EXPECT_EQ(r.fftSize, 256);
    EXPECT_NEAR(r.spectrum[3], 10.0, 1e-9);
    const CalculatedRow* row = rowFor(r, 1.5F);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->number, 1.5F);
    EXPECT_EQ(r.texts.inter, "10.00%");
    EXPECT_EQ(r.texts.total, "10.00%");
    EXPECT_EQ(r.texts.odd, "0.00%");

    Designed spread({{1.0F, 100.0F, 0}, {1.5F, 10.0F, 0}});
    const RecalcResult& s = spread.run();
    // No bin of its own: it leaks into the harmonic bins, and with one cycle every bin
    // is a harmonic bin, so nothing counts as an interharmonic.
    EXPECT_EQ(rowFor(s, 1.5F), nullptr);
    EXPECT_GT(s.spectrum[2], 1.0);
    EXPECT_GT(s.figures.even, 1.0);
    EXPECT_EQ(s.figures.inter, 0.0);
}

TEST(Recalculate, FrequencyDisplayMultipliesTheListedNumbers)
{
    WaveSettings settings;
    settings.harmIndex = 1;
    Designed design({{1.0F, 100.0F, 0}, {3.0F, 10.0F, 0}}, settings);
    const RecalcResult& r = design.run();
    ASSERT_EQ(r.rows.size(), 2U);
    EXPECT_EQ(r.rows[0].number, 50.0F);
    EXPECT_EQ(r.rows[1].number, 150.0F);
    EXPECT_EQ(design.design.table().numberText(1), "150.00");
}

TEST(Recalculate, ListedPhaseIsTheCosinePhase)
{
    WaveSettings sine;
    sine.cosine = 0;
    Designed design({{1.0F, 100.0F, 0}}, sine);
    const RecalcResult& r = design.run();
    EXPECT_NEAR(r.waveform[32], 100.0, 1e-9);  // a sine peaks a quarter cycle in
    ASSERT_EQ(r.rows.size(), 1U);
    EXPECT_EQ(r.rows[0].phase, -90);
}

TEST(Recalculate, FundamentalReferenceShiftsEachHarmonicByItsNumber)
{
    WaveSettings fundamentalReference;
    fundamentalReference.phaseReference = 0;
    Designed design({{1.0F, 100.0F, 0}, {3.0F, 10.0F, 10}}, fundamentalReference);
    const RecalcResult& r = design.run();
    const double degree = M_PI / 180.0;
    for (std::size_t i = 0; i < 128; ++i) {
        const double theta = 2.0 * M_PI * static_cast<double>(i) / 128.0;
        ASSERT_NEAR(r.waveform[i],
                    100.0 * std::cos(theta) + 10.0 * std::cos(3 * theta + 30 * degree), kTolerance);
    }
    const CalculatedRow* row = rowFor(r, 3.0F);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->phase, 30);
}

TEST(Recalculate, EntriesAtOrAbovePpcAliasAsInTheLiteralSum)
{
    // 40 is admitted under ppc 128 and kept when a settings line brings ppc down to 25.
    Design design;
    std::istringstream in("40 5 0\r\n:1 1 1 1 25\r\n1 100 0\r\n");
    design.open(in, DocumentKind::Coefficients);
    ASSERT_EQ(design.table().count(), 2);
    const RecalcResult& r = design.recalculate(true);
    EXPECT_NEAR(r.waveform[0], 105.0, 1e-9);
    EXPECT_EQ(r.texts.even, "5.00%");  // on bin 10: 40 - 25 = 15, mirrored about 12.5
    EXPECT_EQ(r.texts.total, "5.00%");
}

TEST(Recalculate, EmptyTableIsFlatWithZeroFigures)
{
    Designed design({});
    const RecalcResult& r = design.run();
    EXPECT_EQ(r.peak, 0.0);
    EXPECT_EQ(r.axisHalfRange, 1.0);
    for (const double v : r.waveform) {
        ASSERT_EQ(v, 0.0);
    }
    for (const double v : r.spectrum) {
        ASSERT_EQ(v, 0.0);
    }
    EXPECT_TRUE(r.rows.empty());
    EXPECT_EQ(r.texts.total, "0.00%");
    EXPECT_EQ(r.texts.inter, "0.00%");
}

TEST(Recalculate, SmallPeakKeepsTheSmallestAxisRange)
{
    Designed design({{1.0F, 0.5F, 0}});
    EXPECT_EQ(design.run().axisHalfRange, 1.0);
    Designed exact({{1.0F, 0.95F, 0}});
    EXPECT_NEAR(exact.run().axisHalfRange, 1.0, 1e-12);
}

TEST(Recalculate, HarmonicsWithoutAFundamentalAreOffTheScale)
{
    Designed design({{3.0F, 10.0F, 0}});
    const RecalcResult& r = design.run();
    EXPECT_EQ(r.texts.odd, ">10000%");
    EXPECT_EQ(r.texts.total, ">10000%");
    EXPECT_EQ(r.texts.even, "0.00%");
}

TEST(Recalculate, OddTransformSize)
{
    WaveSettings settings;
    settings.ppc = 25.0F;
    Designed design({{1.0F, 100.0F, 0}}, settings);
    const RecalcResult& r = design.run();
    EXPECT_EQ(r.fftSize, 25);
    EXPECT_EQ(r.binCount, 13);
    EXPECT_EQ(r.spectrum.size(), 13U);
    EXPECT_NEAR(r.spectrum[1], 100.0, 1e-9);
}

TEST(Recalculate, SynthesisFollowsTheLargerCycleCount)
{
    WaveSettings settings;
    settings.displayCycles = 1;
    settings.fftCycles = 4;
    Designed design({{1.0F, 100.0F, 0}}, settings);
    const RecalcResult& r = design.run();
    EXPECT_EQ(r.sampleCount, 512);
    EXPECT_EQ(r.displayCount, 128);
    EXPECT_EQ(r.waveform.size(), 128U);
    EXPECT_EQ(r.fftSize, 512);
    EXPECT_NEAR(r.spectrum[4], 100.0, 1e-9);
}

TEST(Recalculate, NonIntegerSamplesPerCycleRoundsSizes)
{
    WaveSettings settings;
    settings.ppc = 100.5F;
    settings.fftCycles = 3;
    settings.displayCycles = 1;
    Designed design({{1.0F, 100.0F, 0}}, settings);
    const RecalcResult& r = design.run();
    EXPECT_EQ(r.fftSize, 302);  // 301.5 + 0.5
    EXPECT_EQ(r.displayCount, 101);
}

TEST(Recalculate, PlanIsMadeOnceAndRemadeAfterADiscard)
{
    Designed design({{1.0F, 100.0F, 0}});
    design.run();
    design.run();
    EXPECT_EQ(design.design.planSlot().plansCreated(), 1);
    design.design.discardPlan();
    design.run();
    EXPECT_EQ(design.design.planSlot().plansCreated(), 2);
}

TEST(Recalculate, RowsOnlyWhenAskedForAndNeverStale)
{
    Designed design({{1.0F, 100.0F, 0}, {3.0F, 10.0F, 0}});
    EXPECT_TRUE(design.design.recalculate(false).rows.empty());
    EXPECT_EQ(design.design.result().texts.odd, "10.00%");
    EXPECT_EQ(design.run().rows.size(), 2U);
    design.design.clear();
    EXPECT_TRUE(design.run().rows.empty());
}

TEST(Recalculate, WithoutAPlanTheAnalysisIsSkipped)
{
    wisdom::forget();
    Design design(PlanRigor::WisdomOnly);
    WaveSettings settings;
    settings.ppc = 97.0F;  // a size no earlier plan has met
    design.setActive(settings);
    design.add(1.0F, 100.0F, 0);
    const RecalcResult& result = design.recalculate(true);
    EXPECT_FALSE(result.analysed);
    EXPECT_TRUE(result.spectrum.empty());
    EXPECT_TRUE(result.rows.empty());
    EXPECT_TRUE(result.texts.total.empty());
    EXPECT_EQ(result.waveform.size(), static_cast<std::size_t>(result.displayCount));
    EXPECT_NEAR(result.axisHalfRange, 105.26315789473684, 1e-9);
}

TEST(Recalculate, SettingsOutsideTheirLimitsNeverReachTheBuffer)
{
    Designed design({{1.0F, 100.0F, 0}});
    WaveSettings settings;
    settings.displayCycles = 1000;
    design.design.setActive(settings);
    const RecalcResult& result = design.run();
    EXPECT_EQ(result.sampleCount, 0);
    EXPECT_FALSE(result.analysed);
}

TEST(MeasureSpectrum, ThresholdChartsExactlyOneHundredthButDoesNotListIt)
{
    // Bin 1 at 100 gives a scale of 1, so bin 2 shows its own amplitude.
    double bins[2 * 5] = {0, 0, 100, 0, 0.01, 0, 0.0099, 0, 0.0101, 0};
    RecalcResult result;
    result.binCount = 5;
    MeasureSpectrum(bins, 1, 1.0F, true, result);
    EXPECT_EQ(result.spectrum[2], 0.01);
    EXPECT_EQ(result.spectrum[3], 0.0);
    EXPECT_EQ(result.spectrum[4], 0.0101);
    ASSERT_EQ(result.rows.size(), 2U);
    EXPECT_EQ(result.rows[0].number, 1.0F);
    EXPECT_EQ(result.rows[1].number, 4.0F);
}

TEST(MeasureSpectrum, PhaseRoundsHalvesAwayFromZero)
{
    // Bins at 45.5 and -45.5 degrees (within the precision of atan2).
    const double a = 45.5 * M_PI / 180.0;
    double bins[2 * 4] = {
        0, 0, 100, 0, 10 * std::cos(a), 10 * std::sin(a), 10 * std::cos(a), -10 * std::sin(a)};
    RecalcResult result;
    result.binCount = 4;
    MeasureSpectrum(bins, 1, 1.0F, true, result);
    ASSERT_EQ(result.rows.size(), 3U);
    EXPECT_EQ(result.rows[1].phase, 46);
    EXPECT_EQ(result.rows[2].phase, -46);
}

TEST(FigureText, ShowsTwoDecimalsUpToTenThousand)
{
    EXPECT_EQ(figureText(0.0), "0.00%");
    EXPECT_EQ(figureText(11.180339887), "11.18%");
    EXPECT_EQ(figureText(10000.0), "10000.00%");
    EXPECT_EQ(figureText(10000.001), ">10000%");
}

TEST(CycleLabels, WordTheDisplayAndTheFftWindow)
{
    const auto labels = [](int display, int fft, float ppc) {
        WaveSettings settings;
        settings.displayCycles = display;
        settings.fftCycles = fft;
        settings.ppc = ppc;
        return cycleLabelTexts(settings);
    };
    const CycleLabels defaults = labels(12, 1, 128.0F);
    EXPECT_EQ(defaults.display, "12 Cycles");
    EXPECT_EQ(defaults.fft, "1 Cycle, 128 points");
    const CycleLabels three = labels(1, 3, 128.0F);
    EXPECT_EQ(three.display, "1 Cycle");
    EXPECT_EQ(three.fft, "3 Cycles, 384 points");
    EXPECT_EQ(labels(0, 0, 128.0F).display, "0 Cycle");
    EXPECT_EQ(labels(2, 3, 100.5F).fft, "3 Cycles, 302 points");
}

}  // namespace
