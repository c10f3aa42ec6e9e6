#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "files/DocumentReader.h"
#include "files/WaveshapeFile.h"
#include "support/TestSupport.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
using Entries = std::vector<HarmonicEntry>;
using Samples = std::vector<double>;

/** Magnitudes come back to within the six decimals of the samples; -180 and 180 are one. */
void expectEntries(const Entries& got, const Entries& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].number, want[i].number) << i;
        EXPECT_NEAR(got[i].magnitude, want[i].magnitude, 1e-4) << "number " << want[i].number;
        EXPECT_EQ(((got[i].phase - want[i].phase) % 360 + 360) % 360, 0)
            << "number " << want[i].number << ": " << got[i].phase;
    }
}

}  // namespace

TEST(WaveshapeWrite, OneMarkedBlockOfSampleLinesPerDisplayedCycle)
{
    WaveSettings s;
    s.ppc = 130.0F;  // 32.5 lines of four samples a cycle: 32 a block, the samples run on
    std::istringstream text(writeWaveshapeFile(s, tableOf({{1, 100, 0}})));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) {
        ASSERT_TRUE(line.ends_with('\r'));
        lines.push_back(line.substr(0, line.size() - 1));
    }
    ASSERT_EQ(lines.size(), 1U + 12 * 33);
    EXPECT_EQ(lines[0], ":1 12 1 1 130.000000");
    for (std::size_t block = 0; block < 12; ++block) {
        EXPECT_EQ(lines[1 + block * 33], std::string("!").append(std::to_string(block + 1)));
    }
    EXPECT_EQ(lines[35], "  99.533163,   99.883223,  100.000000,   99.883223");   // samples 128-131
    EXPECT_EQ(lines[396], "  21.578420,   26.270738,   30.901699,   35.460489");  // up to 1535
    EXPECT_EQ(sampleLinesPerBlock(131.0F), 32);  // truncated, not rounded
}

TEST(WaveshapeSampleLine, NumbersBetweenAnyMixOfSeparatorsUpToTheBufferSize)
{
    const std::pair<const char*, Samples> cases[] = {
        {" ,1 ,, 2,\t,3,", {1, 2, 3}},
        {" 100.000000,   99.879546,  -99.518473", {100.0, 99.879546, -99.518473}},
        {"1e-05 +5 -2.5 1e-999", {1e-05, 5.0, -2.5, 0.0}},
        {"nan 1 inf 2 1e999 3 -inf -nan", {1, 2, 3}},
        {"abc 1 x2 ,, 3 ?? - . +", {1, 3}},
        {"12abc,4", {12, 4}},
        {"1 2 3 4 5 6 7 8 9", {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const auto& [line, samples] : cases) {
        FftBuffer buffer(8);
        SampleReader reader;
        readSampleLine(line, reader, buffer);
        EXPECT_EQ(Samples(buffer.data(), buffer.data() + reader.count), samples) << line;
    }
}

// 3 x 100.5: 301 samples (no half added), bins 0 to 150 with the fundamental at 3. DC is
// halved, bin 4 is harmonic 4/3, 0.008 % on the 9th is below the threshold, and the last
// bin (harmonic 50, inside the slot limit) is never entered.
TEST(WaveshapeAnalyze, EntriesArePercentOfTheFundamentalBin)
{
    ReaderProbe probe;
    probe.active.fftCycles = 3;
    probe.active.ppc = 100.5F;
    for (std::size_t j = 0; j < 301; ++j) {
        const double t = 2.0 * kPi * static_cast<double>(j) / 301.0;
        probe.samples[j] = 25.0 + 50.0 * std::cos(3.0 * t) + 10.0 * std::cos(4.0 * t) +
                           100.0 * std::cos(9.0 * t + kPi / 3.0) + 0.006 * std::cos(21.0 * t) +
                           0.004 * std::cos(27.0 * t) + 30.0 * std::cos(150.0 * t);
    }
    probe.samples[301] = 1000.0;
    analyzeWaveshape(probe);
    expectEntries(probe.table.entries(),
                  {{0, 50, 0}, {1, 100, 0}, {4.0F / 3.0F, 20, 0}, {3, 200, 60}, {7, 0.012, 0}});
}

// What the writer synthesized, the analysis finds: sines come back 90 degrees lower, phases
// in the fundamental's period n times over, and flags other than 1 count as 0.
TEST(WaveshapeRoundTrip, AnalysisFindsWhatTheWriterSynthesized)
{
    const Entries design{{1, 100, 0}, {3, 33.33F, -90}, {5, 20, 45}};
    const std::pair<WaveSettings, Entries> cases[] = {
        {settingsOf(1, 12, 1, 1, 128.0F), design},
        {settingsOf(2, 12, 1, 1, 128.0F), design},
        {settingsOf(1, 12, 0, 1, 128.0F), {{1, 100, -90}, {3, 33.33F, -180}, {5, 20, -45}}},
        {settingsOf(1, 12, 1, 0, 128.0F), {{1, 100, 0}, {3, 33.33F, 90}, {5, 20, -135}}},
        {settingsOf(1, 12, 2, -1, 128.0F), {{1, 100, -90}, {3, 33.33F, 0}, {5, 20, 135}}},
    };
    for (const auto& [settings, found] : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "fft " << settings.fftCycles << " cosine " << storedValue(settings.basis)
                     << " reference " << storedValue(settings.phaseReference));
        ReaderProbe probe;
        std::istringstream in(writeWaveshapeFile(settings, tableOf(design)));
        loadDocument(in, DocumentKind::Waveshape, probe);
        expectEntries(probe.table.entries(), found);
    }
}
