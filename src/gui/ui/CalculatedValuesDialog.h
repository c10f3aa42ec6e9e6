#pragma once

#include <QDialog>

#include <memory>
#include <vector>

#include "engine/Recalculate.h"
#include "ui/RowTextModel.h"

namespace Ui {
class CalculatedValuesDialog;
}

/** The rows of the calculated-values list; the model owns them. */
class CalculatedRowsModel final : public RowTextModel {
    Q_OBJECT

public:
    using RowTextModel::RowTextModel;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    /** Replaces every row at once; as many rows as before change in place. */
    void replaceRows(const std::vector<CalculatedRow>& rows);

protected:
    [[nodiscard]] QString cellText(int row, int column) const override;

private:
    std::vector<CalculatedRow> m_rows;
};

/**
 * The modeless "Korvalin Calculated values" window: the significant bins of the last
 * recalculation. It has no close button, and Enter and Escape do nothing in it.
 */
class CalculatedValuesDialog final : public QDialog {
    Q_OBJECT

public:
    explicit CalculatedValuesDialog(QWidget* parent);
    ~CalculatedValuesDialog() override;
    Q_DISABLE_COPY_MOVE(CalculatedValuesDialog)

    /** All rows of one recalculation at once. */
    void replaceCalculatedRows(const std::vector<CalculatedRow>& rows);
    void setNumberHeading(const QString& heading);
    /** The power-quality figures of the same recalculation, under the rows. */
    void showQualityFigures(const QualityTexts& texts);

public slots:
    void accept() override;
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::CalculatedValuesDialog> m_ui;
    CalculatedRowsModel* m_model;
};
