#include "engine/CaptureAnalysis.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <span>

#include "engine/PowerQuality.h"
#include "engine/Synthesis.h"
#include "fft/AnalysisPlan.h"
#include "fft/FftBuffer.h"
#include "numbers/Arithmetic.h"
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
constexpr double kRefined = 1e-12;
/** Samples between exact carrier values in a fit: the rotation's rounding stays below 1e-13. */
constexpr std::size_t kResyncEvery = 1024;
/** Input samples each side of the interpolation kernel at full band. */
constexpr int kKernelHalfWidth = 32;
constexpr int kKernelTableSteps = 4096;  // per input sample
constexpr double kKaiserBeta = 10.0;     // about 100 dB stop band, flat to 0.45 of the rate
constexpr double kLineThreshold = 0.01;  // percent, as a waveshape's analysis keeps lines
/** A periodic capture's fundamental carries at least this share of its AC RMS. */
constexpr double kLeastFundamentalShare = 0.1;
constexpr double kLowWindowBand = 55.0;   // Hz: IEC 61000-4-7's 60 Hz systems from here ...
constexpr double kHighWindowBand = 65.0;  // ... to here
constexpr int kCyclesAt50 = 10;
constexpr int kCyclesAt60 = 12;
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

/** The strongest line of a Hann-windowed spectrum of the start, interpolated between bins. */
Outcome<double> spectrumPeak(const CaptureSignal& capture)
{
    const std::size_t block =
        std::bit_floor(std::min(capture.samples.size(), kLargestEstimateBlock));
    FftBuffer buffer(2 * (block / 2 + 1));
    double mean = 0.0;
    for (std::size_t i = 0; i < block; ++i) {
        mean += capture.samples[i];
    }
    mean /= static_cast<double>(block);
    const double step = twoPi() / static_cast<double>(block);
    for (std::size_t i = 0; i < block; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(step * static_cast<double>(i));
        buffer[i] = (capture.samples[i] - mean) * hann;
    }
    const FftPlan plan = FftPlan::forwardInPlace(static_cast<int>(block), PlanRigor::Estimate);
    if (plan.empty()) {
        return Outcome<double>::failure("No transform could be planned for the capture.");
    }
    plan.executeForwardInPlace(buffer);
    const auto magnitude = [&buffer](std::size_t k) {
        return std::hypot(buffer[2 * k], buffer[2 * k + 1]);
    };
    std::size_t peak = 0;
    double largest = 0.0;
    for (std::size_t k = kLowestPeakBin; k + 1 < block / 2; ++k) {
        if (magnitude(k) > largest) {
            largest = magnitude(k);
            peak = k;
        }
    }
    if (peak == 0) {
        return Outcome<double>::failure("No periodic signal: the capture is constant.");
    }
    // A periodic capture's fundamental stands out of the whole spectrum; noise's does not.
    double total = 0.0;
    double lobe = 0.0;
    for (std::size_t k = 1; k <= block / 2; ++k) {
        const double power = magnitude(k) * magnitude(k);
        total += power;
        lobe += k + kHannLobe >= peak && k <= peak + kHannLobe ? power : 0.0;
    }
    if (const double share = std::sqrt(lobe / total); share < kLeastFundamentalShare) {
        return Outcome<double>::failure(noPeriodicSignal(share));
    }
    // Grandke's interpolation, exact for a lone tone under a Hann window.
    const double left = magnitude(peak - 1);
    const double right = magnitude(peak + 1);
    const double ratio = std::max(left, right) / largest;
    const double offset = (2.0 * ratio - 1.0) / (ratio + 1.0) * (right >= left ? 1.0 : -1.0);
    return {(static_cast<double>(peak) + offset) * capture.rate / static_cast<double>(block), {}};
}

/** A line's phase at time 0 (cosine) and the sample its fit is centred on. */
struct LineFit {
    double phase = 0.0;
    double center = 0.0;
    bool ok = false;
};

/**
 * Fits a cos + b sin + d at frequency (cycles per sample) to samples [first, last), weighted
 * by a Blackman-Harris window: the window keeps other lines out, the fit keeps the line's own
 * negative frequency out, which a plain windowed DFT over a few cycles would let in.
 */
