#include "engine/TimeSynthesis.h"
#include "numbers/Arithmetic.h"

#include <algorithm>
#include <cmath>
#include <complex>

std::vector<NumberPhasor> phasorsByNumber(std::span<const HarmonicEntry> entries,
                                          const SynthesisForm& form)
{
    const double twoPi = pi() + pi();
    std::vector<NumberPhasor> sums;
    for (const HarmonicEntry& e : entries) {
        if (!std::isfinite(e.number) || !std::isfinite(e.magnitude)) {
            continue;  // addHarmonic refuses them; nothing else may put them in a table
        }
        const double n = e.number;
        double cycles = (form.harmonicReference ? 1.0 : n) * e.phase / 360.0;
        cycles -= form.cosine ? 0.0 : 0.25;
        const std::complex<double> phasor =
            std::polar(static_cast<double>(e.magnitude), twoPi * (cycles - std::floor(cycles)));
        // A table is kept in number order, so equal numbers are mostly neighbors.
        if (!sums.empty() && sums.back().number == e.number) {
            sums.back().phasor += phasor;
        } else {
            sums.push_back({e.number, phasor});
        }
    }
    if (!std::is_sorted(sums.begin(), sums.end(), [](const NumberPhasor& a, const NumberPhasor& b) {
            return a.number < b.number;
        })) {
        std::stable_sort(
            sums.begin(), sums.end(),
            [](const NumberPhasor& a, const NumberPhasor& b) { return a.number < b.number; });
        std::vector<NumberPhasor> merged;
        for (const NumberPhasor& s : sums) {
            if (!merged.empty() && merged.back().number == s.number) {
                merged.back().phasor += s.phasor;
            } else {
                merged.push_back(s);
            }
        }
        sums = std::move(merged);
    }
    return sums;
}

namespace {

/** Samples made from one exactly computed phase before the next is computed afresh. */
constexpr std::size_t kRun = 1024;
/** Independent rotations per cosine, so consecutive samples do not wait on each other. */
constexpr std::size_t kLanes = 8;
/** About this many samples a block: a transform's cost per sample hardly grows beyond. */
constexpr std::int64_t kBlockTarget = 16384;
/** Longer fundamental periods are not a block's unit: a block of them would be too large. */
constexpr std::int64_t kLongestPeriod = 65536;

/**
 * Samples per block: a whole, even number of fundamental periods (so halves of harmonics
 * fall on bins too) when a period is a whole number of samples, else kBlockTarget.
 */
std::int64_t blockLengthFor(double fundamentalHz, int rate)
{
    const double period = std::nearbyint(rate / fundamentalHz);
    if (period < 1.0 || period > static_cast<double>(kLongestPeriod) ||
        std::fma(period, fundamentalHz, -rate) != 0.0) {
        return kBlockTarget;
    }
    const auto samples = static_cast<std::int64_t>(period);
    std::int64_t periods = (kBlockTarget + samples - 1) / samples;
    periods += periods % 2;
    return samples * periods;
}

}  // namespace

TimeSynthesizer::TimeSynthesizer(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
                                 double fundamentalHz, int rate)
    : m_blockLength(blockLengthFor(fundamentalHz, rate)), m_rate(rate)
{
    const auto block = static_cast<std::size_t>(m_blockLength);
    m_fixed.assign(block, 0.0);
    std::vector<Cosine> fixed;
    for (const NumberPhasor& s : phasorsByNumber(entries, form)) {
        const double hz = s.number * fundamentalHz;
        // hz x M exactly, as two doubles: the offset keeps every digit, and is 0 only for
        // a cosine that really repeats with the block.
        const double scaled = hz * static_cast<double>(m_blockLength);
        const double rest = std::fma(hz, static_cast<double>(m_blockLength), -scaled);
        const double bin = std::nearbyint(scaled / rate);
        const double offset = ((scaled - bin * rate) + rest) / rate;
        const auto wholeBin = static_cast<long>(std::fmod(bin, static_cast<double>(m_blockLength)));
        Cosine cosine{hz, std::abs(s.phasor), std::arg(s.phasor) / (pi() + pi()), wholeBin, offset};
        (offset == 0.0 ? fixed : m_moving).push_back(cosine);
    }
    const int size = static_cast<int>(m_blockLength);
    const bool made = m_grid.synthesizeOnGrid(
        size, fixed.size(),
        [&](std::size_t j, Synthesizer::GridCosine& c) {
            const Cosine& f = fixed[j];
            c = {f.bin, 0.0, (pi() + pi()) * f.phaseCycles, f.magnitude};
            return true;
        },
        m_fixed);
    if (!made) {  // no transform: every cosine by rotation
        m_moving.insert(m_moving.end(), fixed.begin(), fixed.end());
        std::fill(m_fixed.begin(), m_fixed.end(), 0.0);
    }
    m_current.resize(block);
    if (m_moving.size() > kRotatedCosines) {
        m_scratch.resize(block);
    }
}

