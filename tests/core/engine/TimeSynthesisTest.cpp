#include "engine/TimeSynthesis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <ostream>
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

void PrintTo(const Design& d, std::ostream* out)
{
    *out << d.name;
}

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

std::vector<HarmonicEntry> square()
{
    std::vector<HarmonicEntry> entries;
    for (int n = 1; n <= 63; n += 2) {
        entries.push_back({static_cast<float>(n), static_cast<float>(100.0 / n), -90});
    }
    return entries;
}

/** count entries at numbers from number(random), magnitudes 0 to 10, any phase. */
std::vector<HarmonicEntry> randomEntries(int count,
                                         const std::function<float(std::mt19937&)>& number)
{
    std::mt19937 random(20261207);
    std::vector<HarmonicEntry> entries;
    for (int e = 0; e < count; ++e) {
        entries.push_back({number(random),
                           std::uniform_real_distribution<float>(0.0F, 10.0F)(random),
                           std::uniform_int_distribution<int>(-180, 180)(random)});
    }
    return entries;
}

std::vector<Design> designs()
{
    const auto anywhere = [](float top) {
        return
            [top](std::mt19937& r) { return std::uniform_real_distribution<float>(0.0F, top)(r); };
    };
    const SynthesisForm cosine{true, true};
    const SynthesisForm sine{false, true};
    const SynthesisForm fundamentalSine{false, false};
    return {
        {"square, whole periods", square(), cosine, 50.0, 384000, Path::Fixed},
        {"square, periods not whole", square(), sine, 50.25, 44100, Path::Rotated},
        {"off the bins", randomEntries(300, anywhere(255.0F)), cosine, 50.0, 384000,
         Path::Transformed},
        {"off the bins, fundamental reference", randomEntries(200, anywhere(40.0F)),
         fundamentalSine, 60.0, 44100, Path::Transformed},
        {"fractional numbers, one number twice",
         {{0.0F, 5.0F, 0},
          {0.5F, 7.0F, 10},
          {1.5F, 4.0F, 30},
          {1.5F, 3.0F, -60},
          {2.25F, 2.0F, 45}},
         sine,
         50.0,
         48000,
         Path::Rotated},
        {"near and above Nyquist", randomEntries(100, anywhere(9.0F)), cosine, 1000.0, 8000,
         Path::Transformed},
        {"Nyquist and beyond, one by one",
         {{3.99F, 10.0F, 20},
          {4.0F, 10.0F, 0},
          {4.01F, 10.0F, -30},
          {7.5F, 10.0F, 90},
          {9.0F, 10.0F, 5}},
         cosine,
         1000.0,
         8000,
         Path::Rotated},
    };
}

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

INSTANTIATE_TEST_SUITE_P(Designs, TimeSynthesis, ::testing::ValuesIn(designs()));

}  // namespace
