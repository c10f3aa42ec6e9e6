#include "ui/OptimizingDialog.h"

#include <QCloseEvent>
#include <QScreen>

#include "ui/FormUnits.h"
#include "ui_OptimizingDialog.h"

OptimizingDialog::OptimizingDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_ui(std::make_unique<Ui::OptimizingDialog>())
{
    m_ui->setupUi(this);
    placeFromFormUnits(this);
    setFixedSize(size());
    setRange(0, 100);
}

OptimizingDialog::~OptimizingDialog() = default;

void OptimizingDialog::setRange(int low, int high)
{
    m_ui->progressBar->setRange(low, high);
}

void OptimizingDialog::setPosition(int value)
{
    m_ui->progressBar->setValue(value);
    m_ui->progressBar->repaint();
}

void OptimizingDialog::reject()
{
    // Escape does not close it.
}

void OptimizingDialog::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

OptimizingDialogProgress::OptimizingDialogProgress(QWidget* parent, PauseFunction pause)
    : m_parent(parent), m_pause(std::move(pause))
{}

OptimizingDialogProgress::~OptimizingDialogProgress() = default;

bool OptimizingDialogProgress::open()
{
    m_dialog = std::make_unique<OptimizingDialog>(m_parent);
    m_dialog->setRange(0, kOptimizeProgressMaximum);
    const QRect area = m_parent && m_parent->isVisible() ? m_parent->frameGeometry()
                                                         : m_dialog->screen()->availableGeometry();
    m_dialog->move(area.center() - m_dialog->rect().center());
    m_dialog->show();
    flushPainting();
    m_dialog->repaint();
    return true;
}

void OptimizingDialogProgress::setPosition(int position)
{
    m_dialog->setPosition(position);
}

void OptimizingDialogProgress::pause(int milliseconds)
{
    m_pause(milliseconds);
}

void OptimizingDialogProgress::close()
{
    m_dialog.reset();
}
