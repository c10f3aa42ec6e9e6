#include "engine/TimeSynthesis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr double kAgreement = 1e-9;  // percent of a full-scale fundamental

/** How a design's cosines are made block by block. */
enum class Path { Fixed, Rotated, Transformed };

struct Design {
    const char* name;
    std::vector<HarmonicEntry> entries;
    SynthesisForm form;
    double fundamentalHz;
    int rate;
    Path path;
};

/**
 * hz x i / rate in cycles, within [0, 1), done the slow, careful way: hz split so that
 * each part times i is exact in long double, the whole cycles taken out exactly.
 */
long double referenceCycles(double hz, std::int64_t i, int rate)
{
    const int exponent = std::ilogb(hz);
    const double high =
        hz == 0.0 ? 0.0 : std::ldexp(std::trunc(std::ldexp(hz, 29 - exponent)), exponent - 29);
    const long double at = static_cast<long double>(i);
    const long double cycles =
        (std::fmod(high * at, static_cast<long double>(rate)) + (hz - high) * at) / rate;
    return cycles - std::floor(cycles);
}

/** The direct sum of every entry at sample i, in long double. */
double reference(const Design& d, std::int64_t i)
{
    const long double twoPi = 2.0L * std::acos(-1.0L);
    long double sum = 0.0L;
    for (const HarmonicEntry& e : d.entries) {
        const double hz = static_cast<double>(e.number) * d.fundamentalHz;
        const long double shift = (d.form.harmonicReference ? 1.0L : e.number) * e.phase / 360.0L;
        const long double angle = twoPi * (referenceCycles(hz, i, d.rate) + shift);
        sum += e.magnitude * (d.form.cosine ? std::cos(angle) : std::sin(angle));
    }
    return static_cast<double>(sum);
}

/** count entries at numbers from 0 to top (the odd harmonics to 63 when count is 0). */
std::vector<HarmonicEntry> entriesUpTo(float top, int count = 0)
{
    std::mt19937 random(20261207);
    std::vector<HarmonicEntry> entries;
    for (int n = 1; count == 0 && n <= 63; n += 2) {
        entries.push_back({static_cast<float>(n), static_cast<float>(100.0 / n), -90});
    }
    for (int e = 0; e < count; ++e) {
        entries.push_back({std::uniform_real_distribution<float>(0.0F, top)(random),
                           std::uniform_real_distribution<float>(0.0F, 10.0F)(random),
                           std::uniform_int_distribution<int>(-180, 180)(random)});
    }
    return entries;
}

const SynthesisForm kCosine{true, true};
const SynthesisForm kSine{false, true};

// clang-format off
const Design kDesigns[] = {
    {"square, whole periods", entriesUpTo(63), kCosine, 50.0, 384000, Path::Fixed},
    {"square, periods not whole", entriesUpTo(63), kSine, 50.25, 44100, Path::Rotated},
    {"off the bins", entriesUpTo(255, 300), kCosine, 50.0, 384000, Path::Transformed},
    {"off the bins, fundamental reference", entriesUpTo(40, 200), {false, false}, 60.0, 44100,
     Path::Transformed},
    {"fractional numbers, one number twice",
     {{0, 5, 0}, {0.5F, 7, 10}, {1.5F, 4, 30}, {1.5F, 3, -60}, {2.25F, 2, 45}}, kSine, 50.0, 48000,
     Path::Rotated},
    {"near and above Nyquist", entriesUpTo(9, 100), kCosine, 1000.0, 8000, Path::Transformed},
    {"Nyquist and beyond, one by one",
     {{3.99F, 10, 20}, {4, 10, 0}, {4.01F, 10, -30}, {7.5F, 10, 90}, {9, 10, 5}}, kCosine, 1000.0,
     8000, Path::Rotated},
};
// clang-format on

class TimeSynthesis : public ::testing::TestWithParam<Design> {};

// Block edges, the start and an hour in: every sample is the direct sum, wherever it falls.
TEST_P(TimeSynthesis, IsTheDirectSumAcrossBlocks)
{
    const Design& d = GetParam();
    TimeSynthesizer synthesizer(d.entries, d.form, d.fundamentalHz, d.rate);
    const std::int64_t block = synthesizer.blockLength();
    const std::size_t moving = synthesizer.movingCount();
    const Path path = moving == 0                                  ? Path::Fixed
                      : moving <= TimeSynthesizer::kRotatedCosines ? Path::Rotated
                                                                   : Path::Transformed;
    EXPECT_EQ(path, d.path);
    const std::int64_t hour = std::int64_t{3600} * d.rate;
    for (const std::int64_t first : {std::int64_t{0}, block - 40, 7 * block - 3, hour - 80}) {
        std::vector<double> samples(80);
        synthesizer.fill(first, samples);
        for (std::size_t k = 0; k < samples.size(); ++k) {
            const auto i = first + static_cast<std::int64_t>(k);
            ASSERT_NEAR(samples[k], reference(d, i), kAgreement) << d.name << ", sample " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Designs, TimeSynthesis, ::testing::ValuesIn(kDesigns));

}  // namespace
