#include "engine/CaptureAnalysis.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <functional>
#include <numeric>
#include <span>
#include <utility>

#include "engine/HarmonicGroups.h"
#include "engine/PowerQuality.h"
#include "engine/Synthesis.h"
#include "fft/AnalysisPlan.h"
#include "fft/FftBuffer.h"
#include "numbers/Arithmetic.h"
#include "numbers/Checked.h"
#include "numbers/NumberText.h"
#include "settings/WaveSettings.h"

namespace {

constexpr std::size_t kSmallestCapture = 64;
/** The spectrum that finds the strongest line: about a second of a 1 MS/s capture. */
constexpr std::size_t kLargestEstimateBlock = std::size_t{1} << 20;
/** Below this bin a Hann window's leakage of a DC level can outshine a weak line. */
constexpr std::size_t kLowestPeakBin = 2;
/** Bins either side of a line's own that a Hann window spreads it over. */
constexpr std::size_t kHannLobe = 2;
/** The phase drift is measured over at least this many cycles when the capture holds them. */
constexpr int kRefineCycles = 10;
constexpr int kRefineRounds = 8;
/** A Blackman-Harris fit over T s keeps out lines over 4 / T Hz away: 2 Hz for halves of 2 s. */
constexpr double kLongRefineSeconds = 4.0;
constexpr double kRefined = 1e-12;
/** Input samples each side of the interpolation kernel at full band. */
constexpr int kKernelHalfWidth = 32;
constexpr int kKernelTableSteps = 4096;  // per input sample
constexpr double kKaiserBeta = 10.0;     // about 100 dB stop band, flat to 0.45 of the rate
/** The kernel's response is integrated at this many points per input sample. */
constexpr std::size_t kResponseStepsPerSample = 64;
constexpr int kEdgeSearchRounds = 40;
constexpr double kWholeLine = 100.0;  // percent: the fundamental's own
constexpr double kFundamentalOrder = 1.0;
/** A line this share of the strongest can be a fundamental. */
constexpr double kStrongLineShare = 0.1;
/** A cycle with less RMS than this share of the median window's is silence or start-up. */
constexpr double kLeastSteadyShare = 0.1;
/** Windows whose fundamentals differ by more than this share are not steady yet. */
constexpr double kSteadyFrequency = 2e-3;
/** Half windows searched for a steady fundamental: a run-up settles within seconds. */
constexpr int kSteadySearchSteps = 40;
/** Lines beside the fundamental fitted with it: at most so many, each at least this share. */
constexpr std::size_t kMostNeighbours = 2;
constexpr double kNeighbourShare = 1e-3;
/** ... and this many times the fundamental's Hann leakage where they lie. */
constexpr double kNeighbourOverLeakage = 1.2;
/**
 * A neighbour is fitted beside the fundamental only where it turns this many cycles against it
 * over each half of the span: closer, the two cannot be told apart there and their joint fit
 * is near singular (a slowly drifting fundamental shows such lines in a long spectrum).
 */
constexpr double kResolvedTurns = 1.0;
/** Whole orders fitted with the fundamental over a short capture: the strongest so many, ... */
constexpr std::size_t kMostHarmonics = 64;
/**
 * ... each at least this share of the fundamental and this many times the median bin: noise
 * taken for a high order would pull the fundamental toward lining the order up with it.
 */
constexpr double kHarmonicShare = 1e-6;
constexpr double kHarmonicOverFloor = 10.0;
/** Lines between the orders fitted with them, each at least kNeighbourShare. */
constexpr std::size_t kMostOtherLines = 8;
/**
 * Captures of fewer windows than this are fitted whole. From here on the halves' phase drift
 * spreads less than the window's own bound, and keeps a clean periodic capture's fundamental
 * exact, where lines below the noise floor pull an unweighted fit by about 1e-12.
 */
constexpr double kWholeSpanWindows = 1.8;
/** Gauss-Newton rounds of the whole-span fit, and its largest step and drift, in bins. */
constexpr int kFitRounds = 12;
constexpr double kLargestFitStep = 0.25;
constexpr double kFarthestFit = 1.0;
constexpr int kFrequencyDecimals = 6;  // a fundamental to the micro-hertz
constexpr int kRateDecimals = 3;

double twoPi()
{
    return 2.0 * pi();
}

std::string hertzText(double frequency)
{
    return formatCompact(frequency, kFrequencyDecimals) + " Hz";
}

std::string noPeriodicSignal(double share)
{
    return "No periodic signal: its strongest line carries " + formatFixed(share * 100.0, 1) +
           " % of its RMS.";
}

std::string refusal(const CaptureSignal& capture)
{
    if (std::string why = captureRateRefusal(capture.rate); !why.empty()) {
        return why;
    }
    if (capture.samples.size() < kSmallestCapture) {
        return "The capture holds " + std::to_string(capture.samples.size()) +
               " samples; at least " + std::to_string(kSmallestCapture) + " are needed.";
    }
    const auto bad = std::find_if(capture.samples.begin(), capture.samples.end(),
                                  [](float x) { return !std::isfinite(x); });
    if (bad != capture.samples.end()) {
        return "Sample " + std::to_string(bad - capture.samples.begin() + 1) +
               " is not a finite number.";
    }
    return {};
}

/** A Hann-windowed magnitude spectrum of a block of the capture, bins 0 to block / 2. */
struct BlockSpectrum {
    std::vector<double> magnitude;
    double binWidth = 0.0;  ///< Hz
};

/**
 * The largest 2^a 3^b 5^c up to n: a size FFTW transforms fast, and nearly all of a short
 * capture, whose bins the lines beside the fundamental need to be told apart.
 */
std::size_t smoothSizeAtMost(std::size_t n)
{
    std::size_t best = 1;
    for (std::size_t five = 1; five <= n; five *= 5) {
        for (std::size_t threes = five; threes <= n; threes *= 3) {
            best = std::max(best, threes * std::bit_floor(n / threes));
        }
    }
    return best;
}

/** The spectrum of the most samples from first, up to kLargestEstimateBlock, a smooth size. */
Outcome<BlockSpectrum> blockSpectrum(const CaptureSignal& capture, std::size_t first)
{
    const std::size_t block =
        smoothSizeAtMost(std::min(capture.samples.size() - first, kLargestEstimateBlock));
    FftBuffer buffer(2 * (block / 2 + 1));
    const std::span<const float> x = std::span(capture.samples).subspan(first, block);
    double mean = 0.0;
    for (const float xi : x) {
        mean += xi;
    }
    mean /= static_cast<double>(block);
    // The window's cosine by rotation, a cos() a sample being most of the estimate's time.
    const double step = twoPi() / static_cast<double>(block);
    const std::complex<double> rotation = std::polar(1.0, step);
    std::complex<double> turn;
    for (std::size_t i = 0; i < block; ++i) {
        if (i % kExactCarrierEvery == 0) {
            turn = std::polar(1.0, step * static_cast<double>(i));
        }
        buffer[i] = (x[i] - mean) * (0.5 - 0.5 * turn.real());
        turn *= rotation;
    }
    const FftPlan plan = FftPlan::forwardInPlace(static_cast<int>(block), PlanRigor::Estimate);
    if (plan.empty()) {
        return Outcome<BlockSpectrum>::failure("No transform could be planned for the capture.");
    }
    plan.executeForwardInPlace(buffer);
    BlockSpectrum spectrum{std::vector<double>(block / 2 + 1),
                           capture.rate / static_cast<double>(block)};
    for (std::size_t k = 0; k < spectrum.magnitude.size(); ++k) {
        spectrum.magnitude[k] = std::hypot(buffer[2 * k], buffer[2 * k + 1]);
    }
    return {std::move(spectrum), {}};
}

/** The strongest bin from lowHz to highHz that interpolation can use; 0 when there is none. */
std::size_t strongestBin(const BlockSpectrum& spectrum, double lowHz, double highHz)
{
    const std::vector<double>& m = spectrum.magnitude;
    const std::size_t low = std::max(
        kLowestPeakBin,
        checkedCount<std::size_t>(std::ceil(lowHz / spectrum.binWidth)).value_or(m.size()));
    const std::size_t high = std::min(
        m.size() - 3,
        checkedCount<std::size_t>(std::floor(highHz / spectrum.binWidth)).value_or(m.size()));
    std::size_t peak = 0;
    for (std::size_t k = low; k <= high; ++k) {
        if (m[k] > (peak == 0 ? 0.0 : m[peak])) {
            peak = k;
        }
    }
    return peak;
}

/**
 * The nominal near the lowest strong line: a strong 3rd harmonic must not make 150 Hz the
 * fundamental of a 50 Hz capture. Of two nominals within reach the nearer wins.
 */
std::optional<double> nominalOf(const BlockSpectrum& spectrum, std::size_t strongest)
{
    const std::vector<double>& m = spectrum.magnitude;
    for (std::size_t k = kLowestPeakBin; k + 2 < m.size(); ++k) {
        if (m[k] < kStrongLineShare * m[strongest] || m[k] < m[k - 1] || m[k] < m[k + 1]) {
            continue;
        }
        const double frequency = static_cast<double>(k) * spectrum.binWidth;
        std::optional<double> nearest;
        for (const double nominal : kNominals) {
            const double distance = std::fabs(frequency / nominal - 1.0);
            if (distance <= kNominalReach &&
                (!nearest || distance < std::fabs(frequency / *nearest - 1.0))) {
                nearest = nominal;
            }
        }
        if (nearest) {
            return nearest;
        }
    }
    return std::nullopt;
}

/** A rough fundamental and the nominal it was searched near. */
struct RoughFundamental {
    double frequency = 0.0;
    std::optional<double> nominal;
    /** Hz of lines beside the fundamental, strong enough to pull a fit that ignored them. */
    std::vector<double> neighbours;
    /** For a fit of the whole of a short capture: the whole orders above the first that hold a
     *  line, and the lines between the orders, in Hz (the neighbours among them). */
    std::vector<int> harmonics;
    std::vector<double> others;
};

/** Grandke's interpolation of the line at peak, exact for a lone tone under a Hann window. */
double interpolatedBin(const std::vector<double>& m, std::size_t peak)
{
    const double left = m[peak - 1];
    const double right = m[peak + 1];
    const double ratio = std::max(left, right) / m[peak];
    const double offset = (2.0 * ratio - 1.0) / (ratio + 1.0) * (right >= left ? 1.0 : -1.0);
    return static_cast<double>(peak) + offset;
}

/** The envelope of a Hann window's side lobes d bins from its line, relative to the line. */
double hannLeakage(double d)
{
    return 1.0 / (pi() * d * (d * d - 1.0));
}

/**
 * Lines within half the fundamental of it, beyond its Hann lobe, that stand out of its
 * leakage and hold at least kNeighbourShare of it: the strongest kMostNeighbours, in Hz.
 */
std::vector<double> neighboursOf(const BlockSpectrum& spectrum, std::size_t peak)
{
    const std::vector<double>& m = spectrum.magnitude;
    const double line = interpolatedBin(m, peak);
    const auto reach = static_cast<std::size_t>(0.5 * static_cast<double>(peak));
    std::vector<std::size_t> found;
    for (std::size_t k = std::max(kLowestPeakBin, peak - reach);
         k <= peak + reach && k + 1 < m.size(); ++k) {
        const double d = std::fabs(static_cast<double>(k) - line);
        if (d <= static_cast<double>(kHannLobe) + 1.0 || m[k] < m[k - 1] || m[k] < m[k + 1] ||
            m[k] < m[peak] * std::max(kNeighbourShare, kNeighbourOverLeakage * hannLeakage(d))) {
            continue;
        }
        found.push_back(k);
    }
    std::sort(found.begin(), found.end(),
              [&m](std::size_t a, std::size_t b) { return m[a] > m[b]; });
    found.resize(std::min(found.size(), kMostNeighbours));
    std::vector<double> hertz;
    for (const std::size_t k : found) {
        hertz.push_back(interpolatedBin(m, k) * spectrum.binWidth);
    }
    return hertz;
}

/**
 * The lines an unweighted fit of a short capture models beside the fundamental: the whole
 * orders from 2, and the strongest kMostOtherLines lines between them. A line is kept where it
 * stands above the noise floor (the median bin), above the fundamental's Hann leakage, and
 * holds at least kHarmonicShare of the fundamental (kNeighbourShare between the orders, whose
 * frequency is fitted too); of the orders, the strongest kMostHarmonics. A line too weak to
 * be found pulls the fit by about its share over the squared cycles of the capture. Lines in
 * the Hann lobe of the band's edge are left out: there a sine cannot be told from its image.
 */
void fittedLinesOf(const BlockSpectrum& spectrum, std::size_t peak, RoughFundamental& rough)
{
    const std::vector<double>& m = spectrum.magnitude;
    std::vector<double> sorted(m);
    const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
    std::nth_element(sorted.begin(), middle, sorted.end());
    const double floor = kHarmonicOverFloor * *middle;
    const double line = interpolatedBin(m, peak);
    // A line below the first bin or a spectrum of a few bins has no harmonics to look at.
    if (m.size() < 2 * (kHannLobe + 2) || !(line >= 1.0)) {
        return;
    }
    const auto highest = m.size() - 1 - (kHannLobe + 1);
    std::vector<std::pair<double, int>> harmonics;  // magnitude, order
    for (int order = 2; order * line <= static_cast<double>(highest); ++order) {
        const auto k = static_cast<std::size_t>(std::lround(order * line));
        const double magnitude = std::max({m[k - 1], m[k], m[k + 1]});
        if (magnitude >= std::max(floor, kHarmonicShare * m[peak])) {
            harmonics.emplace_back(magnitude, order);
        }
    }
    std::sort(harmonics.begin(), harmonics.end(), std::greater<>());
    harmonics.resize(std::min(harmonics.size(), kMostHarmonics));
    for (const auto& [magnitude, order] : harmonics) {
        rough.harmonics.push_back(order);
    }
    std::vector<std::pair<double, std::size_t>> others;  // magnitude, bin
    constexpr auto kApart = static_cast<double>(kHannLobe + 1);
    for (std::size_t k = kHannLobe + 2; k <= highest; ++k) {
        const auto bin = static_cast<double>(k);
        const double fromOrder = std::fabs(bin - std::round(bin / line) * line);
        const double d = std::fabs(bin - line);
        if (fromOrder <= kApart || d <= kApart || m[k] < m[k - 1] || m[k] < m[k + 1] ||
            m[k] < std::max({floor, kNeighbourShare * m[peak],
                             kNeighbourOverLeakage * hannLeakage(d) * m[peak]})) {
            continue;
        }
        others.emplace_back(m[k], k);
    }
    std::sort(others.begin(), others.end(), std::greater<>());
    others.resize(std::min(others.size(), kMostOtherLines));
    for (const auto& [magnitude, k] : others) {
        rough.others.push_back(interpolatedBin(m, k) * spectrum.binWidth);
    }
}

/** The cycles a fundamental is refined over first: the window's, at least kRefineCycles. */
int refineCycles(double frequency)
{
    return std::max(iecWindowCycles(frequency), kRefineCycles);
}

/** Whether a capture that holds so many cycles of the frequency is fitted whole. */
bool fittedWhole(double heldCycles, double frequency)
{
    return heldCycles < kWholeSpanWindows * refineCycles(frequency);
}

/**
 * The fundamental's line of a spectrum from first, interpolated between bins: near the
 * request's nominal, else near the one the lines suggest, else the strongest line.
 */
Outcome<RoughFundamental> roughFundamental(const CaptureSignal& capture,
                                           const CaptureRequest& request, std::size_t first)
{
    using Failure = Outcome<RoughFundamental>;
    Outcome<BlockSpectrum> computed = blockSpectrum(capture, first);
    if (!computed.ok()) {
        return Failure::failure(computed.error);
    }
    const BlockSpectrum& spectrum = *computed.value;
    const std::vector<double>& m = spectrum.magnitude;
    const std::size_t strongest = strongestBin(spectrum, 0.0, capture.rate);
    if (strongest == 0) {
        return Failure::failure("No periodic signal: the capture is constant.");
    }
    // A periodic capture's fundamental stands out of the whole spectrum; noise's does not.
    double total = 0.0;
    double lobe = 0.0;
    for (std::size_t k = 1; k < m.size(); ++k) {
        const double power = m[k] * m[k];
        total += power;
        lobe += k + kHannLobe >= strongest && k <= strongest + kHannLobe ? power : 0.0;
    }
    if (const double share = std::sqrt(lobe / total); share < kLeastFundamentalShare) {
        return Failure::failure(noPeriodicSignal(share));
    }
    RoughFundamental rough;
    if (!request.wholeBand) {
        rough.nominal = request.nominal ? request.nominal : nominalOf(spectrum, strongest);
    }
    std::size_t peak = strongest;
    if (rough.nominal) {
        peak = strongestBin(spectrum, *rough.nominal * (1.0 - kNominalReach),
                            *rough.nominal * (1.0 + kNominalReach));
        if (peak == 0 || m[peak] < kStrongLineShare * m[strongest]) {
            return Failure::failure("No strong line lies within " +
                                    formatCompact(kNominalReach * 100.0, 0) + " % of " +
                                    hertzText(*rough.nominal) + ".");
        }
    }
    rough.frequency = interpolatedBin(m, peak) * spectrum.binWidth;
    rough.neighbours = neighboursOf(spectrum, peak);
    const double heldCycles =
        static_cast<double>(capture.samples.size() - first) * rough.frequency / capture.rate;
    if (fittedWhole(heldCycles, rough.frequency)) {
        fittedLinesOf(spectrum, peak, rough);
    }
    return {rough, {}};
}

/** The phases at time 0 (cosine) of lines fitted together, and the sample the fit is centered on.
 */
struct LineFits {
    std::array<double, 1 + kMostNeighbours> phases{};
    double center = 0.0;
    bool ok = false;
};

/**
 * Factors a symmetric positive definite n x n matrix (row-major, its lower triangle read) in
 * place; false if it is not.
 */
bool choleskyInPlace(std::span<double> a, std::size_t n)
{
    for (std::size_t j = 0; j < n; ++j) {
        double d = a[j * n + j];
        for (std::size_t k = 0; k < j; ++k) {
            d -= a[j * n + k] * a[j * n + k];
        }
        if (!(d > 0.0)) {
            return false;
        }
        a[j * n + j] = std::sqrt(d);
        for (std::size_t i = j + 1; i < n; ++i) {
            double s = a[i * n + j];
            for (std::size_t k = 0; k < j; ++k) {
                s -= a[i * n + k] * a[j * n + k];
            }
            a[i * n + j] = s / a[j * n + j];
        }
    }
    return true;
}

/** Solves l l^T x = b in place with the factor of choleskyInPlace. */
void choleskySolve(std::span<const double> l, std::size_t n, std::span<double> b)
{
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t k = 0; k < i; ++k) {
            b[i] -= l[i * n + k] * b[k];
        }
        b[i] /= l[i * n + i];
    }
    for (std::size_t i = n; i-- > 0;) {
        for (std::size_t k = i + 1; k < n; ++k) {
            b[i] -= l[k * n + i] * b[k];
        }
        b[i] /= l[i * n + i];
    }
}

