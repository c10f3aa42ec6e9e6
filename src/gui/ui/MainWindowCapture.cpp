#include <QAction>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include <optional>

#include "design/CaptureImport.h"
#include "design/Design.h"
#include "files/CaptureFile.h"
#include "files/RecordingFile.h"
#include "numbers/NumberText.h"
#include "ui/BackgroundWork.h"
#include "ui/FieldReader.h"
#include "ui/MainWindow.h"
#include "ui/RecordingDialog.h"
#include "ui_MainWindow.h"

namespace {

/** The rates a capture without a time column may be given, as every capture's rate. */
constexpr auto kLowestRate = static_cast<float>(kMinCaptureRate);
constexpr auto kHighestRate = static_cast<float>(kMaxCaptureRate);

/** The sample rate of a capture without a time column, as the user enters it. */
std::optional<double> askRate(QWidget* parent, const QString& name)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Korvalin - Import Capture"));
    auto* field = new QLineEdit(QStringLiteral("48000"), &dialog);
    field->setObjectName(QStringLiteral("rateEdit"));
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
    auto* layout = new QGridLayout(&dialog);
    layout->addWidget(
        new QLabel(name + QStringLiteral(" has no time column.\nSample rate (Hz):"), &dialog), 0, 0,
        1, 2);
    layout->addWidget(field, 1, 0, 1, 2);
    layout->addWidget(ok, 2, 0);
    layout->addWidget(cancel, 2, 1);
    std::optional<double> rate;
    QObject::connect(ok, &QPushButton::clicked, &dialog, [&] {
        if (const auto value = FieldReader(&dialog).readFloat(field, kLowestRate, kHighestRate)) {
            rate = *value;
            dialog.accept();
        }
    });
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    field->selectAll();
    return dialog.exec() == QDialog::Accepted ? rate : std::nullopt;
}

/**
 * Reads and analyses the capture at path off the window's thread, asking for the sample rate
 * first when it has no time column; none when the user cancelled either.
 */
std::optional<CaptureImport> importInBackground(QWidget* window, const CaptureReader& read,
                                                const QString& path)
{
    const std::string pathText = path.toStdString();
    const QString name = QFileInfo(path).fileName();
    CaptureOptions options;
    const auto run = [&] {
        return runInBackground(window, QStringLiteral("Korvalin - Import Capture"),
                               QStringLiteral("Reading %1\u2026").arg(name),
                               // Both steps on the worker: a large capture takes long to read,
                               // and to analyse.
                               [&read, &pathText, options](const ReadProgress& progress) {
                                   CaptureOptions reading = options;
                                   reading.progress = progress;
                                   return readAndAnalyzeCapture(pathText, reading, {}, read);
                               });
    };
    std::optional<CaptureImport> done = run();
    if (done && done->reading.needsRate) {
        options.rate = askRate(window, name);
        done = options.rate ? run() : std::nullopt;
    }
    return done;
}

QString decimalText(double value, int decimals)
{
    return QString::fromStdString(formatFixed(value, decimals));
}

/**
 * What the import found and what the design became: the fundamental and the nominal it was
 * searched near, where the window starts, the points per cycle the design shows, the band.
 */
QString importReport(const CaptureAnalysis& a, const WaveSettings& design, std::size_t beyond)
{
    constexpr int kHertzDecimals = 6;
    constexpr int kSecondsDecimals = 4;
    constexpr int kOrderDecimals = 2;
    constexpr int kPercentDecimals = 4;
    QString text = QStringLiteral("Estimated fundamental: %1 Hz")
                       .arg(decimalText(a.fundamental, kHertzDecimals));
    text += a.nominal ? QStringLiteral(" (near %1 Hz)")
                            .arg(QString::fromStdString(formatCompact(*a.nominal, kHertzDecimals)))
                      : QStringLiteral(" (the strongest line)");
    if (const std::optional<CaptureLine> stronger = a.strongerLine()) {
        text += QStringLiteral("\nWarning: the line of order %1 is %2 % of the fundamental")
                    .arg(decimalText(stronger->order, kOrderDecimals),
                         decimalText(stronger->magnitude, kPercentDecimals));
    }
    text += QStringLiteral("\nWindow: %1 cycles from %2 s, resampled to %3 points per cycle")
                .arg(a.cycles)
                .arg(decimalText(a.windowStart, kSecondsDecimals))
                .arg(a.pointsPerCycle);
    text += QStringLiteral("\nDesign: %1 FFT cycles at %2 points per cycle")
                .arg(design.fftCycles)
                .arg(QString::fromStdString(formatCompact(design.ppc, 0)));
    if (beyond > 0) {
        text += QStringLiteral(", %1 lines above what it holds left out").arg(beyond);
    }
    text += QStringLiteral("\nBand: below order %1 (%2 Hz); from order %3 lines are near its edge")
                .arg(decimalText(a.bandOrder, kOrderDecimals),
                     QString::fromStdString(formatCompact(a.bandOrder * a.fundamental, 3)),
                     decimalText(a.flatOrder, kOrderDecimals));
    return text;
}

