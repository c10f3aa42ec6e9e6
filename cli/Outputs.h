#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fft/FftBuffer.h"
#include "files/DocumentReader.h"
#include "files/DocumentWriter.h"

/** "index,value" with a header line, one line per sample, values with six decimals. */
[[nodiscard]] std::string samplesCsv(std::span<const double> samples);

/**
 * The samples of a CSV (an optional header, then "index,value" lines), gathered line by
 * line: a line that does not parse, an index outside the sample buffer or a value that is
 * not finite is skipped. A first line "; ..." may carry the five values of a settings line.
 */
class SamplesCsv {
public:
    void takeLine(std::string_view line);
    /** Copies the samples into the (zeroed) buffer; returns how many lines gave one. */
    std::size_t fill(FftBuffer& buffer) const;
    /** The settings line (":..."), when the first line carried one. */
    [[nodiscard]] const std::optional<std::string>& settingsLine() const { return m_settings; }

private:
    std::vector<double> m_values = std::vector<double>(kSampleBufferSize, 0.0);
    std::size_t m_taken = 0;
    bool m_first = true;
    std::optional<std::string> m_settings;
};

/** Reads a samples CSV file as a stream, through the same checks as every input file. */
[[nodiscard]] std::optional<SamplesCsv> readSamplesCsvFile(const std::string& path,
                                                           std::string& error);
/** The same from text already read (standard input). */
[[nodiscard]] SamplesCsv samplesCsvOfText(std::string_view text);

/**
 * Why OUT may not be replaced, or empty: a write-protected file is refused unless force
 * (there is no one to ask). Every output the command line writes is checked here.
 */
[[nodiscard]] std::string replaceRefusal(const std::string& path, bool force);
/** Saves OUT for the command line: as Save As saves, after replaceRefusal. */
[[nodiscard]] SaveResult saveOutput(const std::string& path, std::string_view bytes, bool force);
/** The same check, then save(path) does the saving. */
[[nodiscard]] SaveResult saveOutput(const std::string& path, bool force,
                                    const std::function<SaveResult(const std::string&)>& save);
