#pragma once

#include "engine/HarmonicTable.h"
#include "ui/RowTextModel.h"

/**
 * The main list: row k shows entry k of the harmonic table, kept in step by its notices
 * once the owner of the table makes it the table's listener.
 */
class HarmonicListModel final : public RowTextModel, public HarmonicTableListener {
    Q_OBJECT

public:
    explicit HarmonicListModel(const HarmonicTable& table, QObject* parent = nullptr);
    ~HarmonicListModel() override = default;
    Q_DISABLE_COPY_MOVE(HarmonicListModel)

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;

    void rowAboutToBeInserted(int row) override;
    void rowInserted(int row) override;
    void rowAboutToBeRemoved(int row) override;
    void rowRemoved(int row) override;
    void tableAboutToBeCleared() override;
    void tableCleared() override;
    void rowsChanged(int first, int last) override;
    void selectionChanged(int row) override;

signals:
    /** The table selected a row (-1: none); the view follows. */
    void rowSelected(int row);

protected:
    [[nodiscard]] QString cellText(int row, int column) const override;

private:
    const HarmonicTable& m_table;
};
