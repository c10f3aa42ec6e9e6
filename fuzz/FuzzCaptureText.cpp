// Any bytes as a text capture (one value a line, or time,value lines), read from a file as
// Import Capture and analyze read it, with and without a given rate, then analyzed.

#include "FuzzCaptureChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzFile file(data, size, "txt");
    CaptureOptions options;
    if (size % 2 == 0) {
        options.rate = kFuzzRate;
    }
    checkCapture(readCapture(file.path(), options));
    return 0;
}