/**
 * Fits a_j cos + b_j sin at each of Lines frequencies (cycles per sample), plus a level, to
 * samples [first, last), weighted by a Blackman-Harris window: the window keeps other lines
 * out, the fit keeps each line's own negative frequency out (which a plain windowed DFT over
 * a few cycles would let in), and the lines fitted together keep each other out of their
 * phases however close they lie.
 */
template <std::size_t Lines>
LineFits fitLinesOf(std::span<const float> x, std::size_t first, std::size_t last,
                    std::span<const double> frequencies)
{
    constexpr std::size_t kColumns = 2 * Lines + 1;
    constexpr double a0 = 0.35875;
    constexpr double a1 = 0.48829;
    constexpr double a2 = 0.14128;
    constexpr double a3 = 0.01168;
    const double length = static_cast<double>(last - first);
    std::array<std::complex<double>, Lines> steps;
    std::array<std::complex<double>, Lines> carriers;
    for (std::size_t j = 0; j < Lines; ++j) {
        steps[j] = std::polar(1.0, twoPi() * frequencies[j]);
    }
    const std::complex<double> windowStep = std::polar(1.0, twoPi() / length);
    std::array<double, kColumns * kColumns> normal{};  // lower triangle summed
    std::array<double, kColumns> right{};
    std::array<double, kColumns> column{};
    column[kColumns - 1] = 1.0;  // the level
    std::complex<double> window;
    for (std::size_t i = first; i < last; ++i) {
        if ((i - first) % kExactCarrierEvery == 0) {
            for (std::size_t j = 0; j < Lines; ++j) {
                const double cycles = frequencies[j] * static_cast<double>(i);
                carriers[j] = std::polar(1.0, twoPi() * (cycles - std::floor(cycles)));
            }
            window = std::polar(1.0, twoPi() * (static_cast<double>(i - first) + 0.5) / length);
        }
        const double c1 = window.real();
        const double w = a0 - a1 * c1 + a2 * (2 * c1 * c1 - 1) - a3 * (4 * c1 * c1 - 3) * c1;
        for (std::size_t j = 0; j < Lines; ++j) {
            column[2 * j] = carriers[j].real();
            column[2 * j + 1] = carriers[j].imag();
            carriers[j] *= steps[j];
        }
        const double wx = w * x[i];
        for (std::size_t r = 0; r < kColumns; ++r) {
            const double wr = w * column[r];
            right[r] += wx * column[r];
            for (std::size_t c = r; c < kColumns; ++c) {
                normal[c * kColumns + r] += wr * column[c];
            }
        }
        window *= windowStep;
    }
    LineFits fits;
    if (!choleskyInPlace(normal, kColumns)) {
        return fits;
    }
    choleskySolve(normal, kColumns, right);
    for (std::size_t j = 0; j < Lines; ++j) {
        // a cos + b sin = A cos(wt + phase)
        fits.phases[j] = std::atan2(-right[2 * j + 1], right[2 * j]);
    }
    fits.center = (static_cast<double>(first + last) - 1.0) * 0.5;
    fits.ok = true;
    return fits;
}

