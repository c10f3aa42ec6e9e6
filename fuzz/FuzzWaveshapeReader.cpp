// Any bytes as a waveshape file: read, analysed into a table, then recalculated. Of the
// sample buffer only what the previous input can have written is cleared again.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "FuzzChecks.h"
#include "files/DocumentReader.h"
#include "files/WaveshapeFile.h"

namespace {

/** The analysis and the recalculation work in place on at most this much of the buffer. */
constexpr std::size_t kWorkedPrefix = 2 * (kMaxCycles * 512 / 2 + 1);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static std::size_t written = 0;  // samples the last input stored
    Workspace& ws = freshWorkspace();
    std::fill_n(ws.samples.data(), std::max(written, kWorkedPrefix), 0.0);
    InputStream in(data, size);
    ReadSummary summary;
    {
        const HarmonicTable::BulkLoad bulk(ws.table);
        summary = ReadDocumentLines(in, DocumentKind::Waveshape, ws);
        AnalyseWaveshape(ws);
    }
    FinishLoading(ws);
    written = summary.samplesRead;
    require(summary.samplesRead <= ws.samples.size());
    checkDesign(ws);
    return 0;
}
