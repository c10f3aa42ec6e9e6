#include "engine/CheckMeasurement.h"

#include <algorithm>

#include "engine/HarmonicGroups.h"
#include "engine/Recalculate.h"
#include "numbers/NumberText.h"

std::string CheckMeasurement::description() const
{
    const std::string window = formatInt(cycles) + (cycles == 1 ? " cycle" : " cycles");
    if (kind == CheckMeasure::Display) {
        return "the display's FFT window: " + window + ", each line on its own";
    }
    return "IEC 61000-4-7: " + window + " of " + formatGeneral(fundamentalHz) + " Hz, " +
           formatGeneral(fundamentalHz / cycles) +
           " Hz lines in harmonic and interharmonic subgroups";
}

std::vector<double> entryOrdersOf(std::span<const HarmonicEntry> entries)
{
    std::vector<double> orders;
    for (const HarmonicEntry& entry : entries) {
        if (entry.magnitude != 0.0F) {
            orders.push_back(entry.number);
        }
    }
    return orders;
}

bool IecMeter::measure(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
                       double fundamentalHz, CheckMeasurement& out,
                       std::span<const double> synthesized)
{
    const int cycles = iecWindowCycles(fundamentalHz);
    const int size = samplesForCycles(cycles, form.ppc);
    const auto doubles = static_cast<std::size_t>(2 * (size / 2 + 1));
    if (!m_buffer || m_buffer->size() < doubles) {
        m_buffer = std::make_unique<FftBuffer>(doubles);
    }
    if (!m_plans.ensureAnalysisPlan(size)) {
        return false;
    }
    const std::span<double> window(m_buffer->data(), static_cast<std::size_t>(size));
    if (synthesized.size() >= window.size()) {
        std::copy_n(synthesized.begin(), window.size(), window.begin());
    } else {
        m_synthesizer.synthesize(entries, form, window);
    }
    m_plans.plan().executeForwardInPlace(*m_buffer);
    out.kind = CheckMeasure::Iec;
    out.cycles = cycles;
    out.fundamentalHz = fundamentalHz;
    out.hasFundamental = measureLines(m_buffer->data(), size / 2 + 1, size, cycles, out.lines);
    out.entryOrders = entryOrdersOf(entries);
    return true;
}
