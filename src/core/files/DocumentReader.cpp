#include "files/DocumentReader.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <istream>
#include <span>

#include "engine/HarmonicTable.h"
#include "fft/FftBuffer.h"
#include "files/CoefficientFile.h"
#include "files/DocumentTarget.h"
#include "files/InputFile.h"
#include "files/WaveshapeFile.h"

DocumentKind documentKindFor(std::string_view path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string_view::npos && name.substr(dot + 1) == "kvw") {
        return DocumentKind::Waveshape;
    }
    return DocumentKind::Coefficients;
}

namespace {

/**
 * The most of a settings or harmonic line that is kept, and the longest sample token:
 * every real field fits many times over; a longer one is no number anyone wrote, and
 * keeping it would let one enormous line take memory without bound.
 */
constexpr std::size_t kLongestField = 1024 * 1024;

bool isSeparator(char c)
{
    return c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

/**
 * Reads lines of any length in bounded memory and hands each to its reader by the line's
 * first character. A sample line is handed over in pieces cut between tokens, so no
 * number is ever split; other lines are kept whole up to kLongestField.
 */
class LineDispatcher {
public:
    LineDispatcher(DocumentKind kind, DocumentTarget& target) : m_kind(kind), m_target(target) {}

    void feed(std::string_view bytes)
    {
        while (!bytes.empty()) {
            const std::size_t end = bytes.find('\n');
            const std::string_view part = bytes.substr(0, end);
            if (m_atLineStart) {
                startLine(part.empty() ? (end == std::string_view::npos ? '\0' : '\n')
                                       : part.front());
            }
            append(part);
            if (end == std::string_view::npos) {
                return;
            }
            endLine();
            bytes.remove_prefix(end + 1);
        }
    }

    /** The last line of a file without a final line end. */
    void finish()
    {
        if (!m_atLineStart) {
            endLine();
        }
    }

    ReadSummary summary;

private:
    enum class Line { Settings, Ignored, Harmonic, Samples };

    void startLine(char first)
    {
        m_atLineStart = false;
        m_text.clear();
        m_skippingToken = false;
        if (first == ':') {
            m_line = Line::Settings;
        } else if (first == '!' || first == ';') {
            m_line = Line::Ignored;
        } else {
            m_line = m_kind == DocumentKind::Coefficients ? Line::Harmonic : Line::Samples;
        }
    }

    void append(std::string_view part)
    {
        switch (m_line) {
        case Line::Ignored:
            return;
        case Line::Settings:
        case Line::Harmonic:
            m_text.append(part.substr(0, kLongestField - std::min(kLongestField, m_text.size())));
            return;
        case Line::Samples:
            appendSamples(part);
            return;
        }
    }

    void appendSamples(std::string_view part)
    {
        if (m_samples.count >= m_target.sampleBuffer().size()) {
            return;  // the buffer is full: the rest of the file adds nothing
        }
        if (m_skippingToken) {
            const auto separator = std::find_if(part.begin(), part.end(), isSeparator);
            if (separator == part.end()) {
                return;
            }
            m_skippingToken = false;
            part.remove_prefix(static_cast<std::size_t>(separator - part.begin()));
        }
        m_text.append(part);
        if (m_text.size() < kReadChunk) {
            return;
        }
        // Hand over everything up to the last separator; keep the token that may go on.
        const auto last = std::find_if(m_text.rbegin(), m_text.rend(), isSeparator);
        if (last != m_text.rend()) {
            const auto cut = static_cast<std::size_t>(m_text.rend() - last);
            readSampleLine(std::string_view(m_text).substr(0, cut), m_samples,
                           m_target.sampleBuffer());
            m_text.erase(0, cut);
        }
        if (m_text.size() > kLongestField) {
            m_text.clear();
            m_skippingToken = true;
        }
    }

    void endLine()
    {
        if (!m_text.empty() && m_text.back() == '\r') {
            m_text.pop_back();
        }
        switch (m_line) {
        case Line::Settings:
            ++(applySettingsLine(m_text, m_pending, m_target) ? summary.settingsLinesApplied
                                                              : summary.settingsLinesRefused);
            break;
        case Line::Harmonic:
            readHarmonicLine(m_text, m_target.harmonics());
            break;
        case Line::Samples:
            if (!m_skippingToken) {
                readSampleLine(m_text, m_samples, m_target.sampleBuffer());
            }
            break;
        case Line::Ignored:
            break;
        }
        summary.samplesRead = m_samples.count;
        m_atLineStart = true;
    }

    DocumentKind m_kind;
    DocumentTarget& m_target;
    PendingSettings m_pending;
    SampleReader m_samples;
    Line m_line = Line::Ignored;
    std::string m_text;
    bool m_atLineStart = true;
    bool m_skippingToken = false;
};

/** Fills the front of a buffer with the next bytes of a file; 0 at its end. */
using ChunkSource = std::function<std::size_t(std::span<char>)>;

ReadSummary readChunks(const ChunkSource& next, DocumentKind kind, DocumentTarget& target)
{
    LineDispatcher dispatcher(kind, target);
    std::string chunk(kReadChunk, '\0');
    for (std::size_t got; (got = next(chunk)) > 0;) {
        dispatcher.feed(std::string_view(chunk).substr(0, got));
    }
    dispatcher.finish();
    return dispatcher.summary;
}

/** loadDocument around any reader loop. */
ReadSummary loadWith(const std::function<ReadSummary()>& readAll, DocumentKind kind,
                     DocumentTarget& target)
{
    target.harmonics().clearHarmonics();
    target.sampleBuffer().fill(0.0);
    ReadSummary summary;
    {
        // Entries go in by appending and one sort: a file of descending numbers would
        // otherwise cost a quadratic number of moves.
        const HarmonicTable::BulkLoad bulk(target.harmonics());
        summary = readAll();
        if (kind == DocumentKind::Waveshape) {
            analyzeWaveshape(target);
        }
    }
    finishLoading(target);
    return summary;
}

}  // namespace

ReadSummary readDocumentLines(std::istream& in, DocumentKind kind, DocumentTarget& target)
{
    LineDispatcher dispatcher(kind, target);
    const ReadEnd end =
        readStreamChunks(in, [&dispatcher](std::string_view bytes) { dispatcher.feed(bytes); });
    dispatcher.finish();
    dispatcher.summary.failure = end.failure();
    return dispatcher.summary;
}

ReadSummary loadDocument(std::istream& in, DocumentKind kind, DocumentTarget& target)
{
    return loadWith([&] { return readDocumentLines(in, kind, target); }, kind, target);
}

void finishLoading(DocumentTarget& target)
{
    HarmonicTable& table = target.harmonics();
    table.setLastAddedNumber(1.0F);
    if (table.count() > 0) {
        table.makeCurrent(0);
    } else {
        table.selectRow(-1);
    }
}

std::string typedDocumentPath(const std::string& typed)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path path(typed);
    if (fs::symlink_status(path, error).type() != fs::file_type::not_found ||
        path.filename().string().find('.') != std::string::npos) {
        return typed;
    }
    return typed + ".kvk";
}

OpenedDocument openDocumentFile(const std::string& path)
{
    OpenedDocument document;
    document.kind = documentKindFor(path);
    InputFile::Opening opening = InputFile::open(path);
    document.file = std::move(opening.file);
    document.error = std::move(opening.error);
    return document;
}

ReadSummary loadDocument(InputFile& file, DocumentKind kind, DocumentTarget& target)
{
    const auto readAll = [&] {
        ReadSummary summary =
            readChunks([&file](std::span<char> buffer) { return file.read(buffer); }, kind, target);
        summary.failure = file.end().failure();
        return summary;
    };
    return loadWith(readAll, kind, target);
}
