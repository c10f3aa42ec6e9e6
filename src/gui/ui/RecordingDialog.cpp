#include "ui/RecordingDialog.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include <qcustomplot.h>
#include "charts/TrendChart.h"
#include "engine/LimitCheck.h"
#include "numbers/NumberText.h"
#include "recording/Quantities.h"

namespace {

constexpr int kPermille = 1000;
constexpr int kPollMilliseconds = 100;
constexpr int kValueDecimals = 3;
constexpr int kSecondsDecimals = 3;
constexpr int kTrendHeight = 260;
constexpr int kTableHeight = 200;

const Aggregation kAggregations[] = {Aggregation::Window, Aggregation::Short,
                                     Aggregation::TenMinutes, Aggregation::TwoHours};

QString fixed(double value, int decimals)
{
    return QString::fromStdString(fixedText(value, decimals));
}

}  // namespace

RecordingDialog::RecordingDialog(QString path, std::optional<double> rate,
                                 std::optional<LimitMask> mask, Aggregation aggregation,
                                 QWidget* parent)
    : QDialog(parent), m_path(std::move(path)), m_rate(rate), m_mask(std::move(mask))
{
    setObjectName(QStringLiteral("recordingDialog"));
    setWindowTitle(
        QStringLiteral("Korvalin - Every Window of %1").arg(QFileInfo(m_path).fileName()));
    build();
    const auto* chosen = std::find(std::begin(kAggregations), std::end(kAggregations), aggregation);
    const QSignalBlocker blocker(m_aggregation);
    m_aggregation->setCurrentIndex(static_cast<int>(chosen - std::begin(kAggregations)));
}

RecordingDialog::~RecordingDialog()
{
    m_stop = true;
    if (m_worker) {
        m_worker->wait();
    }
}

