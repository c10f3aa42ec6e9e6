#include "engine/Synthesis.h"
#include "numbers/Arithmetic.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {

/** One over the degrees in half a turn: pi() times this turns degrees into radians. */
constexpr double kHalfTurnsPerDegree = 1.0 / 180.0;

/** Adds the direct sum of entries to out (sample i: the terms in table order). */
template <bool kCosine, bool kHarmonicReference>
void addDirect(std::span<const HarmonicEntry> entries, double step, std::span<double> out)
{
    const double degreesToRadians = pi() * kHalfTurnsPerDegree;
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
 * The entry's phase in radians: its own, or n times it under the fundamental reference,
 * then reduced exactly in degrees, so that a large n keeps the last digits of the angle.
 */
double shiftOf(const HarmonicEntry& e, bool harmonicReference)
{
    const double degreesToRadians = pi() * kHalfTurnsPerDegree;
    const double degrees =
        harmonicReference ? e.phase : std::fmod(static_cast<double>(e.number) * e.phase, 360.0);
    return degrees * degreesToRadians;
}

/** n modulo ppc in [0, ppc): sample i's angle depends on nothing else (exact for n >= 0). */
double cycleStep(double n, double ppc)
{
    double step = std::fmod(n, ppc);
    if (step < 0.0) {
        step += ppc;
        if (step >= ppc) {
            step = 0.0;
        }
    }
    return step;
}

bool isUsable(const HarmonicEntry& e)
{
    // addHarmonic refuses such entries; nothing else may put them in a table.
    return std::isfinite(e.number) && std::isfinite(e.magnitude);
}

/**
 * The same sum with each angle reduced exactly before the cosine: n i (exact for a float n
 * and i below 2^29) is carried modulo ppc by exact additions, so the angle never grows
 * past a cycle and keeps its last digits (the literal n x theta loses 1e-12 at large n).
 * An entry at or above ppc aliases onto n modulo ppc, as in the literal sum.
 */
template <bool kCosine, bool kHarmonicReference>
void addReduced(std::span<const HarmonicEntry> entries, double ppc, std::span<double> out)
{
    const double radiansPerSample = (pi() + pi()) / ppc;
    for (const HarmonicEntry& e : entries) {
        if (!isUsable(e)) {
            continue;
        }
        const double m = e.magnitude;
        const double step = cycleStep(e.number, ppc);
        const double shift = shiftOf(e, kHarmonicReference);
        double cycle = 0.0;  // n i modulo ppc, exactly
        for (std::size_t i = 0; i < out.size(); ++i) {
            const double angle = cycle * radiansPerSample + shift;
            out[i] += m * (kCosine ? std::cos(angle) : std::sin(angle));
            cycle += step;
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

/**
 * Qt's painting can leave the upper halves of the AVX registers in use; this file's SSE
 * code then stalls at every call into libm's AVX cosines (after a repaint the direct sum
 * ran ten times slower). Clearing them first costs nothing.
 */
void clearUpperVectorHalves()
{
#if defined(__x86_64__)
    static const bool hasAvx = __builtin_cpu_supports("avx") != 0;
    if (hasAvx) {
        __asm__ __volatile__("vzeroupper");
    }
#endif
}

/** The transform path keeps its truncation error below this (percent units). */
constexpr double kErrorBudget = 1e-11;
/** A guard only: offsets of at most half a bin need far fewer terms for any float magnitude. */
constexpr int kMostTerms = 64;
constexpr std::size_t kLargestGrid = std::size_t{1} << 20;

/**
 * The smallest size from length up with no prime factor above 7, where FFTW is fastest: a
 * prime window (6143 samples at 511.9 per cycle) is synthesized on a grid of 6144.
 */
int gridSizeFor(std::size_t length)
{
    for (std::size_t size = length;; ++size) {
        std::size_t rest = size;
        for (const std::size_t factor : {2U, 3U, 5U, 7U}) {
            while (rest % factor == 0) {
                rest /= factor;
            }
        }
        if (rest == 1) {
            return static_cast<int>(size);
        }
    }
}

}  // namespace

double synthesizeDirect(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
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
    m_spectra.clear();
    m_spectra.emplace_back(2 * (static_cast<std::size_t>(size) / 2 + 1));
    m_samples = std::make_unique<FftBuffer>(static_cast<std::size_t>(size));
    // Estimated, not measured: a new window size must never stall a slider step. Every
    // term's spectrum comes from fftw_malloc too, so the plan runs on each of them.
    m_plan = FftPlan::inverseOutOfPlace(size, PlanRigor::Estimate);
    if (!m_plan.empty()) {
        m_planSize = size;
    }
    return !m_plan.empty();
}

double* Synthesizer::useNextSpectrum()
{
    if (m_spectraInUse == m_spectra.size()) {
        m_spectra.emplace_back(m_spectra[0].size());  // zeroed
    } else {
        m_spectra[m_spectraInUse].fill(0.0);  // an earlier run's transform overwrote it
    }
    return m_spectra[m_spectraInUse++].data();
}

double Synthesizer::synthesize(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
                               std::span<double> out)
{
    clearUpperVectorHalves();
    std::fill(out.begin(), out.end(), 0.0);
    m_lastTransformed = 0;
    const std::size_t length = out.size();
    // The direct sum costs about as much per entry and sample as a transform per sample.
    if (entries.size() * length <= kDirectWork || length > kLargestGrid || !(form.ppc > 0.0F) ||
        !ensurePlan(gridSizeFor(length))) {
        addReduced(entries, form, out);
        return peakOf(out);
    }
    transform(entries, form, out);
    return peakOf(out);
}

bool Synthesizer::synthesizeOnGrid(int size, std::size_t count, const CosineSource& cosineAt,
                                   std::span<double> out)
{
    clearUpperVectorHalves();
    if (out.size() > static_cast<std::size_t>(size) || !ensurePlan(size)) {
        return false;
    }
    std::fill(out.begin(), out.end(), 0.0);
    transformCosines(count, cosineAt, out);
    return true;
}

void Synthesizer::transform(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
                            std::span<double> out)
{
    const auto size = static_cast<double>(m_planSize);
    const auto ppc = static_cast<double>(form.ppc);
    const double quarter = form.cosine ? 0.0 : pi() * 0.5;  // a sine is a later cosine
    const auto usable = std::count_if(entries.begin(), entries.end(), isUsable);
    m_lastTransformed = static_cast<int>(usable);
    transformCosines(
        entries.size(),
        [&](std::size_t j, GridCosine& cosine) {
            const HarmonicEntry& e = entries[j];
            if (!isUsable(e)) {
                return false;
            }
            // r M and k ppc are exact, so the offset keeps every digit; the frequency's own
            // rounding (1e-13 bins) would cost 1e-10 % per entry at the window's end.
            const double scaled = std::fmod(static_cast<double>(e.number), ppc) * size;
            const double nearest = std::nearbyint(scaled / ppc);
            cosine = {static_cast<long>(nearest), (scaled - nearest * ppc) / ppc,
                      shiftOf(e, form.harmonicReference) - quarter, e.magnitude};
            return true;
        },
        out);
}

void Synthesizer::transformCosines(std::size_t count, const CosineSource& cosineAt,
                                   std::span<double> out)
{
    // On a grid of M samples entry e is m cos(2 pi (k + d) i / M + phase), bin k, offset d
    // within half a bin. Around the window's center c, with t = (i - c) / h and h half the
    // window: m Re(e^(i(phase + eps c)) e^(2 pi i k i / M) e^(i turn t)), eps = 2 pi d / M,
    // turn = eps h, |turn| <= pi / 2, |t| <= 1. e^(i turn t) = sum over p of (i turn)^p / p!
    // t^p: term p is one inverse transform y_p of the spectrum m/2 e^(i(phase + eps c))
    // (i turn)^p / p! at bin k (the full value at bins 0 and M/2, whose real part the
    // transform takes), and x = sum over p of t^p y_p. An entry leaves once what its later
    // terms can add is within its share of the error budget: an entry on its bin after
    // term 0, one half a bin off after about 22.
    const std::size_t length = out.size();
    const std::size_t grid = static_cast<std::size_t>(m_planSize);
    const auto size = static_cast<double>(grid);
    const double center = 0.5 * static_cast<double>(length - 1);
    const double half = std::max(center, 0.5);
    const double share = kErrorBudget / static_cast<double>(std::max<std::size_t>(count, 1));

    // Term p's samples y_p, times t^p, into out; p counts up from 0 without gaps.
    m_power.assign(length, 1.0);
    double* y = m_samples->data();
    const double inverseHalf = 1.0 / half;
    const auto addTerm = [&](std::size_t p) {
        fftw_execute_dft_c2r(m_plan.get(), reinterpret_cast<fftw_complex*>(m_spectra[p].data()), y);
        if (p == 0) {
            std::copy_n(y, length, out.begin());
            return;
        }
        for (std::size_t i = 0; i < length; ++i) {
            m_power[i] *= (static_cast<double>(i) - center) * inverseHalf;
            out[i] += m_power[i] * y[i];
        }
    };

    // The entries go through in chunks, all terms of one chunk before the next: each term's
    // spectrum still sums its entries in table order (the same result as all at once),
    // and only a chunk's terms are kept, whatever the table's size. A term's spectrum is
    // transformed once the last chunk has added to it, while it is still in the cache.
    m_spectraInUse = 0;
    std::size_t added = 0;
    const auto gridBins = static_cast<long>(grid);
    GridCosine cosine{};
    for (std::size_t next = 0; next < count;) {
        m_terms.clear();
        for (; next < count && m_terms.size() < kChunk; ++next) {
            if (!cosineAt(next, cosine)) {
                continue;
            }
            double offset = cosine.offset;
            long bin = (cosine.bin % gridBins + gridBins) % gridBins;
            double phase = cosine.phase;
            if (2 * bin > gridBins) {
                // Past the middle a bin is the mirror of M - k: the same cosine, offset and
                // phase negated.
                bin = gridBins - bin;
                offset = -offset;
                phase = -phase;
            }
            const double epsilon = 2.0 * pi() * offset / size;
            phase += epsilon * center;
            const double m = cosine.magnitude;
            const double weight = bin == 0 || 2 * bin == gridBins ? m : 0.5 * m;
            m_terms.push_back({bin, weight * std::cos(phase), weight * std::sin(phase),
                               epsilon * half, std::fabs(m)});
        }
        const bool last = next == count;
        for (int p = 0; p <= kMostTerms && !m_terms.empty(); ++p) {
            double* bins = termSpectrum(static_cast<std::size_t>(p));
            const double inverse = 1.0 / (p + 1);
            std::size_t kept = 0;
            for (std::size_t j = 0; j < m_terms.size(); ++j) {
                Term term = m_terms[j];
                bins[2 * term.bin] += term.re;
                bins[2 * term.bin + 1] += term.im;
                // The next term: times i turn / (p + 1). The ones after it shrink at least
                // geometrically, by |turn| / (p + 2) < 1, which bounds what they can add.
                const double factor = term.turn * inverse;
                const double re = -term.im * factor;
                term.im = term.re * factor;
                term.re = re;
                term.bound *= std::fabs(factor);
                if (term.bound > share * (1.0 - std::fabs(term.turn) / (p + 2))) {
                    m_terms[kept++] = term;
                }
            }
            m_terms.resize(kept);
            if (last) {
                addTerm(added++);
            }
        }
    }
    while (added < m_spectraInUse) {
        addTerm(added++);
    }
}
