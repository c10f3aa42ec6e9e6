#include "ui/RowTextModel.h"

#include <QHeaderView>
#include <QTreeView>

#include "ui/DialogUnits.h"

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

void setUpReportList(QTreeView* view, RowTextModel* model)
{
    view->setModel(model);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(false);
    view->header()->setSectionsClickable(false);
    view->header()->setSectionsMovable(false);
    view->header()->setStretchLastSection(false);
    // The widths were drawn for a font of 6-pixel base units: scaled to the list's font.
    const DialogUnits units(view->font());
    for (int column = 0; column < 3; ++column) {
        view->header()->resizeSection(column, RowTextModel::columnWidth(column, units.baseX()));
    }
}
