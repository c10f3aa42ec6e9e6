#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class AboutDialog;
class SplashDialog;
}  // namespace Ui

/** "About Quandrel - Korvalin". */
class AboutDialog final : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent);
    ~AboutDialog() override;
    Q_DISABLE_COPY_MOVE(AboutDialog)

private:
    std::unique_ptr<Ui::AboutDialog> m_ui;
};

/** The frameless splash screen shown while the main window starts. */
class SplashDialog final : public QDialog {
    Q_OBJECT

public:
    explicit SplashDialog(QWidget* parent);
    ~SplashDialog() override;
    Q_DISABLE_COPY_MOVE(SplashDialog)

private:
    std::unique_ptr<Ui::SplashDialog> m_ui;
};

/** The program icon at 16, 32 and 48 pixels. */
[[nodiscard]] QIcon programIcon();
