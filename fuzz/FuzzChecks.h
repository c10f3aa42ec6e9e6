#pragma once

#include <cmath>
#include <cstdlib>

#include "design/Design.h"

/** A broken promise of the readers: stop, so the fuzzer keeps the input. */
inline void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

/** The fuzzers' one design, set back to the default settings for the next input. */
inline Design& freshDesign()
{
    static Design design(PlanRigor::Estimate);
    design.setActive(WaveSettings{});
    return design;
}

/** What every read design must satisfy, and that it recalculates. */
inline void checkDesign(Design& design)
{
    const HarmonicTable& table = design.table();
    for (int row = 0; row < table.count(); ++row) {
        const HarmonicEntry& e = table.entry(row);
        require(std::isfinite(e.number) && std::isfinite(e.magnitude));
        require(e.number >= 0.0F && e.magnitude >= 0.0F);
        require(e.phase >= -180 && e.phase <= 180);
        require(row == 0 || table.entry(row - 1).number <= e.number);
    }
    const WaveSettings& s = design.active();
    require(isAcceptedCycles(s.displayCycles) && isAcceptedCycles(s.fftCycles));
    require(isAcceptedPpc(s.ppc));
    require((s.cosine == 0 || s.cosine == 1) && (s.phaseReference == 0 || s.phaseReference == 1));
    const RecalcResult& result = design.recalculate(true);
    require(result.analysed);
    require(static_cast<int>(result.spectrum.size()) == result.binCount);
}
