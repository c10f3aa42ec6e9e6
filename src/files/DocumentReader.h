#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

class Workspace;

/** What a file is read as, decided by its name alone. */
enum class DocumentKind { Coefficients, Waveshape };

/**
 * A waveshape file when the file name's extension (after its last full stop) is exactly
 * "kvw", case included; a coefficient file otherwise.
 */
[[nodiscard]] DocumentKind documentKindFor(std::string_view path);

/** What the reader loop met. */
struct ReadSummary {
    int settingsLinesApplied = 0;  ///< > 0: the cycle labels must be refreshed
    std::size_t samplesRead = 0;   ///< waveshape files only
    bool readError = false;        ///< the stream failed before its end
    bool stoppedAtCap = false;     ///< the file grew past 64 MiB while it was read
};

/**
 * The reader loop: reads lines (LF or CR LF) of any length in bounded memory and
 * dispatches each by its first character: ':' a settings line, '!' a marker and ';' a
 * comment (both ignored), anything else a harmonic line or a sample line by kind. Lines
 * that do not parse are skipped. Sample lines are read token by token, never splitting a
 * number; settings and harmonic lines are read up to their first mebibyte, and a sample
 * token longer than that is skipped.
 */
ReadSummary ReadDocumentLines(std::istream& in, DocumentKind kind, Workspace& workspace);

/**
 * Everything File > Open does to the design: empties the table and the sample buffer,
 * runs the reader loop, analyses a waveshape, sets lastAddedNumber to 1, and, when the
 * table is not empty, selects the first row and applies its values to equal numbers.
 */
ReadSummary LoadDocument(std::istream& in, DocumentKind kind, Workspace& workspace);

/**
 * The end of every load: lastAddedNumber becomes 1 and, when the table is not empty, the
 * first row is selected and its values go to every entry with an equal number.
 */
void FinishLoading(Workspace& workspace);

/** Outcome of reading a document from a path. */
struct LoadResult {
    bool opened = false;
    std::string error;  ///< why the file could not be opened (when !opened)
    ReadSummary summary;
};

/**
 * Opens path as InputFile does (a regular file of at most 64 MiB, never blocking) and, if
 * that works, LoadDocument; otherwise the design is untouched and error says why.
 */
LoadResult LoadDocumentFile(const std::string& path, Workspace& workspace);
