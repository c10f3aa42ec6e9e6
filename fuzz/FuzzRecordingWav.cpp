// Any bytes as a WAV recording, every window analysed, aggregated and judged by EN 50160.

#include "FuzzRecordingChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    checkRecording(data, size, "wav");
    return 0;
}
