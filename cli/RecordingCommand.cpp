#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cmath>
#include <csignal>
#include <functional>
#include <ostream>
#include <string_view>

#include "CliApp.h"
#include "CliOptions.h"
#include "Commands.h"
#include "ExitStatus.h"
#include "FileNames.h"
#include "LongJob.h"
#include "Outputs.h"
#include "PictureDrawing.h"
#include "engine/LimitCheck.h"
#include "numbers/NumberText.h"
#include "recording/Quantities.h"
#include "recording/RecordingAnalysis.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kSecondsDecimals = 3;
constexpr int kValueDecimals = 3;
constexpr int kHertzDecimals = 3;
constexpr double kMilliseconds = 1000.0;
/** Progress steps a LongJob is told in. */
constexpr std::int64_t kProgressSteps = 1000;
/** Trend rows are written in pieces of about this many bytes. */
constexpr std::size_t kTrendFlushBytes = 1 << 16;

QString fixed(double value, int decimals)
{
    return QString::fromStdString(fixedText(value, decimals));
}

/** A time as outputs write it: seconds into the recording, or UTC clock time. */
QString timeText(double seconds, const std::optional<double>& startTime)
{
    if (!startTime) {
        return fixed(seconds, kSecondsDecimals);
    }
    const auto ms = static_cast<qint64>(std::llround((*startTime + seconds) * kMilliseconds));
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

QString quantityName(std::size_t index, int checkThdOrders)
{
    return QString::fromStdString(quantity::name(index, checkThdOrders));
}

/** Where a trend's CSV text goes; false when it could not be written. */
using TrendWriter = std::function<bool(std::string_view text)>;

/** The trend: chosen values per interval, as CSV rows written on or points for a picture. */
class TrendSink {
public:
    /** write: where the CSV goes; none for a picture's points. */
    TrendSink(const AnalyzeOptions& options, TrendWriter write)
        : m_options(options), m_write(std::move(write))
    {}

    void take(const IntervalValues& interval, int checkThdOrders)
    {
        for (const std::size_t q : m_options.trendValues) {
            if (m_write) {
                m_text += timeText(interval.start, m_options.startTime).toStdString() + ',' +
                          std::to_string(interval.channel) + ',' +
                          quantity::name(q, checkThdOrders) + ',' +
                          (interval.flagged || interval.windows == 0
                               ? std::string()
                               : formatFixed(interval.values[q], kValueDecimals)) +
                          '\n';
            } else if (!interval.flagged && interval.windows > 0) {
                addTrendPoint(
                    m_series,
                    u"channel %1 %2"_s.arg(interval.channel).arg(quantityName(q, checkThdOrders)),
                    interval.start, interval.values[q]);
            }
        }
        if (m_text.size() >= kTrendFlushBytes) {
            flush();
        }
    }

    bool flush()
    {
        m_ok = m_ok && (m_text.empty() || m_write(m_text));
        m_text.clear();
        return m_ok;
    }

    [[nodiscard]] const std::vector<TrendSeries>& series() const { return m_series; }

private:
    const AnalyzeOptions& m_options;
    TrendWriter m_write;
    std::string m_text = "time,channel,order,value\n";
    std::vector<TrendSeries> m_series;
    bool m_ok = true;
};

/** One JSON object of an interval: its times, flags and every value. */
QJsonObject intervalJson(const IntervalValues& interval, const RecordingAnalysis& analysis)
{
    QJsonObject object{
        {u"channel"_s, interval.channel},
        {u"aggregation"_s, QString::fromLatin1(aggregationName(interval.aggregation))},
        {u"start"_s, interval.start},
        {u"end"_s, interval.end},
        {u"windows"_s, static_cast<qint64>(interval.windows)},
        {u"flagged"_s, interval.flagged},
        {u"partial"_s, interval.partial}};
    if (analysis.startTime) {
        object.insert(u"startTime"_s, timeText(interval.start, analysis.startTime));
    }
    for (std::size_t q = 0; q < quantity::kCount; ++q) {
        if (quantity::isReported(q, analysis.checkThdOrders)) {
            object.insert(quantityName(q, analysis.checkThdOrders), interval.values[q]);
        }
    }
    return object;
}

QString intervalCsvHeader(int checkThdOrders)
{
    QString line = u"start,end,channel,windows,flagged,partial"_s;
    for (std::size_t q = 0; q < quantity::kCount; ++q) {
        if (quantity::isReported(q, checkThdOrders)) {
            line += u',' + quantityName(q, checkThdOrders);
        }
    }
    return line + u'\n';
}

QString intervalCsv(const IntervalValues& interval, const std::optional<double>& startTime,
                    int checkThdOrders)
{
    QString line = timeText(interval.start, startTime) + u',' + timeText(interval.end, startTime) +
                   u',' + QString::number(interval.channel) + u',' +
                   QString::number(interval.windows) + u',' + (interval.flagged ? u"1"_s : u"0"_s) +
                   u',' + (interval.partial ? u"1"_s : u"0"_s);
    for (std::size_t q = 0; q < quantity::kCount; ++q) {
        if (quantity::isReported(q, checkThdOrders)) {
            line += u',' + fixed(interval.values[q], kValueDecimals);
        }
    }
    return line + u'\n';
}

QJsonObject verdictJson(const RuleVerdict& verdict)
{
    QJsonArray exceeded;
    for (const OrderCheck& order : verdict.worst.orders) {
        if (order.status != LimitStatus::Pass) {
            exceeded.append(
                QJsonObject{{u"order"_s, order.order},
                            {u"level"_s, order.level},
                            {u"limit"_s, order.limit},
                            {u"status"_s, QString::fromLatin1(statusName(order.status))}});
        }
    }
    QJsonObject object{
        {u"rule"_s, QString::fromStdString(ruleText(verdict.rule))},
        {u"statistic"_s, QString::fromLatin1(statisticName(verdict.rule.statistic))},
        {u"aggregation"_s, QString::fromLatin1(aggregationName(verdict.rule.aggregation))},
        {u"periods"_s, static_cast<qint64>(verdict.periods)},
        {u"failedPeriods"_s, static_cast<qint64>(verdict.failedPeriods)},
        {u"worstPeriodStart"_s, verdict.worstStart},
        {u"values"_s, static_cast<qint64>(verdict.values)},
        {u"passed"_s, verdict.passed()},
        {u"exceeded"_s, exceeded}};
    if (verdict.periods > 0) {
        object.insert(u"verdict"_s, QString::fromStdString(verdictLine(verdict.worst)));
    }
    if (verdict.worst.thd) {
        object.insert(u"thd"_s, verdict.worst.thd->level);
    }
    return object;
}

QJsonObject summaryJson(const QString& file, const RecordingAnalysis& analysis)
{
    QJsonArray channels;
    for (const ChannelSummary& channel : analysis.channels) {
        QJsonArray flagged;
        for (const FlaggedSpan& span : channel.flagged) {
            flagged.append(QJsonObject{{u"start"_s, span.start},
                                       {u"end"_s, span.end},
                                       {u"kind"_s, QString::fromLatin1(flagName(span.kind))},
                                       {u"extreme"_s, span.extreme},
                                       {u"windows"_s, static_cast<qint64>(span.windows)}});
        }
        QJsonObject statistics;
        for (std::size_t q = 0; q < channel.statistics.size(); ++q) {
            const QuantityStatistics& s = channel.statistics[q];
            if (!quantity::isReported(q, analysis.checkThdOrders)) {
                continue;
            }
            statistics.insert(quantityName(q, analysis.checkThdOrders),
                              QJsonObject{{u"max"_s, s.max},
                                          {u"p95"_s, s.p95},
                                          {u"p99"_s, s.p99},
                                          {u"mean"_s, s.mean},
                                          {u"count"_s, static_cast<qint64>(s.count)}});
        }
        QJsonArray verdicts;
        for (const RuleVerdict& verdict : channel.verdicts) {
            verdicts.append(verdictJson(verdict));
        }
        channels.append(
            QJsonObject{{u"channel"_s, channel.channel},
                        {u"reference"_s, channel.reference},
                        {u"windows"_s, static_cast<qint64>(channel.windows)},
                        {u"flaggedWindows"_s, static_cast<qint64>(channel.flaggedWindows)},
                        {u"flagged"_s, flagged},
                        {u"unlistedSpans"_s, static_cast<qint64>(channel.unlistedSpans)},
                        {u"intervals"_s, static_cast<qint64>(channel.intervals)},
                        {u"flaggedIntervals"_s, static_cast<qint64>(channel.flaggedIntervals)},
                        {u"partialIntervals"_s, static_cast<qint64>(channel.partialIntervals)},
                        {u"statistics"_s, statistics},
                        {u"verdicts"_s, verdicts}});
    }
    QJsonObject summary{
        {u"file"_s, printableName(file)},
        {u"rate"_s, analysis.rate},
        {u"fileChannels"_s, analysis.fileChannels},
        {u"cycles"_s, analysis.cycles},
        {u"pointsPerCycle"_s, analysis.pointsPerCycle},
        {u"flatToOrder"_s, analysis.flatOrder},
        {u"fundamental"_s, QJsonObject{{u"first"_s, analysis.firstFundamental},
                                       {u"least"_s, analysis.leastFundamental},
                                       {u"most"_s, analysis.mostFundamental}}},
        {u"seconds"_s, analysis.seconds},
        {u"aggregation"_s, QString::fromLatin1(aggregationName(analysis.aggregation))},
        {u"referenceGiven"_s, analysis.referenceGiven},
        {u"stopped"_s, analysis.stopped},
        {u"channels"_s, channels}};
    if (analysis.mask) {
        summary.insert(u"mask"_s, QString::fromStdString(analysis.mask->title));
        summary.insert(u"passed"_s, analysis.passed());
    }
    return QJsonObject{{u"summary"_s, summary}};
}

/** "1 h 0 min 12.000 s" of a length of time. */
QString lengthText(double seconds)
{
    constexpr int kMinute = 60;
    constexpr int kHour = 60 * kMinute;
    constexpr int kDay = 24 * kHour;
    const auto whole = static_cast<long long>(std::floor(seconds));
    QString text;
    if (whole >= kDay) {
        text += QString::number(whole / kDay) + u" d "_s;
    }
    if (whole >= kHour) {
        text += QString::number(whole % kDay / kHour) + u" h "_s;
    }
    if (whole >= kMinute) {
        text += QString::number(whole % kHour / kMinute) + u" min "_s;
    }
    return text + fixed(seconds - static_cast<double>(whole - whole % kMinute), kSecondsDecimals) +
           u" s"_s;
}

void printStatistics(const ChannelSummary& channel, const RecordingAnalysis& analysis,
                     QTextStream& out)
{
    const QString values = QString::fromStdString(aggregationValues(analysis.aggregation));
    out << "  Statistics of " << values << " (" << channel.statistics.front().count
        << " unflagged):\n";
    out << u"    %1 %2 %3 %4 %5\n"_s.arg(u"Value"_s, -8)
               .arg(u"Max"_s, 10)
               .arg(u"P95"_s, 10)
               .arg(u"P99"_s, 10)
               .arg(u"Mean"_s, 10);
    for (std::size_t q = 0; q < channel.statistics.size(); ++q) {
        const QuantityStatistics& s = channel.statistics[q];
        if (!isWorthShowing(q, s, analysis)) {
            continue;
        }
        const QString unit = q == quantity::kLevel ? QString() : u" %"_s;
        out << u"    %1 %2 %3 %4 %5%6\n"_s.arg(quantityName(q, analysis.checkThdOrders), -8)
                   .arg(fixed(s.max, kValueDecimals), 10)
                   .arg(fixed(s.p95, kValueDecimals), 10)
                   .arg(fixed(s.p99, kValueDecimals), 10)
                   .arg(fixed(s.mean, kValueDecimals), 10)
                   .arg(unit);
    }
}

/** "; the recording is 12.000 s of a week" when it is shorter than the rule's period. */
QString shortnessText(const StatisticRule& rule, const RecordingAnalysis& analysis)
{
    constexpr double kDay = 86400.0;
    const double period = rule.period == StatisticPeriod::Week  ? 7 * kDay
                          : rule.period == StatisticPeriod::Day ? kDay
                                                                : 0.0;
    if (analysis.seconds >= period) {
        return {};
    }
    return u"; the recording is "_s + lengthText(analysis.seconds) + u" of a "_s +
           (rule.period == StatisticPeriod::Week ? u"week"_s : u"day"_s);
}

void printVerdicts(const ChannelSummary& channel, const RecordingAnalysis& analysis,
                   QTextStream& out)
{
    for (const RuleVerdict& verdict : channel.verdicts) {
        out << "  " << QString::fromStdString(analysis.mask->title) << " by "
            << QString::fromStdString(ruleText(verdict.rule)) << ": ";
        if (verdict.periods == 0) {
            out << "no unflagged "
                << QString::fromStdString(aggregationValues(verdict.rule.aggregation))
                << " to judge\n";
            continue;
        }
        out << (verdict.passed() ? "pass" : "FAIL") << " (" << verdict.failedPeriods << " of "
            << verdict.periods << (verdict.periods == 1 ? " period" : " periods")
            << " failed; the worst from " << timeText(verdict.worstStart, analysis.startTime)
            << ", " << verdict.values << " values" << shortnessText(verdict.rule, analysis)
            << ")\n    " << QString::fromStdString(verdictLine(verdict.worst)) << '\n';
    }
}

void printText(const QString& file, const RecordingAnalysis& analysis, QTextStream& out)
{
    out << "Recording: " << printableName(file) << ", " << analysis.fileChannels
        << (analysis.fileChannels == 1 ? " channel" : " channels") << " at "
        << fixed(analysis.rate, kHertzDecimals) << " Hz; " << lengthText(analysis.seconds)
        << " analysed" << (analysis.stopped ? " (stopped: partial)" : "") << '\n';
    if (analysis.skippedLines > 0) {
        out << "Skipped " << analysis.skippedLines << " header lines\n";
    }
    out << "Windows: " << analysis.cycles << " cycles, " << analysis.pointsPerCycle
        << " points per cycle; fundamental " << fixed(analysis.leastFundamental, kHertzDecimals)
        << " to " << fixed(analysis.mostFundamental, kHertzDecimals)
        << " Hz, tracked on the first channel analysed\n";
    if (analysis.flatOrder < kHighestOrder) {
        out << "Band: orders above " << fixed(analysis.flatOrder, 1)
            << " lie beyond the recording's flat band and are not reported\n";
    }
    out << "Intervals: " << (analysis.startTime ? "on clock marks" : "from the recording's start")
        << "; flags against "
        << (analysis.referenceGiven ? "the nominal voltage" : "each channel's median window RMS")
        << '\n';
    for (const ChannelSummary& channel : analysis.channels) {
        out << "\nChannel " << channel.channel << ": " << channel.windows << " windows, "
            << channel.flaggedWindows << " flagged; reference "
            << fixed(channel.reference, kValueDecimals) << "; " << channel.intervals << ' '
            << QString::fromStdString(aggregationValues(analysis.aggregation)) << ", "
            << channel.flaggedIntervals << " flagged, " << channel.partialIntervals << " partial\n";
        for (const FlaggedSpan& span : channel.flagged) {
            out << "  flagged " << timeText(span.start, analysis.startTime) << " to "
                << timeText(span.end, analysis.startTime) << ": " << flagName(span.kind);
            if (span.kind != FlagKind::NoFundamental) {
                out << ", one-cycle RMS " << (span.kind == FlagKind::Swell ? "up to " : "down to ")
                    << fixed(span.extreme, 1) << " %";
            }
            out << " (" << span.windows << (span.windows == 1 ? " window" : " windows") << ")\n";
        }
        if (channel.unlistedSpans > 0) {
            out << "  and " << channel.unlistedSpans << " more flagged spans\n";
        }
        printStatistics(channel, analysis, out);
        if (analysis.mask) {
            printVerdicts(channel, analysis, out);
        }
    }
}

int statusOf(const RecordingAnalysis& analysis)
{
    if (analysis.stopped) {
        const int signal = LongJob::stopSignal();
        return kStoppedBase + (signal == 0 ? SIGINT : signal);
    }
    return analysis.mask && !analysis.passed() ? kLimitExceeded : kDone;
}

}  // namespace

