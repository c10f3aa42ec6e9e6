// The main window's editing commands: Add, Delete, Edit, the two sliders and the list
// selection that decides which harmonic they act on.

#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QSlider>
#include <QTableView>

#include "design/SliderScale.h"
#include "numbers/NumberText.h"
#include "ui/FieldReader.h"
#include "ui/HarmonicDialogs.h"
#include "ui/HarmonicListModel.h"
#include "ui/MainWindow.h"
#include "ui_MainWindow.h"

namespace {

QString twoDecimalText(double value)
{
    return QString::fromStdString(formatFixed(value, 2));
}

QString integerText(int value)
{
    return QString::fromStdString(formatInt(value));
}

}  // namespace

void MainWindow::setSliderPositions(int magnitudePos, int phasePos)
{
    const QSignalBlocker blockMagnitude(m_ui->magnitudeSlider);
    const QSignalBlocker blockPhase(m_ui->phaseSlider);
    m_ui->magnitudeSlider->setValue(magnitudePos);
    m_ui->phaseSlider->setValue(phasePos);
    m_lastMagnitudePosition = m_ui->magnitudeSlider->value();
    m_lastPhasePosition = m_ui->phaseSlider->value();
}

void MainWindow::showEntryOnSliders(const HarmonicEntry& entry)
{
    setSliderPositions(magnitudePosition(entry.magnitude), phasePosition(entry.phase));
    m_magnitudeText = twoDecimalText(m_lastMagnitudePosition * 0.1);
    m_phaseText = integerText(phaseAtPosition(m_lastPhasePosition));
}

void MainWindow::showEnteredValues(float magnitude, int phase)
{
    setSliderPositions(magnitudePosition(magnitude), phasePosition(phase));
    m_magnitudeText = twoDecimalText(static_cast<double>(magnitude));
    m_phaseText = integerText(phase);
}

void MainWindow::showEmptySelection()
{
    setSliderPositions(magnitudePosition(0.0F), phasePosition(0));
    m_magnitudeText = twoDecimalText(0.0);
    m_phaseText = integerText(0);
}

void MainWindow::showSelection()
{
    if (const std::optional<HarmonicEntry> entry = m_design->selectedEntry()) {
        showEntryOnSliders(*entry);
    } else {
        showEmptySelection();
    }
}

void MainWindow::onAdd()
{
    const AddProposal proposal = m_design->addProposal();
    AddHarmonicDialog dialog(this);
    dialog.number = proposal.number;
    dialog.magnitude = 0.0F;
    dialog.phase = 0;
    dialog.numberRange = m_design->numberRange();
    // Added from within the dialog: a refused number keeps it open with what was typed.
    dialog.commit = [this](float number, float magnitude, int phase) {
        const EntryCheck added = m_design->add(number, magnitude, phase);
        if (added) {
            return QString();
        }
        return added.refusal->present
                   ? QStringLiteral("Harmonic %1 is already specified").arg(twoDecimalText(number))
                   : refusalText(*added.refusal);
    };
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    showEnteredValues(dialog.magnitude, dialog.phase);  // as typed, not as the sliders hold them
    showBoundValues();
}

void MainWindow::onEdit()
{
    const std::optional<HarmonicEntry> entry = m_design->selectedEntry();
    if (!entry) {
        showMessage(this, MessageKind::Information,
                    QStringLiteral("No harmonic is selected to edit."));
        return;
    }
    EditHarmonicDialog dialog(this);
    dialog.harmonicText = QStringLiteral("Harmonic ") + twoDecimalText(entry->number);
    const float multiplier = m_design->settings().frequencyMultiplier();
    if (multiplier != 1.0F) {
        dialog.harmonicText +=
            QStringLiteral(" (%1 Hz)").arg(twoDecimalText(entry->number * multiplier));
    }
    dialog.magnitude = entry->magnitude;
    dialog.phase = entry->phase;
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (const EntryCheck edited = m_design->editSelected(dialog.magnitude, dialog.phase); !edited) {
        showMessage(this, MessageKind::Exclamation, refusalText(*edited.refusal));
        return;
    }
    showEnteredValues(dialog.magnitude, dialog.phase);  // as typed, not as the sliders hold them
    showBoundValues();
}

void MainWindow::onDelete()
{
    const std::optional<HarmonicEntry> doomed = m_design->selectedEntry();
    if (!doomed) {
        showMessage(this, MessageKind::Information,
                    QStringLiteral("No harmonic is selected to delete."));
        return;
    }
    const QString question = QStringLiteral("Are you sure you want to delete harmonic %1")
                                 .arg(twoDecimalText(doomed->number));
    if (showMessage(this, MessageKind::Question, question, true) != QMessageBox::Yes) {
        return;
    }
    if (const std::optional<HarmonicEntry> next = m_design->deleteSelected()) {
        showEntryOnSliders(*next);
    } else {
        showEmptySelection();  // the deleted number stays selected
    }
    showBoundValues();
}

void MainWindow::onMagnitudeSliderMoved(int position)
{
    m_magnitudeText = twoDecimalText(position * 0.1);
    if (position == m_lastMagnitudePosition) {
        return;
    }
    m_lastMagnitudePosition = position;
    if (const std::optional<HarmonicEntry> entry = m_design->selectedEntry()) {
        m_design->moveSlider(Slider::Magnitude, magnitudeAtPosition(position), entry->phase);
    }
}

void MainWindow::onPhaseSliderMoved(int position)
{
    m_phaseText = integerText(phaseAtPosition(position));
    if (position == m_lastPhasePosition) {
        return;
    }
    m_lastPhasePosition = position;
    if (const std::optional<HarmonicEntry> entry = m_design->selectedEntry()) {
        m_design->moveSlider(Slider::Phase, entry->magnitude, phaseAtPosition(position));
    }
}

void MainWindow::onListSelectionChanged()
{
    const QModelIndexList rows = m_ui->harmonicList->selectionModel()->selectedRows();
    const int row = rows.isEmpty() ? -1 : rows.front().row();
    // The view also moves its highlight when rows come and go; the table has then moved
    // its selection the same way, and nothing was picked.
    if (row == m_design->table().selectedRow()) {
        return;
    }
    m_followingUserSelection = true;
    const std::optional<HarmonicEntry> picked = m_design->selectRow(row);
    m_followingUserSelection = false;
    if (picked) {
        showEntryOnSliders(*picked);
    }
    showBoundValues();
}
