#include "CliApp.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <iostream>

#include "CliOptions.h"
#include "Commands.h"
#include "ExitStatus.h"
#include "FileNames.h"
#include "JsonText.h"
#include "MaskReport.h"
#include "Outputs.h"
#include "charts/ChartControl.h"
#include "charts/ChartPicture.h"
#include "design/Design.h"
#include "engine/ChartAxes.h"
#include "engine/Recalculate.h"
#include "files/CoefficientFile.h"
#include "files/DocumentReader.h"
#include "files/DocumentWriter.h"
#include "files/InstrumentExport.h"
#include "files/MaskFile.h"
#include "files/SameFile.h"
#include "numbers/NumberText.h"

namespace {

/** Byte for byte (a reason may quote a name that is not UTF-8). */
QString asQString(const std::string& text)
{
    return argumentFromBytes(text);
}

/** The system's reason for the last failed call, as a sentence. */
QString systemReason()
{
    return QString::fromLocal8Bit(std::strerror(errno)) + u'.';
}

/**
 * A design read from a file and recalculated under the settings in force. Estimated plans:
 * one run cannot repay a measurement, and measured plans are picked by timing, so the
 * last digits of the output would change from run to run.
 */
struct LoadedDesign {
    Design design{PlanRigor::Estimate};
    QString kindName;
    int refusedSettings = 0;  ///< settings lines the reader refused

    [[nodiscard]] const RecalcResult& result() const { return design.result(); }
};

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
            error = asQString(reason);
            return false;
        }
        loaded.refusedSettings = openSamplesCsv(*csv, overrides, design);
        loaded.kindName = QStringLiteral("samples");
    } else {
        const DocumentKind kind = documentKindOf(path, request.format);
        if (standard) {
            const ReadSummary read = design.open(standardInput, kind);
            if (!read.failure.empty()) {
                error = asQString(read.failure);
                return false;
            }
            loaded.refusedSettings = read.settingsLinesRefused;
        } else {
            const LoadResult result = design.open(pathText);
            if (!result.opened) {
                error = asQString(result.error);
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

QString settingsText(const WaveSettings& s)
{
    return QStringLiteral("%1 display %2, %3 FFT %4, %5 samples per cycle, %6, %7 phase reference")
        .arg(s.displayCycles)
        .arg(s.displayCycles == 1 ? QStringLiteral("cycle") : QStringLiteral("cycles"))
        .arg(s.fftCycles)
        .arg(s.fftCycles == 1 ? QStringLiteral("cycle") : QStringLiteral("cycles"))
        .arg(asQString(formatGeneral(static_cast<double>(s.ppc))))
        .arg(s.basis == WaveBasis::Cosine ? QStringLiteral("cosine") : QStringLiteral("sine"))
        .arg(s.phaseReference == PhaseReference::Harmonic ? QStringLiteral("harmonic")
                                                          : QStringLiteral("fundamental"));
}

/** The waveform's levels and the power-quality figures, two lines. */
QString qualityLines(const RecalcResult& result)
{
    const QualityTexts texts = qualityTexts(result);
    return QStringLiteral(
               "Peak: %1%   RMS: %2%   Crest factor: %3   Form factor: %4\n"
               "THD-R: %5   THD40: %6   THD50: %7   K-factor: %8\n")
        .arg(asQString(formatFixed(result.quality.peak, 2)),
             asQString(formatFixed(result.quality.rms, 2)), asQString(texts.crest),
             asQString(texts.formFactor), asQString(texts.thdR), asQString(texts.thd40),
             asQString(texts.thd50), asQString(texts.kFactor));
}

/** How much text is gathered before it goes to the stream. */
constexpr std::size_t kOutputPiece = std::size_t{1} << 16;

void writePiece(std::string& text, QTextStream& out)
{
    out << QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size()));
    text.clear();
}

/** Appends text padded with spaces to |width|: on the right for a negative width. */
void appendPadded(std::string& line, const std::string& text, int width)
{
    const auto wanted = static_cast<std::size_t>(std::abs(width));
    const std::size_t pad = wanted - std::min(text.size(), wanted);
    if (width > 0) {
        line.append(pad, ' ');
    }
    line += text;
    if (width < 0) {
        line.append(pad, ' ');
    }
}

/** One line of the harmonic table, its heading included, in its columns. */
void appendTableLine(std::string& text, const std::string& number, const std::string& magnitude,
                     const std::string& phase)
{
    appendPadded(text, number, -10);
    text += ' ';
    appendPadded(text, magnitude, 10);
    text += ' ';
    appendPadded(text, phase, 6);
    text += '\n';
}

void printText(const QString& path, const LoadedDesign& loaded, QTextStream& out)
{
    const Design& design = loaded.design;
    const HarmonicTable& table = design.table();
    out << "File:      " << printableName(path) << " (" << loaded.kindName << ")\n";
    out << "Settings:  " << settingsText(design.active()) << "\n\n";
    // Millions of rows are formatted without a QString each.
    std::string text;
    appendTableLine(text, std::string(design.settings().numberHeading()), "Magnitude", "Phase");
    for (int row = 0; row < table.count(); ++row) {
        appendTableLine(text, table.numberText(row), table.magnitudeText(row),
                        table.phaseText(row));
        if (text.size() >= kOutputPiece) {
            writePiece(text, out);
        }
    }
    writePiece(text, out);
    out << '\n' << asQString(figuresLineText(loaded.result().texts)) << '\n';
    if (!loaded.result().resolution.empty()) {
        out << asQString(loaded.result().resolution) << '\n';
    }
    out << qualityLines(loaded.result());
}

/** A small value's compact JSON, as QJsonDocument writes it. */
QByteArray compactJson(const QJsonValue& value)
{
    const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);  // without the array's brackets
}