double TimeSynthesizer::cyclesAt(const Cosine& c, std::int64_t i) const
{
    // hz x i as an exact sum of two doubles, its whole seconds' cycles taken out exactly
    // by fmod: an hour into the signal the phase still has every digit.
    const auto at = static_cast<double>(i);
    const double product = c.hz * at;
    const double rest = std::fma(c.hz, at, -product);
    double cycles = (std::fmod(product, static_cast<double>(m_rate)) + rest) / m_rate;
    cycles += c.phaseCycles;
    return cycles - std::floor(cycles);
}

void TimeSynthesizer::fill(std::int64_t first, std::span<double> out)
{
    for (std::size_t done = 0; done < out.size();) {
        const std::int64_t at = first + static_cast<std::int64_t>(done);
        const std::int64_t block = at / m_blockLength;
        if (block != m_currentBlock) {
            makeBlock(block);
        }
        const auto from = static_cast<std::size_t>(at - block * m_blockLength);
        const std::size_t count = std::min(out.size() - done, m_current.size() - from);
        std::copy_n(m_current.begin() + static_cast<std::ptrdiff_t>(from), count,
                    out.begin() + static_cast<std::ptrdiff_t>(done));
        done += count;
    }
}

void TimeSynthesizer::makeBlock(std::int64_t block)
{
    const std::int64_t start = block * m_blockLength;
    std::copy(m_fixed.begin(), m_fixed.end(), m_current.begin());
    m_currentBlock = block;
    if (m_moving.size() <= kRotatedCosines) {
        rotate(start, m_current);
        return;
    }
    // Bin k plus offset d at the block's start phase: a block is the window the
    // recalculation's transform path synthesizes.
    const bool made = m_grid.synthesizeOnGrid(
        static_cast<int>(m_blockLength), m_moving.size(),
        [&](std::size_t j, Synthesizer::GridCosine& c) {
            const Cosine& m = m_moving[j];
            const double cycles = cyclesAt(m, start);
            c = {m.bin, m.offset, (pi() + pi()) * cycles, m.magnitude};
            return true;
        },
        m_scratch);
    if (!made) {
        rotate(start, m_current);
        return;
    }
    for (std::size_t i = 0; i < m_current.size(); ++i) {
        m_current[i] += m_scratch[i];
    }
}

void TimeSynthesizer::rotate(std::int64_t first, std::span<double> out) const
{
    const double twoPi = pi() + pi();
    for (std::size_t start = 0; start < out.size(); start += kRun) {
        const std::size_t length = std::min(kRun, out.size() - start);
        double* block = out.data() + start;
        const auto at = first + static_cast<std::int64_t>(start);
        for (const Cosine& c : m_moving) {
            // Lane j starts at sample at + j and steps kLanes samples by one rotation.
            double re[kLanes];
            double im[kLanes];
            for (std::size_t j = 0; j < kLanes; ++j) {
                const double angle = twoPi * cyclesAt(c, at + static_cast<std::int64_t>(j));
                re[j] = c.magnitude * std::cos(angle);
                im[j] = c.magnitude * std::sin(angle);
            }
            double stepCycles = c.hz * static_cast<double>(kLanes) / m_rate;
            stepCycles -= std::floor(stepCycles);
            const double wr = std::cos(twoPi * stepCycles);
            const double wi = std::sin(twoPi * stepCycles);
            std::size_t i = 0;
            for (; i + kLanes <= length; i += kLanes) {
                for (std::size_t j = 0; j < kLanes; ++j) {
                    block[i + j] += re[j];
                    const double r = re[j] * wr - im[j] * wi;
                    im[j] = re[j] * wi + im[j] * wr;
                    re[j] = r;
                }
            }
            for (std::size_t j = 0; i + j < length; ++j) {
                block[i + j] += re[j];
            }
        }
    }
}
