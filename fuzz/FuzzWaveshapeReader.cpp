// Any bytes as a waveshape file: read, analysed into a table, then recalculated.

#include <cstddef>
#include <cstdint>
#include <sstream>

#include "FuzzChecks.h"
#include "files/DocumentReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Design& design = freshDesign();
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const ReadSummary summary = design.open(in, DocumentKind::Waveshape);
    require(summary.samplesRead <= kSampleBufferSize);
    checkDesign(design);
    return 0;
}