/**
 * The "file" member, the name as it is printed: valid JSON (which carries Unicode text only)
 * and safe on a terminal; where that is not the name itself, "fileBytes" holds its bytes.
 */
void appendFileJson(std::string& text, const QString& path)
{
    const QString shownPath = printableName(path);
    const QByteArray shown = compactJson(shownPath);
    text += "\"file\":";
    text.append(shown.constData(), static_cast<std::size_t>(shown.size()));
    if (const std::optional<QString> base64 = nameBytesBase64(path)) {
        const QByteArray bytes = compactJson(*base64);
        text += ",\"fileBytes\":";
        text.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
}

/** A table's rows as an array of {"magnitude", "number", "phase"} objects. */
template <typename Row>
void writeRowsJson(const std::vector<Row>& rows, std::string& text, QTextStream& out)
{
    text += '[';
    for (std::size_t i = 0; i < rows.size(); ++i) {
        text += i == 0 ? "{\"magnitude\":" : ",{\"magnitude\":";
        appendJsonFloat(text, rows[i].magnitude);
        text += ",\"number\":";
        appendJsonFloat(text, rows[i].number);
        text += ",\"phase\":";
        appendJsonNumber(text, rows[i].phase);
        text += '}';
        if (text.size() >= kOutputPiece) {
            writePiece(text, out);
        }
    }
    text += ']';
}

QJsonValue optionalJson(const std::optional<double>& figure)
{
    return figure ? QJsonValue(*figure) : QJsonValue(QJsonValue::Null);
}

QJsonObject figuresJson(const DistortionFigures& f)
{
    return {{QStringLiteral("total"), figureAsShown(f.total)},
            {QStringLiteral("odd"), figureAsShown(f.odd)},
            {QStringLiteral("even"), figureAsShown(f.even)},
            {QStringLiteral("dc"), figureAsShown(f.dc)},
            {QStringLiteral("inter"), figureAsShown(f.inter)}};
}

QJsonObject qualityJson(const PowerQualityFigures& m)
{
    return {{QStringLiteral("thdR"), figureAsShown(m.thdR)},
            {QStringLiteral("thd40"), figureAsShown(m.thd40)},
            {QStringLiteral("thd50"), figureAsShown(m.thd50)},
            {QStringLiteral("kFactor"), optionalJson(m.kFactor)},
            {QStringLiteral("formFactor"), optionalJson(m.formFactor)}};
}

QJsonObject settingsJson(const WaveSettings& s)
{
    return {{QStringLiteral("displayCycles"), s.displayCycles},
            {QStringLiteral("fftCycles"), s.fftCycles},
            {QStringLiteral("cosine"), s.basis == WaveBasis::Cosine},
            {QStringLiteral("harmonicReference"), s.phaseReference == PhaseReference::Harmonic},
            {QStringLiteral("harmIndex"), storedValue(s.displayMode)},
            {QStringLiteral("ppc"), shortestFloat(s.ppc)}};
}

QJsonObject waveformJson(const RecalcResult& result)
{
    const PowerQualityFigures& m = result.quality;
    return {{QStringLiteral("samples"), static_cast<int>(result.waveform.size())},
            {QStringLiteral("peak"), m.peak},
            {QStringLiteral("rms"), m.rms},
            {QStringLiteral("crestFactor"), optionalJson(m.crest)}};
}

/** Appends `,"key":` and the value's compact form. */
void appendMember(std::string& text, const char* key, const QJsonValue& value)
{
    const QByteArray json = compactJson(value);
    text.append(",\"").append(key).append("\":");
    text.append(json.constData(), static_cast<std::size_t>(json.size()));
}

/**
 * One compact JSON object on one line, keys sorted; 32-bit fields in their own shortest
 * form. Written as it goes: a document of millions of entries would take gigabytes.
 */
void printJson(const QString& path, const LoadedDesign& loaded, QTextStream& out)
{
    const RecalcResult& result = loaded.result();
    std::string text = result.analyzed ? "{\"analysed\":true" : "{\"analysed\":false";
    appendMember(text, "figures", figuresJson(result.figures));
    text += ',';
    appendFileJson(text, path);
    text += ",\"harmonics\":";
    writeRowsJson(loaded.design.table().entries(), text, out);
    appendMember(text, "kind", loaded.kindName);
    appendMember(text, "quality", qualityJson(result.quality));
    if (!result.resolution.empty()) {  // only then: other outputs stay as they were
        appendMember(text, "resolution", asQString(result.resolution));
    }
    text += ",\"rows\":";
    writeRowsJson(result.rows, text, out);
    appendMember(text, "settings", settingsJson(loaded.design.active()));
    text += ",\"spectrum\":[";
    for (std::size_t i = 0; i < result.spectrum.size(); ++i) {
        if (i > 0) {
            text += ',';
        }
        appendJsonNumber(text, result.spectrum[i]);
    }
    text += ']';
    appendMember(text, "waveform", waveformJson(result));
    text += "}\n";
    writePiece(text, out);
}

/** The bytes the output gets, chosen by its kind (not a WAV, which is written in blocks). */
std::string outputBytes(const CliRequest& request, const LoadedDesign& loaded)
{
    const Design& design = loaded.design;
    const QString outPath = outputOf(request);
    if (outputFormat(request) == QLatin1String("csv")) {
        return settingsCommentText(design.active()) + samplesCsv(loaded.result().waveform);
    }
    // Everything else as Save As would write it.
    return documentText(documentKindOf(outPath, request.format), design.active(), design.table());
}

int usageError(const QString& reason, QTextStream& err)
{
    printMessage(err, reason + QStringLiteral(" (see 'korvalin-cli --help')"));
    return kUsageError;
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

/**
 * Reads each input in turn and hands it to report (with whether it is the first reported);
 * a file that cannot be read does not stop the others. The status: 1 if any could not be
 * read, else the worst report gave.
 */
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

/** The one input of convert, spectrum and plot; none after telling why. */
std::unique_ptr<LoadedDesign> loadSingle(const CliRequest& request, const CliStreams& streams)
{
    auto design = std::make_unique<LoadedDesign>();
    if (!load(inputsOf(request).front(), request, streams.standardInput, *design, streams.err)) {
        return nullptr;
    }
    return design;
}

}  // namespace

MaskChoice requestedMask(const CliRequest& request, QTextStream& err, int& status)
{
    const std::string limits = fileNameBytes(request.limits);
    MaskChoice choice = chooseMask(limits, request.maskParameters);
    if (choice.mask) {
        // A mask file is titled by its name, which may hold any bytes.
        choice.mask->title = printableName(asQString(choice.mask->title)).toStdString();
    } else if (namesBuiltInMask(limits) || request.maskParameters != MaskParameters{}) {
        status = usageError(asQString(choice.error), err);
    } else {
        printMessage(
            err,
            QStringLiteral("cannot read mask %1: %2").arg(request.limits, asQString(choice.error)));
        status = kFileError;
    }
    return choice;
}

namespace {

/** One input's check against the mask, as text or a JSON line; 3 when it does not pass. */
int reportCheck(const CliRequest& request, const LimitMask& mask, const QString& inPath,
                const LoadedDesign& design, bool first, QTextStream& out)
{
    const MaskCheck check =
        design.design.checkAgainst(mask, request.measure, request.fundamentalHz);
    if (request.json) {
        std::string text = "{";
        appendFileJson(text, inPath);
        text += ',';
        appendMaskCheckJson(text, check);
        out << asQString(text + "}\n");
    } else {
        out << (first ? "" : "\n") << "File:      " << printableName(inPath) << " ("
            << design.kindName << ")\n"
            << asQString(checkReport(check));
    }
    return check.passed() ? kDone : kLimitExceeded;
}

/**
 * Runs write once the text stream's lines are out (they come before any bytes on standard
 * output); a lack of memory while writing is a write error, and nothing was written then:
 * saves replace only at their end.
 */
int writeGuarded(const CliRequest& request, const CliStreams& streams,
                 const std::function<int()>& write)
{
    streams.out.flush();
    try {
        return write();
    } catch (const std::bad_alloc&) {
        printMessage(streams.err, QStringLiteral("cannot write %1: %2")
                                      .arg(outputOf(request), QLatin1String(kNoMemoryToWrite)));
        return kFileError;
    }
}

/** Writes a document's bytes to OUT, unless they are more than the readers take. */
int writeDocument(const CliRequest& request, const std::string& bytes, const CliStreams& streams)
{
    const QString outPath = outputOf(request);
    if (const std::string refusal = documentSizeRefusal(bytes.size()); !refusal.empty()) {
        printMessage(streams.err,
                     QStringLiteral("cannot write %1: %2").arg(outPath, asQString(refusal)));
        return kFileError;
    }
    return writeOutput(outPath, bytes, request.force, streams.standardOutput, streams.err);
}

/** --points' waveform (laid out by OUT's extension) or --table's harmonic table to OUT. */
int writeExport(const CliRequest& request, const Design& design, QTextStream& err)
{
    const QString outPath = outputOf(request);
    if (request.waveform && !request.force) {
        if (const std::string aliased = design.aliasingRefusal(request.waveform->points);
            !aliased.empty()) {
            printMessage(err, QStringLiteral("cannot write %1: %2 --force writes it all the same.")
                                  .arg(outPath, asQString(aliased)));
            return kFileError;
        }
    }
    const SaveResult saved =
        saveOutput(fileNameBytes(outPath), request.force, [&](const std::string& path) {
            if (!request.waveform) {
                return design.exportTable(path, *request.table);
            }
            WaveformExport waveform = *request.waveform;
            waveform.layout =
                outputFormat(request) == u"txt" ? SampleLayout::Text : SampleLayout::Csv;
            return design.exportWaveform(path, waveform);
        });
    if (!saved.ok()) {
        printMessage(err,
                     QStringLiteral("cannot write %1: %2").arg(outPath, asQString(saved.error)));
        return kFileError;
    }
    return kDone;
}

/** convert's and new's output: an export, a WAV, or the design as OUT's kind says. */
int writeDesign(const CliRequest& request, const LoadedDesign& loaded, const CliStreams& streams)
{
    if (request.waveform || request.table) {
        return writeExport(request, loaded.design, streams.err);
    }
    if (outputFormat(request) == QLatin1String("wav")) {
        return writeWavOutput(request, loaded.design, outputOf(request), streams.standardOutput,
                              streams.err);
    }
    return writeDocument(request, outputBytes(request, loaded), streams);
}

/** The charts of loaded as a picture of OUT's kind; none with the status after telling why. */
std::optional<std::string> plotPicture(const CliRequest& request, const LoadedDesign& loaded,
                                       QTextStream& err, int& status)
{
    const WaveSettings& active = loaded.design.active();
    std::vector<LimitLine> limits;
    if (!request.limits.isEmpty()) {
        const MaskChoice choice = requestedMask(request, err, status);
        if (!choice.mask) {
            return std::nullopt;
        }
        limits =
            limitLines(loaded.design.checkAgainst(*choice.mask, request.measure), active.fftCycles);
    }
    const QString middle = asQString(pictureCaption(active, loaded.result().texts));
    const QString outPath = outputOf(request);
    // The picture's kind by the name chartPicture is given: "-" goes by --format.
    const QString kindName =
        outPath == kStandardStream ? QStringLiteral("-.") + request.format : outPath;
    const ChartAxes axes = chartAxesFor(active);
    QString error;
    auto picture = chartPicture(loaded.result(), axes, middle, request.width, request.height,
                                kindName, error, SpectrumScale::Linear, limits);
    if (!picture) {
        printMessage(err, QStringLiteral("cannot write %1: %2").arg(outPath, error));
        status = kFileError;
    }
    return picture;
}

/** plot's picture to OUT; pictures are not read back, so no document size applies. */
int writePlot(const CliRequest& request, const LoadedDesign& loaded, const CliStreams& streams)
{
    int status = kDone;
    const std::optional<std::string> picture = plotPicture(request, loaded, streams.err, status);
    if (!picture) {
        return status;
    }
    const QString outPath = outputOf(request);
    status = writeOutput(outPath, *picture, request.force, streams.standardOutput, streams.err);
    if (status == kDone && outPath != kStandardStream) {
        printMessage(streams.out, QStringLiteral("charts written to ") + outPath);
    }
    return status;
}

/** Carries out one command; returns the exit status. */
using CommandRunner = int (*)(const CliRequest& request, const CliStreams& streams);

/** The runner of each command the parser knows. */
CommandRunner runnerOf(const QString& command)
{
    static const std::pair<const char*, CommandRunner> kRunners[] = {
        {"show", runShow},         {"check", runCheck}, {"convert", runConvert}, {"new", runNew},
        {"spectrum", runSpectrum}, {"plot", runPlot},   {"analyse", runAnalyze}};
    for (const auto& [name, runner] : kRunners) {
        if (command == QLatin1String(name)) {
            return runner;
        }
    }
    return nullptr;
}

/** Every file the command reads, as bytes: its inputs, a mask file, a design compared with. */
std::vector<std::string> inputFileNames(const CliRequest& request)
{
    QStringList names = inputsOf(request);
    if (!namesBuiltInMask(fileNameBytes(request.limits))) {
        names << request.limits;
    }
    names << request.analyze.compare;
    std::vector<std::string> files;
    for (const QString& name : names) {
        if (!name.isEmpty() && name != kStandardStream) {
            files.push_back(fileNameBytes(name));
        }
    }
    return files;
}

int runCommand(const QStringList& arguments, const CliStreams& streams)
{
    const CliRequest request = parseCommandLine(arguments);
    if (!request.usageError.isEmpty()) {
        return usageError(request.usageError, streams.err);
    }
    if (request.help) {
        streams.out << helpText(request.command);
        return kDone;
    }
    if (request.version) {
        streams.out << "korvalin-cli " << KORVALIN_VERSION << '\n';
        return kDone;
    }
    if (const QString output = outputOf(request); !output.isEmpty() && output != kStandardStream) {
        const std::string refusal = sameFileRefusal(fileNameBytes(output), inputFileNames(request));
        if (!refusal.empty()) {
            printMessage(streams.err,
                         QStringLiteral("cannot write %1: %2").arg(output, asQString(refusal)));
            return kFileError;
        }
    }
    return runnerOf(request.command)(request, streams);
}

}  // namespace

DocumentKind documentKindOf(const QString& path, const QString& format)
{
    if (path == kStandardStream) {
        return format == QLatin1String("kvw") ? DocumentKind::Waveshape
                                              : DocumentKind::Coefficients;
    }
    return documentKindFor(fileNameBytes(path));
}

int writeOutput(const QString& path, const std::string& bytes, bool force,
                std::ostream& standardOutput, QTextStream& err)
{
    if (path == kStandardStream) {
        if (!standardOutput.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) ||
            !standardOutput.flush()) {
            printMessage(err, QStringLiteral("cannot write standard output: ") + systemReason());
            return kFileError;
        }
        return kDone;
    }
    const SaveResult saved = saveOutput(fileNameBytes(path), bytes, force);
    if (!saved.ok()) {
        printMessage(err, QStringLiteral("cannot write %1: %2").arg(path, asQString(saved.error)));
        return kFileError;
    }
    return kDone;
}

