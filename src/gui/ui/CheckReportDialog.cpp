#include "ui/CheckReportDialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

/** Wide enough for a table row and the notes beside it, in characters and lines. */
constexpr int kReportColumns = 90;
constexpr int kReportLines = 30;

}  // namespace

CheckReportDialog::CheckReportDialog(QWidget* parent)
    : QDialog(parent), m_text(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("checkReportWindow"));
    setWindowTitle(QStringLiteral("Korvalin - Check Report"));
    auto* layout = new QVBoxLayout(this);
    m_text->setObjectName(QStringLiteral("checkReportText"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The report's table lines up in columns.
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QFontMetrics metrics(m_text->font());
    m_text->setMinimumSize(metrics.horizontalAdvance(u'0') * kReportColumns,
                           metrics.lineSpacing() * kReportLines);
    layout->addWidget(m_text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &CheckReportDialog::reject);
    layout->addWidget(buttons);
}

void CheckReportDialog::showReport(const QString& report)
{
    // Kept where the reader scrolled to, as the report follows each change of the design.
    const int scrolled = m_text->verticalScrollBar()->value();
    m_text->setPlainText(report);
    m_text->verticalScrollBar()->setValue(scrolled);
}
