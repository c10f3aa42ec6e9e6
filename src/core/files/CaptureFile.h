#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/CaptureAnalysis.h"
#include "files/InputFile.h"
#include "files/TextFrames.h"

/** How a capture file is read. */
struct CaptureOptions {
    std::optional<double> rate;  ///< Hz: a text capture without a time column needs it
    int channel = 1;             ///< of a WAV, counted from 1
    ReadProgress progress;       ///< told as the reading goes on; may stop it
};

/** Frames read from the start of a capture: far more than any analysis window takes. */
inline constexpr std::size_t kMaxCaptureFrames = std::size_t{1} << 24;
/**
 * Interleaved values a WAV is decoded for at most, whatever its channel count: a sparse file
 * of many channels would otherwise take minutes to decode for the one channel analysed.
 */
inline constexpr std::size_t kMaxWavDecodedValues = std::size_t{1} << 26;
/** The most frames a WAV may declare. */
inline constexpr std::int64_t kMaxWavFrames = std::int64_t{1} << 31;

/** A capture read, or why not; needsRate when only a sample rate was missing. */
struct CaptureReading {
    std::optional<CaptureSignal> capture;
    std::string error;
    bool needsRate = false;
    bool cancelled = false;        ///< the progress stopped the reading
    std::size_t skippedLines = 0;  ///< header lines of a text capture that held no numbers
};

/**
 * Reads the start of a capture: a WAV (by the name's ".wav", any case; integer or float
 * samples, one channel of any number, read in blocks, its rate unless options give one), or
 * text, up to the input cap: one value a line, or "time,value" (comma, semicolon, tab or
 * blanks between) whose times must be evenly spaced to within the digits they are written
 * with; up to 8 leading lines that are no numbers are headings (counted in skippedLines), a
 * UTF-8 byte-order mark is dropped, and empty lines and lines from ';' or '#' are skipped.
 * options.rate, when given, is the rate whatever the file says, and a time column is then
 * not read as times.
 */
[[nodiscard]] CaptureReading readCapture(const std::string& path, const CaptureOptions& options);
