#include "files/InstrumentExport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
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
const std::vector<HarmonicEntry> kNoFundamental = {{0.0F, 5.0F, 0}, {3.0F, 10.0F, -90}};

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

double numberOf(std::string_view text)
{
    double value = NAN;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

/** The values of an export: the line's value column (after a comma in a .csv). */
std::vector<double> valuesOf(const std::string& text, bool csv)
{
    std::vector<std::string> lines = linesOf(text);
    std::vector<double> values;
    for (std::size_t i = csv ? 2 : 0; i < lines.size(); ++i) {
        const std::size_t comma = lines[i].find(',');
        values.push_back(numberOf(csv ? lines[i].substr(comma + 1) : lines[i]));
    }
    return values;
}

double peakOf(const std::vector<double>& values)
{
    double peak = 0.0;
    for (double v : values) {
        peak = std::max(peak, std::fabs(v));
    }
    return peak;
}

}  // namespace

TEST(CycleSampler, SamplesEachCycleFromZeroDegreesAndRunsFractionalOrdersOn)
{
    struct Case {
        std::vector<HarmonicEntry> entries;
        bool cosine;
        int points;
        int cycles;
        double (*expected)(double theta);
    };
    const Case cases[] = {
        {kFundamental, true, kMinExportPoints, 3, [](double t) { return 100.0 * std::cos(t); }},
        {kFundamental, false, kMaxExportPoints, 1, [](double t) { return 100.0 * std::sin(t); }},
        {{{1.5F, 10.0F, 0}}, true, 100, 2, [](double t) { return 10.0 * std::cos(1.5 * t); }},
    };
    for (const Case& c : cases) {
        const std::vector<double> samples =
            sampleCycles(c.entries, {c.cosine, true, 128.0F}, c.points, c.cycles);
        ASSERT_EQ(samples.size(), static_cast<std::size_t>(c.points) * c.cycles);
        const std::size_t step = std::max<std::size_t>(1, samples.size() / 997);
        for (std::size_t i = 0; i < samples.size(); i += step) {
            const double theta = 2.0 * pi() * static_cast<double>(i) / c.points;
            EXPECT_NEAR(samples[i], c.expected(theta), 1e-9) << c.points << " points, sample " << i;
        }
    }
}