/** fitLinesOf for the fundamental and up to kMostNeighbours lines beside it. */
LineFits fitLines(std::span<const float> x, std::size_t first, std::size_t last,
                  std::span<const double> frequencies)
{
    static_assert(kMostNeighbours == 2, "one instance per count of lines");
    switch (frequencies.size()) {
    case 1:
        return fitLinesOf<1>(x, first, last, frequencies);
    case 2:
        return fitLinesOf<2>(x, first, last, frequencies);
    default:
        return fitLinesOf<3>(x, first, last, frequencies);
    }
}

/**
 * Refines a fundamental from the phase drift of its line between the two halves of the
 * span cycles from sample first; a few rounds, since each half's fit is at the estimate's
 * frequency. Lines given beside it (Hz) are fitted with it and refined the same way.
 */
double refineFundamental(const CaptureSignal& capture, double frequency, int span,
                         std::size_t first, std::span<const double> neighbours = {})
{
    const std::span<const float> x(capture.samples);
    std::vector<double> lines{frequency};
    const double halfSeconds = static_cast<double>(span / 2) / frequency;
    for (const double neighbour : neighbours) {
        if (std::fabs(neighbour - frequency) * halfSeconds >= kResolvedTurns &&
            lines.size() <= kMostNeighbours) {
            lines.push_back(neighbour);
        }
    }
    std::vector<double> perSample(lines.size());
    for (int round = 0; round < kRefineRounds; ++round) {
        const double ppc = capture.rate / lines[0];
        const int half = span / 2;
        const auto firstEnd = first + static_cast<std::size_t>(half * ppc);
        const auto secondBegin = first + static_cast<std::size_t>(std::ceil((span - half) * ppc));
        const auto secondEnd = first + static_cast<std::size_t>(span * ppc);
        if (firstEnd < first + 4 || secondEnd > x.size() || secondEnd <= secondBegin + 4) {
            break;
        }
        for (std::size_t j = 0; j < lines.size(); ++j) {
            perSample[j] = lines[j] / capture.rate;
        }
        const LineFits early = fitLines(x, first, firstEnd, perSample);
        const LineFits late = fitLines(x, secondBegin, secondEnd, perSample);
        if (!early.ok || !late.ok) {
            break;
        }
        const double seconds = (late.center - early.center) / capture.rate;
        std::vector<double> changes(lines.size());
        for (std::size_t j = 0; j < lines.size(); ++j) {
            const double turn = std::remainder(late.phases[j] - early.phases[j], twoPi());
            changes[j] = turn / (twoPi() * seconds);
        }
        if (!std::isfinite(changes[0])) {
            break;
        }
        for (std::size_t j = 0; j < lines.size(); ++j) {
            lines[j] += std::isfinite(changes[j]) ? changes[j] : 0.0;
        }
        if (std::fabs(changes[0]) <= kRefined * lines[0]) {
            break;
        }
    }
    return lines[0];
}