/** A capture of at least this many windows may be a recording worth analyzing window by window. */
constexpr double kWindowsWorthAnalysing = 2.0;
/** Seconds a recording holds at least before its 10-minute values are the ones shown first. */
constexpr double kTenMinutesWorthShowing = 3600.0;

}  // namespace

void MainWindow::addImportCaptureItem()
{
    auto* action = new QAction(QStringLiteral("&Import Capture\u2026"), this);
    action->setObjectName(QStringLiteral("importCaptureAction"));
    const QList<QAction*> items = m_ui->fileMenu->actions();
    const qsizetype open = items.indexOf(m_ui->openAction);
    m_ui->fileMenu->insertAction(open + 1 < items.size() ? items[open + 1] : nullptr, action);
    connect(action, &QAction::triggered, this, &MainWindow::onImportCapture);
}

void MainWindow::onImportCapture()
{
    QFileDialog dialog(this, QStringLiteral("Import Capture"), startFolder());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {QStringLiteral("Captures (*.wav *.csv *.txt)"), QStringLiteral("All Files (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = QFileInfo(dialog.selectedFiles().front()).absoluteFilePath();
    m_lastDirectory = QFileInfo(path).absolutePath();
    const std::optional<CaptureImport> done = importInBackground(this, m_readCapture, path);
    if (!done) {
        return;  // cancelled: nothing changes, and nothing went wrong
    }
    const Outcome<CaptureAnalysis>& analysis = done->analysis;
    if (!analysis.ok()) {
        showMessage(this, MessageKind::Exclamation,
                    QStringLiteral("Cannot import capture %1\n%2")
                        .arg(path, QString::fromStdString(analysis.error)));
        return;
    }
    const CaptureAnalysis& a = *analysis.value;
    const std::size_t beyond = m_design->importCapture(a, path.toStdString());
    const QString report = importReport(a, m_design->active(), beyond);
    const double window = a.cycles / a.fundamental;
    if (done->seconds < kWindowsWorthAnalysing * window) {
        showMessage(this, MessageKind::Information, report);
    } else if (showMessageOffering(this, MessageKind::Information, report,
                                   QStringLiteral("Analyse every window\u2026"),
                                   QStringLiteral("analyzeEveryWindowButton"))) {
        analyzeEveryWindow(path, done->rate, done->seconds);
    }
}

void MainWindow::analyzeEveryWindow(const QString& path, double rate, double seconds)
{
    // A table of equipment emission judges no recording: the view goes without it.
    std::optional<LimitMask> mask = m_design->limitMask().mask();
    if (mask && mask->recordingRules.empty()) {
        mask.reset();
    }
    // Under a few 10-minute values, the 150/180-cycle ones show more. A WAV says its length;
    // of a text, the start that was read tells.
    if (const RecordingReader::Opening opened = RecordingReader::open(path.toStdString(), rate);
        opened.reader && opened.reader->frames()) {
        seconds = static_cast<double>(*opened.reader->frames()) / opened.reader->rate();
    }
    const Aggregation shown =
        seconds < kTenMinutesWorthShowing ? Aggregation::Short : Aggregation::TenMinutes;
    RecordingDialog recording(path, rate, std::move(mask), shown, this);
    recording.start();
    if (recording.exec() != QDialog::Accepted || !recording.choice()) {
        return;
    }
    const RecordingDialog::Choice choice = *recording.choice();
    const std::string pathText = path.toStdString();
    const std::optional<CaptureImport> window = runInBackground(
        this, QStringLiteral("Korvalin - Import Capture"),
        QStringLiteral("Reading the interval from %1 s\u2026").arg(decimalText(choice.start, 3)),
        [&](const ReadProgress&) {
            return readRecordingWindow(pathText, rate, choice.channel, choice.start);
        });
    if (!window) {
        return;
    }
    if (!window->analysis.ok()) {
        showMessage(this, MessageKind::Exclamation,
                    QStringLiteral("Cannot import the interval of %1\n%2")
                        .arg(path, QString::fromStdString(window->analysis.error)));
        return;
    }
    m_design->importCapture(
        *window->analysis.value,
        QStringLiteral("%1 at %2 s").arg(path, decimalText(choice.start, 3)).toStdString());
}
