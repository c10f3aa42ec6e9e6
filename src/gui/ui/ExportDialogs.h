#pragma once

#include <QDialog>

#include "files/InstrumentExport.h"

class Design;
class QAction;
class QCheckBox;
class QLineEdit;
class QMenu;
class QRadioButton;
class SettingsStore;

/** "Waveform for Instrument": points, cycles, scale, level, bits and format. */
class WaveformExportDialog final : public QDialog {
    Q_OBJECT

public:
    WaveformExportDialog(QWidget* parent, const WaveformExport& start);
    Q_DISABLE_COPY_MOVE(WaveformExportDialog)

    [[nodiscard]] const WaveformExport& request() const { return m_request; }

public slots:
    void accept() override;

private:
    WaveformExport m_request;
    QLineEdit* m_points;
    QLineEdit* m_cycles;
    QLineEdit* m_volts;
    QLineEdit* m_bits;
    QRadioButton* m_scales[4];
    QRadioButton* m_peak;
    QRadioButton* m_text;
};

/** "Harmonic Table": basis, phase reference and the fundamental at 0 degrees. */
class TableExportDialog final : public QDialog {
    Q_OBJECT

public:
    TableExportDialog(QWidget* parent, const TableExport& start);
    Q_DISABLE_COPY_MOVE(TableExportDialog)

    [[nodiscard]] TableExport request() const;

private:
    QRadioButton* m_sine;
    QRadioButton* m_fundamental;
    QCheckBox* m_zero;
};

/**
 * Adds File > Export with "Waveform for Instrument…" and "Harmonic Table…" before before:
 * each asks its dialog (remembered in store) and a file, then writes the design through the
 * core's export.
 */
void addExportMenu(QMenu* fileMenu, QAction* before, QWidget* window, const Design& design,
                   SettingsStore& store);
