#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/HarmonicTable.h"
#include "engine/Synthesis.h"
#include "fft/AnalysisPlan.h"
#include "fft/FftBuffer.h"

/** How a check measures a design: as IEC 61000-4-7 does, or in the display's FFT window. */
enum class CheckMeasure { Iec, Display };

/** A design's lines as a check reads them. */
struct CheckMeasurement {
    CheckMeasure kind = CheckMeasure::Iec;
    int cycles = 0;  ///< in the window: bin k is order k / cycles
    /** Line amplitudes per bin in percent of the fundamental line (measureLines). */
    std::vector<double> lines;
    bool hasFundamental = false;
    double fundamentalHz = 0.0;  ///< names the lines' frequencies
    /** The orders of the design's entries that carry a magnitude, for the report's notes. */
    std::vector<double> entryOrders;

    /** "IEC 61000-4-7: 10 cycles of 50 Hz, 5 Hz lines in harmonic and interharmonic subgroups". */
    [[nodiscard]] std::string description() const;
};

/** The orders of the entries with a magnitude, as a measurement names them. */
[[nodiscard]] std::vector<double> entryOrdersOf(std::span<const HarmonicEntry> entries);

/**
 * Measures designs as a compliant analyser does: synthesized over IEC 61000-4-7's window
 * (10 cycles of a 50 Hz fundamental, 12 of a 60 Hz one) at the design's points per cycle and
 * transformed, whatever the display's FFT window. Keeps its plan and buffers between runs.
 */
class IecMeter {
public:
    explicit IecMeter(PlanRigor rigor) : m_plans(rigor) {}
    /**
     * Fills out; false when no transform plan can be made. synthesized: the entries' samples
     * under form from the first, as far as a recalculation made them; where they cover the
     * window they are taken rather than made again.
     */
    bool measure(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
                 double fundamentalHz, CheckMeasurement& out,
                 std::span<const double> synthesized = {});

    /** Waits until no plan measurement is queued or under way. */
    void finishPlanning() { m_plans.finishMeasuring(); }

private:
    Synthesizer m_synthesizer;
    std::unique_ptr<FftBuffer> m_buffer;
    /** A new size's plan is estimated and measured off this thread, as the display's is. */
    AnalysisPlanSlot m_plans;
};
