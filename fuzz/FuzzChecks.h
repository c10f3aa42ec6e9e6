#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

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
    require(isAcceptedForm(s));
    require((storedValue(s.basis) == 0 || storedValue(s.basis) == 1) &&
            (storedValue(s.phaseReference) == 0 || storedValue(s.phaseReference) == 1));
    const RecalcResult& result = design.recalculate(true);
    require(result.analyzed);
    require(static_cast<int>(result.spectrum.size()) == result.binCount);
}

/** Reads the input as standard input and as a file: the same design both ways, which must
 *  satisfy checkDesign. Returns the summary of the stream's read. */
inline ReadSummary readBothWays(const std::uint8_t* data, std::size_t size, DocumentKind kind)
{
    Design& design = freshDesign();
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const ReadSummary summary = design.open(in, kind);
    require(summary.failure.empty());
    const std::vector<HarmonicEntry> entries = design.table().entries();
    const WaveSettings active = design.active();
    checkDesign(design);

    // A file in memory, opened by name as any file is.
    const int fd = ::memfd_create("fuzz-input", MFD_CLOEXEC);
    require(fd >= 0 && ::write(fd, data, size) == static_cast<ssize_t>(size));
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    OpenedDocument document = openDocumentFile(path);
    document.kind = kind;  // the name of a descriptor has no extension
    Design& fromFile = freshDesign();
    require(document.opened() && fromFile.open(document, {}).failure.empty());
    ::close(fd);
    require(fromFile.table().entries() == entries && fromFile.active() == active);
    checkDesign(fromFile);
    return summary;
}