TEST(WaveformExport, RefusesRequestsOutsideTheirLimits)
{
    struct Case {
        WaveformExport request;
        bool refused;
    };
    const auto with = [](auto change) {
        WaveformExport request;
        change(request);
        return request;
    };
    const Case cases[] = {
        {with([](WaveformExport& r) { r.points = kMinExportPoints - 1; }), true},
        {with([](WaveformExport& r) { r.points = kMinExportPoints; }), false},
        {with([](WaveformExport& r) { r.points = kMaxExportPoints; }), false},
        {with([](WaveformExport& r) { r.points = kMaxExportPoints + 1; }), true},
        {with([](WaveformExport& r) { r.cycles = 0; }), true},
        {with([](WaveformExport& r) { r.cycles = kMaxExportCycles; }), false},
        {with([](WaveformExport& r) { r.cycles = kMaxExportCycles + 1; }), true},
        {with([](WaveformExport& r) { r.scale = SampleScale::Codes, r.bits = 7; }), true},
        {with([](WaveformExport& r) { r.scale = SampleScale::Codes, r.bits = 8; }), false},
        {with([](WaveformExport& r) { r.scale = SampleScale::Codes, r.bits = 24; }), false},
        {with([](WaveformExport& r) { r.scale = SampleScale::Codes, r.bits = 25; }), true},
        {with([](WaveformExport& r) { r.bits = 25; }), false},  // bits count only for codes
        {with([](WaveformExport& r) { r.scale = SampleScale::Volts, r.volts = 0.0; }), true},
        {with([](WaveformExport& r) { r.scale = SampleScale::Volts, r.volts = NAN; }), true},
        {with([](WaveformExport& r) { r.scale = SampleScale::Volts, r.volts = 1e-6; }), false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(!waveformExportRefusal(cases[i].request).empty(), cases[i].refused)
            << "case " << i;
    }
}

TEST(WaveformExport, WritesEachScaleAndLayout)
{
    struct Case {
        SampleScale scale;
        VoltsLevel level;
        double volts;
        int bits;
        SampleLayout layout;
        double peak;  ///< of the values written, exactly for codes
        double rms;   ///< 0: not checked
    };
    const double root2 = std::sqrt(2.0);
    const Case cases[] = {
        {SampleScale::Percent, VoltsLevel::Rms, 1.0, 16, SampleLayout::Csv, 100.0, 0.0},
        {SampleScale::Normalized, VoltsLevel::Rms, 1.0, 16, SampleLayout::Text, 1.0, 0.0},
        {SampleScale::Volts, VoltsLevel::Rms, 230.0, 16, SampleLayout::Text, 230.0 * root2, 230.0},
        {SampleScale::Volts, VoltsLevel::Peak, 5.0, 16, SampleLayout::Csv, 5.0, 5.0 / root2},
        {SampleScale::Codes, VoltsLevel::Rms, 1.0, 8, SampleLayout::Text, 127.0, 0.0},
        {SampleScale::Codes, VoltsLevel::Rms, 1.0, 24, SampleLayout::Csv, 8388607.0, 0.0},
    };
    const TempDir dir;
    const std::string path = dir.file("wave.out");
    const WaveSettings active;
    for (const Case& c : cases) {
        const WaveformExport request{64, 3, c.scale, c.level, c.volts, c.bits, c.layout};
        ASSERT_TRUE(saveWaveform(path, kFundamental, active, request).ok());
        const std::string text = readWholeFile(path);
        const bool csv = c.layout == SampleLayout::Csv;
        if (csv) {
            const std::vector<std::string> lines = linesOf(text);
            EXPECT_EQ(lines[0], ";1 3 1 1 64.000000");  // the samples' own ppc and cycles
            EXPECT_EQ(lines[1], "index,value");
            EXPECT_EQ(lines[2].substr(0, 2), "0,");
            EXPECT_EQ(lines.back().substr(0, 4), "191,");
        }
        const std::vector<double> values = valuesOf(text, csv);
        ASSERT_EQ(values.size(), 192U);
        EXPECT_NEAR(values[0], c.peak, c.peak * 1e-9);  // a cosine's first point is its peak
        EXPECT_NEAR(peakOf(values), c.peak, c.peak * 1e-9);
        if (c.scale == SampleScale::Codes) {
            EXPECT_EQ(*std::min_element(values.begin(), values.end()), -c.peak);
        }
        if (c.rms > 0.0) {
            double squares = 0.0;
            for (double v : values) {
                squares += v * v;
            }
            EXPECT_NEAR(std::sqrt(squares / 192.0), c.rms, c.rms * 1e-8);
        }
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

TEST(HarmonicTableExport, ResynthesisOfTheWrittenTableGivesTheDesignsSamples)
{
    const int points = 96;
    const int cycles = 2;
    for (const auto& entries : {kFundamental, kMixed}) {
        for (const bool cosine : {true, false}) {
            for (const bool harmonicReference : {true, false}) {
                const SynthesisForm form{cosine, harmonicReference, 128.0F};
                const std::vector<double> design = sampleCycles(entries, form, points, cycles);
                const double peak = peakOf(design);
                for (const TableBasis basis : {TableBasis::Sine, TableBasis::Cosine}) {
                    for (const TableReference reference :
                         {TableReference::Harmonic, TableReference::Fundamental}) {
                        for (const bool zero : {false, true}) {
                            const HarmonicTableText table =
                                harmonicTableRows(entries, form, {basis, reference, zero});
                            ASSERT_TRUE(table.refusal.empty());
                            const std::string text = harmonicTableCsv(table.rows);
                            std::vector<std::string> lines = linesOf(text);
                            ASSERT_EQ(lines.front(), "order,percent,degrees");
                            lines.erase(lines.begin());
                            // The written table resynthesised at theta - shift: the design at
                            // theta.
                            for (int i = 0; i < points * cycles; ++i) {
                                const double theta =
                                    2.0 * pi() * i / points - table.shiftDegrees * pi() / 180.0;
                                double sum = 0.0;
                                for (const std::string& line : lines) {
                                    const std::size_t a = line.find(',');
                                    const std::size_t b = line.find(',', a + 1);
                                    const double n = numberOf(line.substr(0, a));
                                    const double m = numberOf(line.substr(a + 1, b - a - 1));
                                    double phase = numberOf(line.substr(b + 1)) * pi() / 180.0;
                                    if (reference == TableReference::Fundamental && n != 0.0) {
                                        phase *= n;
                                    }
                                    const double angle = n * theta + phase;
                                    sum += m * (basis == TableBasis::Cosine ? std::cos(angle)
                                                                            : std::sin(angle));
                                }
                                ASSERT_NEAR(sum, design[static_cast<std::size_t>(i)], 1e-9 * peak)
                                    << text << "sample " << i;
                            }
                            if (zero) {
                                const TableRow& first = table.rows[entries.size() == 1 ? 0 : 1];
                                EXPECT_EQ(first.order, 1.0F);
                                EXPECT_NEAR(first.degrees, 0.0, 1e-9);
                            }
                        }
                    }
                }
            }
        }
    }
}

TEST(HarmonicTableExport, WritesOneRowPerOrderAndRefusesZeroPhaseWithoutAFundamental)
{
    const SynthesisForm form{true, true, 128.0F};
    EXPECT_EQ(harmonicTableCsv(harmonicTableRows(kMixed, form, {}).rows).substr(0, 42),
              "order,percent,degrees\n0,4,180\n1,60,37\n1.5,");
    EXPECT_EQ(harmonicTableRows(kMixed, form, {}).rows.size(), 5U);
    EXPECT_EQ(harmonicTableRows(kNoFundamental, form,
                                {TableBasis::Cosine, TableReference::Harmonic, true})
                  .refusal,
              "The design has no fundamental to set to 0 degrees.");
}

TEST(ExportSettings, RememberedChoicesComeBackAndDamagedOnesFallBackToDefaults)
{
    TempSettings settings;
    const WaveformExport chosen{4096,   5,  SampleScale::Volts, VoltsLevel::Peak,
                                325.27, 12, SampleLayout::Text};
    storeWaveformExport(chosen, settings.store());
    storeTableExport({TableBasis::Sine, TableReference::Fundamental, true}, settings.store());
    settings.reopen();
    const WaveformExport back = loadWaveformExport(settings.store());
    EXPECT_EQ(std::tuple(back.points, back.cycles, back.scale, back.level, back.volts, back.bits,
                         back.layout),
              std::tuple(chosen.points, chosen.cycles, chosen.scale, chosen.level, chosen.volts,
                         chosen.bits, chosen.layout));
    const TableExport table = loadTableExport(settings.store());
    EXPECT_EQ(std::tuple(table.basis, table.reference, table.zeroFundamentalPhase),
              std::tuple(TableBasis::Sine, TableReference::Fundamental, true));
    settings.store().writeInt("Export Points", 7);
    EXPECT_EQ(loadWaveformExport(settings.store()).points, WaveformExport{}.points);
}
