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

#include "design/Design.h"
#include "files/CaptureFile.h"
#include "numbers/NumberText.h"
#include "ui/DataExchange.h"
#include "ui/MainDialog.h"
#include "ui/WaitCursor.h"
#include "ui_MainDialog.h"

namespace {

/** The rates a capture without a time column may be given, in hertz. */
constexpr float kLowestRate = 1.0F;
constexpr float kHighestRate = 1e9F;

/** The sample rate of a capture without a time column, as the user enters it. */
std::optional<double> askRate(QWidget* parent, const QString& name)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Import Capture"));
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
        if (const auto value = DataExchange(&dialog).readFloat(field, kLowestRate, kHighestRate)) {
            rate = *value;
            dialog.accept();
        }
    });
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    field->selectAll();
    return dialog.exec() == QDialog::Accepted ? rate : std::nullopt;
}

}  // namespace

void MainDialog::addImportCaptureItem()
{
    auto* action = new QAction(QStringLiteral("&Import Capture\u2026"), this);
    action->setObjectName(QStringLiteral("importCaptureAction"));
    const QList<QAction*> items = m_ui->fileMenu->actions();
    const qsizetype open = items.indexOf(m_ui->openAction);
    m_ui->fileMenu->insertAction(open + 1 < items.size() ? items[open + 1] : nullptr, action);
    connect(action, &QAction::triggered, this, &MainDialog::onImportCapture);
}

void MainDialog::onImportCapture()
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
    const std::string pathText = path.toStdString();
    CaptureOptions options;
    std::optional<WaitCursor> wait(std::in_place);
    CaptureReading reading = readCapture(pathText, options);
    if (reading.needsRate) {
        wait.reset();
        options.rate = askRate(this, QFileInfo(path).fileName());
        if (!options.rate) {
            return;
        }
        wait.emplace();
        reading = readCapture(pathText, options);
    }
    const Outcome<CaptureAnalysis> analysis =
        reading.capture ? analyseCapture(*reading.capture, {})
                        : Outcome<CaptureAnalysis>::failure(reading.error);
    wait.reset();
    if (!analysis.ok()) {
        showMessage(this, MessageKind::Exclamation,
                    QStringLiteral("Cannot import capture %1\n%2")
                        .arg(path, QString::fromStdString(analysis.error)));
        return;
    }
    const CaptureAnalysis& a = *analysis.value;
    m_design->importCapture(a, pathText);
    showReplacedDesign();
    showMessage(this, MessageKind::Information,
                QStringLiteral("Estimated fundamental: %1 Hz\n%2 cycles at %3 points per cycle")
                    .arg(QString::fromStdString(formatFixed(a.fundamental, 6)))
                    .arg(a.cycles)
                    .arg(a.pointsPerCycle));
}
