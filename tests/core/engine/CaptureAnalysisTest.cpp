#include "engine/CaptureAnalysis.h"

#include <cmath>

#include <gtest/gtest.h>

#include "engine/DesignComparison.h"
#include "engine/HarmonicGroups.h"
#include "files/CaptureFile.h"
#include "numbers/Arithmetic.h"
#include "support/CaptureSupport.h"
#include "support/TestSupport.h"

namespace {

const std::vector<ToneLine> kOddTable = {
    {1, 100, 20}, {3, 20, 30}, {5, 10, -60}, {7, 5, 120}, {11, 2.5, -150}};
const std::vector<ToneLine> kMixedTable = {{0, 2, 0},   {1, 100, -75},   {2, 3, 45},
                                           {11, 2, 10}, {13, 1.5, -170}, {25, 1, 90}};

enum class Format { Wav16, Wav24, Float, CsvTime, CsvValues };

struct AccuracyCase {
    const char* name;
    double rate;
    double fundamental;
    const std::vector<ToneLine>* table;
    Format format;
    double noise;  ///< RMS, full scale 1
};

/** The capture written in the case's format and read back as a user's file would be. */
CaptureSignal readBack(const AccuracyCase& c, const std::vector<double>& samples,
                       const TempDir& dir)
{
    const bool csv = c.format >= Format::CsvTime;
    const std::string path = dir.file(csv ? "capture.csv" : "capture.wav");
    constexpr WavForm kForms[] = {WavForm::S16, WavForm::S24, WavForm::F32};  // Wav16 to Float
    writeWholeFile(path, csv ? captureCsv(samples, c.rate, c.format == Format::CsvTime)
                             : wavBytes(samples, c.rate, {kForms[static_cast<int>(c.format)]}));
    CaptureOptions options;
    if (c.format == Format::CsvValues) {
        options.rate = c.rate;
    }
    CaptureReading reading = readCapture(path, options);
    EXPECT_TRUE(reading.capture) << reading.error;
    return reading.capture.value_or(CaptureSignal{});
}

class CaptureAccuracy : public ::testing::TestWithParam<AccuracyCase> {};

TEST_P(CaptureAccuracy, GivesBackTheTableTheFundamentalAndPassesAgainstItsDesign)
{
    const AccuracyCase& c = GetParam();
    const bool clean = c.noise == 0.0;
    const auto count = static_cast<std::size_t>(c.rate / c.fundamental * 13.5);
    const TempDir dir;
    const CaptureSignal capture = readBack(
        c, synthesizeCapture({*c.table, c.fundamental, c.rate, count, 0.4, c.noise, 7}), dir);
    const Outcome<CaptureAnalysis> analyzed = analyzeCapture(capture, {});
    ASSERT_TRUE(analyzed.ok()) << analyzed.error;
    const CaptureAnalysis& analysis = *analyzed.value;

    EXPECT_NEAR(analysis.fundamental / c.fundamental, 1.0, clean ? 1e-6 : 1e-5);
    EXPECT_EQ(analysis.cycles, c.fundamental > 55 ? 12 : 10);
    EXPECT_GE(analysis.pointsPerCycle, c.rate / c.fundamental);
    EXPECT_LT(analysis.pointsPerCycle / 2, c.rate / c.fundamental);
    std::vector<HarmonicEntry> design;
    for (const ToneLine& line : *c.table) {
        const auto bin = static_cast<std::size_t>(line.order * analysis.cycles);
        const std::complex<double> measured = analysis.bins[bin];
        EXPECT_NEAR(std::abs(measured), line.percent, clean ? 0.01 : 0.05)
            << "order " << line.order;
        if (line.order > 0) {
            EXPECT_NEAR(std::remainder(std::arg(measured) * 180 / M_PI - line.degrees, 360.0), 0.0,
                        clean ? 0.1 : 1.0)
                << "order " << line.order;
        }
        design.push_back({static_cast<float>(line.order), static_cast<float>(line.percent),
                          static_cast<int>(line.degrees)});
    }
    for (const CaptureLine& line : analysis.lines) {
        const bool inTable = std::any_of(c.table->begin(), c.table->end(), [&](const ToneLine& t) {
            return std::fabs(t.order - line.order) < 1e-9;
        });
        EXPECT_TRUE(inTable || !clean) << "order " << line.order;
    }
    const DesignComparison comparison = compareWithDesign(analysis, design, SynthesisForm{});
    EXPECT_TRUE(comparison.within(clean ? 0.05 : 0.1)) << comparison.largestMagnitude;
    EXPECT_LT(comparison.largestPhase, clean ? 0.6 : 2.0);  // the design's phases are whole degrees
}

INSTANTIATE_TEST_SUITE_P(
    RatesFundamentalsTablesFormats, CaptureAccuracy,
    ::testing::Values(
        AccuracyCase{"k8_49_7_wav16", 8000, 49.7, &kOddTable, Format::Wav16, 0},
        AccuracyCase{"k8_60_3_csvTime", 8000, 60.3, &kMixedTable, Format::CsvTime, 0},
        AccuracyCase{"k8_50_float", 8000, 50, &kMixedTable, Format::Float, 0},
        AccuracyCase{"k48_60_3_wav24", 48000, 60.3, &kOddTable, Format::Wav24, 0},
        AccuracyCase{"M1_60_3_wav16", 1e6, 60.3, &kOddTable, Format::Wav16, 0},
        AccuracyCase{"M1_49_7_float", 1e6, 49.7, &kMixedTable, Format::Float, 0},
        AccuracyCase{"k8_50_noise_wav16", 8000, 50, &kOddTable, Format::Wav16, 0.002},
        AccuracyCase{"k48_60_3_noise_csv", 48000, 60.3, &kMixedTable, Format::CsvValues, 0.002},
        AccuracyCase{"M1_49_7_noise_float", 1e6, 49.7, &kOddTable, Format::Float, 0.002}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CaptureGroups, PutAnInterharmonicInItsCenteredSubgroupAndHalfInTheHarmonicGroupsBeside)
{
    const CaptureSignal capture =
        toneSignal({{1, 100, 0}, {5, 10, 30}, {5.5, 5, 60}, {7, 4, 0}, {40, 3, 0}, {41, 2, 0}},
                   50.0, 48000, 11);
    const Outcome<CaptureAnalysis> analysis = analyzeCapture(capture, {});
    ASSERT_TRUE(analysis.ok()) << analysis.error;
    const Outcome<HarmonicGroups> groups = harmonicGroups(analysis.value->bins, 10);
    ASSERT_TRUE(groups.ok()) << groups.error;
    const std::vector<HarmonicGroup>& orders = groups.value->orders;
    ASSERT_EQ(orders.size(), 50U);
    constexpr double kTolerance = 0.01;
    EXPECT_NEAR(orders[4].subgroup, 10.0, kTolerance);
    EXPECT_NEAR(orders[5].subgroup, 0.0, kTolerance);
    EXPECT_NEAR(orders[4].interharmonic, 5.0, kTolerance);
    EXPECT_NEAR(orders[5].interharmonic, 0.0, kTolerance);
    EXPECT_NEAR(orders[4].group, std::sqrt(100.0 + 12.5), kTolerance);
    EXPECT_NEAR(orders[5].group, std::sqrt(12.5), kTolerance);
    EXPECT_NEAR(orders[6].group, 4.0, kTolerance);
    EXPECT_NEAR(groups.value->thds, std::sqrt(100.0 + 16.0 + 9.0), kTolerance);  // h2 to h40
    EXPECT_FALSE(harmonicGroups(analysis.value->bins, 8).ok());
}

// The window skips leading silence, or starts where asked, and a capture of just the
// window's cycles is analyzed as a longer one is.
TEST(CaptureWindow, StartsAtTheFirstSteadyCycleOrWhereAskedAndTakesAnExactCapture)
{
    CaptureSignal late = toneSignal(kOddTable, 50.0, 8000, 13.5);
    late.samples.insert(late.samples.begin(), 1600, 0.0F);  // 0.2 s of silence
    // A generator running up from 40 Hz to 50 Hz over its first 0.4 s, loud all along.
    CaptureSignal runUp = toneSignal(kOddTable, 50.0, 8000, 45);
    for (std::size_t i = 0; i < 3200; ++i) {
        const double t = static_cast<double>(i) / 8000;
        runUp.samples[i] = static_cast<float>(0.4 * std::cos(2 * M_PI * (40 * t + 12.5 * t * t)));
    }
    const struct {
        CaptureSignal capture;
        CaptureRequest request;
        double earliest;  ///< s
        double latest;
    } cases[] = {
        {late, {}, 0.2, 0.2201},
        {runUp, {}, 0.4, 0.45},
        {toneSignal(kOddTable, 50.0, 8000, 13.5), {.start = 0.05}, 0.05, 0.05},
        {toneSignal(kOddTable, 50.0, 8000, 10), {}, 0.0, 0.0},
    };
    for (const auto& c : cases) {
        const Outcome<CaptureAnalysis> analysis = analyzeCapture(c.capture, c.request);
        ASSERT_TRUE(analysis.ok()) << analysis.error;
        EXPECT_NEAR(analysis.value->fundamental / 50.0, 1.0, 1e-6);
        EXPECT_GE(analysis.value->windowStart, c.earliest - 1e-12);
        EXPECT_LE(analysis.value->windowStart, c.latest + 1e-12);
        for (const ToneLine& line : kOddTable) {
            const std::complex<double> measured = analysis.value->bins[line.order * 10];
            EXPECT_NEAR(std::abs(measured), line.percent, 0.01) << line.order;
            EXPECT_NEAR(std::remainder(std::arg(measured) * 180 / M_PI - line.degrees, 360.0), 0.0,
                        0.1)
                << line.order;
        }
    }
}

// The fundamental is looked for near 50, 60 or 400 Hz: the lowest strong line near one names
// it, the option names another or none, and a stronger line is told.
TEST(CaptureNominal, FindsTheFundamentalNearItsNominalAndTellsAStrongerLine)
{
    const std::vector<ToneLine> strongThird = {{1, 100, 0}, {3, 130, 40}};
    const struct {
        CaptureSignal capture;
        CaptureRequest request;
        double fundamental;
        std::optional<double> nominal;
        double strongerOrder;  ///< 0: none
    } cases[] = {
        {toneSignal(strongThird, 50.0, 8000, 20), {}, 50.0, 50.0, 3.0},
        {toneSignal(strongThird, 50.0, 8000, 20), {.wholeBand = true}, 150.0, std::nullopt, 0.0},
        {toneSignal({{1, 100, 0}, {2, 50, 0}}, 60.0, 8000, 20), {.nominal = 60.0}, 60.0, 60.0, 0.0},
        {toneSignal({{1, 100, 0}}, 1000.0, 48000, 20), {}, 1000.0, std::nullopt, 0.0},
    };
    for (const auto& c : cases) {
        const Outcome<CaptureAnalysis> analysis = analyzeCapture(c.capture, c.request);
        ASSERT_TRUE(analysis.ok()) << analysis.error;
        // Which line, not how precisely: 150 Hz alone is pulled by the 50 Hz line beside it.
        EXPECT_NEAR(analysis.value->fundamental / c.fundamental, 1.0, 1e-3) << c.fundamental;
        EXPECT_EQ(analysis.value->nominal, c.nominal) << c.fundamental;
        const std::optional<CaptureLine> stronger = analysis.value->strongerLine();
        EXPECT_EQ(stronger ? stronger->order : 0.0, c.strongerOrder) << c.fundamental;
    }
    EXPECT_FALSE(
        analyzeCapture(toneSignal({{1, 100, 0}}, 50.0, 8000, 20), {.nominal = 400.0}).ok());
    // The fundamental, rounded a hair above 100 % of itself, is never stronger than itself.
    CaptureAnalysis rounded;
    rounded.lines = {{1.0, 100.0 + 1e-12, 0.0}, {2.5, 99.0, 0.0}};
    EXPECT_FALSE(rounded.strongerLine());
    rounded.lines.push_back({3.0, 100.5, 0.0});
    EXPECT_EQ(rounded.strongerLine()->order, 3.0);
}

// An interharmonic 5 Hz away pulls a fit of the fundamental alone over the window; over a
// second or so of capture it is fitted beside the fundamental. One far away is fitted beside
// it over a capture of barely the window too.
TEST(CaptureEstimate, KeepsAnInterharmonicBesideOutOfTheFundamental)
{
    const struct {
        double order;
        double percent;
        double cycles;
    } cases[] = {{0.9, 1, 50}, {1.1, 1, 50}, {1.1, 10, 40}, {1.04, 1, 200}, {2.5, 5, 12}};
    for (const auto& c : cases) {
        const Outcome<CaptureAnalysis> beside = analyzeCapture(
            toneSignal({{1, 100, 0}, {c.order, c.percent, 0}}, 50.0, 8000, c.cycles), {});
        ASSERT_TRUE(beside.ok()) << beside.error;
        EXPECT_NEAR(beside.value->fundamental / 50.0, 1.0, 1e-6) << c.order << ", " << c.cycles;
    }
}

// A mains capture drifts: 50 Hz +- 0.05 Hz over a minute shows lines a few hundredths of a
// hertz beside the fundamental in a long spectrum, which no span of seconds can tell from it.
// The estimate is the fundamental's mean over the 4 s it refines over.
TEST(CaptureEstimate, FollowsASlowlyDriftingFundamental)
{
    constexpr double kRate = 2000.0;
    constexpr double kSeconds = 70.0;
    constexpr double kSwing = 0.05;
    constexpr double kPeriod = 60.0;
    constexpr double kRefined = 4.0;
    const auto drift = [&](double t) {
        return -kSwing * kPeriod / (2.0 * pi()) * std::cos((2.0 * pi()) * t / kPeriod);
    };
    CaptureSignal capture{{}, kRate};
    double phase = 0.0;
    for (int i = 0; i < static_cast<int>(kRate * kSeconds); ++i) {
        const double t = i / kRate;
        phase += (2.0 * pi()) * (50.0 + kSwing * std::sin((2.0 * pi()) * t / kPeriod)) / kRate;
        capture.samples.push_back(static_cast<float>(std::sin(phase) + 0.04 * std::sin(5 * phase)));
    }
    for (const double start : {0.0, 40.0, 60.0}) {
        const Outcome<CaptureAnalysis> analysis = analyzeCapture(capture, {.start = start});
        ASSERT_TRUE(analysis.ok()) << analysis.error;
        const double mean = 50.0 + (drift(start + kRefined) - drift(start)) / kRefined;
        EXPECT_NEAR(analysis.value->fundamental, mean, 2e-3) << start;
    }
}

// Noise 40 dB below the fundamental spreads the estimate by no more than 1.2 times the
// Cramer-Rao bound for the frequency of a fundamental and its harmonics observed over T s,
// 6 sigma^2 / (pi^2 N T^2 sum k^2 A_k^2) with N = rate T: the bound of the whole capture where
// it is barely the window, and over a second the bound of the 10 cycles of the window alone.
// Under noise 20 dB below, the noise's own peaks are not taken for high orders.
TEST(CaptureEstimate, SpreadsUnderNoiseWithinTheCramerRaoBound)
{
    constexpr double kAmplitude = 0.4;
    constexpr double kLimit = 1.2;
    constexpr std::uint32_t kSeeds = 32;
    const std::vector<ToneLine> tone = {{1, 100, 0}};
    const std::vector<ToneLine> harmonics = {{1, 100, 0}, {3, 20, 30}, {5, 10, -60}};
    const struct {
        double rate;
        double cycles;
        const std::vector<ToneLine>* lines;
        double boundCycles;
        double noiseDb;
    } cases[] = {{8000, 10, &tone, 10, 40},      {8000, 12, &tone, 12, 40},
                 {8000, 15, &tone, 15, 40},      {8000, 10, &harmonics, 10, 40},
                 {8000, 15, &harmonics, 15, 40}, {8000, 50, &tone, 10, 40},
                 {48000, 10.5, &tone, 10.5, 20}};
    for (const auto& c : cases) {
        const double noise = kAmplitude / std::sqrt(2.0) * std::pow(10.0, -c.noiseDb / 20.0);
        double squares = 0.0;
        const auto count = static_cast<std::size_t>(c.rate / 50.0 * c.cycles);
        for (std::uint32_t seed = 1; seed <= kSeeds; ++seed) {
            const std::vector<double> samples =
                synthesizeCapture({*c.lines, 50.0, c.rate, count, kAmplitude, noise, seed});
            const Outcome<CaptureAnalysis> a =
                analyzeCapture({std::vector<float>(samples.begin(), samples.end()), c.rate}, {});
            ASSERT_TRUE(a.ok()) << a.error;
            squares += std::pow(a.value->fundamental - 50.0, 2);
        }
        double information = 0.0;  // sum k^2 A_k^2
        for (const ToneLine& line : *c.lines) {
            information += std::pow(line.order * kAmplitude * line.percent / 100.0, 2);
        }
        const double seconds = c.boundCycles / 50.0;
        const double bound = std::sqrt(6 * noise * noise /
                                       (M_PI * M_PI * c.rate * std::pow(seconds, 3) * information));
        EXPECT_LT(std::sqrt(squares / kSeeds), kLimit * bound)
            << c.rate << " Hz, " << c.cycles << " cycles, " << c.lines->size() << " lines";
    }
}

// At 8 kHz a 50 Hz capture's band ends at order 80: the resampler's images of h79 land at
// h81, and the top of the band is passed attenuated.
TEST(CaptureBand, ListsNoLineAboveTheBandAndMarksTheLinesNearItsEdge)
{
    const Outcome<CaptureAnalysis> analyzed = analyzeCapture(
        toneSignal({{1, 100, 0}, {10, 5, 0}, {70, 3, 0}, {79, 2, 0}}, 50.0, 8000, 20), {});
    ASSERT_TRUE(analyzed.ok()) << analyzed.error;
    const CaptureAnalysis& a = *analyzed.value;
    EXPECT_DOUBLE_EQ(a.bandOrder, 80.0);
    EXPECT_EQ(a.ordersInBand(), 79);
    const struct {
        double order;
        double low;
        double high;
        bool nearEdge;
    } expected[] = {{1, 100, 100, false},
                    {10, 4.99, 5.01, false},
                    {70, 2.99, 3.01, false},
                    {79, 0.5, 1.99, true}};
    ASSERT_EQ(a.lines.size(), std::size(expected));
    double harmonics = 0.0;
    for (std::size_t i = 0; i < a.lines.size(); ++i) {
        const CaptureLine& line = a.lines[i];
        EXPECT_NEAR(line.order, expected[i].order, 1e-9);
        EXPECT_GE(line.magnitude, expected[i].low) << line.order;
        EXPECT_LE(line.magnitude, expected[i].high) << line.order;
        EXPECT_EQ(a.nearBandEdge(line), expected[i].nearEdge) << line.order;
        harmonics += line.order > 1 ? line.magnitude * line.magnitude : 0.0;
    }
    EXPECT_NEAR(a.result.figures.total, std::sqrt(harmonics), 1e-3);
}

TEST(CaptureRefusals, EndWithAReasonForWhatCannotBeAnalyzed)
{
    CaptureSignal withNan = toneSignal({{1, 100, 0}}, 50, 8000, 20);
    withNan.samples[17] = NAN;
    const struct {
        CaptureSignal capture;
        CaptureRequest request;
        const char* reason;
    } cases[] = {
        {{{}, 8000}, {}, "holds 0 samples"},
        {{std::vector<float>(1000, 0.0F), 0.0}, {}, "sample rate"},
        {{std::vector<float>(8000, 0.25F), 8000}, {}, "No periodic signal"},
        {toneSignal({}, 50, 8000, 100, 0.3), {}, "No periodic signal"},
        {withNan, {}, "Sample 18 is not a finite number"},
        {toneSignal({{1, 100, 0}}, 50, 8000, 9.5), {}, "holds 9.50 cycles"},
        {toneSignal({{1, 100, 0}}, 50, 8000, 20), {4000.0, {}}, "half the sample rate"},
        {toneSignal({{1, 100, 0}}, 50, 8000, 20), {{}, 13}, "1 to 12 cycles"},
        {toneSignal({{1, 100, 0}}, 50, 8000, 20), {.start = 0.5}, "from 0 to the capture's 0.4 s"},
        {toneSignal({{1, 100, 0}}, 50, 8000, 20), {.start = 0.25}, "holds 7.50 cycles"},
        {toneSignal({{1, 100, 0}}, 50, 8000, 20), {.start = 0.4}, "holds less than two cycles"},
    };
    for (const auto& c : cases) {
        const Outcome<CaptureAnalysis> analysis = analyzeCapture(c.capture, c.request);
        EXPECT_FALSE(analysis.ok()) << c.reason << ", " << c.capture.samples.size() << " samples";
        EXPECT_NE(analysis.error.find(c.reason), std::string::npos) << analysis.error;
    }
}

}  // namespace
