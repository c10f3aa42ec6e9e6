// Any bytes as a coefficient file: read from standard input and from a file as File > Open
// reads it, then recalculated.

#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    readBothWays(data, size, DocumentKind::Coefficients);
    return 0;
}