/**
 * Sums over n samples at t = -(n - 1) / 2 ... (n - 1) / 2 in closed form (a Dirichlet kernel
 * and its derivatives): the sums of the odd products vanish on so centered a span, and the
 * others cost no pass over the samples.
 */
class CenteredSums {
public:
    explicit CenteredSums(double n) : m_n(n), m_squares(n * (n * n - 1.0) / 12.0) {}

    /** sum cos(theta t), sum t sin(theta t) and sum t^2 cos(theta t). */
    struct At {
        double cosine = 0.0;
        double tSine = 0.0;
        double tSquaredCosine = 0.0;
    };

    [[nodiscard]] At at(double theta) const
    {
        const double q = std::sin(0.5 * theta);
        if (std::fabs(q) < kLevelAngle) {
            return {m_n, 0.0, m_squares};
        }
        const double h = 0.5 * m_n;
        const double p = std::sin(h * theta);
        const double bigP = std::cos(h * theta);
        const double bigQ = std::cos(0.5 * theta);
        const double d1 = (h * bigP - 0.5 * p * bigQ / q) / q;
        const double d2 = (-h * h * p + 0.25 * p) / q - h * bigP * bigQ / (q * q) +
                          0.5 * p * bigQ * bigQ / (q * q * q);
        return {p / q, -d1, -d2};
    }

    [[nodiscard]] double count() const { return m_n; }
    [[nodiscard]] double squares() const { return m_squares; }

private:
    /** Below this the angle is a level's (lines are fitted at least a few bins apart). */
    static constexpr double kLevelAngle = 1e-12;
    double m_n;
    double m_squares;
};

/** A line of the whole-span fit: the order of one of the fitted frequencies. */
struct SpanLine {
    std::size_t parameter = 0;  ///< 0: the fundamental; then the lines between its orders
    double order = 1.0;
};

/** Sums over the samples of a span, t from its center: x, x e^(i a t) and x t e^(i a t). */
struct SpanSums {
    double level = 0.0;
    std::vector<std::complex<double>> z;
    std::vector<std::complex<double>> y;
};

/**
 * The one pass over the samples of the whole-span fit, for lines at alpha radians per sample.
 * The carriers turn by rotation, in separate real and imaginary parts so that the lines of a
 * sample are summed side by side.
 */
SpanSums spanSums(std::span<const float> x, std::size_t first, std::size_t n,
                  std::span<const double> alpha)
{
    const std::size_t count = alpha.size();
    const double center = static_cast<double>(first) + 0.5 * static_cast<double>(n - 1);
    std::vector<double> stepRe(count);
    std::vector<double> stepIm(count);
    for (std::size_t l = 0; l < count; ++l) {
        stepRe[l] = std::cos(alpha[l]);
        stepIm[l] = std::sin(alpha[l]);
    }
    std::vector<double> re(count);
    std::vector<double> im(count);
    std::vector<double> zRe(count);
    std::vector<double> zIm(count);
    std::vector<double> yRe(count);
    std::vector<double> yIm(count);
    double level = 0.0;
    for (std::size_t i = first; i < first + n; ++i) {
        const double t = static_cast<double>(i) - center;
        if ((i - first) % kExactCarrierEvery == 0) {
            for (std::size_t l = 0; l < count; ++l) {
                const double cycles = alpha[l] / twoPi() * t;
                const double angle = twoPi() * (cycles - std::floor(cycles));
                re[l] = std::cos(angle);
                im[l] = std::sin(angle);
            }
        }
        const double xi = x[i];
        const double xt = xi * t;
        level += xi;
        for (std::size_t l = 0; l < count; ++l) {
            zRe[l] += xi * re[l];
            zIm[l] += xi * im[l];
            yRe[l] += xt * re[l];
            yIm[l] += xt * im[l];
            const double turned = re[l] * stepRe[l] - im[l] * stepIm[l];
            im[l] = re[l] * stepIm[l] + im[l] * stepRe[l];
            re[l] = turned;
        }
    }
    SpanSums sums{level, std::vector<std::complex<double>>(count),
                  std::vector<std::complex<double>>(count)};
    for (std::size_t l = 0; l < count; ++l) {
        sums.z[l] = {zRe[l], zIm[l]};
        sums.y[l] = {yRe[l], yIm[l]};
    }
    return sums;
}

