// Any bytes as a WAV capture, read as Import Capture and analyze read it (any channel the
// input names), then analyzed.

#include "FuzzCaptureChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzFile file(data, size, "wav");
    CaptureOptions options;
    options.channel = 1 + static_cast<int>(size % 3);
    checkCapture(readCapture(file.path(), options));
    return 0;
}
