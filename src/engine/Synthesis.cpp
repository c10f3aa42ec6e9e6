#include "engine/Synthesis.h"

#include <algorithm>
#include <cmath>

double pi()
{
    static const double value = std::acos(-1.0);
    return value;
}

double Synthesize(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
                  std::span<double> out)
{
    const double step = (pi() + pi()) / static_cast<double>(form.ppc);
    const double degreesToRadians = pi() * 0.005555555555555556;
    std::fill(out.begin(), out.end(), 0.0);
    // Entry by entry over all samples: each sample still sums its terms in table order.
    for (const HarmonicEntry& e : entries) {
        const double n = e.number;
        const double m = e.magnitude;
        const double phi = e.phase * degreesToRadians;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const double theta = static_cast<double>(i) * step;
            const double angle = form.harmonicReference ? n * theta + phi : n * (theta + phi);
            out[i] += m * (form.cosine ? std::cos(angle) : std::sin(angle));
        }
    }
    double peak = 0.0;
    for (const double x : out) {
        peak = std::max(peak, std::fabs(x));
    }
    return peak;
}