/**
 * One Gauss-Newton step of the unweighted least-squares fit of a level and the lines to
 * samples [first, first + n): at the given frequencies (radians per sample) the lines'
 * cosine and sine amplitudes are linear and solved for, which leaves the residual a function
 * of the frequencies alone (variable projection); the step is the one that best cancels the
 * residual along the model's derivatives once the amplitudes are projected out. Empty when
 * the lines cannot be told apart.
 */
std::optional<std::vector<double>> wholeSpanStep(std::span<const float> x, std::size_t first,
                                                 std::size_t n, std::span<const SpanLine> lines,
                                                 std::span<const double> omegas)
{
    const std::size_t count = lines.size();
    const std::size_t params = omegas.size();
    std::vector<double> alpha(count);
    for (std::size_t l = 0; l < count; ++l) {
        alpha[l] = lines[l].order * omegas[lines[l].parameter];
    }
    const SpanSums data = spanSums(x, first, n, alpha);
    const std::vector<std::complex<double>>& z = data.z;
    const std::vector<std::complex<double>>& y = data.y;
    const double level = data.level;
    // The normal equations split into the cosines with the level, and the sines.
    const CenteredSums sums(static_cast<double>(n));
    const std::size_t nc = count + 1;
    std::vector<double> gc(nc * nc);
    std::vector<double> gs(count * count);
    std::vector<double> s1Sum(count * count);  // sum t sin((alpha_l + alpha_m) t)
    std::vector<double> s1Diff(count * count);
    std::vector<double> s2Sum(count * count);
    std::vector<double> s2Diff(count * count);
    gc[0] = sums.count();
    std::vector<double> s1Level(count);
    for (std::size_t l = 0; l < count; ++l) {
        const CenteredSums::At single = sums.at(alpha[l]);
        gc[l + 1] = gc[(l + 1) * nc] = single.cosine;
        s1Level[l] = single.tSine;
        for (std::size_t m = 0; m < count; ++m) {
            const CenteredSums::At plus = sums.at(alpha[l] + alpha[m]);
            const CenteredSums::At minus = sums.at(alpha[l] - alpha[m]);
            gc[(l + 1) * nc + m + 1] = 0.5 * (minus.cosine + plus.cosine);
            gs[l * count + m] = 0.5 * (minus.cosine - plus.cosine);
            s1Sum[l * count + m] = plus.tSine;
            s1Diff[l * count + m] = minus.tSine;
            s2Sum[l * count + m] = plus.tSquaredCosine;
            s2Diff[l * count + m] = minus.tSquaredCosine;
        }
    }
    if (!choleskyInPlace(gc, nc) || !choleskyInPlace(gs, count)) {
        return std::nullopt;
    }
    std::vector<double> cosines(nc);
    std::vector<double> sines(count);
    cosines[0] = level;
    for (std::size_t l = 0; l < count; ++l) {
        cosines[l + 1] = z[l].real();
        sines[l] = z[l].imag();
    }
    choleskySolve(gc, nc, cosines);
    choleskySolve(gs, count, sines);
    // Per frequency j, u_j is the model's derivative; w_j = A^T u_j, the columns' share of it.
    std::vector<std::vector<double>> wc(params, std::vector<double>(nc));
    std::vector<std::vector<double>> ws(params, std::vector<double>(count));
    std::vector<double> gradient(params);  // u_j^T (x - model)
    std::vector<double> hessian(params * params);
    for (std::size_t l = 0; l < count; ++l) {
        const std::size_t j = lines[l].parameter;
        const double k = lines[l].order;
        const double a = cosines[l + 1];
        const double b = sines[l];
        gradient[j] += k * (-a * y[l].imag() + b * y[l].real());
        wc[j][0] -= k * a * s1Level[l];
        for (std::size_t m = 0; m < count; ++m) {
            wc[j][m + 1] -= 0.5 * k * a * (s1Sum[l * count + m] + s1Diff[l * count + m]);
            ws[j][m] += 0.5 * k * b * (s1Sum[l * count + m] - s1Diff[l * count + m]);
            const double km = k * lines[m].order;
            const double am = cosines[m + 1];
            const double bm = sines[m];
            hessian[j * params + lines[m].parameter] +=
                0.5 * km *
                (a * am * (s2Diff[l * count + m] - s2Sum[l * count + m]) +
                 b * bm * (s2Diff[l * count + m] + s2Sum[l * count + m]));
        }
    }
    for (std::size_t j = 0; j < params; ++j) {
        gradient[j] -= std::inner_product(wc[j].begin(), wc[j].end(), cosines.begin(), 0.0) +
                       std::inner_product(ws[j].begin(), ws[j].end(), sines.begin(), 0.0);
        std::vector<double> solvedC = wc[j];
        std::vector<double> solvedS = ws[j];
        choleskySolve(gc, nc, solvedC);
        choleskySolve(gs, count, solvedS);
        for (std::size_t i = 0; i < params; ++i) {
            hessian[i * params + j] -=
                std::inner_product(wc[i].begin(), wc[i].end(), solvedC.begin(), 0.0) +
                std::inner_product(ws[i].begin(), ws[i].end(), solvedS.begin(), 0.0);
        }
    }
    if (!choleskyInPlace(hessian, params)) {
        return std::nullopt;
    }
    choleskySolve(hessian, params, gradient);
    return gradient;
}

/**
 * The fundamental (Hz) by an unweighted least-squares fit of the whole of samples [first,
 * end) to a level, the fundamental, its harmonics that the rough spectrum shows and the
 * lines beside it, all frequencies refined together from the estimate's: over a capture of
 * barely the window this keeps what a tapered fit of its halves throws away, and reaches the
 * Cramer-Rao bound under noise. Empty when the fit fails or wanders off the line.
 */
std::optional<double> fitWholeSpan(const CaptureSignal& capture, std::size_t first,
                                   double frequency, const RoughFundamental& rough)
{
    const std::span<const float> x(capture.samples);
    const std::size_t n = x.size() - first;
    std::vector<double> omegas{twoPi() * frequency / capture.rate};
    std::vector<SpanLine> lines{{0, 1.0}};
    for (const int order : rough.harmonics) {
        lines.push_back({0, static_cast<double>(order)});
    }
    for (const double hertz : rough.others) {
        lines.push_back({omegas.size(), 1.0});
        omegas.push_back(twoPi() * hertz / capture.rate);
    }
    // A Gauss-Newton step stays within its start's lobe: at most a quarter bin at a time.
    const double largestStep = kLargestFitStep * twoPi() / static_cast<double>(n);
    const double start = omegas[0];
    for (int round = 0; round < kFitRounds; ++round) {
        const std::optional<std::vector<double>> step = wholeSpanStep(x, first, n, lines, omegas);
        if (!step) {
            return std::nullopt;
        }
        for (std::size_t j = 0; j < omegas.size(); ++j) {
            omegas[j] += std::clamp((*step)[j], -largestStep, largestStep);
        }
        if (!(std::fabs(omegas[0] - start) < kFarthestFit * twoPi() / static_cast<double>(n))) {
            return std::nullopt;
        }
        if (std::fabs((*step)[0]) <= kRefined * omegas[0]) {
            break;
        }
    }
    return omegas[0] * capture.rate / twoPi();
}

