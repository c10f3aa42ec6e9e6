#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cmath>

#include "CliApp.h"
#include "CliOptions.h"
#include "Commands.h"
#include "ExitStatus.h"
#include "FileNames.h"
#include "Outputs.h"
#include "design/CaptureImport.h"
#include "design/Design.h"
#include "engine/DesignComparison.h"
#include "engine/HarmonicGroups.h"
#include "files/CaptureFile.h"
#include "files/DocumentWriter.h"
#include "numbers/NumberText.h"
#include "settings/WaveSettings.h"

namespace {

constexpr int kSecondsDecimals = 4;  // a window start to a tenth of a millisecond
constexpr int kHertzDecimals = 6;

QString fixed(double value, int decimals)
{
    // What rounds to zero shows as zero, without the sign of a tiny negative value.
    const double half = 0.5 * std::pow(10.0, -decimals);
    return QString::fromStdString(formatFixed(std::fabs(value) < half ? 0.0 : value, decimals));
}

/** One line of columns, the first left-aligned, the others right-aligned. */
QString columns(const QStringList& fields, int width = 12)
{
    QString line = fields.front().leftJustified(width - 4);
    for (qsizetype i = 1; i < fields.size(); ++i) {
        line += u' ' + fields[i].rightJustified(width);
    }
    return line.trimmed() + u'\n';
}

struct Report {
    CaptureAnalysis analysis;
    std::optional<HarmonicGroups> groups;
    std::optional<DesignComparison> comparison;
    double tolerance = kDefaultTolerance;
    bool magnitudeOnly = false;              ///< the verdict on magnitude differences alone
    double noiseFloor = kDefaultNoiseFloor;  ///< lines below it left out of compare and -o
    std::size_t skippedLines = 0;            ///< header lines of a text capture
    std::size_t beyondDesign = 0;            ///< lines the written design cannot hold