void RecordingDialog::build()
{
    auto* layout = new QVBoxLayout(this);
    auto* running = new QHBoxLayout;
    m_status = new QLabel(this);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progressBar"));
    m_progress->setRange(0, kPermille);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    running->addWidget(m_status, 1);
    running->addWidget(m_progress, 1);
    running->addWidget(m_cancel);
    layout->addLayout(running);

    auto* choices = new QHBoxLayout;
    m_aggregation = new QComboBox(this);
    m_aggregation->setObjectName(QStringLiteral("aggregationBox"));
    for (const Aggregation aggregation : kAggregations) {
        m_aggregation->addItem(QString::fromStdString(aggregationValues(aggregation)));
    }
    m_channel = new QComboBox(this);
    m_channel->setObjectName(QStringLiteral("channelBox"));
    m_orders = new QLineEdit(QStringLiteral("3,5,7"), this);
    m_orders->setObjectName(QStringLiteral("ordersEdit"));
    m_orders->setToolTip(
        QStringLiteral("Orders 2 to %1 drawn beside THD, comma-separated").arg(kHighestOrder));
    choices->addWidget(new QLabel(QStringLiteral("Values:"), this));
    choices->addWidget(m_aggregation);
    choices->addWidget(new QLabel(QStringLiteral("Channel:"), this));
    choices->addWidget(m_channel);
    choices->addWidget(new QLabel(QStringLiteral("Orders:"), this));
    choices->addWidget(m_orders, 1);
    layout->addLayout(choices);

    m_trend = new QCustomPlot(this);
    m_trend->setObjectName(QStringLiteral("trendChart"));
    m_trend->setMinimumHeight(kTrendHeight);
    layout->addWidget(m_trend, 2);

    auto* below = new QGridLayout;
    m_statistics = new QTableWidget(0, 5, this);
    m_statistics->setObjectName(QStringLiteral("statisticsTable"));
    m_statistics->setHorizontalHeaderLabels({QStringLiteral("Value"), QStringLiteral("Max"),
                                             QStringLiteral("P95"), QStringLiteral("P99"),
                                             QStringLiteral("Mean")});
    m_statistics->verticalHeader()->hide();
    m_statistics->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_statistics->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_statistics->setMinimumHeight(kTableHeight);
    m_flagged = new QListWidget(this);
    m_flagged->setObjectName(QStringLiteral("flaggedList"));
    below->addWidget(new QLabel(QStringLiteral("Statistics of the unflagged values:"), this), 0, 0);
    below->addWidget(new QLabel(QStringLiteral("Flagged:"), this), 0, 1);
    below->addWidget(m_statistics, 1, 0);
    below->addWidget(m_flagged, 1, 1);
    layout->addLayout(below, 1);

    m_verdict = new QLabel(this);
    m_verdict->setObjectName(QStringLiteral("verdictLabel"));
    m_verdict->setWordWrap(true);
    layout->addWidget(m_verdict);

    auto* buttons = new QHBoxLayout;
    m_use = new QPushButton(QStringLiteral("Use Interval as Design"), this);
    m_use->setObjectName(QStringLiteral("useIntervalButton"));
    m_use->setEnabled(false);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    buttons->addStretch(1);
    buttons->addWidget(m_use);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    m_poll = new QTimer(this);
    m_poll->setInterval(kPollMilliseconds);
    connect(m_poll, &QTimer::timeout, this, [this] { m_progress->setValue(m_permille); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_stop = true; });
    connect(m_aggregation, &QComboBox::currentIndexChanged, this, [this] { start(); });
    connect(m_channel, &QComboBox::currentIndexChanged, this, [this] { showChannel(); });
    connect(m_orders, &QLineEdit::editingFinished, this, [this] { showTrend(); });
    connect(m_trend, &QCustomPlot::mousePress, this, [this](QMouseEvent* event) {
        chooseAt(m_trend->xAxis->pixelToCoord(event->position().x()));
    });
    connect(m_use, &QPushButton::clicked, this, &QDialog::accept);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void RecordingDialog::start()
{
    if (m_worker) {
        return;
    }
    m_stop = false;
    m_permille = 0;
    m_result.reset();
    m_intervals.clear();
    m_choice.reset();
    m_use->setEnabled(false);
    m_cancel->setEnabled(true);
    m_aggregation->setEnabled(false);
    m_status->setText(QStringLiteral("Analysing every window\u2026"));
    RecordingRequest request;
    request.rate = m_rate;
    request.aggregation = kAggregations[m_aggregation->currentIndex()];
    request.mask = m_mask;
    request.progress = [this](double done) {
        m_permille = static_cast<int>(done * kPermille);
        return !m_stop.load();
    };
    request.onInterval = [this](const IntervalValues& interval) {
        m_intervals.push_back(interval);
    };
    const std::string path = QFileInfo(m_path).absoluteFilePath().toStdString();
    // The worker alone touches m_result and m_intervals until it has finished.
    m_worker.reset(QThread::create(
        [this, path, request] { m_result.emplace(analyzeRecording(path, request)); }));
    connect(m_worker.get(), &QThread::finished, this, &RecordingDialog::finish);
    m_poll->start();
    m_worker->start();
}

void RecordingDialog::finish()
{
    m_poll->stop();
    m_worker->wait();
    m_worker.reset();
    m_progress->setValue(kPermille);
    m_cancel->setEnabled(false);
    m_aggregation->setEnabled(true);
    if (!m_result || !m_result->ok()) {
        m_status->setText(QStringLiteral("Cannot analyse: %1")
                              .arg(QString::fromStdString(m_result ? m_result->error : "")));
        return;
    }
    const RecordingAnalysis& analysis = *m_result->value;
    m_status->setText(
        QStringLiteral("%1 s analysed%2; fundamental %3 to %4 Hz")
            .arg(fixed(analysis.seconds, kSecondsDecimals),
                 analysis.stopped ? QStringLiteral(" (cancelled: partial)") : QString(),
                 fixed(analysis.leastFundamental, kValueDecimals),
                 fixed(analysis.mostFundamental, kValueDecimals)));
    const QSignalBlocker blocker(m_channel);
    m_channel->clear();
    for (const ChannelSummary& channel : analysis.channels) {
        m_channel->addItem(QString::number(channel.channel));
    }
    showChannel();
}

std::vector<std::size_t> RecordingDialog::chosenValues() const
{
    std::vector<std::size_t> values{quantity::kThd};
    for (const QString& part : m_orders->text().split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int order = part.trimmed().toInt(&ok);
        if (ok && order >= 2 && order <= kHighestOrder) {
            values.push_back(quantity::harmonic(order));
        }
    }
    return values;
}

void RecordingDialog::showChannel()
{
    if (running() || !m_result || !m_result->ok() || m_channel->currentIndex() < 0) {
        return;
    }
    const RecordingAnalysis& analysis = *m_result->value;
    const ChannelSummary& channel =
        analysis.channels[static_cast<std::size_t>(m_channel->currentIndex())];
    m_statistics->setRowCount(0);
    for (std::size_t q = 0; q < channel.statistics.size(); ++q) {
        const QuantityStatistics& s = channel.statistics[q];
        if (!isWorthShowing(q, s, analysis)) {
            continue;
        }
        const int row = m_statistics->rowCount();
        m_statistics->insertRow(row);
        const QString cells[] = {QString::fromStdString(quantity::name(q, analysis.checkThdOrders)),
                                 fixed(s.max, kValueDecimals), fixed(s.p95, kValueDecimals),
                                 fixed(s.p99, kValueDecimals), fixed(s.mean, kValueDecimals)};
        for (int column = 0; column < static_cast<int>(std::size(cells)); ++column) {
            m_statistics->setItem(row, column, new QTableWidgetItem(cells[column]));
        }
    }
    m_flagged->clear();
    for (const FlaggedSpan& span : channel.flagged) {
        m_flagged->addItem(
            QStringLiteral("%1 to %2 s: %3, %4 %")
                .arg(fixed(span.start, kSecondsDecimals), fixed(span.end, kSecondsDecimals),
                     QString::fromLatin1(flagName(span.kind)), fixed(span.extreme, 1)));
    }
    QStringList verdicts;
    for (const RuleVerdict& verdict : channel.verdicts) {
        verdicts << QStringLiteral("%1 by %2: %3")
                        .arg(QString::fromStdString(verdict.worst.title),
                             QString::fromStdString(ruleText(verdict.rule)),
                             verdict.periods == 0
                                 ? QStringLiteral("no unflagged values")
                                 : QString::fromStdString(verdictLine(verdict.worst)));
    }
    m_verdict->setText(verdicts.join(u'\n'));
    showTrend();
    chooseWorst();
}

void RecordingDialog::showTrend()
{
    if (running() || !m_result || !m_result->ok() || m_channel->currentIndex() < 0) {
        return;
    }
    const RecordingAnalysis& analysis = *m_result->value;
    const int channel = currentChannel();
    std::vector<TrendSeries> series;
    const std::vector<std::size_t> values = chosenValues();
    for (const IntervalValues& interval : m_intervals) {
        if (!usable(interval, channel)) {
            continue;
        }
        for (const std::size_t q : values) {
            addTrendPoint(series,
                          QString::fromStdString(quantity::name(q, analysis.checkThdOrders)),
                          interval.start, interval.values[q]);
        }
    }
    drawTrend(*m_trend, series, std::nullopt);
}

void RecordingDialog::chooseAt(double seconds)
{
    if (running() || !m_result || !m_result->ok() || m_channel->currentIndex() < 0) {
        return;
    }
    const int channel = currentChannel();
    const IntervalValues* nearest = nullptr;
    for (const IntervalValues& interval : m_intervals) {
        if (usable(interval, channel) &&
            (nearest == nullptr ||
             std::fabs(interval.start - seconds) < std::fabs(nearest->start - seconds))) {
            nearest = &interval;
        }
    }
    choose(nearest);
}

void RecordingDialog::chooseWorst()
{
    const int channel = currentChannel();
    const IntervalValues* worst = nullptr;
    for (const IntervalValues& interval : m_intervals) {
        if (usable(interval, channel) &&
            (worst == nullptr || interval.values[quantity::kThd] > worst->values[quantity::kThd])) {
            worst = &interval;
        }
    }
    choose(worst);
}

bool RecordingDialog::usable(const IntervalValues& interval, int channel)
{
    return interval.channel == channel && !interval.flagged && interval.windows > 0;
}

int RecordingDialog::currentChannel() const
{
    return m_result->value->channels[static_cast<std::size_t>(m_channel->currentIndex())].channel;
}

void RecordingDialog::choose(const IntervalValues* interval)
{
    m_use->setEnabled(interval != nullptr);
    if (interval == nullptr) {
        m_choice.reset();
        return;
    }
    m_choice = Choice{interval->channel, std::max(0.0, interval->start)};
    // The chosen interval marked on the trend, where it starts.
    m_trend->clearItems();
    auto* marker = new QCPItemStraightLine(m_trend);  // owned by the chart
    marker->point1->setCoords(interval->start, 0.0);
    marker->point2->setCoords(interval->start, 1.0);
    marker->setPen(QPen(palette().color(QPalette::Highlight), 1.0, Qt::DashLine));
    m_trend->replot();
    m_status->setText(QStringLiteral("Chosen: the interval from %1 s, THD %2 %")
                          .arg(fixed(interval->start, kSecondsDecimals),
                               fixed(interval->values[quantity::kThd], kValueDecimals)));
}

void RecordingDialog::reject()
{
    m_stop = true;
    if (m_worker) {
        m_worker->wait();
    }
    QDialog::reject();
}
