#include "ui/HarmonicListModel.h"

HarmonicListModel::HarmonicListModel(const HarmonicTable& table, QObject* parent)
    : RowTextModel(parent), m_table(table)
{}

int HarmonicListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_table.count();
}

QString HarmonicListModel::cellText(int row, int column) const
{
    switch (column) {
    case 0:
        return QString::fromStdString(m_table.numberText(row));
    case 1:
        return QString::fromStdString(m_table.magnitudeText(row));
    default:
        return QString::fromStdString(m_table.phaseText(row));
    }
}

void HarmonicListModel::rowAboutToBeInserted(int row)
{
    beginInsertRows({}, row, row);
}

void HarmonicListModel::rowInserted(int /*row*/)
{
    endInsertRows();
}

void HarmonicListModel::rowAboutToBeRemoved(int row)
{
    beginRemoveRows({}, row, row);
}

void HarmonicListModel::rowRemoved(int /*row*/)
{
    endRemoveRows();
}

void HarmonicListModel::tableAboutToBeCleared()
{
    beginResetModel();
}

void HarmonicListModel::tableCleared()
{
    endResetModel();
}

void HarmonicListModel::rowsChanged(int first, int last)
{
    emit dataChanged(index(first, 0), index(last, 2), {Qt::DisplayRole});
}

void HarmonicListModel::selectionChanged(int row)
{
    emit rowSelected(row);
}
