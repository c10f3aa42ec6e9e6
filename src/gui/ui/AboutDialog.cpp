#include "ui/AboutDialog.h"

#include <QIcon>
#include <QPixmap>

#include "ui/FormUnits.h"
#include "ui_AboutDialog.h"
#include "ui_SplashDialog.h"

QIcon programIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        icon.addFile(QStringLiteral(":/images/korvalin-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_ui(std::make_unique<Ui::AboutDialog>())
{
    m_ui->setupUi(this);
    placeFromFormUnits(this);
    setFixedSize(size());
    const int side = std::min(m_ui->iconLabel->width(), m_ui->iconLabel->height());
    m_ui->iconLabel->setPixmap(programIcon().pixmap(std::min(side, 48)));
    m_ui->iconLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_ui->releaseLabel->setText(QStringLiteral(" Release " KORVALIN_VERSION));
    connect(m_ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
}

AboutDialog::~AboutDialog() = default;

SplashDialog::SplashDialog(QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      m_ui(std::make_unique<Ui::SplashDialog>())
{
    m_ui->setupUi(this);
    placeFromFormUnits(this);
    setFixedSize(size());
    // The bitmap is shown at its own size, centered on its box (which it fills exactly
    // under the font the box was drawn for).
    const QPixmap bitmap(QStringLiteral(":/images/splash.png"));
    const QRect box = m_ui->splashBitmap->geometry();
    m_ui->splashBitmap->setPixmap(bitmap);
    m_ui->splashBitmap->setGeometry(
        QRect(QPoint(box.center().x() - bitmap.width() / 2, box.center().y() - bitmap.height() / 2),
              bitmap.size()));
}

SplashDialog::~SplashDialog() = default;
