#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

class FftBuffer;

/** "index,value" with a header line, one line per sample, values with six decimals. */
[[nodiscard]] std::string samplesCsv(std::span<const double> samples);

/**
 * Reads a samples CSV (an optional header, then "index,value" lines) into the sample
 * buffer; lines that do not parse, indices outside the buffer and values that are not
 * finite are skipped. Returns the count of samples taken.
 */
std::size_t readSamplesCsv(std::string_view text, FftBuffer& samples);