/** show: each input's settings, rows and figures. */
int runShow(const CliRequest& request, const CliStreams& streams)
{
    return forEachInput(request, streams,
                        [&](const QString& inPath, const LoadedDesign& design, bool first) {
                            if (request.json) {
                                printJson(inPath, design, streams.out);
                            } else {
                                streams.out << (first ? "" : "\n");
                                printText(inPath, design, streams.out);
                            }
                            return kDone;
                        });
}

/** check: each input against the mask; 3 when any limit is exceeded or unresolved. */
int runCheck(const CliRequest& request, const CliStreams& streams)
{
    if (request.listMasks) {
        streams.out << asQString(builtInMasksText());
        return kDone;
    }
    int status = kDone;
    const MaskChoice choice = requestedMask(request, streams.err, status);
    if (!choice.mask) {
        return status;
    }
    return forEachInput(
        request, streams, [&](const QString& inPath, const LoadedDesign& design, bool first) {
            return reportCheck(request, *choice.mask, inPath, design, first, streams.out);
        });
}

/** convert: IN written as OUT's kind says. */
int runConvert(const CliRequest& request, const CliStreams& streams)
{
    const auto loaded = loadSingle(request, streams);
    if (!loaded) {
        return kFileError;
    }
    return writeGuarded(request, streams, [&] { return writeDesign(request, *loaded, streams); });
}

