#include "charts/PictureEncoding.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

namespace {

/** PDF points a pixel: the picture keeps its size at 96 dots per inch. */
constexpr int kPdfResolution = 96;

}  // namespace

std::optional<std::string> encodePicture(int width, int height, const QString& path, QString& error,
                                         const std::function<void(QPainter&)>& draw)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (suffix == QLatin1String("png")) {
        QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            draw(painter);
        }
        if (!image.save(&buffer, "PNG")) {
            error = QStringLiteral("the PNG could not be encoded");
            return std::nullopt;
        }
    } else if (suffix == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(QSize(width, height));
        svg.setViewBox(QRect(0, 0, width, height));
        svg.setTitle(QStringLiteral("Korvalin"));
        QPainter painter(&svg);
        draw(painter);
    } else if (suffix == QLatin1String("pdf")) {
        QPdfWriter pdf(&buffer);
        pdf.setTitle(QStringLiteral("Korvalin"));
        pdf.setResolution(kPdfResolution);
        pdf.setPageSize(QPageSize(QSizeF(width, height), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&pdf);
        const double factor = pdf.width() / static_cast<double>(width);
        painter.scale(factor, factor);
        draw(painter);
    } else {
        error = QStringLiteral("the picture must end in .png, .svg or .pdf");
        return std::nullopt;
    }
    buffer.close();
    return buffer.data().toStdString();
}