LineFit fitLine(std::span<const float> x, std::size_t first, std::size_t last, double frequency)
{
    constexpr double a0 = 0.35875;
    constexpr double a1 = 0.48829;
    constexpr double a2 = 0.14128;
    constexpr double a3 = 0.01168;
    const double length = static_cast<double>(last - first);
    const std::complex<double> carrierStep = std::polar(1.0, twoPi() * frequency);
    const std::complex<double> windowStep = std::polar(1.0, twoPi() / length);
    // Sums of w, w c, w s, w c c, w c s, w s s, w x, w x c, w x s.
    double sw = 0, swc = 0, sws = 0, swcc = 0, swcs = 0, swss = 0, swx = 0, swxc = 0, swxs = 0;
    std::complex<double> carrier;
    std::complex<double> window;
    for (std::size_t i = first; i < last; ++i) {
        if ((i - first) % kResyncEvery == 0) {
            const double cycles = frequency * static_cast<double>(i);
            carrier = std::polar(1.0, twoPi() * (cycles - std::floor(cycles)));
            window = std::polar(1.0, twoPi() * (static_cast<double>(i - first) + 0.5) / length);
        }
        const double c1 = window.real();
        const double w = a0 - a1 * c1 + a2 * (2 * c1 * c1 - 1) - a3 * (4 * c1 * c1 - 3) * c1;
        const double c = carrier.real();
        const double s = carrier.imag();
        const double xi = x[i];
        sw += w;
        swc += w * c;
        sws += w * s;
        swcc += w * c * c;
        swcs += w * c * s;
        swss += w * s * s;
        swx += w * xi;
        swxc += w * xi * c;
        swxs += w * xi * s;
        carrier *= carrierStep;
        window *= windowStep;
    }
    // Cramer's rule on the normal equations of (a, b, d).
    const auto det3 = [](double m00, double m01, double m02, double m10, double m11, double m12,
                         double m20, double m21, double m22) {
        return m00 * (m11 * m22 - m12 * m21) - m01 * (m10 * m22 - m12 * m20) +
               m02 * (m10 * m21 - m11 * m20);
    };
    const double det = det3(swcc, swcs, swc, swcs, swss, sws, swc, sws, sw);
    if (!(std::fabs(det) > 0.0)) {
        return {};
    }
    const double a = det3(swxc, swcs, swc, swxs, swss, sws, swx, sws, sw) / det;
    const double b = det3(swcc, swxc, swc, swcs, swxs, sws, swc, swx, sw) / det;
    // a cos + b sin = A cos(wt + phase)
    return {std::atan2(-b, a), (static_cast<double>(first + last) - 1.0) * 0.5, true};
}

/**
 * Refines a fundamental from the phase drift of its line between the two halves of the
 * first span cycles; a few rounds, since each half's fit is at the estimate's frequency.
 */
double refineFundamental(const CaptureSignal& capture, double frequency, int span)
{
    const std::span<const float> x(capture.samples);
    for (int round = 0; round < kRefineRounds; ++round) {
        const double ppc = capture.rate / frequency;
        const int half = span / 2;
        const auto firstEnd = static_cast<std::size_t>(half * ppc);
        const auto secondBegin = static_cast<std::size_t>(std::ceil((span - half) * ppc));
        const auto secondEnd = static_cast<std::size_t>(span * ppc);
        if (firstEnd < 4 || secondEnd > x.size() || secondEnd <= secondBegin + 4) {
            break;
        }
        const double perSample = frequency / capture.rate;
        const LineFit first = fitLine(x, 0, firstEnd, perSample);
        const LineFit second = fitLine(x, secondBegin, secondEnd, perSample);
        if (!first.ok || !second.ok) {
            break;
        }
        const double turn = std::remainder(second.phase - first.phase, twoPi());
        const double change = turn / (twoPi() * (second.center - first.center)) * capture.rate;
        if (!std::isfinite(change)) {
            break;
        }
        frequency += change;
        if (std::fabs(change) <= kRefined * frequency) {
            break;
        }
    }
    return frequency;
}

