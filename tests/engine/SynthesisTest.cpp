#include "engine/Synthesis.h"

#include <cmath>
#include <filesystem>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "BenchData.h"
#include "design/Design.h"
#include "engine/Recalculate.h"
#include "files/DocumentReader.h"
#include "support/TestSupport.h"

namespace {

constexpr double kAgreement = 1e-9;  // percent of a full-scale fundamental

/** The sum done the slow, careful way: every term in long double. */
std::vector<long double> referenceSum(const std::vector<HarmonicEntry>& entries,
                                      const SynthesisForm& form, std::size_t length)
{
    const long double pi = std::acos(-1.0L);
    const long double step = 2.0L * pi / static_cast<long double>(form.ppc);
    std::vector<long double> x(length, 0.0L);
    for (const HarmonicEntry& e : entries) {
        const long double n = e.number;
        const long double phi = e.phase * pi / 180.0L;
        for (std::size_t i = 0; i < length; ++i) {
            const long double theta = static_cast<long double>(i) * step;
            const long double angle = form.harmonicReference ? n * theta + phi : n * (theta + phi);
            x[i] += e.magnitude * (form.cosine ? std::cos(angle) : std::sin(angle));
        }
    }
    return x;
}

/** Largest difference between the fast synthesis and the reference. */
double largestError(const std::vector<HarmonicEntry>& entries, const SynthesisForm& form,
                    std::size_t length, int* transformed = nullptr)
{
    Synthesizer synthesizer;
    std::vector<double> fast(length);
    const double peak = synthesizer.synthesize(entries, form, fast);
    const std::vector<long double> reference = referenceSum(entries, form, length);
    double error = 0.0;
    long double referencePeak = 0.0L;
    for (std::size_t i = 0; i < length; ++i) {
        error = std::max(error, static_cast<double>(std::fabs(fast[i] - reference[i])));
        referencePeak = std::max(referencePeak, std::fabs(reference[i]));
    }
    error = std::max(error, static_cast<double>(std::fabs(peak - referencePeak)));
    if (transformed) {
        *transformed = synthesizer.lastTransformedEntries();
    }
    return error;
}

TEST(Synthesizer, AgreesWithALongDoubleSumOnTheBenchmarkDesigns)
{
    TempDir dir;
    writeBenchData(dir.path().string());
    for (const char* name : {"r1.kvk", "r2.kvk", "r3.kvk"}) {
        Design ws;
        ASSERT_TRUE(ws.open(dir.file(name)).opened);
        const WaveSettings& s = ws.active();
        const SynthesisForm form{s.cosine != 0, s.phaseReference != 0, s.ppc};
        const auto length = static_cast<std::size_t>(
            samplesForCycles(std::max(s.displayCycles, s.fftCycles), s.ppc));
        int transformed = 0;
        EXPECT_LE(largestError(ws.table().entries(), form, length, &transformed), kAgreement)
            << name;
        if (ws.table().count() >= Synthesizer::kMinimumForTransform) {
            // The large designs really took the fast path (or this would prove nothing).
            EXPECT_EQ(transformed, ws.table().count()) << name;
        }
    }
}

TEST(Synthesizer, AgreesWithALongDoubleSumOnRandomTables)
{
    std::mt19937 random(20261206);
    const float ppcs[] = {25.0F, 100.5F, 128.0F, 256.0F, 333.3F, 512.0F};
    for (int table = 0; table < 48; ++table) {
        const float ppc = ppcs[random() % 6];
        const int cycles = 1 + static_cast<int>(random() % 12);
        const auto length = static_cast<std::size_t>(samplesForCycles(cycles, ppc));
        const SynthesisForm form{random() % 2 == 0, random() % 2 == 0, ppc};
        std::uniform_real_distribution<float> magnitude(0.0F, 100.0F);
        std::uniform_int_distribution<int> phase(-180, 180);
        std::vector<HarmonicEntry> entries;
        const int count = static_cast<int>(random() % 120);
        for (int e = 0; e < count; ++e) {
            const float top = ppc * 0.5F - 1.0F;
            float number = 0.0F;
            switch (random() % 3) {
            case 0:  // a harmonic
                number = static_cast<float>(random() % static_cast<unsigned>(top));
                break;
            case 1:  // what an analysis with these cycles gives: k / cycles, as a float
                number = static_cast<float>(random() % static_cast<unsigned>(top * cycles)) /
                         static_cast<float>(cycles);
                break;
            default:  // anywhere
                number = std::uniform_real_distribution<float>(0.0F, top)(random);
            }
            entries.push_back({number, magnitude(random), phase(random)});
        }
        EXPECT_LE(largestError(entries, form, length), kAgreement)
            << "table " << table << ": ppc " << ppc << ", " << cycles << " cycles, " << count
            << " entries";
    }
}

TEST(Synthesizer, SmallTablesTakeTheDirectSum)
{
    const std::vector<HarmonicEntry> entries = {{1.0F, 100.0F, 0}, {3.0F, 10.0F, 45}};
    const SynthesisForm form{true, true, 128.0F};
    std::vector<double> fast(1536);
    std::vector<double> literal(1536);
    Synthesizer synthesizer;
    synthesizer.synthesize(entries, form, fast);
    Synthesize(entries, form, literal);
    EXPECT_EQ(synthesizer.lastTransformedEntries(), 0);
    EXPECT_EQ(fast[0], 100.0 + 10.0 * std::cos(M_PI / 4));  // a cycle's start is exact
    for (std::size_t i = 0; i < fast.size(); ++i) {
        ASSERT_NEAR(fast[i], literal[i], 1e-11) << i;  // the literal sum loses 1e-12 late on
    }
    EXPECT_LE(largestError(entries, form, 1536), kAgreement);
}

TEST(Synthesizer, EntriesFarFromABinAreAddedDirectly)
{
    // With one cycle in the window, 1.5 lies half-way between bins.
    std::vector<HarmonicEntry> entries;
    for (int n = 1; n <= 8; ++n) {
        entries.push_back({static_cast<float>(n), 10.0F, 10 * n});
    }
    entries.push_back({1.5F, 30.0F, -60});
    const SynthesisForm form{false, false, 128.0F};
    int transformed = 0;
    EXPECT_LE(largestError(entries, form, 128, &transformed), kAgreement);
    EXPECT_EQ(transformed, 8);
}

}  // namespace
