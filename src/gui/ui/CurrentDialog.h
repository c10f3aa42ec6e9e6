#pragma once

#include <QDialog>

class QLineEdit;

/** "Korvalin - Fundamental Current": the RMS current I1 that scales a mask in amperes. */
class CurrentDialog final : public QDialog {
    Q_OBJECT

public:
    /** current: the value the field starts with. */
    CurrentDialog(QWidget* parent, double current);

    /** The entered current in A, once accepted. */
    [[nodiscard]] double current() const { return m_current; }

public slots:
    void accept() override;

private:
    QLineEdit* m_edit;
    double m_current;
};