/**
 * The first sample of the first steady cycle: leading silence and start-up, cycles below
 * kLeastSteadyShare of the median window's RMS, are skipped. Sums of squares per cycle keep
 * the scan of a long capture to one pass.
 */
std::size_t steadyStart(const CaptureSignal& capture, double frequency, int cycles)
{
    const std::span<const float> x(capture.samples);
    const std::size_t cycleLength =
        std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(capture.rate / frequency)));
    std::vector<double> squares(x.size() / cycleLength);
    for (std::size_t c = 0; c < squares.size(); ++c) {
        for (const float xi : x.subspan(c * cycleLength, cycleLength)) {
            squares[c] += static_cast<double>(xi) * xi;
        }
    }
    const auto perWindow = static_cast<std::size_t>(cycles);
    std::vector<double> windows(squares.size() / perWindow);
    for (std::size_t w = 0; w < windows.size(); ++w) {
        const auto begin = squares.begin() + static_cast<std::ptrdiff_t>(w * perWindow);
        windows[w] = std::accumulate(begin, begin + cycles, 0.0) / cycles;
    }
    if (windows.empty()) {
        return 0;
    }
    const auto middle = windows.begin() + static_cast<std::ptrdiff_t>(windows.size() / 2);
    std::nth_element(windows.begin(), middle, windows.end());
    const double least = *middle * kLeastSteadyShare * kLeastSteadyShare;
    const auto steady =
        std::find_if(squares.begin(), squares.end(), [least](double sum) { return sum >= least; });
    const auto cycle = static_cast<std::size_t>(steady - squares.begin());
    // The first loud cycle may still hold the end of the silence: the next one is all signal.
    return cycle == 0 || steady == squares.end() ? 0 : (cycle + 1) * cycleLength;
}

/**
 * The first window from first whose fundamental agrees with the next window's: a generator
 * that runs up is loud before its frequency settles. Searched in half windows up to
 * kSteadySearchSteps; first itself when none agrees there or the capture is too short to tell.
 */
std::size_t steadyFrequencyStart(const CaptureSignal& capture, double frequency, int cycles,
                                 std::size_t first)
{
    const auto window = static_cast<std::size_t>(capture.rate / frequency * cycles);
    const auto step = std::max<std::size_t>(1, window / 2);
    // The window two steps on is the next one: each is measured once, here and then as next.
    std::vector<double> measured(kSteadySearchSteps + 2, 0.0);
    const auto fundamentalAt = [&](std::size_t s) {
        if (measured[s] == 0.0) {
            measured[s] = refineFundamental(capture, frequency, cycles, first + s * step);
        }
        return measured[s];
    };
    for (std::size_t s = 0; s < static_cast<std::size_t>(kSteadySearchSteps); ++s) {
        if (first + (s + 4) * step > capture.samples.size()) {
            break;
        }
        const double here = fundamentalAt(s);
        if (std::fabs(here - fundamentalAt(s + 2)) <= kSteadyFrequency * here) {
            return first + s * step;
        }
    }
    return first;
}

/** A Kaiser-windowed sinc, tabulated finely enough that linear interpolation adds < 1e-7. */
class SincKernel {
public:
    SincKernel() : m_table(kKernelHalfWidth * kKernelTableSteps + 2)
    {
        const double norm = besselI0(kKaiserBeta);
        for (std::size_t m = 0; m < m_table.size(); ++m) {
            const double u = static_cast<double>(m) / kKernelTableSteps;
            const double r = u / kKernelHalfWidth;
            if (r >= 1.0) {
                continue;
            }
            const double sinc = m == 0 ? 1.0 : std::sin(pi() * u) / (pi() * u);
            m_table[m] = sinc * besselI0(kKaiserBeta * std::sqrt(1.0 - r * r)) / norm;
        }
    }

    /**
     * The kernel's gain at nu cycles per input sample (of the band-limited rate): its
     * continuous Fourier transform, which a line passes through; images aside.
     */
    [[nodiscard]] double response(double nu) const
    {
        constexpr std::size_t kStride = kKernelTableSteps / kResponseStepsPerSample;
        constexpr double kStep = 1.0 / kResponseStepsPerSample;
        double sum = 0.5 * m_table[0];  // the kernel is even: twice the half from 0
        for (std::size_t m = kStride; m < m_table.size(); m += kStride) {
            sum += m_table[m] * std::cos(twoPi() * nu * kStep * static_cast<double>(m / kStride));
        }
        return 2.0 * sum * kStep;
    }

    /** The highest frequency, in cycles per input sample, passed within kFlatBandDb. */
    [[nodiscard]] double flatEdge() const
    {
        const double least = std::pow(10.0, -kFlatBandDb / 20.0);
        double flat = 0.0;
        double below = 0.5;
        for (int round = 0; round < kEdgeSearchRounds; ++round) {
            const double middle = 0.5 * (flat + below);
            (response(middle) >= least ? flat : below) = middle;
        }
        return flat;
    }

    /** The kernel at u input samples (of the band-limited rate) from the centre. */
    [[nodiscard]] double at(double u) const
    {
        const double position = std::fabs(u) * kKernelTableSteps;
        const auto index = static_cast<std::size_t>(position);
        if (index + 1 >= m_table.size()) {
            return 0.0;
        }
        const double fraction = position - static_cast<double>(index);
        return m_table[index] + fraction * (m_table[index + 1] - m_table[index]);
    }

private:
    std::vector<double> m_table;
};

/**
 * The sample at i, the capture mirrored about its first and last samples. An even
 * reflection continues the signal without a step, so taps beyond the ends see values near
 * the edge's and a level stays a level; zeros or a cut kernel would pull the edge points
 * of a window that holds the whole capture toward zero.
 */
double mirrored(std::span<const float> x, std::ptrdiff_t i)
{
    const auto last = static_cast<std::ptrdiff_t>(x.size()) - 1;
    i = i < 0 ? -i : i;
    i = i > last ? 2 * last - i : i;
    return x[static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(i, 0, last))];
}

const SincKernel& sincKernel()
{
    static const SincKernel kernel;
    return kernel;
}

/**
 * out[j] = x at start + j step (in input samples), band-limited to cutoff times the input's
 * band; taps beyond the capture read it mirrored.
 */
void resample(std::span<const float> x, double start, double step, double cutoff,
              std::span<double> out)
{
    const SincKernel& kernel = sincKernel();
    const double halfSpan = kKernelHalfWidth / cutoff;
    for (std::size_t j = 0; j < out.size(); ++j) {
        const double t = start + static_cast<double>(j) * step;
        const auto first = static_cast<std::ptrdiff_t>(std::ceil(t - halfSpan));
        const auto last = static_cast<std::ptrdiff_t>(std::floor(t + halfSpan));
        double sum = 0.0;
        double u = cutoff * (t - static_cast<double>(first));
        if (first >= 0 && last < static_cast<std::ptrdiff_t>(x.size())) {
            for (auto i = static_cast<std::size_t>(first); i <= static_cast<std::size_t>(last);
                 ++i, u -= cutoff) {
                sum += x[i] * kernel.at(u);
            }
        } else {
            for (std::ptrdiff_t i = first; i <= last; ++i, u -= cutoff) {
                sum += mirrored(x, i) * kernel.at(u);
            }
        }
        out[j] = sum * cutoff;
    }
}

