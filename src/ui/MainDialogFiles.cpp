// The main window's File commands (New, Open, Save As) and the Preferences command.

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QTreeView>

#include "files/DocumentReader.h"
#include "files/DocumentWriter.h"
#include "ui/CalculatedValuesDialog.h"
#include "ui/DataExchange.h"
#include "ui/HarmonicListModel.h"
#include "ui/MainDialog.h"
#include "ui/PreferencesDialog.h"
#include "ui/WaitCursor.h"
#include "ui_MainDialog.h"

namespace {

const QString kTitle = QStringLiteral("Quandrel - Korvalin");

/** A file name as the title shows it: Qt would take "[*]" for its modified-marker place. */
QString titleName(const QString& name)
{
    QString shown = name;
    return shown.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

/** The message's first line, then the reason on a line of its own. */
QString withReason(const QString& message, const std::string& reason)
{
    return message + u'\n' + QString::fromStdString(reason);
}

/** Write-protected as the read-only attribute was: by the file's own bits, not our rights. */
bool isWriteProtected(const QString& path)
{
    return !(QFileInfo(path).permissions() & QFileDevice::WriteOwner);
}

}  // namespace

QString MainDialog::chooseFile(bool save)
{
    QFileDialog dialog(this, save ? QStringLiteral("Save As") : QStringLiteral("Korvalin Files"),
                       m_lastDirectory);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("kvk"));
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilters({QStringLiteral("Fourier Coefficient File (*.kvk)"),
                               QStringLiteral("Waveshape File (*.kvw)")});
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setNameFilters({QStringLiteral("Fourier Coefficient Files (*.kvk)"),
                               QStringLiteral("Waveshape Files (*.kvw)"),
                               QStringLiteral("All Files (*)")});
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    const QString path = QFileInfo(dialog.selectedFiles().front()).absoluteFilePath();
    m_lastDirectory = QFileInfo(path).absolutePath();
    return path;
}

void MainDialog::applyNumberHeading()
{
    const QString heading =
        QString::fromStdString(std::string(m_workspace->settings.numberHeading()));
    m_listModel->setNumberHeading(heading);
    if (m_calculationsWindowCreated) {
        m_calculationsWindow->SetNumberHeading(heading);
    }
}

void MainDialog::OnFileNew()
{
    setWindowTitle(kTitle);
    SettingsModel& settings = m_workspace->settings;
    const int harmIndex = settings.activeSettings.harmIndex;
    settings.activeSettings = settings.preferences;
    settings.activeSettings.harmIndex = harmIndex;
    showEntryOnSliders({1.0F, 100.0F, 0});  // sliders at 1000 and 180
    UpdateData();
    showCycleLabels();
    m_workspace->planSlot.DiscardAnalysisPlan();
    m_workspace->table.ClearHarmonics();
    m_workspace->UpdateSlotsPerHarmonic();
    m_workspace->table.AddHarmonic(1.0F, static_cast<float>(m_lastMagnitudePosition * 0.1),
                                   m_lastPhasePosition - 180);
    Recalculate();
}

void MainDialog::OnFileOpen()
{
    const QString path = chooseFile(false);
    if (path.isEmpty()) {
        return;
    }
    HarmonicTable& table = m_workspace->table;
    const LoadResult loaded = LoadDocumentFile(path.toStdString(), *m_workspace);
    if (!loaded.opened) {
        showMessage(this, MessageKind::Exclamation,
                    withReason(QStringLiteral("Cannot open file ") + path, loaded.error));
        return;
    }
    const WaitCursor wait;
    setWindowTitle(kTitle + QStringLiteral(" [") + titleName(QFileInfo(path).fileName()) + u']');
    if (loaded.summary.settingsLinesApplied > 0) {
        showCycleLabels();
    }
    if (table.count() > 0) {
        showEntryOnSliders(table.entry(0));
    } else {
        showEmptySelection();  // nothing to select: a flat design
    }
    UpdateData();
    Recalculate();
}

void MainDialog::OnFileSaveAs()
{
    for (;;) {
        const QString path = chooseFile(true);
        if (path.isEmpty()) {
            return;
        }
        if (QFileInfo::exists(path) && isWriteProtected(path)) {
            const QString question =
                QStringLiteral("The file \"%1\" is write protected. Overwrite?").arg(path);
            if (showMessage(this, MessageKind::Exclamation, question, true) != QMessageBox::Yes) {
                continue;
            }
            QFile::setPermissions(path, QFileInfo(path).permissions() | QFileDevice::WriteOwner);
        }
        const std::string pathText = path.toStdString();
        const std::string text = DocumentText(
            documentKindFor(pathText), m_workspace->settings.activeSettings, m_workspace->table);
        const SaveResult saved = m_save(pathText, text);
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
        return;
    }
}

void MainDialog::OnPreferences()
{
    SettingsModel& settings = m_workspace->settings;
    WaveSettings& active = settings.activeSettings;
    WaveSettings& persisted = settings.preferences;
    PreferencesDialog dialog(this);
    if (dialog.ShowWithSettings(active.displayCycles, active.fftCycles, active.cosine == 0 ? 1 : 0,
                                active.phaseReference == 0 ? 1 : 0, active.harmIndex,
                                active.ppc) != QDialog::Accepted) {
        return;
    }
    const WaitCursor wait;
    if (dialog.displayIndex != active.harmIndex) {
        persisted.harmIndex = active.harmIndex = dialog.displayIndex;
        m_workspace->ApplyDisplayMode(dialog.displayIndex);
        applyNumberHeading();
    }
    persisted.displayCycles = active.displayCycles = dialog.displayCycles;
    persisted.fftCycles = active.fftCycles = dialog.fftCycles;
    const int cosine = dialog.sineIndex == 0 ? 1 : 0;
    if (cosine != active.cosine) {
        persisted.cosine = active.cosine = cosine;
    }
    const int phaseReference = dialog.referenceIndex == 0 ? 1 : 0;
    if (phaseReference != active.phaseReference) {
        persisted.phaseReference = active.phaseReference = phaseReference;
    }
    if (dialog.samplesPerCycle != active.ppc) {
        persisted.ppc = active.ppc = dialog.samplesPerCycle;
        m_workspace->UpdateSlotsPerHarmonic();
    }
    showCycleLabels();
    UpdateData();
    m_workspace->planSlot.DiscardAnalysisPlan();
    Recalculate();
}
