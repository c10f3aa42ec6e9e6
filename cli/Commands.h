#pragma once

#include <QString>
#include <QTextStream>

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "WavWriter.h"

class Design;
struct CliRequest;
struct WaveSettings;

/**
 * new's design: the preset's form and the settings options, then the preset (or the
 * fundamental alone when neither --preset nor --harmonic is given), then each --harmonic
 * through Design::add within the Add dialog's ranges. False with the reason in usageError
 * when an entry is out of range or its number is present already.
 */
[[nodiscard]] bool buildNewDesign(const CliRequest& request, Design& design, QString& usageError);

/** "bin,harmonic,percent,phase_degrees" and one line per bin of the last recalculation. */
[[nodiscard]] std::string spectrumCsv(const Design& design);

/** Reads the whole stream into text, up to the input cap; false with the reason in error. */
[[nodiscard]] bool readStream(std::istream& in, std::string& text, std::string& error);

/**
 * Writes the design's WAV to path ("-": out): --rate and --seconds, or without --rate the
 * displayed samples at ppc x the fundamental. Returns the exit status; a failure, or a
 * warning when samples exceed full scale, goes to err as one line. SIGINT or SIGTERM stops
 * it cleanly (no file left, one line, the status 128 + the signal's number).
 */
int writeWavOutput(const CliRequest& request, const Design& design, const QString& path,
                   std::ostream& out, QTextStream& err);