/** The window's figures and lines from its transformed, fundamental-scaled bins. */
void measureWindow(FftBuffer& buffer, CaptureAnalysis& analysis)
{
    RecalcResult& result = analysis.result;
    const int binCount = result.binCount;
    const double amplitude = 2.0 / result.fftSize;  // bin to line amplitude
    analysis.bins.resize(static_cast<std::size_t>(binCount));
    for (int k = 0; k < binCount; ++k) {
        const std::complex<double> bin(buffer[2 * k], buffer[2 * k + 1]);
        analysis.bins[static_cast<std::size_t>(k)] = bin * (k == 0 ? amplitude * 0.5 : amplitude);
    }
    measureSpectrum(buffer.data(), analysis.cycles, 1.0F, false, result);
    result.quality = powerQualityFigures(result.lines, analysis.cycles, result.waveform);
    const double radiansToDegrees = 180.0 / pi();
    forEachListedLine(result.spectrum, [&](int k, double magnitude) {
        const double order = static_cast<double>(k) / analysis.cycles;
        analysis.lines.push_back(
            {order, magnitude,
             std::arg(analysis.bins[static_cast<std::size_t>(k)]) * radiansToDegrees});
    });
}

/** The first bin at or above the band's edge: it and those above hold only images. */
int firstBinOutside(const CaptureAnalysis& analysis)
{
    constexpr double kOnTheEdge = 1e-9;  // a bin computed to lie on the edge lies on it
    return static_cast<int>(std::ceil(analysis.bandOrder * analysis.cycles - kOnTheEdge));
}

/**
 * Empties the bins outside the capture's band and, when any held more than the window's
 * own last bin, takes the waveform back from what remains, so no image shows in it either.
 */
std::string dropImages(FftBuffer& buffer, const CaptureAnalysis& analysis, RecalcResult& result)
{
    const int first = std::min(firstBinOutside(analysis), result.binCount);
    for (int k = first; k < result.binCount; ++k) {
        buffer[2 * static_cast<std::size_t>(k)] = buffer[2 * static_cast<std::size_t>(k) + 1] = 0.0;
    }
    if (first + 1 >= result.binCount) {
        return {};
    }
    const FftPlan inverse = FftPlan::inverseOutOfPlace(result.fftSize, PlanRigor::Estimate);
    if (inverse.empty()) {
        return "No transform could be planned for the window.";
    }
    FftBuffer bins(buffer.size());  // the inverse overwrites its input
    std::copy_n(buffer.data(), buffer.size(), bins.data());
    FftBuffer samples(static_cast<std::size_t>(result.fftSize));
    fftw_execute_dft_c2r(inverse.get(), reinterpret_cast<fftw_complex*>(bins.data()),
                         samples.data());
    const double unscale = 1.0 / result.fftSize;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        result.waveform[i] = samples[i] * unscale;
    }
    return {};
}

/** The AC RMS of the window in percent of the fundamental line, from its bins (Parseval). */
double acRms(const std::vector<std::complex<double>>& bins)
{
    double squares = 0.0;
    for (std::size_t k = 1; k < bins.size(); ++k) {
        squares += std::norm(bins[k]) * 0.5;
    }
    return std::sqrt(squares);
}

}  // namespace

std::string captureRateRefusal(double rate)
{
    if (rate >= kMinCaptureRate && rate <= kMaxCaptureRate) {
        return {};
    }
    return "The sample rate " + formatCompact(rate, kRateDecimals) +
           " Hz is not usable: a capture's lies between " + formatCompact(kMinCaptureRate, 0) +
           " and " + formatCompact(kMaxCaptureRate, 0) + " Hz.";
}

int CaptureAnalysis::ordersInBand() const
{
    return std::max(0, static_cast<int>(std::ceil(bandOrder)) - 1);
}

std::optional<CaptureLine> CaptureAnalysis::strongerLine() const
{
    std::optional<CaptureLine> stronger;
    for (const CaptureLine& line : lines) {
        // The fundamental is 100 % of itself, rounding a hair above it at times.
        const bool other = line.order > 0.0 && line.order != kFundamentalOrder;
        if (other && line.magnitude > (stronger ? stronger->magnitude : kWholeLine)) {
            stronger = line;
        }
    }
    return stronger;
}

