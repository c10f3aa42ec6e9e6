// Any bytes as a coefficient file: read as File > Open reads it, then recalculated.

#include <cstddef>
#include <cstdint>

#include "FuzzChecks.h"
#include "files/DocumentReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Design& design = freshDesign();
    InputStream in(data, size);
    design.open(in, DocumentKind::Coefficients);
    checkDesign(design);
    return 0;
}