    [[nodiscard]] bool within() const
    {
        return !comparison || comparison->within(tolerance, magnitudeOnly);
    }
};

/** Why an order of the design is not compared: the window it would need. */
QString unresolvedText(const ComparedOrder& order)
{
    return order.cyclesNeeded
               ? QStringLiteral("unresolved: needs %1 cycles").arg(*order.cyclesNeeded)
               : QStringLiteral("unresolved: cannot be resolved within %1 cycles").arg(kMaxCycles);
}

void printComparison(const QString& design, const Report& report, QTextStream& out)
{
    const DesignComparison& c = *report.comparison;
    out << "\nCompared with " << printableName(design) << ":\n"
        << columns({QStringLiteral("Harmonic"), QStringLiteral("Design"), QStringLiteral("Capture"),
                    QStringLiteral("Difference"), QStringLiteral("Phase diff"),
                    QStringLiteral("Vector diff")});
    for (const ComparedOrder& o : c.orders) {
        if (!o.resolved) {
            out << columns({fixed(o.order, 2), fixed(o.design, 4)}).chopped(1) << "   "
                << unresolvedText(o) << '\n';
            continue;
        }
        out << columns({fixed(o.order, 2), fixed(o.design, 4), fixed(o.capture, 4),
                        fixed(o.magnitudeDifference, 4),
                        o.phaseDifference ? fixed(*o.phaseDifference, 2) : QStringLiteral("-"),
                        fixed(o.vectorDifference, 4)});
    }
    out << "Largest difference: " << fixed(c.largestMagnitude, 4) << " percentage points, "
        << fixed(c.largestPhase, 2) << " degrees, vector " << fixed(c.largestVector, 4)
        << " percentage points\n"
        << (report.within() ? "Within" : "Beyond") << " the tolerance of "
        << QString::fromStdString(formatCompact(report.tolerance, 6)) << " percentage points"
        << (report.magnitudeOnly ? " (magnitudes only)" : "");
    if (c.unresolved > 0) {
        out << ": " << c.unresolved << (c.unresolved == 1 ? " order" : " orders")
            << " of the design unresolved";
    }
    out << '\n';
}

void printText(const QString& capture, const Report& report, const AnalyzeOptions& options,
               QTextStream& out)
{
    const CaptureAnalysis& a = report.analysis;
    out << "Capture:     " << printableName(capture) << '\n';
    if (report.skippedLines > 0) {
        out << "Skipped " << report.skippedLines
            << (report.skippedLines == 1 ? " header line\n" : " header lines\n");
    }
    if (a.estimated) {
        out << "Nominal:     "
            << (a.nominal ? QString::fromStdString(formatCompact(*a.nominal, kHertzDecimals)) +
                                QStringLiteral(" Hz")
                          : QStringLiteral("none, the strongest line"))
            << '\n';
    }
    out << "Fundamental: " << fixed(a.fundamental, 6) << " Hz"
        << (a.estimated ? " (estimated)" : "") << '\n';
    if (const std::optional<CaptureLine> stronger = a.strongerLine()) {
        out << "Warning:     the line of order " << fixed(stronger->order, 2) << " is "
            << fixed(stronger->magnitude, 4) << " % of the fundamental\n";
    }
    const double rate = a.rate;
    out << "Window:      " << a.cycles << " cycles from " << fixed(a.windowStart, kSecondsDecimals)
        << " s at " << fixed(rate / a.fundamental, 2) << " points per cycle ("
        << fixed(rate, rate == std::floor(rate) ? 0 : 3) << " Hz), resampled to "
        << a.pointsPerCycle << " points per cycle\n";
    out << "Band:        below order " << fixed(a.bandOrder, 2) << " ("
        << QString::fromStdString(formatCompact(a.bandOrder * a.fundamental, 3))
        << " Hz): the figures count orders up to " << a.ordersInBand() << "; from order "
        << fixed(a.flatOrder, 2) << " lines are near the band edge\n\n";
    out << columns(
        {QStringLiteral("Harmonic"), QStringLiteral("Magnitude"), QStringLiteral("Phase")});
    for (const CaptureLine& line : a.lines) {
        QString row =
            columns({fixed(line.order, 2), fixed(line.magnitude, 4), fixed(line.phase, 2)});
        if (a.nearBandEdge(line)) {
            row.insert(row.size() - 1, QStringLiteral("   near the band edge"));
        }
        out << row;
    }
    const FigureTexts& t = a.result.texts;
    const QualityTexts quality = qualityTexts(a.result);
    out << '\n' << QString::fromStdString(figuresLineText(t)) << '\n';
    out << "Crest factor: " << QString::fromStdString(quality.crest)
        << "   Form factor: " << QString::fromStdString(quality.formFactor)
        << "\nTHD-R: " << QString::fromStdString(quality.thdR)
        << "   THD40: " << QString::fromStdString(quality.thd40)
        << "   THD50: " << QString::fromStdString(quality.thd50)
        << "   K-factor: " << QString::fromStdString(quality.kFactor) << '\n';
    if (report.groups) {
        out << '\n'
            << columns({QStringLiteral("Order"), QStringLiteral("Subgroup"),
                        QStringLiteral("Group"), QStringLiteral("Interharmonic")},
                       14);
        for (const HarmonicGroup& g : report.groups->orders) {
            out << columns({QString::number(g.order), fixed(g.subgroup, 4), fixed(g.group, 4),
                            fixed(g.interharmonic, 4)},
                           14);
        }
        out << "THDS: " << fixed(report.groups->thds, 4) << "%\n";
    }
    if (report.comparison) {
        printComparison(options.compare, report, out);
    }
}

QJsonValue optionalJson(const std::optional<double>& value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonObject orderJson(const ComparedOrder& o)
{
    if (!o.resolved) {
        return {{QStringLiteral("order"), o.order},
                {QStringLiteral("design"), o.design},
                {QStringLiteral("resolved"), false},
                {QStringLiteral("cyclesNeeded"),
                 o.cyclesNeeded ? QJsonValue(*o.cyclesNeeded) : QJsonValue(QJsonValue::Null)}};
    }
    return {{QStringLiteral("order"), o.order},
            {QStringLiteral("design"), o.design},
            {QStringLiteral("capture"), o.capture},
            {QStringLiteral("difference"), o.magnitudeDifference},
            {QStringLiteral("phaseDifference"), optionalJson(o.phaseDifference)},
            {QStringLiteral("vectorDifference"), o.vectorDifference},
            {QStringLiteral("resolved"), true}};
}

QJsonObject comparisonJson(const Report& report)
{
    const DesignComparison& c = *report.comparison;
    QJsonArray orders;
    for (const ComparedOrder& o : c.orders) {
        orders.append(orderJson(o));
    }
    return {{QStringLiteral("orders"), orders},
            {QStringLiteral("largestDifference"), c.largestMagnitude},
            {QStringLiteral("largestPhaseDifference"), c.largestPhase},
            {QStringLiteral("largestVectorDifference"), c.largestVector},
            {QStringLiteral("unresolved"), static_cast<qint64>(c.unresolved)},
            {QStringLiteral("tolerance"), report.tolerance},
            {QStringLiteral("magnitudeOnly"), report.magnitudeOnly},
            {QStringLiteral("within"), report.within()}};
}

QJsonObject jsonOf(const QString& capture, const Report& report)
{
    const CaptureAnalysis& a = report.analysis;
    QJsonArray lines;
    for (const CaptureLine& line : a.lines) {
        lines.append(QJsonObject{{QStringLiteral("order"), line.order},
                                 {QStringLiteral("magnitude"), line.magnitude},
                                 {QStringLiteral("phase"), line.phase},
                                 {QStringLiteral("nearBandEdge"), a.nearBandEdge(line)}});
    }
    const DistortionFigures& f = a.result.figures;
    const PowerQualityFigures& m = a.result.quality;
    QJsonObject json{
        {QStringLiteral("file"), printableName(capture)},
        {QStringLiteral("fundamental"), a.fundamental},
        {QStringLiteral("estimated"), a.estimated},
        {QStringLiteral("rate"), a.rate},
        {QStringLiteral("cycles"), a.cycles},
        {QStringLiteral("windowStart"), a.windowStart},
        {QStringLiteral("nominal"), optionalJson(a.nominal)},
        {QStringLiteral("pointsPerCycle"), a.pointsPerCycle},
        {QStringLiteral("band"), QJsonObject{{QStringLiteral("order"), a.bandOrder},
                                             {QStringLiteral("flatToOrder"), a.flatOrder},
                                             {QStringLiteral("wholeOrders"), a.ordersInBand()}}},
        {QStringLiteral("skippedLines"), static_cast<qint64>(report.skippedLines)},
        {QStringLiteral("lines"), lines},
        {QStringLiteral("figures"), QJsonObject{{QStringLiteral("total"), figureAsShown(f.total)},
                                                {QStringLiteral("odd"), figureAsShown(f.odd)},
                                                {QStringLiteral("even"), figureAsShown(f.even)},
                                                {QStringLiteral("dc"), figureAsShown(f.dc)},
                                                {QStringLiteral("inter"), figureAsShown(f.inter)}}},
        {QStringLiteral("quality"),
         QJsonObject{{QStringLiteral("thdR"), figureAsShown(m.thdR)},
                     {QStringLiteral("thd40"), figureAsShown(m.thd40)},
                     {QStringLiteral("thd50"), figureAsShown(m.thd50)},
                     {QStringLiteral("kFactor"), optionalJson(m.kFactor)},
                     {QStringLiteral("crest"), optionalJson(m.crest)},
                     {QStringLiteral("formFactor"), optionalJson(m.formFactor)}}}};
    if (const std::optional<QString> bytes = nameBytesBase64(capture)) {
        json.insert(QStringLiteral("fileBytes"), *bytes);
    }
    if (const std::optional<CaptureLine> stronger = a.strongerLine()) {
        json.insert(QStringLiteral("strongerLine"),
                    QJsonObject{{QStringLiteral("order"), stronger->order},
                                {QStringLiteral("magnitude"), stronger->magnitude}});
    }
    if (report.groups) {
        QJsonArray orders;
        for (const HarmonicGroup& g : report.groups->orders) {
            orders.append(QJsonObject{{QStringLiteral("order"), g.order},
                                      {QStringLiteral("subgroup"), g.subgroup},
                                      {QStringLiteral("group"), g.group},
                                      {QStringLiteral("interharmonic"), g.interharmonic}});
        }
        json.insert(QStringLiteral("groups"),
                    QJsonObject{{QStringLiteral("orders"), orders},
                                {QStringLiteral("thds"), report.groups->thds}});
    }
    if (report.comparison) {
        json.insert(QStringLiteral("compare"), comparisonJson(report));
    }
    return json;
}

/** The design to compare with, read as File > Open reads it; false with the reason. */
bool compareWith(const QString& path, Report& report, QTextStream& err)
{
    Design design(PlanRigor::Estimate);
    if (const LoadResult loaded = design.open(fileNameBytes(path)); !loaded.opened) {
        printMessage(
            err,
            QStringLiteral("cannot read %1: %2").arg(path, QString::fromStdString(loaded.error)));
        return false;
    }
    report.comparison = compareWithDesign(report.analysis, design.table().entries(),
                                          synthesisFormOf(design.active()), report.noiseFloor);
    return true;
}

/** The analysed design to -o's file (or standard output), as Save As writes it. */
bool writeDesign(const QString& capture, const CliRequest& request, Report& report,
                 const CliStreams& streams)
{
    Design design(PlanRigor::Estimate);
    report.beyondDesign =
        design.importCapture(report.analysis, fileNameBytes(capture), report.noiseFloor);
    const QString& path = request.analyze.design;
    const std::string text =
        documentText(documentKindOf(path, request.format), design.active(), design.table());
    return writeOutput(path, text, request.force, streams.standardOutput, streams.err) == kDone;
}

}  // namespace

/**
 * korvalin-cli analyse: reads the capture, analyses its window and prints the fundamental, the
 * lines, the figures (and the groups, the comparison) as text or one JSON object; writes the
 * analysed design. 1 when a file cannot be read or written or the capture not analysed, 3 when
 * a comparison finds a difference beyond the tolerance or a design order it cannot resolve.
 */
int runAnalyze(const CliRequest& request, const CliStreams& streams)
{
    if (request.analyze.allWindows) {
        return runRecording(request, streams);
    }
    const QString& capture = request.files.front();
    const AnalyzeOptions& options = request.analyze;
    const bool json = request.json;
    QTextStream& out = streams.out;
    QTextStream& err = streams.err;
    CaptureOptions reading;
    reading.rate = options.rate;
    reading.channel = options.channel;
    CaptureImport done = readAndAnalyzeCapture(fileNameBytes(capture), reading,
                                               {.fundamental = options.fundamental,
                                                .cycles = options.cycles,
                                                .start = options.start,
                                                .nominal = options.nominal,
                                                .wholeBand = options.wholeBand});
    const CaptureReading& read = done.reading;
    Outcome<CaptureAnalysis>& analyzed = done.analysis;
    if (!read.error.empty()) {
        printMessage(err, QStringLiteral("cannot read %1: %2")
                              .arg(capture, QString::fromStdString(read.error) +
                                                (read.needsRate ? QStringLiteral(" Give --rate.")
                                                                : QString())));
        return kFileError;
    }
    if (!analyzed.ok()) {
        printMessage(err, QStringLiteral("cannot analyse %1: %2")
                              .arg(capture, QString::fromStdString(analyzed.error)));
        return kFileError;
    }
    Report report;
    report.analysis = std::move(*analyzed.value);
    report.tolerance = options.tolerance.value_or(kDefaultTolerance);
    report.magnitudeOnly = options.magnitudeOnly;
    report.noiseFloor = options.floor.value_or(kDefaultNoiseFloor);
    report.skippedLines = read.skippedLines;
    if (options.groups) {
        Outcome<HarmonicGroups> groups =
            harmonicGroups(report.analysis.bins, report.analysis.cycles);
        if (!groups.ok()) {
            printMessage(err, QStringLiteral("cannot group %1: %2")
                                  .arg(capture, QString::fromStdString(groups.error)));
            return kFileError;
        }
        report.groups = std::move(groups.value);
    }
    if (!options.compare.isEmpty() && !compareWith(options.compare, report, err)) {
        return kFileError;
    }
    if (!options.design.isEmpty() && !writeDesign(capture, request, report, streams)) {
        return kFileError;
    }
    if (json) {
        out << QJsonDocument(jsonOf(capture, report)).toJson(QJsonDocument::Compact) << '\n';
    } else if (options.design != kStandardStream) {  // standard output carries the design then
        printText(capture, report, options, out);
        if (!options.design.isEmpty()) {
            out << "\nDesign written to " << printableName(options.design);
            if (report.beyondDesign > 0) {
                out << " (" << report.beyondDesign
                    << " lines above what its points per cycle hold left out)";
            }
            out << '\n';
        }
    }
    return report.within() ? kDone : kLimitExceeded;
}
