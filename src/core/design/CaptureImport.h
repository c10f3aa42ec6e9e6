#pragma once

#include <functional>
#include <string>

#include "engine/CaptureAnalysis.h"
#include "files/CaptureFile.h"

/** Reads a capture file: readCapture, or a stand-in. */
using CaptureReader = std::function<CaptureReading(const std::string&, const CaptureOptions&)>;

/** A capture read and analysed: the reading (without its samples, once analysed) and why not. */
struct CaptureImport {
    CaptureReading reading;
    Outcome<CaptureAnalysis> analysis;
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
