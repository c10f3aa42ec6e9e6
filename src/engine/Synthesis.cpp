#include "engine/Synthesis.h"

#include <algorithm>
#include <cmath>

double pi()
{
    static const double value = std::acos(-1.0);
    return value;
}

namespace {

/** Adds the direct sum of entries to out (sample i: the terms in table order). */
template <bool kCosine, bool kHarmonicReference>
void addDirect(std::span<const HarmonicEntry> entries, double step, std::span<double> out)
{
    const double degreesToRadians = pi() * 0.005555555555555556;
    for (const HarmonicEntry& e : entries) {
        const double n = e.number;
        const double m = e.magnitude;
        const double phi = e.phase * degreesToRadians;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const double theta = static_cast<double>(i) * step;
            const double angle = kHarmonicReference ? n * theta + phi : n * (theta + phi);
            out[i] += m * (kCosine ? std::cos(angle) : std::sin(angle));
        }
    }
}

/**
 * The same sum with each angle reduced exactly before the cosine: n i (exact for a float n
 * and i below 2^29) is carried modulo ppc by exact additions, so the angle never grows
 * past a cycle and keeps its last digits (the literal n x theta loses 1e-12 at large n).
 */
template <bool kCosine, bool kHarmonicReference>
void addReduced(std::span<const HarmonicEntry> entries, double ppc, std::span<double> out)
{
    const double radiansPerSample = (pi() + pi()) / ppc;
    const double degreesToRadians = pi() * 0.005555555555555556;
    for (const HarmonicEntry& e : entries) {
        const double n = e.number;
        const double m = e.magnitude;
        const double phi = e.phase * degreesToRadians;
        const double shift = kHarmonicReference ? phi : n * phi;
        if (!(n >= 0.0 && n < ppc) || !std::isfinite(m)) {
            continue;  // the tables never hold such numbers; the slot limit keeps n < ppc / 2
        }
        double cycle = 0.0;  // n i modulo ppc, exactly
        for (std::size_t i = 0; i < out.size(); ++i) {
            const double angle = cycle * radiansPerSample + shift;
            out[i] += m * (kCosine ? std::cos(angle) : std::sin(angle));
            cycle += n;
            if (cycle >= ppc) {
                cycle -= ppc;
            }
        }
    }
}

/** Calls body.operator()<cosine, harmonicReference>(), so the flags are fixed per loop. */
template <typename Body>
void withForm(const SynthesisForm& form, Body&& body)
{
    if (form.cosine) {
        form.harmonicReference ? body.template operator()<true, true>()
                               : body.template operator()<true, false>();
    } else {
        form.harmonicReference ? body.template operator()<false, true>()
                               : body.template operator()<false, false>();
    }
}

void addReduced(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
                std::span<double> out)
{
    const auto ppc = static_cast<double>(form.ppc);
    withForm(form, [&]<bool kCosine, bool kHarmonicReference>() {
        addReduced<kCosine, kHarmonicReference>(entries, ppc, out);
    });
}

void addDirect(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
               std::span<double> out)
{
    const double step = (pi() + pi()) / static_cast<double>(form.ppc);
    withForm(form, [&]<bool kCosine, bool kHarmonicReference>() {
        addDirect<kCosine, kHarmonicReference>(entries, step, out);
    });
}

double peakOf(std::span<const double> samples)
{
    double peak = 0.0;
    for (const double x : samples) {
        peak = std::max(peak, std::fabs(x));
    }
    return peak;
}

/** Where an entry lies in the window's spectrum: the nearest bin and the offset from it. */
struct BinPlace {
    long bin = -1;        ///< -1: no usable bin (not finite, negative, at or past Nyquist)
    double offset = 0.0;  ///< frequency minus bin, in bins
};

BinPlace placeOf(const HarmonicEntry& e, double binsPerHarmonic, std::size_t length)
{
    const double frequency = static_cast<double>(e.number) * binsPerHarmonic;
    if (!(frequency >= 0.0) || !std::isfinite(frequency)) {
        return {};
    }
    const double bin = std::round(frequency);
    if (2.0 * bin >= static_cast<double>(length)) {
        return {};
    }
    return {static_cast<long>(bin), frequency - bin};
}

/** Entries this far from a bin, or nearer, go through the transform. */
constexpr double kLargestOffset = 0.05;
/** The transform path keeps its error below this (percent units). */
constexpr double kErrorBudget = 1e-11;
constexpr int kMostTerms = 16;

/**
 * Taylor terms needed so that sum(m) (pi d)^(P+1) / (P+1)! stays within the budget, d the
 * largest offset: |epsilon t| never exceeds pi d over the centred window.
 */
int termsFor(double largestOffset, double magnitudeSum)
{
    const double u = pi() * largestOffset;
    double bound = magnitudeSum;  // times u^(P+1) / (P+1)!
    for (int terms = 1; terms <= kMostTerms; ++terms) {
        bound *= u / terms;
        if (bound <= kErrorBudget) {
            return terms;
        }
    }
    return kMostTerms;
}

}  // namespace

double Synthesize(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
                  std::span<double> out)
{
    std::fill(out.begin(), out.end(), 0.0);
    addDirect(entries, form, out);
    return peakOf(out);
}

