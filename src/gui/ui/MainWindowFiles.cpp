// The main window's File commands (New, Open, Save As) and the Preferences command.

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTableView>

#include <new>
#include <optional>

#include "files/DocumentReader.h"
#include "files/DocumentWriter.h"
#include "ui/CalculatedValuesDialog.h"
#include "ui/FieldReader.h"
#include "ui/HarmonicListModel.h"
#include "ui/MainWindow.h"
#include "ui/PreferencesDialog.h"
#include "ui/SaveTarget.h"
#include "ui/WaitCursor.h"
#include "ui_MainWindow.h"

namespace {

/** The message's first line, then the reason on a line of its own. */
QString withReason(const QString& message, const std::string& reason)
{
    return message + u'\n' + QString::fromStdString(reason);
}

}  // namespace

QString MainWindow::chooseFile(bool save)
{
    QFileDialog dialog(this, save ? QStringLiteral("Save As") : QStringLiteral("Korvalin Files"),
                       startFolder());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (save) {
        dialog.setDefaultSuffix(QStringLiteral("kvk"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilters({QStringLiteral("Fourier Coefficient File (*.kvk)"),
                               QStringLiteral("Waveshape File (*.kvw)")});
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setNameFilters({QStringLiteral("Fourier Coefficient Files (*.kvk)"),
                               QStringLiteral("Waveshape Files (*.kvw)"),
                               QStringLiteral("All Files (*)")});
    }
    // The name field starts with the first filter's pattern; the dialog selects it, so
    // typing replaces it.
    dialog.selectFile(QStringLiteral("*.kvk"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    QString path = QFileInfo(dialog.selectedFiles().front()).absoluteFilePath();
    if (!save) {  // Open reads the name as typed when it names anything
        path = QString::fromStdString(typedDocumentPath(path.toStdString()));
    }
    m_lastDirectory = QFileInfo(path).absolutePath();
    return path;
}

QString MainWindow::startFolder() const
{
    if (!m_lastDirectory.isEmpty()) {
        return m_lastDirectory;
    }
    const std::vector<std::string> recent = m_recentFiles.existing();
    return recent.empty() ? QString()
                          : QFileInfo(QString::fromStdString(recent.front())).absolutePath();
}

void MainWindow::rememberFile(const QString& path)
{
    m_recentFiles.add(path.toStdString(), m_store);
    showRecentFiles();
}

void MainWindow::showRecentFiles()
{
    QMenu* menu = m_ui->recentMenu;
    // Later, not now: the menu is rebuilt while one of its items is being triggered.
    for (QAction* old : menu->actions()) {
        menu->removeAction(old);
        old->deleteLater();
    }
    int number = 0;
    for (const std::string& recent : m_recentFiles.existing()) {
        const QString path = QString::fromStdString(recent);
        QString name = QFileInfo(path).fileName();
        name.replace(u'&', QLatin1String("&&"));
        QAction* item = menu->addAction(QStringLiteral("&%1 %2").arg(++number).arg(name));
        item->setToolTip(path);
        connect(item, &QAction::triggered, this, [this, path] { openFile(path); });
    }
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("Clear Menu")), &QAction::triggered, this, [this] {
        m_recentFiles.clear(m_store);
        showRecentFiles();
    });
}

void MainWindow::applyNumberHeading()
{
    const QString heading =
        QString::fromStdString(std::string(m_design->settings().numberHeading()));
    m_listModel->setNumberHeading(heading);
    if (m_calculationsWindow != nullptr) {
        m_calculationsWindow->setNumberHeading(heading);
    }
}

void MainWindow::onFileNew()
{
    m_design->newDesign();
}

void MainWindow::onFileOpen()
{
    const QString path = chooseFile(false);
    if (!path.isEmpty()) {
        openFile(path);
    }
}

void MainWindow::openFile(const QString& path)
{
    OpenedDocument document = openDocumentFile(path.toStdString());
    if (!document.opened()) {
        showMessage(this, MessageKind::Exclamation,
                    withReason(QStringLiteral("Cannot open file ") + path, document.error));
        return;
    }
    std::optional<WaitCursor> wait(std::in_place);
    // What was read when the read failed does not count: the design is as it was.
    if (const ReadSummary read = m_design->open(document, path.toStdString());
        !read.failure.empty()) {
        wait.reset();
        showMessage(this, MessageKind::Exclamation,
                    withReason(QStringLiteral("Cannot open file ") + path, read.failure));
        return;
    }
    rememberFile(path);
}

bool MainWindow::onFileSaveAs()
{
    for (;;) {
        const QString path = chooseFile(true);
        if (path.isEmpty()) {
            return false;
        }
        if (!mayWriteTo(this, *m_design, path)) {
            continue;
        }
        const std::string pathText = path.toStdString();
        const SaveResult saved = saveDocument(pathText);
        if (saved.failure == SaveResult::Failure::Open) {
            showMessage(this, MessageKind::Exclamation,
                        withReason(QStringLiteral("Cannot open file ") + path + u'.', saved.error));
            continue;
        }
        if (saved.failure == SaveResult::Failure::Write) {
            showMessage(
                this, MessageKind::Exclamation,
                withReason(QStringLiteral("Cannot write file ") + path + u'.', saved.error));
            continue;
        }
        rememberFile(path);
        m_design->markSaved(pathText);
        showDocumentState();
        return true;
    }
}

SaveResult MainWindow::saveDocument(const std::string& path)
{
    try {
        const std::string text =
            documentText(documentKindFor(path), m_design->active(), m_design->table());
        if (std::string refusal = documentSizeRefusal(text.size()); !refusal.empty()) {
            return {SaveResult::Failure::Write, std::move(refusal)};
        }
        return m_save(path, text);
    } catch (const std::bad_alloc&) {  // the old file stays: saves replace only at their end
        return {SaveResult::Failure::Write, kNoMemoryToWrite};
    }
}

void MainWindow::onPreferences()
{
    PreferencesDialog dialog(this);
    const std::optional<WaveSettings> entered = dialog.ask(m_design->active());
    if (!entered) {
        return;
    }
    const WaitCursor wait;
    const PreferencesCheck applied = m_design->applyPreferences(*entered);
    if (applied.refusal) {
        showMessage(this, MessageKind::Exclamation, refusalText(*applied.refusal));
        return;
    }
    if (applied.displayChanged) {
        applyNumberHeading();
    }
}
