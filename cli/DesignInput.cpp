#include "DesignInput.h"

#include <QFileInfo>
#include <QTextStream>

#include <istream>
#include <sstream>

#include "CliApp.h"
#include "CliOptions.h"
#include "DesignReport.h"
#include "ExitStatus.h"
#include "FileNames.h"
#include "Outputs.h"
#include "files/InputFile.h"

namespace {

/** Reads the whole stream into text, up to the input cap; false with the reason in error. */
bool readStream(std::istream& in, std::string& text, std::string& error)
{
    error = readStreamChunks(in, [&text](std::string_view bytes) { text.append(bytes); }).failure();
    return error.empty();
}

bool isCsv(const QString& path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
}

/** The active settings with the command line's overrides on them. */
WaveSettings overridden(const Design& design, const SettingOverrides& overrides)
{
    WaveSettings settings = design.active();
    overrides.applyTo(settings);
    return settings;
}

/**
 * Analyses the samples of a CSV, under the settings its first line carries (if any); returns
 * how many settings lines were refused.
 */
int openSamplesCsv(const SamplesCsv& csv, const SettingOverrides& overrides, Design& design)
{
    int refused = 0;
    if (const auto& line = csv.settingsLine()) {
        std::istringstream settings(*line);
        // The line alone: settings only.
        refused = design.open(settings, DocumentKind::Coefficients).settingsLinesRefused;
        design.setActive(overridden(design, overrides));
    }
    design.openSamples([&csv](FftBuffer& samples) { return csv.fill(samples); });
    return refused;
}

/** The samples CSV at path, or ("-") on standard input; none with the reason in error. */
std::optional<SamplesCsv> readSamplesCsv(const std::string& path, bool standard,
                                         std::istream& standardInput, std::string& error)
{
    if (!standard) {
        return readSamplesCsvFile(path, error);
    }
    std::string text;
    if (!readStream(standardInput, text, error)) {
        return std::nullopt;
    }
    return samplesCsvOfText(text);
}

/**
 * Reads path ("-": standard input, as --format says) as File > Open does, or a samples
 * CSV; false with the reason in error.
 */
bool readDesign(const QString& path, const CliRequest& request, std::istream& standardInput,
                LoadedDesign& loaded, QString& error)
{
    const SettingOverrides& overrides = request.overrides;
    Design& design = loaded.design;
    // Files without settings lines, and CSV samples, are read under the options too.
    design.setActive(overridden(design, overrides));
    const std::string pathText = fileNameBytes(path);
    const bool standard = path == kStandardStream;
    if (standard ? request.format == QLatin1String("csv") : isCsv(path)) {
        std::string reason;
        const std::optional<SamplesCsv> csv =
            readSamplesCsv(pathText, standard, standardInput, reason);
        if (!csv) {
            error = argumentFromBytes(reason);
            return false;
        }
        loaded.refusedSettings = openSamplesCsv(*csv, overrides, design);
        loaded.kindName = QStringLiteral("samples");
    } else {
        const DocumentKind kind = documentKindOf(path, request.format);
        if (standard) {
            const ReadSummary read = design.open(standardInput, kind);
            if (!read.failure.empty()) {
                error = argumentFromBytes(read.failure);
                return false;
            }
            loaded.refusedSettings = read.settingsLinesRefused;
        } else {
            const LoadResult result = design.open(pathText);
            if (!result.opened) {
                error = argumentFromBytes(result.error);
                return false;
            }
            loaded.refusedSettings = result.summary.settingsLinesRefused;
        }
        loaded.kindName = kind == DocumentKind::Waveshape ? QStringLiteral("waveshape")
                                                          : QStringLiteral("coefficients");
    }
    design.setActive(overridden(design, overrides));
    design.recalculate(true);
    return true;
}

/** Reads one input; a message and false when it cannot be read. */
bool load(const QString& inPath, const CliRequest& request, std::istream& standardInput,
          LoadedDesign& design, QTextStream& err)
{
    QString error;
    if (!readDesign(inPath, request, standardInput, design, error)) {
        printMessage(err, QStringLiteral("cannot open %1: %2").arg(inPath, error));
        return false;
    }
    if (design.refusedSettings > 0) {
        printMessage(err, inPath + QStringLiteral(": a settings line lies outside the Preferences "
                                                  "limits and was not applied; read under %1")
                                       .arg(settingsText(design.design.active())));
    }
    if (design.design.table().count() == 0) {
        printMessage(err, inPath + QStringLiteral(": no valid content; the table is empty"));
    }
    return true;
}

}  // namespace

int forEachInput(const CliRequest& request, const CliStreams& streams,
                 const std::function<int(const QString&, const LoadedDesign&, bool)>& report)
{
    int status = kDone;
    bool first = true;
    for (const QString& inPath : inputsOf(request)) {
        auto design = std::make_unique<LoadedDesign>();
        if (!load(inPath, request, streams.standardInput, *design, streams.err)) {
            status = kFileError;
            continue;
        }
        const int reported = report(inPath, *design, first);
        status = status == kDone ? reported : status;
        streams.out
            .flush();  // each result as soon as it is known, in argument order with the errors
        first = false;
    }
    return status;
}

std::unique_ptr<LoadedDesign> loadSingle(const CliRequest& request, const CliStreams& streams)
{
    auto design = std::make_unique<LoadedDesign>();
    if (!load(inputsOf(request).front(), request, streams.standardInput, *design, streams.err)) {
        return nullptr;
    }
    return design;
}
