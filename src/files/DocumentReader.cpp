#include "files/DocumentReader.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>

#include "engine/Workspace.h"
#include "files/CoefficientFile.h"
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

ReadSummary ReadDocumentLines(std::istream& in, DocumentKind kind, Workspace& workspace)
{
    ReadSummary summary;
    PendingSettings pending;
    SampleReader samples;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const char first = line.empty() ? '\0' : line.front();
        if (first == ':') {
            if (ApplySettingsLine(line, pending, workspace)) {
                ++summary.settingsLinesApplied;
            }
        } else if (first == '!' || first == ';') {
            continue;
        } else if (kind == DocumentKind::Coefficients) {
            ReadHarmonicLine(line, workspace.table);
        } else {
            ReadSampleLine(line, samples, workspace.samples);
        }
    }
    summary.readError = in.bad();
    summary.samplesRead = samples.count;
    return summary;
}

ReadSummary LoadDocument(std::istream& in, DocumentKind kind, Workspace& workspace)
{
    workspace.table.ClearHarmonics();
    workspace.samples.fill(0.0);
    const ReadSummary summary = ReadDocumentLines(in, kind, workspace);
    if (kind == DocumentKind::Waveshape) {
        AnalyseWaveshape(workspace);
    }
    FinishLoading(workspace);
    return summary;
}

void FinishLoading(Workspace& workspace)
{
    HarmonicTable& table = workspace.table;
    table.setLastAddedNumber(1.0F);
    if (table.count() > 0) {
        const HarmonicEntry first = table.entry(0);
        table.selectRow(0);
        table.setSelectedNumber(first.number);
        table.UpdateHarmonic(first.number, first.magnitude, first.phase);
    } else {
        table.selectRow(-1);
    }
}

LoadResult LoadDocumentFile(const std::string& path, Workspace& workspace)
{
    LoadResult result;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        result.error = std::strerror(EISDIR);
        return result;
    }
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.error = std::strerror(errno != 0 ? errno : ENOENT);
        return result;
    }
    result.opened = true;
    result.summary = LoadDocument(in, documentKindFor(path), workspace);
    return result;
}
