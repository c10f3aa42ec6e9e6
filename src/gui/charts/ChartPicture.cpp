#include "charts/ChartPicture.h"

#include <QPainter>
#include <QPicture>
#include <QWidget>

#include "charts/ChartControl.h"
#include "charts/PictureEncoding.h"
#include "engine/Recalculate.h"

namespace {

constexpr int kMargin = 10;
constexpr int kMiddleRow = 28;

/** Draws both charts, laid out as the window lays them out, onto painter. */
void drawCharts(QPainter& painter, const RecalcResult& result, const ChartAxes& axes,
                SpectrumScale scale, std::span<const LimitLine> limits, const QString& middleLine,
                int width, int height)
{
    QWidget canvas;
    canvas.resize(width, height);
    const int chartHeight = (height - kMiddleRow) / 2 - kMargin;
    const QRect top(kMargin, kMargin, width - 2 * kMargin, chartHeight);
    const QRect bottom(kMargin, height - kMargin - chartHeight, width - 2 * kMargin, chartHeight);
    ChartControl waveform;
    ChartControl spectrum;
    waveform.create(ChartType::Waveform, &canvas, top);
    spectrum.create(ChartType::Spectrum, &canvas, bottom);
    spectrum.setSpectrumScale(scale);
    spectrum.setLimitLines({limits.begin(), limits.end()});
    fillCharts(waveform, spectrum, result.waveform, result.axisHalfRange, result.spectrum, axes);

    painter.fillRect(QRect(0, 0, width, height), QColor(250, 250, 250));
    for (const auto& [chart, rect] : {std::pair{&waveform, top}, std::pair{&spectrum, bottom}}) {
        // Recorded as drawing commands, so SVG and PDF stay vector graphics.
        QPicture picture;
        chart->recordTo(picture, rect.width(), rect.height());
        painter.drawPicture(rect.topLeft(), picture);
    }
    painter.setPen(QColor(40, 40, 40));
    painter.drawText(
        QRect(kMargin, top.bottom() + 1, width - 2 * kMargin, bottom.top() - top.bottom() - 1),
        Qt::AlignVCenter | Qt::AlignLeft, middleLine);
}

}  // namespace

std::optional<std::string> chartPicture(const RecalcResult& result, const ChartAxes& axes,
                                        const QString& middleLine, int width, int height,
                                        const QString& path, QString& error, SpectrumScale scale,
                                        std::span<const LimitLine> limits)
{
    return encodePicture(width, height, path, error, [&](QPainter& painter) {
        drawCharts(painter, result, axes, scale, limits, middleLine, width, height);
    });
}