namespace {

/** The resampled window's points per cycle: a power of two, at least the capture's own. */
int windowPpc(double capturePpc)
{
    return powerOfTwoReaching(capturePpc, kMinWindowPpc, kMaxWindowPpc);
}

/** Above the largest window the samples are low-passed to the window's own band. */
double windowCutoff(double capturePpc)
{
    return std::min(1.0, windowPpc(capturePpc) / capturePpc);
}

/** Why a fundamental cannot be analysed at the capture's rate; empty when it can. */
std::string fundamentalRefusal(double f, double rate)
{
    const double capturePpc = rate / f;
    if (!(f > 0.0) || !std::isfinite(f) || !(capturePpc > 2.0)) {
        return "The fundamental must lie between 0 Hz and half the sample rate (" +
               hertzText(rate / 2.0) + ").";
    }
    if (capturePpc > kMaxCapturePpc) {
        return "The fundamental (" + hertzText(f) + ") is too low for the sample rate: more than " +
               std::to_string(static_cast<int>(kMaxCapturePpc)) + " points per cycle.";
    }
    return {};
}

/**
 * The fundamental from sample first: the rough line of a Hann-windowed spectrum, refined from
 * the phase drift of that line across the analysis window (weighted least-squares fits to its
 * two halves) to about 1e-9 relative on a clean signal; then over a short capture by a fit of
 * the whole of it, over a long one by the phase drift over up to kLongRefineSeconds.
 */
Outcome<RoughFundamental> estimateFrom(const CaptureSignal& capture,
                                       Outcome<RoughFundamental> estimate, std::size_t first)
{
    if (!estimate.ok()) {
        return estimate;
    }
    const double rough = estimate.value->frequency;
    const double heldCycles =
        static_cast<double>(capture.samples.size() - first) * rough / capture.rate;
    const int span = std::min(refineCycles(rough), static_cast<int>(heldCycles));
    if (span < 2) {
        return Outcome<RoughFundamental>::failure(
            "The capture holds less than two cycles of its fundamental (" + hertzText(rough) +
            ").");
    }
    double frequency = refineFundamental(capture, rough, span, first);
    // Over a short capture the tapered halves leave the estimate's noise above the window's
    // own bound, which the whole span fitted unweighted reaches.
    if (fittedWhole(heldCycles, rough)) {
        if (const std::optional<double> fitted =
                fitWholeSpan(capture, first, frequency, *estimate.value)) {
            estimate.value->frequency = *fitted;
            return estimate;
        }
    }
    // Over halves of T s a fit keeps out every line more than 8 / T Hz away (2 Hz for halves
    // of kLongRefineSeconds / 2), so an interharmonic beside the fundamental pulls it less the
    // more of the capture the fit spans; and noise averages out over it too. A cycle is kept
    // in hand for the refined frequency's own span.
    const double held =
        static_cast<double>(capture.samples.size() - first) * frequency / capture.rate - 1.0;
    if (const int longSpan = static_cast<int>(std::min(kLongRefineSeconds * frequency, held));
        longSpan > span) {
        frequency =
            refineFundamental(capture, frequency, longSpan, first, estimate.value->neighbours);
    }
    estimate.value->frequency = frequency;
    return estimate;
}

/** The fundamental and where the window starts, in samples, as the request and capture say. */
std::string placeWindow(const CaptureSignal& capture, const CaptureRequest& request,
                        CaptureAnalysis& analysis, double& start)
{
    const auto startSample = [&](double seconds) {
        return checkedCount<std::size_t>(seconds * capture.rate).value_or(0);
    };
    // A start near the end still leaves the estimate a spectrum; the window is refused below.
    std::size_t first = request.start ? std::min(startSample(*request.start),
                                                 capture.samples.size() - kSmallestCapture)
                                      : 0;
    std::optional<Outcome<RoughFundamental>> atStart;
    if (!request.fundamental && !request.start) {
        // The spectrum of the start finds the window's length; the steady window, the line.
        const Outcome<RoughFundamental>& rough =
            atStart.emplace(roughFundamental(capture, request, 0));
        if (!rough.ok()) {
            return rough.error;
        }
        if (std::string why = fundamentalRefusal(rough.value->frequency, capture.rate);
            !why.empty()) {
            return why;
        }
        const double f = rough.value->frequency;
        const int cycles = request.cycles.value_or(iecWindowCycles(f));
        first = steadyFrequencyStart(capture, f, cycles, steadyStart(capture, f, cycles));
        first = std::min(first, capture.samples.size() - kSmallestCapture);
    }
    if (request.fundamental) {
        analysis.fundamental = *request.fundamental;
    } else {
        const Outcome<RoughFundamental> estimate = estimateFrom(
            capture, first == 0 && atStart ? *atStart : roughFundamental(capture, request, first),
            first);
        if (!estimate.ok()) {
            return estimate.error;
        }
        analysis.fundamental = estimate.value->frequency;
        analysis.nominal = estimate.value->nominal;
    }
    if (std::string why = fundamentalRefusal(analysis.fundamental, capture.rate); !why.empty()) {
        return why;
    }
    analysis.cycles = request.cycles.value_or(iecWindowCycles(analysis.fundamental));
    if (analysis.cycles < 1 || analysis.cycles > kMaxCycles) {
        return "The window takes 1 to 12 cycles.";
    }
    const double capturePpc = capture.rate / analysis.fundamental;
    const double span = analysis.cycles * capturePpc;
    const auto size = static_cast<double>(capture.samples.size());
    if (request.start) {
        start = *request.start * capture.rate;
    } else if (request.fundamental) {
        start = static_cast<double>(steadyStart(capture, analysis.fundamental, analysis.cycles));
    } else {
        start = static_cast<double>(first);
    }
    if (!request.start) {
        // Where the capture has room, every tap of the resampler reads a captured sample.
        const double margin = std::ceil(kKernelHalfWidth / windowCutoff(capturePpc));
        const double roomy = std::max(start, margin);
        start = roomy + span + margin <= size
                    ? roomy
                    : std::max(0.0, std::min(start, std::floor(size - span)));
    }
    // The window may end up to a sample beyond the capture: its last point is a step before.
    if (start + span > size + 1.0) {
        return "The capture holds " +
               formatFixed((size - start) * analysis.fundamental / capture.rate, 2) +
               " cycles of " + hertzText(analysis.fundamental) + " from " +
               formatCompact(start / capture.rate, kFrequencyDecimals) + " s; the analysis takes " +
               formatInt(analysis.cycles) + ".";
    }
    analysis.windowStart = start / capture.rate;
    return {};
}

}  // namespace

Outcome<CaptureAnalysis> analyzeCapture(const CaptureSignal& capture, const CaptureRequest& request)
{
    using Failure = Outcome<CaptureAnalysis>;
    if (std::string why = refusal(capture); !why.empty()) {
        return Failure::failure(std::move(why));
    }
    const double seconds = static_cast<double>(capture.samples.size()) / capture.rate;
    if (request.start && !(*request.start >= 0.0 && *request.start <= seconds)) {
        return Failure::failure("The window start lies from 0 to the capture's " +
                                formatCompact(seconds, kFrequencyDecimals) + " s.");
    }
    CaptureAnalysis analysis;
    analysis.rate = capture.rate;
    analysis.estimated = !request.fundamental;
    double start = 0.0;
    if (std::string why = placeWindow(capture, request, analysis, start); !why.empty()) {
        return Failure::failure(std::move(why));
    }
    const double capturePpc = capture.rate / analysis.fundamental;
    const double span = analysis.cycles * capturePpc;
    const int ppc = windowPpc(capturePpc);
    analysis.pointsPerCycle = ppc;
    const double cutoff = windowCutoff(capturePpc);

    const int n = analysis.cycles * ppc;
    RecalcResult& result = analysis.result;
    result.sampleCount = result.displayCount = result.fftSize = n;
    result.binCount = n / 2 + 1;
    FftBuffer buffer(2 * static_cast<std::size_t>(result.binCount));
    resample(capture.samples, start, capturePpc / ppc, cutoff,
             std::span<double>(buffer.data(), static_cast<std::size_t>(n)));
    result.waveform.assign(buffer.data(), buffer.data() + n);
    const FftPlan plan = FftPlan::forwardInPlace(n, PlanRigor::Estimate);
    if (plan.empty()) {
        return Failure::failure("No transform could be planned for the window.");
    }
    plan.executeForwardInPlace(buffer);
    analysis.bandOrder = cutoff * capturePpc / 2.0;
    static const double flatEdge = sincKernel().flatEdge();
    analysis.flatOrder = flatEdge * cutoff * capturePpc;
    if (std::string why = dropImages(buffer, analysis, result); !why.empty()) {
        return Failure::failure(std::move(why));
    }

    const auto fundamentalBin = static_cast<std::size_t>(analysis.cycles);
    const double reference = std::hypot(buffer[2 * fundamentalBin], buffer[2 * fundamentalBin + 1]);
    if (!(reference > 0.0)) {
        return Failure::failure("No periodic signal at " + hertzText(analysis.fundamental) + ".");
    }
    // The window began `start` samples in: turn each bin back to the capture's first sample,
    // and scale so that the fundamental line is 100 %.
    const double scale = 100.0 * (n / 2) / reference;
    const double shift = -twoPi() * start / span;
    for (std::size_t k = 0; k < static_cast<std::size_t>(result.binCount); ++k) {
        const std::complex<double> bin = std::complex<double>(buffer[2 * k], buffer[2 * k + 1]) *
                                         std::polar(scale, shift * static_cast<double>(k));
        buffer[2 * k] = bin.real();
        buffer[2 * k + 1] = bin.imag();
    }
    const double waveformScale = scale * 2.0 / n;
    for (double& x : result.waveform) {
        x *= waveformScale;
    }
    result.peak = 0.0;
    for (const double x : result.waveform) {
        result.peak = std::max(result.peak, std::fabs(x));
    }
    measureWindow(buffer, analysis);

    const double share = 100.0 / std::sqrt(2.0) / acRms(analysis.bins);
    if (share < kLeastFundamentalShare) {
        return Failure::failure(noPeriodicSignal(share));
    }
    return {std::move(analysis), {}};
}
