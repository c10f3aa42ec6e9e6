#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "files/InputFile.h"

class DocumentTarget;

/** What a file is read as, decided by its name alone. */
enum class DocumentKind { Coefficients, Waveshape };

/**
 * A waveshape file when the file name's extension (after its last full stop) is exactly
 * "kvw", case included; a coefficient file otherwise.
 */
[[nodiscard]] DocumentKind documentKindFor(std::string_view path);

/** Why a document that fits the cap is not read all the same. */
inline constexpr const char* kNoMemoryToRead = "Not enough memory to read it.";

/** What the reader loop met. */
struct ReadSummary {
    int settingsLinesApplied = 0;  ///< > 0: the cycle labels must be refreshed
    int settingsLinesRefused = 0;  ///< settings lines with a value outside the limits
    std::size_t samplesRead = 0;   ///< waveshape files only
    /**
     * Why what was read does not count (a read error, a file that changed while it was read,
     * an input past 64 MiB), as one sentence; empty when it counts.
     */
    std::string failure;
};

/**
 * The reader loop: reads lines (LF or CR LF) of any length in bounded memory and
 * dispatches each by its first character: ':' a settings line, '!' a marker and ';' a
 * comment (both ignored), anything else a harmonic line or a sample line by kind. Lines
 * that do not parse are skipped. Sample lines are read token by token, never splitting a
 * number; settings and harmonic lines are read up to their first mebibyte, and a sample
 * token longer than that is skipped. The stream is read up to 64 MiB, as a file would be.
 */
ReadSummary readDocumentLines(std::istream& in, DocumentKind kind, DocumentTarget& target);

/**
 * Everything File > Open does to the design: empties the table and the sample buffer,
 * runs the reader loop, analyzes a waveshape, sets lastAddedNumber to 1, and, when the
 * table is not empty, selects the first row and applies its values to equal numbers.
 */
ReadSummary loadDocument(std::istream& in, DocumentKind kind, DocumentTarget& target);

/**
 * The end of every load: lastAddedNumber becomes 1 and, when the table is not empty, the
 * first row is selected and its values go to every entry with an equal number.
 */
void finishLoading(DocumentTarget& target);

/** A document file opened for reading, or why it could not be. */
struct OpenedDocument {
    std::optional<InputFile> file;  ///< none when the file could not be opened
    DocumentKind kind = DocumentKind::Coefficients;
    std::string error;  ///< when there is no file: "It is not a regular file." and the like

    [[nodiscard]] bool opened() const { return file.has_value(); }
};

/**
 * The path File > Open reads for a typed name: the name itself when anything is there,
 * otherwise, when its last component has no full stop, the name with ".kvk" added.
 */
[[nodiscard]] std::string typedDocumentPath(const std::string& typed);

/**
 * Opens path as InputFile does (a regular file of at most 64 MiB, never blocking); nothing
 * is read yet, so a caller can show that the file opened before the design changes.
 */
[[nodiscard]] OpenedDocument openDocumentFile(const std::string& path);

/** loadDocument from an opened file, read in chunks up to the size cap. */
ReadSummary loadDocument(InputFile& file, DocumentKind kind, DocumentTarget& target);

/** Outcome of reading a document from a path. */
struct LoadResult {
    bool opened = false;  ///< the file was read and the design replaced
    std::string error;    ///< why the file could not be opened or read (when !opened)
    ReadSummary summary;
};
