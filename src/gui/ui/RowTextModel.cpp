#include "ui/RowTextModel.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTreeView>

#include "ui/FormUnits.h"

RowTextModel::RowTextModel(QObject* parent)
    : QAbstractTableModel(parent),
      m_headings{QStringLiteral("Harmonic"), QStringLiteral("Magnitude"), QStringLiteral("Phase")}
{}

int RowTextModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant RowTextModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return cellText(index.row(), index.column());
    }
    if (role == Qt::TextAlignmentRole) {
        return index.column() == 0 ? int(Qt::AlignLeft | Qt::AlignVCenter)
                                   : int(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant RowTextModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section > 2) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return m_headings[static_cast<std::size_t>(section)];
    }
    if (role == Qt::TextAlignmentRole) {
        return section == 0 ? int(Qt::AlignLeft | Qt::AlignVCenter)
                            : int(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

void RowTextModel::setNumberHeading(const QString& heading)
{
    m_headings[0] = heading;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

QString RowTextModel::csv() const
{
    QString text = m_headings[0] + u',' + m_headings[1] + u',' + m_headings[2] + u'\n';
    for (int row = 0; row < rowCount(); ++row) {
        text += cellText(row, 0) + u',' + cellText(row, 1) + u',' + cellText(row, 2) + u'\n';
    }
    return text;
}

namespace {

void setUpColumns(QAbstractItemView* view, QHeaderView* header, RowTextModel* model)
{
    view->setModel(model);
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    // The widths were drawn for a font of 6-pixel base units: scaled to the list's font.
    const FormUnits units(view->font());
    for (int column = 0; column < 3; ++column) {
        header->resizeSection(column, RowTextModel::columnWidth(column, units.baseX()));
    }
}

}  // namespace

void setUpReportList(QTreeView* view, RowTextModel* model)
{
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(false);
    setUpColumns(view, view->header(), model);
}

void setUpReportList(QTableView* view, RowTextModel* model)
{
    view->setShowGrid(false);
    view->setWordWrap(false);
    view->setTabKeyNavigation(false);  // Tab leaves the list, as from any list
    view->setCornerButtonEnabled(false);
    view->horizontalHeader()->setHighlightSections(false);
    // Every row as high as the style makes one line of text; one height for all rows, so
    // nothing is measured per row.
    QStyleOptionViewItem item;
    item.initFrom(view);
    item.features = QStyleOptionViewItem::HasDisplay;
    item.text = QStringLiteral("0");
    const int height =
        view->style()->sizeFromContents(QStyle::CT_ItemViewItem, &item, QSize(), view).height();
    QHeaderView* rows = view->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(height);
    rows->setDefaultSectionSize(height);
    setUpColumns(view, view->horizontalHeader(), model);
}

QModelIndex ReportTableView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    switch (action) {
    case MoveHome:
    case MoveEnd:
        return QTableView::moveCursor(action, modifiers | Qt::ControlModifier);
    case MoveLeft:
    case MoveRight:
        horizontalScrollBar()->triggerAction(action == MoveLeft
                                                 ? QAbstractSlider::SliderSingleStepSub
                                                 : QAbstractSlider::SliderSingleStepAdd);
        return currentIndex();
    default:
        return QTableView::moveCursor(action, modifiers);
    }
}