bool Synthesizer::ensurePlan(int size)
{
    if (m_planSize == size && !m_plan.empty()) {
        return true;
    }
    m_plan.reset();
    m_planSize = 0;
    m_spectrum = std::make_unique<FftBuffer>(2 * (static_cast<std::size_t>(size) / 2 + 1));
    m_samples = std::make_unique<FftBuffer>(static_cast<std::size_t>(size));
    m_accumulated = std::make_unique<FftBuffer>(static_cast<std::size_t>(size));
    // Estimated, not measured: a new window size must never stall a slider step.
    m_plan = FftPlan(fftw_plan_dft_c2r_1d(size, reinterpret_cast<fftw_complex*>(m_spectrum->data()),
                                          m_samples->data(), FFTW_ESTIMATE));
    if (!m_plan.empty()) {
        m_planSize = size;
    }
    return !m_plan.empty();
}

double Synthesizer::synthesize(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
                               std::span<double> out)
{
    std::fill(out.begin(), out.end(), 0.0);
    m_lastTransformed = 0;
    const std::size_t length = out.size();
    const double binsPerHarmonic = static_cast<double>(length) / static_cast<double>(form.ppc);

    m_onBin.clear();
    m_offBin.clear();
    double magnitudeSum = 0.0;
    double largestOffset = 0.0;
    for (const HarmonicEntry& e : entries) {
        const BinPlace place = placeOf(e, binsPerHarmonic, length);
        if (place.bin >= 0 && std::fabs(place.offset) <= kLargestOffset &&
            std::isfinite(e.magnitude)) {
            m_onBin.push_back({e, place.bin, place.offset});
            magnitudeSum += std::fabs(static_cast<double>(e.magnitude));
            largestOffset = std::max(largestOffset, std::fabs(place.offset));
        } else {
            m_offBin.push_back(e);
        }
    }
    if (static_cast<int>(m_onBin.size()) < kMinimumForTransform ||
        length > static_cast<std::size_t>(1 << 20) || !ensurePlan(static_cast<int>(length))) {
        addReduced(entries, form, out);
        return peakOf(out);
    }
    transform(form, largestOffset, magnitudeSum, out);
    m_lastTransformed = static_cast<int>(m_onBin.size());
    addReduced(m_offBin, form, out);
    return peakOf(out);
}

void Synthesizer::transform(const SynthesisForm& form, double largestOffset, double magnitudeSum,
                            std::span<double> out)
{
    // Entry e is m cos(2 pi k i / L + phase + eps i), eps = 2 pi offset / L. Around the
    // window's centre c, with t = i - c: m Re(e^(i(phase + eps c)) e^(2 pi i k i / L)
    // e^(i eps t)), and e^(i eps t) = sum over p of (i eps t)^p / p!. Each power p is one
    // inverse transform y_p of the spectrum m/2 e^(i(phase + eps c)) (i eps)^p at bin k
    // (the full value at bin 0), and x = sum over p of t^p / p! y_p, by Horner.
    const std::size_t length = out.size();
    const double centre = 0.5 * static_cast<double>(length - 1);
    const double degreesToRadians = pi() * 0.005555555555555556;
    const double quarter = form.cosine ? 0.0 : pi() * 0.5;  // a sine is a later cosine
    m_terms.clear();
    for (const OnBin& b : m_onBin) {
        const double phi = b.entry.phase * degreesToRadians;
        const double epsilon = 2.0 * pi() * b.offset / static_cast<double>(length);
        const double phase =
            (form.harmonicReference ? phi : static_cast<double>(b.entry.number) * phi) - quarter +
            epsilon * centre;
        const double weight = b.bin == 0 ? b.entry.magnitude : 0.5 * b.entry.magnitude;
        m_terms.push_back(
            {b.bin, weight * std::cos(phase), weight * std::sin(phase), epsilon, 1.0});
    }

    const int terms = largestOffset > 0.0 ? termsFor(largestOffset, magnitudeSum) : 0;
    // Each term's eps^p, from the highest power down; entries exactly on their bin
    // (eps 0) only have the power 0.
    for (Term& term : m_terms) {
        term.power = 1.0;
        for (int p = 0; p < terms; ++p) {
            term.power *= term.epsilon;
        }
    }
    double* acc = m_accumulated->data();
    for (int p = terms; p >= 0; --p) {
        double* bins = m_spectrum->data();
        std::fill_n(bins, m_spectrum->size(), 0.0);
        for (Term& term : m_terms) {
            const double scale = term.epsilon != 0.0 ? term.power : (p == 0 ? 1.0 : 0.0);
            if (term.epsilon != 0.0) {
                term.power /= term.epsilon;
            }
            // (re + i im) (i eps)^p: eps^p, turned a quarter further per power.
            double re = term.re;
            double im = term.im;
            for (int turn = 0; turn < p % 4; ++turn) {
                const double turned = -im;
                im = re;
                re = turned;
            }
            bins[2 * term.bin] += re * scale;
            bins[2 * term.bin + 1] += im * scale;
        }
        double* y = p == terms ? acc : m_samples->data();
        fftw_execute_dft_c2r(m_plan.get(), reinterpret_cast<fftw_complex*>(bins), y);
        if (p != terms) {
            const double inverse = 1.0 / (p + 1);
            for (std::size_t i = 0; i < length; ++i) {
                acc[i] = y[i] + (static_cast<double>(i) - centre) * inverse * acc[i];
            }
        }
    }
    std::copy_n(acc, length, out.begin());
}
