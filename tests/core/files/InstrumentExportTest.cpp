#include "files/InstrumentExport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <numeric>
#include <sstream>

#include <gtest/gtest.h>

#include "numbers/Arithmetic.h"
#include "support/TestSupport.h"

namespace {

const std::vector<HarmonicEntry> kFundamental = {{1.0F, 100.0F, 0}};
/** Off the bins, a DC below zero, equal numbers, a phase at the edge. */
const std::vector<HarmonicEntry> kMixed = {{0.0F, 4.0F, 180},  {1.0F, 60.0F, 37},
                                           {1.5F, 20.0F, -45}, {2.0F, 5.0F, 10},
                                           {2.0F, 7.0F, 100},  {7.25F, 3.0F, 180}};

/** The numbers of each line after the first skip, split at commas. */
std::vector<std::vector<double>> numbersOf(const std::string& text, std::size_t skip)
{
    std::vector<std::vector<double>> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::vector<double>& row = rows.emplace_back();
        for (const char* at = line.data(); at <= line.data() + line.size(); ++at) {
            at = std::from_chars(at, line.data() + line.size(), row.emplace_back()).ptr;
        }
    }
    return {rows.begin() + static_cast<std::ptrdiff_t>(skip), rows.end()};
}

double peakOf(const std::vector<double>& values)
{
    const auto larger = [](double peak, double v) { return std::max(peak, std::fabs(v)); };
    return std::accumulate(values.begin(), values.end(), 0.0, larger);
}

}  // namespace

TEST(WaveformExport, RefusesRequestsOutsideTheirLimits)
{
    using S = SampleScale;
    const std::pair<WaveformExport, bool> cases[] = {
        {{.points = kMinExportPoints - 1}, true},
        {{.points = kMinExportPoints}, false},
        {{.points = kMaxExportPoints}, false},
        {{.points = kMaxExportPoints + 1}, true},
        {{.cycles = 0}, true},
        {{.cycles = kMaxExportCycles}, false},
        {{.cycles = kMaxExportCycles + 1}, true},
        {{.scale = S::Codes, .bits = 7}, true},
        {{.scale = S::Codes, .bits = 8}, false},
        {{.scale = S::Codes, .bits = 24}, false},
        {{.scale = S::Codes, .bits = 25}, true},
        {{.bits = 25}, false},  // bits count only for codes
        {{.scale = S::Volts, .volts = 0.0}, true},
        {{.scale = S::Volts, .volts = NAN}, true},
        {{.scale = S::Volts, .volts = 1e-6}, false}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(!waveformExportRefusal(cases[i].first).empty(), cases[i].second) << "case " << i;
    }
}

TEST(WaveformExport, WritesEachScaleAndLayout)
{
    using S = SampleScale;
    using L = SampleLayout;
    const double root2 = std::sqrt(2.0);
    const struct {
        WaveformExport request;
        double peak;  ///< of the values written, exactly for codes
        double rms;   ///< 0: not checked
    } cases[] = {
        {{.scale = S::Percent}, 100.0, 0.0},
        {{.scale = S::Normalized, .layout = L::Text}, 1.0, 0.0},
        {{.scale = S::Volts, .volts = 230.0, .layout = L::Text}, 230.0 * root2, 230.0},
        {{.scale = S::Volts, .level = VoltsLevel::Peak, .volts = 5.0}, 5.0, 5.0 / root2},
        {{.scale = S::Codes, .bits = 8, .layout = L::Text}, 127.0, 0.0},
        {{.scale = S::Codes, .bits = 24}, 8388607.0, 0.0},
    };
    const TempDir dir;
    for (auto [request, peak, rms] : cases) {
        request.points = 64;
        request.cycles = 3;
        ASSERT_TRUE(saveWaveform(dir.file("w.out"), kFundamental, {}, request).ok());
        const std::string text = readWholeFile(dir.file("w.out"));
        const bool csv = request.layout == L::Csv;
        // A CSV export opens with the samples' own ppc and cycles; a text export with a sample.
        EXPECT_EQ(text.substr(0, 33) == ";1 3 1 1 64.000000\nindex,value\n0,", csv);
        std::vector<double> values;
        for (const std::vector<double>& row : numbersOf(text, csv ? 2 : 0)) {
            values.push_back(row.back());
        }
        ASSERT_EQ(values.size(), 192U);
        EXPECT_NEAR(values[0], peak, peak * 1e-9);  // a cosine's first point is its peak
        EXPECT_NEAR(peakOf(values), peak, peak * 1e-9);
        if (request.scale == S::Codes) {
            EXPECT_EQ(*std::min_element(values.begin(), values.end()), -peak);
        }
        const double squares =
            std::inner_product(values.begin(), values.end(), values.begin(), 0.0);
        EXPECT_NEAR(rms > 0.0 ? std::sqrt(squares / 192.0) : 0.0, rms, rms * 1e-8);
    }
}