/**
 * korvalin-cli analyse --all-windows: every window of a recording, aggregated, with its
 * statistics (and a mask's verdict by them) as text, JSON lines or CSV rows, and the trend
 * of chosen values written to -o. 1 when the file cannot be read or analysed or the trend
 * written, 3 when the mask's rules are not met, 128 + the signal when one stopped it.
 */
int runRecording(const CliRequest& request, const CliStreams& streams)
{
    const QString& file = request.files.front();
    AnalyzeOptions options = request.analyze;
    if (options.trendValues.empty()) {
        options.trendValues = {quantity::kThd};
    }
    RecordingRequest recording;
    recording.rate = options.rate;
    if (!options.allChannels) {
        recording.channel = options.channel;
    }
    recording.aggregation = options.aggregation.value_or(Aggregation::TenMinutes);
    recording.nominalVoltage = options.nominalVoltage;
    recording.startTime = options.startTime;
    recording.fundamental = options.fundamental;
    recording.nominal = options.nominal;
    recording.wholeBand = options.wholeBand;
    if (!options.check.isEmpty()) {
        int status = kDone;
        MaskChoice choice = requestedMask(request, streams.err, status);
        if (!choice.mask) {
            return status;
        }
        recording.mask = std::move(choice.mask);
    }
    const int checkThdOrders = recording.mask && recording.mask->thd
                                   ? std::min(recording.mask->thd->highestOrder, kHighestOrder)
                                   : quantity::kThdOrders;
    QTextStream& out = streams.out;
    const QString trendPath = options.design;
    const bool picture =
        !trendPath.isEmpty() && trendPath != kStandardStream && outputFormat(request) != u"csv"_s;
    std::optional<Outcome<RecordingAnalysis>> result;
    const auto analyze = [&](TrendSink* trend) {
        LongJob job(u"korvalin-cli: analysing "_s + printableName(file), streams.err);
        recording.progress = [&job](double done) {
            return job.advance(static_cast<std::int64_t>(done * kProgressSteps), kProgressSteps);
        };
        RecordingAnalysis names;
        names.checkThdOrders = checkThdOrders;
        names.startTime = options.startTime;
        bool first = true;
        recording.onInterval = [&](const IntervalValues& interval) {
            if (trend != nullptr) {
                trend->take(interval, checkThdOrders);
            }
            if (request.json) {
                out << QJsonDocument(intervalJson(interval, names)).toJson(QJsonDocument::Compact)
                    << '\n';
            } else if (options.csv) {
                out << (first ? intervalCsvHeader(checkThdOrders) : QString())
                    << intervalCsv(interval, options.startTime, checkThdOrders);
            }
            first = false;
        };
        result = analyzeRecording(fileNameBytes(file), recording);
        return result->ok() && !result->value->stopped;
    };
    if (trendPath.isEmpty() || picture || trendPath == kStandardStream) {
        std::optional<TrendSink> trend;
        if (!trendPath.isEmpty()) {
            std::ostream& bytes = streams.standardOutput;
            trend.emplace(
                options, picture ? TrendWriter() : TrendWriter([&bytes](std::string_view text) {
                    return static_cast<bool>(
                        bytes.write(text.data(), static_cast<std::streamsize>(text.size())));
                }));
        }
        analyze(trend ? &*trend : nullptr);
        if (trend && !picture && !trend->flush()) {
            printMessage(streams.err, u"cannot write standard output"_s);
            return kFileError;
        }
        if (picture && result->ok() && !result->value->stopped) {
            QString why;
            const PictureDrawing* drawing = pictureDrawing(why);
            const std::optional<std::string> bytes =
                drawing ? drawing->trend(trend->series(), options.startTime,
                                         QSize(request.width, request.height), trendPath, why)
                        : std::nullopt;
            if (!bytes) {
                printMessage(streams.err, u"cannot draw %1: %2"_s.arg(trendPath, why));
                return kFileError;
            }
            if (writeOutput(trendPath, *bytes, request.force, streams.standardOutput,
                            streams.err) != kDone) {
                return kFileError;
            }
        }
    } else {
        // The CSV grows as the recording is read, into a new file that replaces OUT only
        // when the analysis ran to its end.
        const SaveResult saved =
            saveOutput(fileNameBytes(trendPath), request.force, [&](const std::string& path) {
                return saveFileAtomically(path, [&](int fd, std::string& error) {
                    TrendSink trend(options,
                                    [fd](std::string_view text) { return writeAll(fd, text); });
                    const bool whole = analyze(&trend);
                    if (!whole) {
                        error = "the analysis did not run to the end";
                        return false;
                    }
                    return trend.flush();
                });
            });
        if (!saved.ok() && result && result->ok() && !result->value->stopped) {
            printCannotWrite(streams.err, trendPath, QString::fromStdString(saved.error));
            return kFileError;
        }
    }
    if (!result || !result->ok()) {
        printMessage(streams.err,
                     u"cannot analyse %1: %2"_s.arg(
                         file, QString::fromStdString(result ? result->error : std::string())));
        return kFileError;
    }
    const RecordingAnalysis& analysis = *result->value;
    if (request.json) {
        out << QJsonDocument(summaryJson(file, analysis)).toJson(QJsonDocument::Compact) << '\n';
    } else if (!options.csv && trendPath != kStandardStream) {
        printText(file, analysis, out);
    }
    if (analysis.stopped) {
        printMessage(streams.err, LongJob::stoppedText() + u"; the report covers the "_s +
                                      lengthText(analysis.seconds) + u" read"_s +
                                      (trendPath.isEmpty() || trendPath == kStandardStream
                                           ? QString()
                                           : u"; "_s + trendPath + u" was not written"_s));
    }
    return statusOf(analysis);
}
