#include "engine/Synthesis.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "engine/Recalculate.h"

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

TEST(Synthesizer, AgreesWithALongDoubleSumOnRandomTables)
{
    std::mt19937 random(20261206);
    const float ppcs[] = {100.5F, 511.9F, 25.0F, 128.0F, 256.0F, 333.3F, 512.0F};
    Synthesizer synthesizer;  // one for all: no run may depend on what an earlier one left
    for (int table = 0; table < 50; ++table) {
        // The last: 5000 entries anywhere (more than one chunk of terms), at a fractional ppc
        // and 12 cycles.
        const bool full = table == 49;
        const float ppc = full ? 511.9F : ppcs[random() % 7];
        const int cycles = full ? 12 : 1 + static_cast<int>(random() % 12);
        const auto length = static_cast<std::size_t>(samplesForCycles(cycles, ppc));
        const SynthesisForm form{random() % 2 == 0, random() % 2 == 0, ppc};
        std::uniform_real_distribution<float> magnitude(0.0F, 100.0F);
        std::uniform_int_distribution<int> phase(-180, 180);
        std::vector<HarmonicEntry> entries;
        const int count = full ? 5000 : static_cast<int>(random() % 120);
        for (int e = 0; e < count; ++e) {
            const float top = ppc * 0.5F - 1.0F;
            float number = 0.0F;
            switch (full ? 2 : random() % 3) {
            case 0:  // a harmonic
                number = static_cast<float>(random() % static_cast<unsigned>(top));
                break;
            case 1:  // what an analysis with these cycles gives: k / cycles, as a float
                number = static_cast<float>(random() % static_cast<unsigned>(top * cycles)) /
                         static_cast<float>(cycles);
                break;
            default:  // anywhere, at and above ppc too (a table keeps them when ppc falls)
                number = std::uniform_real_distribution<float>(0.0F, 2.5F * ppc)(random);
            }
            entries.push_back({number, magnitude(random), phase(random)});
        }
        std::vector<double> fast(length);
        const double peak = synthesizer.synthesize(entries, form, fast);
        const std::vector<long double> reference = referenceSum(entries, form, length);
        double error = 0.0;
        long double referencePeak = 0.0L;
        for (std::size_t i = 0; i < length; ++i) {
            error = std::max(error, static_cast<double>(std::fabs(fast[i] - reference[i])));
            referencePeak = std::max(referencePeak, std::fabs(reference[i]));
        }
        EXPECT_LE(error, kAgreement) << "table " << table << ": ppc " << ppc << ", " << cycles
                                     << " cycles, " << count << " entries";
        EXPECT_NEAR(peak, static_cast<double>(referencePeak), kAgreement) << table;
        if (full) {  // the large table really took the fast path, or this proves little
            EXPECT_EQ(synthesizer.lastTransformedEntries(), count);
        }
    }
}

}  // namespace
