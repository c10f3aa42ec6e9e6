#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QTableView>

#include <array>

/**
 * A three-column report list (number, "Magnitude", "Phase"): the number column is
 * left-aligned, the other two right-aligned, every cell plain text.
 */
class RowTextModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit RowTextModel(QObject* parent = nullptr);

    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

    /** Renames the first column ("Harmonic" or "Frequency"). */
    void setNumberHeading(const QString& heading);
    [[nodiscard]] QString numberHeading() const { return m_headings[0]; }
    /** The headings and every row as comma-separated lines, as shown. */
    [[nodiscard]] QString csv() const;

    /** Column widths in pixels: wide enough for each column's longest text. */
    static constexpr std::array<int, 3> kColumnWidths = {62, 68, 68};
    /** Horizontal base units of the font those widths were drawn for. */
    static constexpr int kDrawnBaseX = 6;
    /** A column's width at a font of horizontal base units baseX. */
    [[nodiscard]] static constexpr int columnWidth(int column, int baseX)
    {
        return (kColumnWidths[static_cast<std::size_t>(column)] * baseX + kDrawnBaseX / 2) /
               kDrawnBaseX;
    }

protected:
    [[nodiscard]] virtual QString cellText(int row, int column) const = 0;

private:
    std::array<QString, 3> m_headings;
};

class QTreeView;

/** Gives a report list its model, column widths and report-style look. */
void setUpReportList(QTreeView* view, RowTextModel* model);
/**
 * The same for a table view: no grid, no row headings, rows one text line high. A table
 * view keeps about 8 bytes a row where a tree view keeps a layout item of about 40, which
 * matters for a list of millions of entries.
 */
void setUpReportList(QTableView* view, RowTextModel* model);

/**
 * A table view that the keyboard moves as a list: Home and End go to the first and the last
 * row, Left and Right scroll instead of moving between cells.
 */
class ReportTableView : public QTableView {
    Q_OBJECT

public:
    using QTableView::QTableView;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
};
