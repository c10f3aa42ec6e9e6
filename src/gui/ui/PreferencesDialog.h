#pragma once

#include <QDialog>

#include <memory>
#include <optional>

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

    /** Shows current in the fields and runs the dialog; the entered settings after OK. */
    [[nodiscard]] std::optional<WaveSettings> ask(const WaveSettings& current);

public slots:
    void accept() override;

private:
    QButtonGroup* makeGroup(std::initializer_list<class QRadioButton*> buttons);
    static void check(QButtonGroup* group, int index);

    std::unique_ptr<Ui::PreferencesDialog> m_ui;
    WaveSettings m_entered;
    QButtonGroup* m_displayGroup;
    QButtonGroup* m_sineGroup;
    QButtonGroup* m_referenceGroup;
};