/** new: a design from the options, written as convert writes it. */
int runNew(const CliRequest& request, const CliStreams& streams)
{
    auto loaded = std::make_unique<LoadedDesign>();
    QString reason;
    if (!buildNewDesign(request, loaded->design, reason)) {
        return usageError(reason, streams.err);
    }
    loaded->design.recalculate(true);
    return writeGuarded(request, streams, [&] { return writeDesign(request, *loaded, streams); });
}

/** spectrum: IN's bins as CSV. */
int runSpectrum(const CliRequest& request, const CliStreams& streams)
{
    const auto loaded = loadSingle(request, streams);
    if (!loaded) {
        return kFileError;
    }
    return writeGuarded(request, streams, [&] {
        return writeDocument(request, spectrumCsv(loaded->design), streams);
    });
}

/** plot: IN's charts as a picture. */
int runPlot(const CliRequest& request, const CliStreams& streams)
{
    const auto loaded = loadSingle(request, streams);
    if (!loaded) {
        return kFileError;
    }
    return writeGuarded(request, streams, [&] { return writePlot(request, *loaded, streams); });
}

int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    return runCli(arguments, out, err, std::cin, std::cout);
}

int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err,
           std::istream& standardInput, std::ostream& standardOutput)
{
    try {
        return runCommand(arguments, {out, err, standardInput, standardOutput});
    } catch (const std::bad_alloc&) {
        printMessage(err, QStringLiteral("not enough memory to finish"));
        return kFileError;
    }
}
