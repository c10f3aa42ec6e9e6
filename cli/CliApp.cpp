#include "CliApp.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "ChartPicture.h"
#include "CliOptions.h"
#include "Outputs.h"
#include "engine/NumberText.h"
#include "engine/Recalculate.h"
#include "engine/Workspace.h"
#include "files/DocumentReader.h"
#include "files/DocumentWriter.h"
#include "files/WaveshapeFile.h"

namespace {

constexpr int kDone = 0;
constexpr int kFileError = 1;
constexpr int kUsageError = 2;

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

/**
 * A design read from a file and recalculated under the settings in force. Estimated plans:
 * one run cannot repay a measurement, and measured plans are picked by timing, so the
 * last digits of the output would change from run to run.
 */
struct Design {
    Workspace workspace{PlanRigor::Estimate};
    RecalcResult result;
    QString kindName;
};

bool isCsv(const QString& path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
}

/** Reads path as File > Open does (or a samples CSV); false with the reason in error. */
bool readDesign(const QString& path, const SettingOverrides& overrides, Design& design,
                QString& error)
{
    Workspace& ws = design.workspace;
    // Files without settings lines, and CSV samples, are read under the options too.
    overrides.applyTo(ws.settings.activeSettings);
    ws.UpdateSlotsPerHarmonic();
    const std::string pathText = path.toStdString();
    if (isCsv(path)) {
        std::ifstream in(pathText, std::ios::binary);
        if (!in || QFileInfo(path).isDir()) {
            error = QString::fromLocal8Bit(std::strerror(in ? EISDIR : errno));
            return false;
        }
        std::ostringstream text;
        text << in.rdbuf();
        ws.table.ClearHarmonics();
        ws.samples.fill(0.0);
        readSamplesCsv(text.str(), ws);
        AnalyseWaveshape(ws);
        FinishLoading(ws);
        design.kindName = QStringLiteral("samples");
    } else {
        const LoadResult loaded = LoadDocumentFile(pathText, ws);
        if (!loaded.opened) {
            error = q(loaded.error);
            return false;
        }
        design.kindName = documentKindFor(pathText) == DocumentKind::Waveshape
                              ? QStringLiteral("waveshape")
                              : QStringLiteral("coefficients");
    }
    overrides.applyTo(ws.settings.activeSettings);
    ws.UpdateSlotsPerHarmonic();
    ws.planSlot.DiscardAnalysisPlan();
    Recalculate(ws, true, design.result);
    return true;
}

struct WaveformMeasures {
    double peak = 0.0;
    double rms = 0.0;
    std::optional<double> crest;
};

/** Peak, RMS and crest factor of the displayed samples. */
WaveformMeasures measure(const std::vector<double>& samples)
{
    WaveformMeasures m;
    double squares = 0.0;
    for (const double x : samples) {
        m.peak = std::max(m.peak, std::fabs(x));
        squares += x * x;
    }
    m.rms = samples.empty() ? 0.0 : std::sqrt(squares / static_cast<double>(samples.size()));
    if (m.rms > 0.0) {
        m.crest = m.peak / m.rms;
    }
    return m;
}

QString settingsText(const WaveSettings& s)
{
    return QStringLiteral("%1 display %2, %3 FFT %4, %5 samples per cycle, %6, %7 phase reference")
        .arg(s.displayCycles)
        .arg(s.displayCycles == 1 ? QStringLiteral("cycle") : QStringLiteral("cycles"))
        .arg(s.fftCycles)
        .arg(s.fftCycles == 1 ? QStringLiteral("cycle") : QStringLiteral("cycles"))
        .arg(q(formatGeneral(static_cast<double>(s.ppc))))
        .arg(s.cosine != 0 ? QStringLiteral("cosine") : QStringLiteral("sine"))
        .arg(s.phaseReference != 0 ? QStringLiteral("harmonic") : QStringLiteral("fundamental"));
}

QString figuresLine(const FigureTexts& t)
{
    return QStringLiteral("Total: %1   Odd: %2   Even: %3   DC: %4   Inter: %5")
        .arg(q(t.total), q(t.odd), q(t.even), q(t.dc), q(t.inter));
}

void printText(const QString& path, const Design& design, QTextStream& out)
{
    const Workspace& ws = design.workspace;
    const HarmonicTable& table = ws.table;
    out << "File:      " << path << " (" << design.kindName << ")\n";
    out << "Settings:  " << settingsText(ws.settings.activeSettings) << "\n\n";
    out << QStringLiteral("%1 %2 %3\n")
               .arg(q(std::string(ws.settings.numberHeading())), -10)
               .arg(QStringLiteral("Magnitude"), 10)
               .arg(QStringLiteral("Phase"), 6);
    for (int row = 0; row < table.count(); ++row) {
        out << QStringLiteral("%1 %2 %3\n")
                   .arg(q(table.numberText(row)), -10)
                   .arg(q(table.magnitudeText(row)), 10)
                   .arg(q(table.phaseText(row)), 6);
    }
    out << '\n' << figuresLine(design.result.texts) << '\n';
    const WaveformMeasures m = measure(design.result.waveform);
    out << "Peak: " << q(formatFixed(m.peak, 2)) << " %   RMS: " << q(formatFixed(m.rms, 2))
        << " %   Crest factor: " << (m.crest ? q(formatFixed(*m.crest, 3)) : QStringLiteral("-"))
        << '\n';
}

void printJson(const QString& path, const Design& design, QTextStream& out)
{
    const Workspace& ws = design.workspace;
    const WaveSettings& s = ws.settings.activeSettings;
    QJsonArray harmonics;
    for (const HarmonicEntry& e : ws.table.entries()) {
        harmonics.append(
            QJsonObject{{QStringLiteral("number"), static_cast<double>(e.number)},
                        {QStringLiteral("magnitude"), static_cast<double>(e.magnitude)},
                        {QStringLiteral("phase"), e.phase}});
    }
    const DistortionFigures& f = design.result.figures;
    const WaveformMeasures m = measure(design.result.waveform);
    const QJsonObject root{
        {QStringLiteral("file"), path},
        {QStringLiteral("kind"), design.kindName},
        {QStringLiteral("settings"),
         QJsonObject{{QStringLiteral("displayCycles"), s.displayCycles},
                     {QStringLiteral("fftCycles"), s.fftCycles},
                     {QStringLiteral("cosine"), s.cosine != 0},
                     {QStringLiteral("harmonicReference"), s.phaseReference != 0},
                     {QStringLiteral("harmIndex"), s.harmIndex},
                     {QStringLiteral("ppc"), static_cast<double>(s.ppc)}}},
        {QStringLiteral("harmonics"), harmonics},
        {QStringLiteral("analysed"), design.result.analysed},
        {QStringLiteral("figures"), QJsonObject{{QStringLiteral("total"), f.total},
                                                {QStringLiteral("odd"), f.odd},
                                                {QStringLiteral("even"), f.even},
                                                {QStringLiteral("dc"), f.dc},
                                                {QStringLiteral("inter"), f.inter}}},
        {QStringLiteral("waveform"),
         QJsonObject{{QStringLiteral("samples"), static_cast<int>(design.result.waveform.size())},
                     {QStringLiteral("peak"), m.peak},
                     {QStringLiteral("rms"), m.rms},
                     {QStringLiteral("crestFactor"),
                      m.crest ? QJsonValue(*m.crest) : QJsonValue(QJsonValue::Null)}}},
    };
    out << QJsonDocument(root).toJson(QJsonDocument::Indented);
}

/** The bytes OUT gets, chosen by its extension; none with the reason in error. */
std::optional<std::string> outputBytes(const CliRequest& request, const Design& design,
                                       const QString& outPath, QString& error)
{
    const QString suffix = QFileInfo(outPath).suffix();
    const Workspace& ws = design.workspace;
    if (suffix.compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0) {
        return samplesCsv(design.result.waveform);
    }
    if (suffix.compare(QLatin1String("wav"), Qt::CaseInsensitive) == 0) {
        const double rate =
            static_cast<double>(ws.settings.activeSettings.ppc) * request.fundamentalHz;
        std::string reason;
        auto bytes = wavBytes(design.result.waveform, static_cast<int>(std::lround(rate)), reason);
        if (!bytes) {
            error = q(reason);
        }
        return bytes;
    }
    // Everything else as Save As would write it: "kvw" exactly makes a waveshape.
    return DocumentText(documentKindFor(outPath.toStdString()), ws.settings.activeSettings,
                        ws.table);
}

int writeOutput(const QString& path, const std::string& bytes, QTextStream& err)
{
    const SaveResult saved = SaveFileAtomically(path.toStdString(), bytes);
    if (!saved.ok()) {
        err << "korvalin-cli: cannot write " << path << ": " << q(saved.error) << '\n';
        return kFileError;
    }
    return kDone;
}

}  // namespace

