// Any bytes as a waveshape file: read as File > Open reads it, analysed into a table, then
// recalculated.

#include <cstddef>
#include <cstdint>

#include "FuzzChecks.h"
#include "files/DocumentReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Design& design = freshDesign();
    InputStream in(data, size);
    const ReadSummary summary = design.open(in, DocumentKind::Waveshape);
    require(summary.samplesRead <= kSampleBufferSize);
    checkDesign(design);
    return 0;
}
