#pragma once

#include <QDialog>

#include <functional>
#include <memory>

#include "design/EntryLimits.h"

namespace Ui {
class AddHarmonicDialog;
class EditHarmonicDialog;
}  // namespace Ui

/** "Korvalin - Add Harmonic": number (in numberRange), magnitude (0 to 100), phase. */
class AddHarmonicDialog final : public QDialog {
    Q_OBJECT

public:
    explicit AddHarmonicDialog(QWidget* parent);
    ~AddHarmonicDialog() override;
    Q_DISABLE_COPY_MOVE(AddHarmonicDialog)

    float number = 0.0F;
    float magnitude = 0.0F;
    int phase = 0;
    EntryRange<float> numberRange{0.0F, 0.0F};
    /**
     * Takes the entered values on OK; a refusal (its message) keeps the dialog open with the
     * number field at fault. None: the values are only kept.
     */
    std::function<QString(float number, float magnitude, int phase)> commit;

    /** Shows the fields and runs the dialog; the fields hold the entered values after OK. */
    int exec() override;

public slots:
    void accept() override;

private:
    std::unique_ptr<Ui::AddHarmonicDialog> m_ui;
};

/** "Korvalin - Edit Harmonic": magnitude (0 to 100) and phase of the selected harmonic. */
class EditHarmonicDialog final : public QDialog {
    Q_OBJECT

public:
    explicit EditHarmonicDialog(QWidget* parent);
    ~EditHarmonicDialog() override;
    Q_DISABLE_COPY_MOVE(EditHarmonicDialog)

    float magnitude = 0.0F;
    int phase = 0;
    /** Which harmonic is edited, shown above the fields ("Harmonic 3.00 (150.00 Hz)"). */
    QString harmonicText;

    int exec() override;

public slots:
    void accept() override;

private:
    std::unique_ptr<Ui::EditHarmonicDialog> m_ui;
};
