// The main window's editing commands: Add, Delete, Edit, the two sliders and the list
// selection that decides which harmonic they act on.

#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QSlider>
#include <QTreeView>

#include <cmath>

#include "engine/NumberText.h"
#include "ui/DataExchange.h"
#include "ui/HarmonicDialogs.h"
#include "ui/HarmonicListModel.h"
#include "ui/MainDialog.h"
#include "ui_MainDialog.h"

namespace {

QString fixed2(double value)
{
    return QString::fromStdString(formatFixed(value, 2));
}

QString integerText(int value)
{
    return QString::fromStdString(formatInt(value));
}

/** Slider scale: tenths of a percent, truncated (in single precision, as the value is held). */
int magnitudePosition(float magnitude)
{
    const float tenths = magnitude * 10.0F;
    return tenths < 0.0F ? 0 : (tenths > 1000.0F ? 1000 : static_cast<int>(tenths));
}

float magnitudeAt(int position)
{
    return static_cast<float>(position * 0.1);
}

}  // namespace

void MainDialog::setSliderPositions(int magnitudePos, int phasePos)
{
    const QSignalBlocker blockMagnitude(m_ui->magnitudeSlider);
    const QSignalBlocker blockPhase(m_ui->phaseSlider);
    m_ui->magnitudeSlider->setValue(magnitudePos);
    m_ui->phaseSlider->setValue(phasePos);
    m_lastMagnitudePosition = m_ui->magnitudeSlider->value();
    m_lastPhasePosition = m_ui->phaseSlider->value();
}

void MainDialog::showEntryOnSliders(const HarmonicEntry& entry)
{
    setSliderPositions(magnitudePosition(entry.magnitude), entry.phase + 180);
    m_magnitudeText = fixed2(m_lastMagnitudePosition * 0.1);
    m_phaseText = integerText(m_lastPhasePosition - 180);
}

void MainDialog::showEnteredValues(float magnitude, int phase)
{
    setSliderPositions(magnitudePosition(magnitude), phase + 180);
    m_magnitudeText = fixed2(static_cast<double>(magnitude));
    m_phaseText = integerText(phase);
}

void MainDialog::showEmptySelection()
{
    setSliderPositions(0, 180);
    m_magnitudeText = fixed2(0.0);
    m_phaseText = integerText(0);
}

void MainDialog::OnAdd()
{
    const WaveSettings& active = m_workspace->settings.activeSettings;
    HarmonicTable& table = m_workspace->table;
    const double limit =
        static_cast<double>(active.ppc) * 0.5 - 1.0 / static_cast<double>(table.slotsPerHarmonic());
    const double last = table.lastAddedNumber();
    AddHarmonicDialog dialog(this);
    // Written so that an unordered comparison also proposes 2.
    dialog.number = limit - 2.0 >= last ? static_cast<float>(std::floor(last + 2.0)) : 2.0F;
    dialog.magnitude = 0.0F;
    dialog.phase = 0;
    dialog.maximumNumber = static_cast<float>(limit);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (table.FindHarmonic(dialog.number)) {
        showMessage(this, MessageKind::Exclamation,
                    QStringLiteral("Harmonic %1 is already specified").arg(fixed2(dialog.number)));
        return;
    }
    table.AddHarmonic(dialog.number, dialog.magnitude, dialog.phase);
    showEnteredValues(dialog.magnitude, dialog.phase);
    UpdateData();
    Recalculate();
}

void MainDialog::OnEdit()
{
    HarmonicTable& table = m_workspace->table;
    const float number = table.selectedNumber();
    const std::optional<HarmonicEntry> entry = table.FindHarmonic(number);
    if (!entry) {
        return;  // the selected harmonic was deleted: there is nothing to edit
    }
    EditHarmonicDialog dialog(this);
    dialog.magnitude = entry->magnitude;
    dialog.phase = entry->phase;
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    table.UpdateHarmonic(number, dialog.magnitude, dialog.phase);
    showEnteredValues(dialog.magnitude, dialog.phase);
    UpdateData();
    Recalculate();
}

void MainDialog::OnDelete()
{
    HarmonicTable& table = m_workspace->table;
    const int row = table.selectedRow();
    if (row < 0) {
        showMessage(this, MessageKind::Information,
                    QStringLiteral("No harmonic is selected to delete."));
        return;
    }
    const HarmonicEntry doomed = table.entry(row);
    const QString question =
        QStringLiteral("Are you sure you want to delete harmonic %1").arg(fixed2(doomed.number));
    if (showMessage(this, MessageKind::Question, question, true) != QMessageBox::Yes) {
        return;
    }
    table.RemoveRow(row);
    if (table.count() > 0) {
        const int next = row > 0 ? row - 1 : 0;
        table.selectRow(next);
        const HarmonicEntry& entry = table.entry(next);
        table.setSelectedNumber(entry.number);
        showEntryOnSliders(entry);
    } else {
        showEmptySelection();  // the deleted number stays selected
    }
    UpdateData();
    Recalculate();
}

void MainDialog::onMagnitudeSliderMoved(int position)
{
    m_magnitudeText = fixed2(position * 0.1);
    if (position == m_lastMagnitudePosition) {
        return;
    }
    m_lastMagnitudePosition = position;
    m_workspace->table.UpdateHarmonic(m_workspace->table.selectedNumber(), magnitudeAt(position),
                                      m_ui->phaseSlider->value() - 180);
    UpdateData();
    Recalculate();
}

void MainDialog::onPhaseSliderMoved(int position)
{
    m_phaseText = integerText(position - 180);
    if (position == m_lastPhasePosition) {
        return;
    }
    m_lastPhasePosition = position;
    m_workspace->table.UpdateHarmonic(m_workspace->table.selectedNumber(),
                                      magnitudeAt(m_ui->magnitudeSlider->value()), position - 180);
    UpdateData();
    Recalculate();
}

void MainDialog::onListSelectionChanged()
{
    const QModelIndexList rows = m_ui->harmonicList->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return;
    }
    HarmonicTable& table = m_workspace->table;
    const int row = rows.front().row();
    m_followingUserSelection = true;
    table.selectRow(row);
    m_followingUserSelection = false;
    const HarmonicEntry entry = table.entry(row);
    if (entry.number != table.selectedNumber()) {
        table.setSelectedNumber(entry.number);
        showEntryOnSliders(entry);
        // Entries with an equal number (possible after a file load) take this one's values.
        table.UpdateHarmonic(entry.number, entry.magnitude, entry.phase);
    }
    UpdateData();
}
