#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "files/DocumentReader.h"
#include "files/DocumentWriter.h"

class Workspace;

/** "index,value" with a header line, one line per sample, values with six decimals. */
[[nodiscard]] std::string samplesCsv(std::span<const double> samples);

/**
 * One line of a samples CSV (an optional header, then "index,value" lines) into the sample
 * buffer; a line that does not parse, an index outside the buffer or a value that is not
 * finite is skipped. Returns whether a sample was taken.
 */
bool readSamplesCsvLine(std::string_view line, Workspace& workspace);

/**
 * File > Open of a samples CSV, read as a stream through InputFile: the table and the
 * sample buffer are emptied, the lines read, the samples analysed as a waveshape's. When the
 * file cannot be read the design is untouched and error says why.
 */
LoadResult LoadSamplesCsvFile(const std::string& path, Workspace& workspace);

/**
 * Saves OUT for the command line: as Save As saves, except that a write-protected file is
 * refused unless force (there is no one to ask).
 */
[[nodiscard]] SaveResult saveOutput(const std::string& path, std::string_view bytes, bool force);

/**
 * A 32-bit float mono WAV of samples in percent (100 % is 1.0) at sampleRate, made with
 * libsndfile in memory; none (with the reason in error) when libsndfile refuses.
 */
[[nodiscard]] std::optional<std::string> wavBytes(std::span<const double> samples, int sampleRate,
                                                  std::string& error);
