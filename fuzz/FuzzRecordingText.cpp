// Any bytes as a text recording (one value a line at a given rate, or a time and values),
// streamed, every window analysed, aggregated and judged by EN 50160.

#include "FuzzRecordingChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    checkRecording(data, size, "csv");
    return 0;
}
