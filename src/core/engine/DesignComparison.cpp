#include "engine/DesignComparison.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>

#include "engine/Resolution.h"
#include "numbers/Arithmetic.h"

namespace {

/** An entry as a line amplitude with its cosine phase in its own period, in radians. */
std::complex<double> cosineLine(const HarmonicEntry& entry, const SynthesisForm& form)
{
    const double degreesToRadians = pi() / 180.0;
    const double own = form.harmonicReference ? entry.phase : entry.number * entry.phase;
    const double phase = (own - (form.cosine ? 0.0 : 90.0)) * degreesToRadians;
    return std::polar(static_cast<double>(entry.magnitude), phase);
}

/** The lines of the design's entries that lie on a bin, summed per bin; the others listed. */
std::map<long, std::complex<double>> designLines(std::span<const HarmonicEntry> design,
                                                 const SynthesisForm& form, int cycles,
                                                 std::vector<ComparedOrder>& unresolved)
{
    std::map<long, std::complex<double>> lines;
    for (const HarmonicEntry& entry : design) {
        const auto number = static_cast<double>(entry.number);
        if (!liesOnBin(number, cycles)) {
            // Its energy spreads over the bins beside it: none of them measures it.
            ComparedOrder order{number, entry.magnitude, 0.0, 0.0, {}, 0.0, false, {}};
            order.cyclesNeeded = fewestCyclesResolving(number);
            unresolved.push_back(order);
            continue;
        }
        const long bin = std::lround(number * cycles);
        if (bin < 0) {
            continue;
        }
        std::complex<double> line = cosineLine(entry, form);
        if (bin == 0) {
            line = line.real();  // a level: cos(phase) of it stays
        }
        lines[bin] += line;
    }
    return lines;
}

}  // namespace

DesignComparison compareWithDesign(const CaptureAnalysis& capture,
                                   std::span<const HarmonicEntry> design, const SynthesisForm& form,
                                   double noiseFloor)
{
    const int cycles = capture.cycles;
    const auto binCount = static_cast<long>(capture.bins.size());
    std::vector<ComparedOrder> unresolved;
    const std::map<long, std::complex<double>> lines =
        designLines(design, form, cycles, unresolved);
    std::map<long, bool> bins;
    for (const auto& [bin, line] : lines) {
        bins[bin] = true;
    }
    for (const CaptureLine& line : capture.lines) {
        if (line.magnitude >= noiseFloor) {
            bins[std::lround(line.order * cycles)] = true;
        }
    }
    const auto captured = [&](long bin) {
        return bin < binCount ? capture.bins[static_cast<std::size_t>(bin)]
                              : std::complex<double>();
    };
    const auto designed = [&](long bin) {
        const auto at = lines.find(bin);
        return at == lines.end() ? std::complex<double>() : at->second;
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
        const std::complex<double> c =
            bin > 0 ? captured(bin) * std::polar(1.0, order * turn) : captured(bin);
        const std::complex<double> d = designed(bin);
        ComparedOrder compared{order, std::abs(d),     std::abs(c), std::abs(c) - std::abs(d),
                               {},    std::abs(c - d), true,        {}};
        if (bin > 0 && compared.design >= kPhaseComparedFrom &&
            compared.capture >= kPhaseComparedFrom) {
            compared.phaseDifference =
                std::remainder(std::arg(c) - std::arg(d), 2.0 * pi()) * radiansToDegrees;
            comparison.largestPhase =
                std::max(comparison.largestPhase, std::fabs(*compared.phaseDifference));
        }
        comparison.largestMagnitude =
            std::max(comparison.largestMagnitude, std::fabs(compared.magnitudeDifference));
        comparison.largestVector = std::max(comparison.largestVector, compared.vectorDifference);
        comparison.orders.push_back(compared);
    }
    comparison.unresolved = unresolved.size();
    comparison.orders.insert(comparison.orders.end(), unresolved.begin(), unresolved.end());
    std::stable_sort(
        comparison.orders.begin(), comparison.orders.end(),
        [](const ComparedOrder& a, const ComparedOrder& b) { return a.order < b.order; });
    return comparison;
}