TEST(WaveformExport, RefusesWhatTheReadersWouldNotTakeAndAFlatWaveformToScale)
{
    struct Case {
        std::vector<HarmonicEntry> entries;
        WaveformExport request;
        std::string reason;  ///< empty: written
    };
    const std::string tooLarge = "It would be larger than 64 MiB, more than Korvalin reads back.";
    const Case cases[] = {
        // Refused before anything is made, by the shortest line; and while writing.
        {kFundamental, {kMaxExportPoints, kMaxExportCycles}, tooLarge},
        {kFundamental, {kMaxExportPoints, 5}, tooLarge},
        {{}, {64, 1, SampleScale::Normalized}, "The waveform is 0 throughout: nothing to scale."},
        {{}, {64, 1, SampleScale::Percent}, ""},
    };
    for (const Case& c : cases) {
        const TempDir dir;
        const SaveResult saved =
            saveWaveform(dir.file("w.csv"), c.entries, WaveSettings{}, c.request);
        EXPECT_EQ(saved.error, c.reason);
        // A refused export leaves nothing behind.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}),
                  c.reason.empty() ? 1 : 0);
    }
}

// Each basis, reference and zeroing of the table from each form of the design: the written
// table resynthesized at theta - shift gives the design at theta.
TEST(HarmonicTableExport, ResynthesisOfTheWrittenTableGivesTheDesignsSamples)
{
    constexpr int kPoints = 96;
    for (int choice = 0; choice < 32; ++choice) {
        SCOPED_TRACE(choice);
        const auto bit = [choice](int i) { return (choice >> i & 1) != 0; };
        const SynthesisForm form{bit(0), bit(1), 128.0F};
        const bool cosine = bit(2);
        const bool fundamentalReference = bit(3);
        const TableExport request{
            cosine ? TableBasis::Cosine : TableBasis::Sine,
            fundamentalReference ? TableReference::Fundamental : TableReference::Harmonic, bit(4)};
        const std::vector<double> design = sampleCycles(kMixed, form, kPoints, 2);
        const HarmonicTableText table = harmonicTableRows(kMixed, form, request);
        const std::string text = harmonicTableCsv(table.rows);
        const std::vector<std::vector<double>> rows = numbersOf(text, 1);
        for (std::size_t i = 0; i < design.size(); ++i) {
            const double theta =
                2.0 * pi() * static_cast<double>(i) / kPoints - table.shiftDegrees * pi() / 180.0;
            double sum = 0.0;
            for (const std::vector<double>& row : rows) {
                const double n = row[0];
                const double angle =
                    n * theta + row[2] * (fundamentalReference ? n : 1.0) * pi() / 180.0;
                // Under the fundamental's reference no phase moves order 0: it is a level.
                sum += n == 0.0 && fundamentalReference
                           ? row[1]
                           : row[1] * (cosine ? std::cos(angle) : std::sin(angle));
            }
            ASSERT_NEAR(sum, design[i], 1e-9 * peakOf(design)) << text << "sample " << i;
        }
        if (request.zeroFundamentalPhase) {
            EXPECT_EQ(table.rows[1].order, 1.0F);
            EXPECT_NEAR(table.rows[1].degrees, 0.0, 1e-9);
        }
    }
}

TEST(HarmonicTableExport, WritesOneRowPerOrderAndRefusesZeroPhaseWithoutAFundamental)
{
    const SynthesisForm form{true, true, 128.0F};
    EXPECT_EQ(harmonicTableCsv(harmonicTableRows(kMixed, form, {}).rows).substr(0, 42),
              "order,percent,degrees\n0,4,180\n1,60,37\n1.5,");
    EXPECT_EQ(harmonicTableRows(kMixed, form, {}).rows.size(), 5U);
    for (const std::vector<HarmonicEntry>& entries :
         {std::vector<HarmonicEntry>{{0, 5, 0}, {3, 10, -90}},
          std::vector<HarmonicEntry>{{1, 100, 0}, {1, 100, 180}, {3, 10, -90}}}) {
        EXPECT_EQ(
            harmonicTableRows(entries, form, {TableBasis::Cosine, TableReference::Harmonic, true})
                .refusal,
            "The design has no fundamental to set to 0 degrees.");
    }
}

TEST(ExportSettings, RememberedChoicesComeBackAndDamagedOnesFallBackToDefaults)
{
    TempSettings settings;
    const WaveformExport chosen{4096,   5,  SampleScale::Volts, VoltsLevel::Peak,
                                325.27, 12, SampleLayout::Text};
    storeWaveformExport(chosen, settings.store());
    storeTableExport({TableBasis::Sine, TableReference::Fundamental, true}, settings.store());
    settings.reopen();
    const auto fields = [](const WaveformExport& e) {
        return std::tuple(e.points, e.cycles, e.scale, e.level, e.volts, e.bits, e.layout);
    };
    EXPECT_EQ(fields(loadWaveformExport(settings.store())), fields(chosen));
    const TableExport table = loadTableExport(settings.store());
    EXPECT_EQ(std::tuple(table.basis, table.reference, table.zeroFundamentalPhase),
              std::tuple(TableBasis::Sine, TableReference::Fundamental, true));
    settings.store().writeInt("Export Points", 7);
    EXPECT_EQ(loadWaveformExport(settings.store()).points, WaveformExport{}.points);
}
