#include "ui/CurrentDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/LimitTables.h"
#include "ui/FieldReader.h"

namespace {

constexpr auto kMinCurrent = static_cast<float>(kMinFundamentalRms);
constexpr auto kMaxCurrent = static_cast<float>(kMaxFundamentalRms);

}  // namespace

CurrentDialog::CurrentDialog(QWidget* parent, double current)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_edit(new QLineEdit(this)),
      m_current(current)
{
    setWindowTitle(QStringLiteral("Korvalin - Fundamental Current"));
    auto* layout = new QVBoxLayout(this);
    auto* caption =
        new QLabel(QStringLiteral("RMS current of the fundamental, I\u2081 (A):"), this);
    caption->setBuddy(m_edit);
    layout->addWidget(caption);
    m_edit->setObjectName(QStringLiteral("currentEdit"));
    m_edit->setText(FieldReader::floatText(static_cast<float>(current)));
    m_edit->selectAll();
    layout->addWidget(m_edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CurrentDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CurrentDialog::reject);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CurrentDialog::accept()
{
    FieldReader fields(this);
    if (const auto entered = fields.readFloat(m_edit, kMinCurrent, kMaxCurrent)) {
        m_current = static_cast<double>(*entered);
        QDialog::accept();
    }
}