int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const CliRequest request = parseCommandLine(arguments);
    if (!request.usageError.isEmpty()) {
        err << "korvalin-cli: " << request.usageError << " (see 'korvalin-cli --help')\n";
        return kUsageError;
    }
    if (request.help) {
        out << helpText(request.command);
        return kDone;
    }
    if (request.version) {
        out << "korvalin-cli " << KORVALIN_VERSION << '\n';
        return kDone;
    }

    const QString& inPath = request.files.front();
    auto design = std::make_unique<Design>();
    QString error;
    if (!readDesign(inPath, request.overrides, *design, error)) {
        err << "korvalin-cli: cannot open " << inPath << ": " << error << '\n';
        return kFileError;
    }
    if (design->workspace.table.count() == 0) {
        err << "korvalin-cli: " << inPath << ": no valid content; the table is empty\n";
    }

    if (request.command == QLatin1String("show")) {
        if (request.json) {
            printJson(inPath, *design, out);
        } else {
            printText(inPath, *design, out);
        }
        return kDone;
    }
    const QString& outPath = request.files.at(1);
    std::optional<std::string> bytes;
    if (request.command == QLatin1String("plot")) {
        const CycleLabels labels =
            UpdateCycleLabels(design->workspace.settings.activeSettings.displayCycles,
                              design->workspace.settings.activeSettings.fftCycles,
                              design->workspace.settings.activeSettings.ppc);
        const QString middle =
            QStringLiteral("Waveform: %1     FFT Window: %2     %3")
                .arg(q(labels.display), q(labels.fft), figuresLine(design->result.texts));
        bytes = chartPicture(design->result, middle, request.width, request.height, outPath, error);
    } else {
        bytes = outputBytes(request, *design, outPath, error);
    }
    if (!bytes) {
        err << "korvalin-cli: cannot write " << outPath << ": " << error << '\n';
        return kFileError;
    }
    const int status = writeOutput(outPath, *bytes, err);
    if (status == kDone && request.command == QLatin1String("plot")) {
        out << "korvalin-cli: charts written to " << outPath << '\n';
    }
    return status;
}
