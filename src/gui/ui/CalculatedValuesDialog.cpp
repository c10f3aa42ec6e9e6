#include "ui/CalculatedValuesDialog.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QScreen>

#include <algorithm>
#include <array>

#include "numbers/NumberText.h"
#include "ui/FormUnits.h"
#include "ui_CalculatedValuesDialog.h"

int CalculatedRowsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QString CalculatedRowsModel::cellText(int row, int column) const
{
    const CalculatedRow& r = m_rows[static_cast<std::size_t>(row)];
    switch (column) {
    case 0:
        return QString::fromStdString(formatFixed(static_cast<double>(r.number), 2));
    case 1:
        return QString::fromStdString(formatFixed(static_cast<double>(r.magnitude), 2));
    default:
        return QString::fromStdString(formatInt(r.phase));
    }
}

void CalculatedRowsModel::replaceRows(const std::vector<CalculatedRow>& rows)
{
    if (rows.size() != m_rows.size()) {
        beginResetModel();
        m_rows = rows;
        endResetModel();
        return;
    }
    // As many rows as before, as after a slider step: the values change in place, and of
    // each column only the rows from the first to the last that changed are repainted, as
    // far as they are shown. A reset repainted every cell shown (a tenth of a step).
    constexpr int kColumns = 3;
    std::array<int, kColumns> first;
    std::array<int, kColumns> last;
    first.fill(rowCount());
    last.fill(-1);
    for (int row = 0; row < rowCount(); ++row) {
        const CalculatedRow& was = m_rows[static_cast<std::size_t>(row)];
        const CalculatedRow& now = rows[static_cast<std::size_t>(row)];
        const std::array<bool, kColumns> changed = {
            was.number != now.number, was.magnitude != now.magnitude, was.phase != now.phase};
        for (std::size_t column = 0; column < changed.size(); ++column) {
            if (changed[column]) {
                first[column] = std::min(first[column], row);
                last[column] = row;
            }
        }
    }
    m_rows = rows;
    for (int column = 0; column < kColumns; ++column) {
        const auto c = static_cast<std::size_t>(column);
        if (last[c] >= 0) {
            emit dataChanged(index(first[c], column), index(last[c], column), {Qt::DisplayRole});
        }
    }
}

CalculatedValuesDialog::CalculatedValuesDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_ui(std::make_unique<Ui::CalculatedValuesDialog>()),
      m_model(new CalculatedRowsModel(this))
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_ShowWithoutActivating);
    placeFromFormUnits(this);
    setFixedSize(size());
    setUpReportList(m_ui->calculatedList, m_model);
    m_ui->calculatedList->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Copy: the rows as CSV, from the keyboard or the list's context menu.
    auto* copy = new QAction(QStringLiteral("&Copy"), this);
    copy->setObjectName(QStringLiteral("copyAction"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WindowShortcut);
    connect(copy, &QAction::triggered, this,
            [this] { QGuiApplication::clipboard()->setText(m_model->csv()); });
    addAction(copy);
    m_ui->calculatedList->addAction(copy);
    m_ui->calculatedList->setContextMenuPolicy(Qt::ActionsContextMenu);
    // Centered once, at creation; afterwards it keeps wherever the user put it.
    const QWidget* anchor = parentWidget();
    const QRect area =
        anchor && anchor->isVisible() ? anchor->frameGeometry() : screen()->availableGeometry();
    move(area.center() - rect().center());
}

CalculatedValuesDialog::~CalculatedValuesDialog() = default;

void CalculatedValuesDialog::replaceCalculatedRows(const std::vector<CalculatedRow>& rows)
{
    m_model->replaceRows(rows);
    // Nothing stays selected across a recalculation, as when every row was replaced.
    QItemSelectionModel* selection = m_ui->calculatedList->selectionModel();
    if (selection->hasSelection() || selection->currentIndex().isValid()) {
        selection->clear();
    }
}

void CalculatedValuesDialog::setNumberHeading(const QString& heading)
{
    m_model->setNumberHeading(heading);
}

void CalculatedValuesDialog::showQualityFigures(const QualityTexts& texts)
{
    m_ui->qualityFigures->setText(
        QStringLiteral("THD-R: %1   THD\u2084\u2080: %2\nTHD\u2085\u2080: %3   K: %4\n"
                       "Crest: %5   Form: %6")
            .arg(QString::fromStdString(texts.thdR), QString::fromStdString(texts.thd40),
                 QString::fromStdString(texts.thd50), QString::fromStdString(texts.kFactor),
                 QString::fromStdString(texts.crest), QString::fromStdString(texts.formFactor)));
}

void CalculatedValuesDialog::accept()
{
    // Enter neither closes nor hides the window.
}

void CalculatedValuesDialog::reject()
{
    // Nor does Escape: only the main window's check box hides it.
}

void CalculatedValuesDialog::closeEvent(QCloseEvent* event)
{
    event->ignore();
}
