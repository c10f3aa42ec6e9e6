#include "ui/PreferencesDialog.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QRegularExpressionValidator>

#include "design/EntryLimits.h"
#include "ui/FieldReader.h"
#include "ui_PreferencesDialog.h"

PreferencesDialog::PreferencesDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_ui(std::make_unique<Ui::PreferencesDialog>())
{
    m_ui->setupUi(this);
    prepareTemplateDialog(this, m_ui->okButton, m_ui->cancelButton);
    // The cycle fields take digits only.
    auto* digits =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    m_ui->displayCyclesEdit->setValidator(digits);
    m_ui->fftCyclesEdit->setValidator(digits);
    m_displayGroup =
        makeGroup({m_ui->harmonicDisplayRadio, m_ui->display50HzRadio, m_ui->display60HzRadio});
    m_sineGroup = makeGroup({m_ui->cosineRadio, m_ui->sineRadio});
    m_referenceGroup = makeGroup({m_ui->harmonicReferenceRadio, m_ui->fundamentalReferenceRadio});
    // The group boxes only frame their buttons; clicks go through to the buttons.
    for (QGroupBox* box :
         {m_ui->phaseAngleGroup, m_ui->phaseReferenceGroup, m_ui->harmonicDisplayGroup}) {
        box->setAttribute(Qt::WA_TransparentForMouseEvents);
        box->lower();
    }
}

PreferencesDialog::~PreferencesDialog() = default;

QButtonGroup* PreferencesDialog::makeGroup(std::initializer_list<QRadioButton*> buttons)
{
    auto* group = new QButtonGroup(this);
    int index = 0;
    for (QRadioButton* button : buttons) {
        group->addButton(button, index++);
    }
    return group;
}

void PreferencesDialog::check(QButtonGroup* group, int index)
{
    // An index outside the group (-1 at construction) leaves every button clear.
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons()) {
        button->setChecked(group->id(button) == index);
    }
    group->setExclusive(true);
}

namespace {

/** Index 0 of each radio group is the stored value 1, as the groups list their buttons. */
int flagIndex(int storedFlag)
{
    return storedFlag == 0 ? 1 : 0;
}

}  // namespace

std::optional<WaveSettings> PreferencesDialog::ask(const WaveSettings& current)
{
    m_ui->fftCyclesEdit->setText(FieldReader::intText(current.fftCycles));
    m_ui->displayCyclesEdit->setText(FieldReader::intText(current.displayCycles));
    m_ui->samplesPerCycleEdit->setText(FieldReader::floatText(current.ppc));
    check(m_sineGroup, flagIndex(storedValue(current.basis)));
    check(m_referenceGroup, flagIndex(storedValue(current.phaseReference)));
    check(m_displayGroup, storedValue(current.displayMode));
    m_ui->displayCyclesEdit->setFocus();
    m_ui->displayCyclesEdit->selectAll();
    if (exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return m_entered;
}

void PreferencesDialog::accept()
{
    // Checked in this order, so with several bad fields the FFT window is reported first.
    FieldReader fields(this);
    const auto fft = fields.readInt(m_ui->fftCyclesEdit, kCyclesRange);
    if (!fft) {
        return;
    }
    const auto display = fields.readInt(m_ui->displayCyclesEdit, kCyclesRange);
    if (!display) {
        return;
    }
    const auto samples = fields.readFloat(m_ui->samplesPerCycleEdit, kEnteredPpcRange);
    if (!samples) {
        return;
    }
    m_entered.fftCycles = *fft;
    m_entered.displayCycles = *display;
    m_entered.ppc = *samples;
    m_entered.basis = basisFromFlag(m_sineGroup->checkedId() == 0 ? 1 : 0);
    m_entered.phaseReference = referenceFromFlag(m_referenceGroup->checkedId() == 0 ? 1 : 0);
    // No button checked (a stored value of no mode, untouched) gives -1, which the store keeps.
    m_entered.displayMode = static_cast<DisplayMode>(m_displayGroup->checkedId());
    QDialog::accept();
}
