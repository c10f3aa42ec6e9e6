#include "DesignReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cmath>

#include "DesignInput.h"
#include "FileNames.h"
#include "JsonText.h"
#include "engine/Recalculate.h"
#include "files/DocumentWriter.h"
#include "numbers/NumberText.h"

namespace {

/** The waveform's levels and the power-quality figures, two lines. */
QString qualityLines(const RecalcResult& result)
{
    const QualityTexts texts = qualityTexts(result);
    return QStringLiteral(
               "Peak: %1%   RMS: %2%   Crest factor: %3   Form factor: %4\n"
               "THD-R: %5   THD40: %6   THD50: %7   K-factor: %8\n")
        .arg(argumentFromBytes(formatFixed(result.quality.peak, 2)),
             argumentFromBytes(formatFixed(result.quality.rms, 2)), argumentFromBytes(texts.crest),
             argumentFromBytes(texts.formFactor), argumentFromBytes(texts.thdR),
             argumentFromBytes(texts.thd40), argumentFromBytes(texts.thd50),
             argumentFromBytes(texts.kFactor));
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

/** A small value's compact JSON, as QJsonDocument writes it. */
QByteArray compactJson(const QJsonValue& value)
{
    const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);  // without the array's brackets
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

}  // namespace

QString settingsText(const WaveSettings& s)
{
    return QStringLiteral("%1 display %2, %3 FFT %4, %5 samples per cycle, %6, %7 phase reference")
        .arg(s.displayCycles)
        .arg(s.displayCycles == 1 ? QStringLiteral("cycle") : QStringLiteral("cycles"))
        .arg(s.fftCycles)
        .arg(s.fftCycles == 1 ? QStringLiteral("cycle") : QStringLiteral("cycles"))
        .arg(argumentFromBytes(formatGeneral(static_cast<double>(s.ppc))))
        .arg(s.basis == WaveBasis::Cosine ? QStringLiteral("cosine") : QStringLiteral("sine"))
        .arg(s.phaseReference == PhaseReference::Harmonic ? QStringLiteral("harmonic")
                                                          : QStringLiteral("fundamental"));
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
    out << '\n' << argumentFromBytes(figuresLineText(loaded.result().texts)) << '\n';
    if (!loaded.result().resolution.empty()) {
        out << argumentFromBytes(loaded.result().resolution) << '\n';
    }
    out << qualityLines(loaded.result());
}

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
        appendMember(text, "resolution", argumentFromBytes(result.resolution));
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