/** 0th-order modified Bessel function of the first kind, by its power series. */
double besselI0(double x)
{
    double sum = 1.0;
    double term = 1.0;
    const double quarter = x * x * 0.25;
    for (int k = 1; term > 1e-17 * sum; ++k) {
        term *= quarter / (static_cast<double>(k) * k);
        sum += term;
    }
    return sum;
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
 * out[j] = x at start + j step (in input samples), band-limited to cutoff times the input's
 * band. The caller keeps every tap within the samples.
 */
void resample(std::span<const float> x, double start, double step, double cutoff,
              std::span<double> out)
{
    static const SincKernel kernel;
    const double halfSpan = kKernelHalfWidth / cutoff;
    for (std::size_t j = 0; j < out.size(); ++j) {
        const double t = start + static_cast<double>(j) * step;
        const auto first = static_cast<std::size_t>(std::ceil(t - halfSpan));
        const auto last = static_cast<std::size_t>(std::floor(t + halfSpan));
        double sum = 0.0;
        double u = cutoff * (t - static_cast<double>(first));
        for (std::size_t i = first; i <= last; ++i, u -= cutoff) {
            sum += x[i] * kernel.at(u);
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
    result.quality = powerQualityFigures(result.spectrum, analysis.cycles, result.figures.total,
                                         result.waveform);
    const double radiansToDegrees = 180.0 / pi();
    for (int k = 0; k + 1 < binCount; ++k) {
        const double magnitude = result.spectrum[static_cast<std::size_t>(k)];
        if (magnitude > kLineThreshold) {
            analysis.lines.push_back(
                {static_cast<double>(k) / analysis.cycles, magnitude,
                 std::arg(analysis.bins[static_cast<std::size_t>(k)]) * radiansToDegrees});
        }
    }
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

int defaultCycles(double fundamental)
{
    return fundamental >= kLowWindowBand && fundamental <= kHighWindowBand ? kCyclesAt60
                                                                           : kCyclesAt50;
}

Outcome<double> estimateFundamental(const CaptureSignal& capture)
{
    if (std::string why = refusal(capture); !why.empty()) {
        return Outcome<double>::failure(std::move(why));
    }
    const Outcome<double> peak = spectrumPeak(capture);
    if (!peak.ok()) {
        return peak;
    }
    const double rough = *peak.value;
    const double heldCycles = static_cast<double>(capture.samples.size()) * rough / capture.rate;
    const int span =
        std::min(std::max(defaultCycles(rough), kRefineCycles), static_cast<int>(heldCycles));
    if (span < 2) {
        return Outcome<double>::failure(
            "The capture holds less than two cycles of its strongest "
            "line (" +
            hertzText(rough) + ").");
    }
    return {refineFundamental(capture, rough, span), {}};
}

Outcome<CaptureAnalysis> analyseCapture(const CaptureSignal& capture, const CaptureRequest& request)
{
    using Failure = Outcome<CaptureAnalysis>;
    if (std::string why = refusal(capture); !why.empty()) {
        return Failure::failure(std::move(why));
    }
    CaptureAnalysis analysis;
    analysis.rate = capture.rate;
    analysis.estimated = !request.fundamental;
    if (request.fundamental) {
        analysis.fundamental = *request.fundamental;
    } else {
        const Outcome<double> estimate = estimateFundamental(capture);
        if (!estimate.ok()) {
            return Failure::failure(estimate.error);
        }
        analysis.fundamental = *estimate.value;
    }
    const double f = analysis.fundamental;
    const double capturePpc = capture.rate / f;
    if (!(f > 0.0) || !std::isfinite(f) || !(capturePpc > 2.0)) {
        return Failure::failure("The fundamental must lie between 0 Hz and half the sample rate (" +
                                hertzText(capture.rate / 2.0) + ").");
    }
    if (capturePpc > kMaxCapturePpc) {
        return Failure::failure(
            "The fundamental (" + hertzText(f) + ") is too low for the sample rate: more than " +
            std::to_string(static_cast<int>(kMaxCapturePpc)) + " points per cycle.");
    }
    analysis.cycles = request.cycles.value_or(defaultCycles(f));
    if (analysis.cycles < 1 || analysis.cycles > kMaxCycles) {
        return Failure::failure("The window takes 1 to 12 cycles.");
    }
    int ppc = kMinWindowPpc;
    while (ppc < capturePpc && ppc < kMaxWindowPpc) {
        ppc *= 2;
    }
    analysis.pointsPerCycle = ppc;
    // Above the largest window the samples are low-passed to the window's own band.
    const double cutoff = std::min(1.0, ppc / capturePpc);
    const double start = std::ceil(kKernelHalfWidth / cutoff);
    const double span = analysis.cycles * capturePpc;
    if (start + span + start + 1.0 > static_cast<double>(capture.samples.size())) {
        return Failure::failure(
            "The capture holds " +
            formatFixed(static_cast<double>(capture.samples.size()) / capturePpc, 2) +
            " cycles of " + hertzText(f) + "; the analysis takes " + formatInt(analysis.cycles) +
            " and " + std::to_string(2 * static_cast<int>(start) + 1) + " samples more.");
    }

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

    const auto fundamentalBin = static_cast<std::size_t>(analysis.cycles);
    const double reference = std::hypot(buffer[2 * fundamentalBin], buffer[2 * fundamentalBin + 1]);
    if (!(reference > 0.0)) {
        return Failure::failure("No periodic signal at " + hertzText(f) + ".");
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
