#include "engine/DesignComparison.h"
#include "numbers/Arithmetic.h"

#include <cmath>
#include <complex>
#include <map>

namespace {

/** An entry as a line amplitude with its cosine phase in its own period, in radians. */
std::complex<double> cosineLine(const HarmonicEntry& entry, const SynthesisForm& form)
{
    const double degreesToRadians = pi() / 180.0;
    const double own = form.harmonicReference ? entry.phase : entry.number * entry.phase;
    const double phase = (own - (form.cosine ? 0.0 : 90.0)) * degreesToRadians;
    return std::polar(static_cast<double>(entry.magnitude), phase);
}

}  // namespace

DesignComparison compareWithDesign(const CaptureAnalysis& capture,
                                   std::span<const HarmonicEntry> design, const SynthesisForm& form)
{
    const int cycles = capture.cycles;
    const auto binCount = static_cast<long>(capture.bins.size());
    std::map<long, std::complex<double>> designLines;
    for (const HarmonicEntry& entry : design) {
        const long bin = std::lround(static_cast<double>(entry.number) * cycles);
        if (bin < 0) {
            continue;
        }
        std::complex<double> line = cosineLine(entry, form);
        if (bin == 0) {
            line = line.real();  // a level: cos(phase) of it stays
        }
        designLines[bin] += line;
    }
    std::map<long, bool> bins;
    for (const auto& [bin, line] : designLines) {
        bins[bin] = true;
    }
    for (const CaptureLine& line : capture.lines) {
        bins[std::lround(line.order * cycles)] = true;
    }
    const auto captured = [&](long bin) {
        return bin < binCount ? capture.bins[static_cast<std::size_t>(bin)]
                              : std::complex<double>();
    };
    const auto designed = [&](long bin) {
        const auto at = designLines.find(bin);
        return at == designLines.end() ? std::complex<double>() : at->second;
    };
    // The capture's time origin moved so that its fundamental has the design's phase.
    const std::complex<double> c1 = captured(cycles);
    const std::complex<double> d1 = designed(cycles);
    const double turn =
        std::abs(c1) > 0.0 && std::abs(d1) > 0.0 ? std::arg(d1) - std::arg(c1) : 0.0;

    DesignComparison comparison;
    const double radiansToDegrees = 180.0 / pi();
    for (const auto& [bin, present] : bins) {
        const double order = static_cast<double>(bin) / cycles;
        const std::complex<double> c = captured(bin);
        const std::complex<double> d = designed(bin);
        ComparedOrder compared{order, std::abs(d), std::abs(c), std::abs(c) - std::abs(d), {}};
        if (bin > 0 && compared.design >= kPhaseComparedFrom &&
            compared.capture >= kPhaseComparedFrom) {
            const double difference =
                std::remainder(std::arg(c) + order * turn - std::arg(d), 2.0 * pi());
            compared.phaseDifference = difference * radiansToDegrees;
            comparison.largestPhase =
                std::max(comparison.largestPhase, std::fabs(*compared.phaseDifference));
        }
        comparison.largestMagnitude =
            std::max(comparison.largestMagnitude, std::fabs(compared.magnitudeDifference));
        comparison.orders.push_back(compared);
    }
    return comparison;
}
