#include "ui/HarmonicDialogs.h"

#include <QLineEdit>

#include "design/EntryLimits.h"
#include "ui/FieldReader.h"
#include "ui_AddHarmonicDialog.h"
#include "ui_EditHarmonicDialog.h"

namespace {

constexpr Qt::WindowFlags kModalFrame = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

/** The magnitude (0 to 100) and phase (-180 to 180) fields both dialogs end with. */
bool readMagnitudeAndPhase(FieldReader& fields, QLineEdit* magnitudeField, QLineEdit* phaseField,
                           float& magnitude, int& phase)
{
    const auto enteredMagnitude = fields.readFloat(magnitudeField, kMagnitudeRange);
    if (!enteredMagnitude) {
        return false;
    }
    const auto enteredPhase = fields.readInt(phaseField, kPhaseRange);
    if (!enteredPhase) {
        return false;
    }
    magnitude = *enteredMagnitude;
    phase = *enteredPhase;
    return true;
}

}  // namespace

AddHarmonicDialog::AddHarmonicDialog(QWidget* parent)
    : QDialog(parent, kModalFrame), m_ui(std::make_unique<Ui::AddHarmonicDialog>())
{
    m_ui->setupUi(this);
    prepareTemplateDialog(this, m_ui->okButton, m_ui->cancelButton);
}

AddHarmonicDialog::~AddHarmonicDialog() = default;

int AddHarmonicDialog::exec()
{
    m_ui->numberEdit->setText(FieldReader::floatText(number));
    m_ui->magnitudeEdit->setText(FieldReader::floatText(magnitude));
    m_ui->phaseEdit->setText(FieldReader::intText(phase));
    m_ui->numberEdit->setFocus();
    m_ui->numberEdit->selectAll();
    return QDialog::exec();
}

void AddHarmonicDialog::accept()
{
    FieldReader fields(this);
    const auto enteredNumber = fields.readFloat(m_ui->numberEdit, numberRange);
    float enteredMagnitude = 0.0F;
    int enteredPhase = 0;
    if (!enteredNumber || !readMagnitudeAndPhase(fields, m_ui->magnitudeEdit, m_ui->phaseEdit,
                                                 enteredMagnitude, enteredPhase)) {
        return;
    }
    if (commit) {
        if (const QString refusal = commit(*enteredNumber, enteredMagnitude, enteredPhase);
            !refusal.isEmpty()) {
            fields.refuse(m_ui->numberEdit, refusal);
            return;
        }
    }
    number = *enteredNumber;
    magnitude = enteredMagnitude;
    phase = enteredPhase;
    QDialog::accept();
}

EditHarmonicDialog::EditHarmonicDialog(QWidget* parent)
    : QDialog(parent, kModalFrame), m_ui(std::make_unique<Ui::EditHarmonicDialog>())
{
    m_ui->setupUi(this);
    prepareTemplateDialog(this, m_ui->okButton, m_ui->cancelButton);
}

EditHarmonicDialog::~EditHarmonicDialog() = default;

int EditHarmonicDialog::exec()
{
    m_ui->harmonicCaption->setText(harmonicText);
    m_ui->magnitudeEdit->setText(FieldReader::floatText(magnitude));
    m_ui->phaseEdit->setText(FieldReader::intText(phase));
    m_ui->magnitudeEdit->setFocus();
    m_ui->magnitudeEdit->selectAll();
    return QDialog::exec();
}

void EditHarmonicDialog::accept()
{
    FieldReader fields(this);
    if (readMagnitudeAndPhase(fields, m_ui->magnitudeEdit, m_ui->phaseEdit, magnitude, phase)) {
        QDialog::accept();
    }
}
