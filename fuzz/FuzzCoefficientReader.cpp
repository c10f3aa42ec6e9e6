// Any bytes as a coefficient file: read as File > Open reads it, then recalculated. The
// sample buffer, which a coefficient file never touches, is not cleared for each input.

#include <cstddef>
#include <cstdint>

#include "FuzzChecks.h"
#include "files/DocumentReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Workspace& ws = freshWorkspace();
    InputStream in(data, size);
    {
        const HarmonicTable::BulkLoad bulk(ws.table);
        ReadDocumentLines(in, DocumentKind::Coefficients, ws);
    }
    FinishLoading(ws);
    checkDesign(ws);
    return 0;
}
