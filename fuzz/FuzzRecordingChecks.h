#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "FuzzCaptureChecks.h"
#include "recording/Quantities.h"
#include "recording/RecordingAnalysis.h"

/** More than this is cut: a fast recording's windows cost their samples many times over. */
inline constexpr std::size_t kMostRecordingBytes = std::size_t{256} << 10;
/** The 10-minute interval, shortened so that small inputs reach every aggregation. */
inline constexpr double kFuzzTenMinutes = 0.5;

/**
 * Any bytes as a recording of every window, analysed with the input choosing the aggregation
 * and a nominal voltage or not: refused with a reason, or counts and values that add up.
 */
inline void checkRecording(const std::uint8_t* data, std::size_t size, const char* extension)
{
    size = std::min(size, kMostRecordingBytes);
    FuzzFile file(data, size, extension);
    RecordingRequest request;
    request.tenMinutes = kFuzzTenMinutes;
    request.aggregation = static_cast<Aggregation>(size % 4);
    if (size % 3 == 0) {
        request.nominalVoltage = 1.0;
    }
    if (std::string(extension) != "wav") {
        request.rate = kFuzzRate;  // a text without times
    }
    request.mask = builtInMask("en50160", {}).mask;
    const Outcome<RecordingAnalysis> analysis = analyzeRecording(file.path(), request);
    if (!analysis.ok()) {
        require(!analysis.error.empty());
        return;
    }
    const RecordingAnalysis& a = *analysis.value;
    require(a.cycles == 10 || a.cycles == 12);
    require(a.leastFundamental <= a.mostFundamental);
    for (const ChannelSummary& channel : a.channels) {
        require(channel.flaggedWindows <= channel.windows);
        require(channel.flaggedIntervals <= channel.intervals);
        require(channel.statistics.size() == quantity::kCount);
        for (const QuantityStatistics& s : channel.statistics) {
            require(s.count <= channel.intervals);
            require(!(s.p95 > s.max) && !(s.p99 > s.max) && !(s.mean > s.max * (1 + 1e-6)));
        }
        require(channel.verdicts.size() == 1);
    }
}
