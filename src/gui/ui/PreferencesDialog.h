#pragma once

#include <QDialog>

#include <memory>

#include "settings/WaveSettings.h"

class QButtonGroup;

namespace Ui {
class PreferencesDialog;
}

/** "Korvalin Preferences": cycles, samples per cycle, display, phase angle and reference. */
class PreferencesDialog final : public QDialog {
    Q_OBJECT

public:
    explicit PreferencesDialog(QWidget* parent);
    ~PreferencesDialog() override;
    Q_DISABLE_COPY_MOVE(PreferencesDialog)

    /** Stores the six values in the fields and runs the dialog; returns its result. */
    virtual int ShowWithSettings(int displayCycles, int fftCycles, int sineIndex,
                                 int referenceIndex, int displayIndex, float samplesPerCycle);

    int fftCycles = 0;
    int displayCycles = 0;
    int sineIndex = -1;
    int referenceIndex = -1;
    int displayIndex = -1;
    float samplesPerCycle = 0.0F;

    /** The accepted fields as settings: index 0 of either radio group sets its flag. */
    [[nodiscard]] WaveSettings enteredSettings() const;

public slots:
    void accept() override;

private:
    QButtonGroup* makeGroup(std::initializer_list<class QRadioButton*> buttons);
    static void check(QButtonGroup* group, int index);

    std::unique_ptr<Ui::PreferencesDialog> m_ui;
    QButtonGroup* m_displayGroup;
    QButtonGroup* m_sineGroup;
    QButtonGroup* m_referenceGroup;
};
