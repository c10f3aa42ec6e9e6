// Any bytes as a waveshape file: read from standard input and from a file as File > Open
// reads it, analyzed into a table, then recalculated.

#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    require(readBothWays(data, size, DocumentKind::Waveshape).samplesRead <= kSampleBufferSize);
    return 0;
}
