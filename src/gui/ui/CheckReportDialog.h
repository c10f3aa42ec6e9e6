#pragma once

#include <QDialog>

class QPlainTextEdit;

/**
 * "Korvalin - Check Report": the whole report of the limit mask's check, every order and note,
 * scrollable, beside the window; the verdict under the figures is its last line.
 */
class CheckReportDialog final : public QDialog {
    Q_OBJECT

public:
    explicit CheckReportDialog(QWidget* parent);

    /** The report as checkReport writes it; empty without a check. */
    void showReport(const QString& report);

private:
    QPlainTextEdit* m_text;
};
