#pragma once

#include <functional>
#include <optional>
#include <string>

#include "engine/CaptureAnalysis.h"
#include "files/CaptureFile.h"

/** Reads a capture file: readCapture, or a stand-in. */
using CaptureReader = std::function<CaptureReading(const std::string&, const CaptureOptions&)>;

/** A capture read and analysed: the reading (without its samples, once analysed) and why not. */
struct CaptureImport {
    CaptureReading reading;
    Outcome<CaptureAnalysis> analysis;
    double rate = 0.0;     ///< of the capture read, given or its own
    double seconds = 0.0;  ///< read from its start (a long file's start only)
};

/**
 * Reads the capture at path and analyses it as request asks, the one composition Import
 * Capture and the command line's analyse share; the samples are let go once analysed. Either
 * step's failure is the analysis's error. Safe on any thread.
 */
[[nodiscard]] CaptureImport readAndAnalyzeCapture(const std::string& path,
                                                  const CaptureOptions& options,
                                                  const CaptureRequest& request,
                                                  const CaptureReader& read = readCapture);

/** Seconds of a recording read around a chosen window: its cycles and room to find them. */
inline constexpr double kRecordingWindowSpan = 1.0;

/**
 * The window that starts at start seconds into a long recording's channel (from 1), read from
 * its file (a second from there, streamed up to it) and analysed there as a capture: what
 * choosing an interval of the recording makes the design.
 */
[[nodiscard]] CaptureImport readRecordingWindow(const std::string& path, std::optional<double> rate,
                                                int channel, double start);
