#pragma once

#include <QDialog>

#include <memory>

#include "fft/Optimize.h"
#include "ui/Pause.h"

namespace Ui {
class OptimizingDialog;
}

/** "Korvalin Optimizing...": the progress of optimizePlans. The user cannot close it. */
class OptimizingDialog final : public QDialog {
    Q_OBJECT

public:
    explicit OptimizingDialog(QWidget* parent);
    ~OptimizingDialog() override;
    Q_DISABLE_COPY_MOVE(OptimizingDialog)

    void setRange(int low, int high);
    /** Moves the bar and repaints it at once: no events are processed meanwhile. */
    void setPosition(int value);

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::OptimizingDialog> m_ui;
};

/** Shows optimizePlans in an OptimizingDialog that lives for one optimization. */
class OptimizingDialogProgress final : public OptimizeProgress {
public:
    OptimizingDialogProgress(QWidget* parent, PauseFunction pause);
    ~OptimizingDialogProgress() override;
    OptimizingDialogProgress(const OptimizingDialogProgress&) = delete;
    OptimizingDialogProgress& operator=(const OptimizingDialogProgress&) = delete;

    bool open() override;
    void setPosition(int position) override;
    void pause(int milliseconds) override;
    void close() override;

private:
    QWidget* m_parent;
    PauseFunction m_pause;
    std::unique_ptr<OptimizingDialog> m_dialog;
};
