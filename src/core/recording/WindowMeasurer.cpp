#include "recording/WindowMeasurer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/CaptureAnalysis.h"
#include "engine/HarmonicGroups.h"
#include "numbers/Arithmetic.h"

namespace {

constexpr double kPercent = 100.0;
/** Rounds of the phase-drift refinement at most: each takes the error to a small share. */
constexpr int kTrackRounds = 3;
/** A change below this share of the fundamental ends the refinement. */
constexpr double kTracked = 1e-7;

std::size_t sampleAt(double position)
{
    return static_cast<std::size_t>(std::max(0.0, std::ceil(position)));
}

/** The sum of x[n] e^{-j omega (n - origin)} over the samples from first to before last. */
std::complex<double> phasor(std::span<const float> x, std::size_t first, std::size_t last,
                            double omega, double origin)
{
    std::complex<double> sum;
    const std::complex<double> turn = std::polar(1.0, -omega);
    std::complex<double> carrier;
    for (std::size_t n = first; n < last; ++n) {
        if ((n - first) % kExactCarrierEvery == 0) {
            carrier = std::polar(1.0, -omega * (static_cast<double>(n) - origin));
        }
        sum += static_cast<double>(x[n]) * carrier;
        carrier *= turn;
    }
    return sum;
}

double meanSquare(std::span<const float> x, std::size_t first, std::size_t last)
{
    double sum = 0.0;
    for (std::size_t n = first; n < last; ++n) {
        sum += static_cast<double>(x[n]) * x[n];
    }
    return last > first ? sum / static_cast<double>(last - first) : 0.0;
}

}  // namespace

WindowMeasurer::WindowMeasurer(const WindowShape& shape)
    : m_shape(shape),
      m_resampler(shape.cutoff),
      m_plan(FftPlan::forwardInPlace(shape.cycles * shape.pointsPerCycle, PlanRigor::Estimate)),
      m_buffer(static_cast<std::size_t>(shape.cycles * shape.pointsPerCycle + 2))
{}

bool WindowMeasurer::measure(std::span<const float> x, double start, double fundamental,
                             std::span<float> values)
{
    std::fill(values.begin(), values.end(), 0.0F);
    const int cycles = m_shape.cycles;
    const int n = cycles * m_shape.pointsPerCycle;
    const double step = m_shape.rate / fundamental / m_shape.pointsPerCycle;
    m_resampler.resample(x, start, step,
                         std::span<double>(m_buffer.data(), static_cast<std::size_t>(n)));
    if (m_plan.empty()) {
        return false;
    }
    m_plan.executeForwardInPlace(m_buffer);
    // The lines the subgroups take: up to the bin beside the highest order's.
    const std::size_t count = std::min(static_cast<std::size_t>(n / 2 + 1),
                                       static_cast<std::size_t>((kHighestOrder + 1) * cycles) + 1);
    m_lines.resize(count);
    const double amplitude = 2.0 / n;
    for (std::size_t k = 0; k < count; ++k) {
        m_lines[k] =
            std::hypot(m_buffer[2 * k], m_buffer[2 * k + 1]) * (k == 0 ? 0.5 : 1.0) * amplitude;
    }
    const double fundamentalLevel = subgroupLevel(m_lines, cycles, {1, false}).value_or(0.0);
    if (!(fundamentalLevel > 0.0)) {
        return false;
    }
    const double toPercent = kPercent / fundamentalLevel;
    values[quantity::kLevel] = static_cast<float>(fundamentalLevel / std::numbers::sqrt2);
    for (int h = 2; h <= kHighestOrder; ++h) {
        values[quantity::harmonic(h)] = static_cast<float>(
            subgroupLevel(m_lines, cycles, {h, false}).value_or(0.0) * toPercent);
    }
    for (int h = 1; h < kHighestOrder; ++h) {
        values[quantity::interharmonic(h)] =
            static_cast<float>(subgroupLevel(m_lines, cycles, {h, true}).value_or(0.0) * toPercent);
    }
    values[quantity::kThd] = static_cast<float>(
        subgroupDistortion(m_lines, cycles, quantity::kThdOrders).value_or(0.0) * toPercent);
    values[quantity::kCheckThd] = static_cast<float>(
        subgroupDistortion(m_lines, cycles, m_shape.checkThdOrders).value_or(0.0) * toPercent);
    return true;
}

CycleRms cycleRms(std::span<const float> x, double start, double cycle, int cycles)
{
    const std::size_t first = sampleAt(start);
    const std::size_t last = std::min(x.size(), sampleAt(start + cycle * cycles));
    std::vector<double> sums(last - std::min(first, last) + 1, 0.0);
    for (std::size_t n = first; n < last; ++n) {
        sums[n - first + 1] = sums[n - first] + static_cast<double>(x[n]) * x[n];
    }
    CycleRms rms{std::numeric_limits<double>::infinity(), 0.0};
    const int halves = 2 * cycles - 1;
    for (int j = 0; j < halves; ++j) {
        const std::size_t from = std::min(last, sampleAt(start + j * cycle / 2.0)) - first;
        const std::size_t to = std::min(last, sampleAt(start + j * cycle / 2.0 + cycle)) - first;
        if (to <= from) {
            continue;
        }
        const double value = std::sqrt((sums[to] - sums[from]) / static_cast<double>(to - from));
        rms.least = std::min(rms.least, value);
        rms.most = std::max(rms.most, value);
    }
    if (rms.most == 0.0 && !(rms.least < std::numeric_limits<double>::infinity())) {
        rms.least = 0.0;
    }
    return rms;
}

std::optional<double> trackFundamental(std::span<const float> x, double start, double estimate,
                                       const WindowShape& shape)
{
    double f = estimate;
    double rms = -1.0;
    for (int round = 0; round < kTrackRounds; ++round) {
        const double length = shape.cycles * shape.rate / f;
        const std::size_t first = sampleAt(start);
        const std::size_t middle = std::min(x.size(), sampleAt(start + length / 2.0));
        const std::size_t last = std::min(x.size(), sampleAt(start + length));
        if (middle <= first || last <= middle) {
            return std::nullopt;
        }
        const double omega = 2.0 * std::numbers::pi * f / shape.rate;
        const std::complex<double> early = phasor(x, first, middle, omega, start);
        const std::complex<double> late = phasor(x, middle, last, omega, start);
        const double line = (std::abs(early) + std::abs(late)) * 2.0 /
                            static_cast<double>(last - first) / std::numbers::sqrt2;
        if (rms < 0.0) {
            rms = std::sqrt(meanSquare(x, first, last));
        }
        if (!(line > kLeastFundamentalShare * rms)) {
            return std::nullopt;
        }
        // Each half's phasor turns at the error's rate; their centres lie half a window apart.
        const double apart = 0.5 * (static_cast<double>(last) - static_cast<double>(first));
        const double turn = std::arg(late * std::conj(early));
        const double change = turn / (2.0 * std::numbers::pi * apart) * shape.rate;
        f += change;
        if (!(std::fabs(f - estimate) <= kMostFundamentalMove * estimate)) {
            return std::nullopt;
        }
        if (std::fabs(change) < kTracked * f) {
            break;
        }
    }
    return f;
}
