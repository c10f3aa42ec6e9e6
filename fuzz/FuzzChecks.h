#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <istream>
#include <streambuf>

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
    design.clear();  // so that the undo step of the next Open copies no table
    return design;
}

/** The input as a stream, without copying it. */
class InputStream : public std::istream {
public:
    InputStream(const std::uint8_t* data, std::size_t size) : std::istream(&m_buffer)
    {
        char* begin = const_cast<char*>(reinterpret_cast<const char*>(data));
        m_buffer.set(begin, begin + size);
    }

private:
    struct Buffer : std::streambuf {
        void set(char* begin, char* end) { setg(begin, begin, end); }
    } m_buffer;
};

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
