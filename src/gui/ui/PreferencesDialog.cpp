#include "ui/PreferencesDialog.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QRegularExpressionValidator>

#include "ui/DataExchange.h"
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

int PreferencesDialog::ShowWithSettings(int displayCyclesValue, int fftCyclesValue,
                                        int sineIndexValue, int referenceIndexValue,
                                        int displayIndexValue, float samplesPerCycleValue)
{
    displayCycles = displayCyclesValue;
    fftCycles = fftCyclesValue;
    sineIndex = sineIndexValue;
    referenceIndex = referenceIndexValue;
    displayIndex = displayIndexValue;
    samplesPerCycle = samplesPerCycleValue;

    m_ui->fftCyclesEdit->setText(DataExchange::intText(fftCycles));
    m_ui->displayCyclesEdit->setText(DataExchange::intText(displayCycles));
    m_ui->samplesPerCycleEdit->setText(DataExchange::floatText(samplesPerCycle));
    check(m_sineGroup, sineIndex);
    check(m_referenceGroup, referenceIndex);
    check(m_displayGroup, displayIndex);
    m_ui->displayCyclesEdit->setFocus();
    m_ui->displayCyclesEdit->selectAll();
    return exec();
}

void PreferencesDialog::accept()
{
    // Checked in this order, so with several bad fields the FFT window is reported first.
    DataExchange exchange(this);
    const auto fft = exchange.readInt(m_ui->fftCyclesEdit, kMinCycles, kMaxCycles);
    if (!fft) {
        return;
    }
    const auto display = exchange.readInt(m_ui->displayCyclesEdit, kMinCycles, kMaxCycles);
    if (!display) {
        return;
    }
    const auto samples = exchange.readFloat(m_ui->samplesPerCycleEdit, kMinEnteredPpc, kMaxPpc);
    if (!samples) {
        return;
    }
    fftCycles = *fft;
    displayCycles = *display;
    samplesPerCycle = *samples;
    sineIndex = m_sineGroup->checkedId();
    referenceIndex = m_referenceGroup->checkedId();
    displayIndex = m_displayGroup->checkedId();
    QDialog::accept();
}

WaveSettings PreferencesDialog::enteredSettings() const
{
    WaveSettings entered;
    entered.displayCycles = displayCycles;
    entered.fftCycles = fftCycles;
    entered.cosine = sineIndex == 0 ? 1 : 0;
    entered.phaseReference = referenceIndex == 0 ? 1 : 0;
    entered.harmIndex = displayIndex;
    entered.ppc = samplesPerCycle;
    return entered;
}
