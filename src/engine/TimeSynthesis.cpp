#include "engine/TimeSynthesis.h"

#include <algorithm>
#include <cmath>

namespace {

/** Samples made from one exactly computed phase before the next is computed afresh. */
constexpr std::size_t kRun = 1024;
/** Independent rotations per component, so consecutive samples do not wait on each other. */
constexpr std::size_t kLanes = 8;

}  // namespace

TimeSynthesizer::TimeSynthesizer(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
                                 double fundamentalHz, int rate)
    : m_rate(rate)
{
    for (const HarmonicEntry& e : entries) {
        const double n = e.number;
        // The phase shifts the harmonic's own cycle, or under the fundamental reference the
        // fundamental's, which is n of the harmonic's; a sine is a cosine a quarter late.
        double cycles = (form.harmonicReference ? 1.0 : n) * e.phase / 360.0;
        if (!form.cosine) {
            cycles -= 0.25;
        }
        m_components.push_back({e.magnitude, n * fundamentalHz, cycles - std::floor(cycles)});
    }
}

double TimeSynthesizer::cyclesAt(const Component& c, std::int64_t i) const
{
    // Whole seconds and the rest apart: hz x seconds stays exact enough at an hour's
    // samples, where hz x i / rate would lose the phase's last digits.
    const std::int64_t seconds = i / m_rate;
    const std::int64_t rest = i % m_rate;
    const double whole = c.hz * static_cast<double>(seconds);
    double cycles = (whole - std::floor(whole)) +
                    c.hz * static_cast<double>(rest) / static_cast<double>(m_rate) + c.phaseCycles;
    cycles -= std::floor(cycles);
    return cycles;
}

void TimeSynthesizer::fill(std::int64_t first, std::span<double> out) const
{
    std::fill(out.begin(), out.end(), 0.0);
    const double twoPi = pi() + pi();
    for (std::size_t start = 0; start < out.size(); start += kRun) {
        const std::size_t length = std::min(kRun, out.size() - start);
        double* block = out.data() + start;
        const auto at = first + static_cast<std::int64_t>(start);
        for (const Component& c : m_components) {
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
