#include "charts/TrendChart.h"

#include <QPainter>
#include <QPicture>
#include <QWidget>

#include <algorithm>
#include <array>

#include <qcustomplot.h>
#include "charts/ChartControl.h"
#include "charts/PictureEncoding.h"

namespace {

/** Series colors in turn: distinct on light and dark faces. */
const std::array<QColor, 8> kSeriesColors = {
    QColor(226, 102, 20), QColor(33, 118, 214), QColor(46, 160, 67),  QColor(178, 60, 160),
    QColor(200, 40, 40),  QColor(0, 150, 160),  QColor(140, 110, 30), QColor(90, 90, 90)};
constexpr double kSeriesPen = 1.5;
constexpr double kPointSize = 4.0;
constexpr double kRangeMargin = 0.05;

}  // namespace

void drawTrend(QCustomPlot& plot, const std::vector<TrendSeries>& series,
               const std::optional<double>& startTime)
{
    plot.clearGraphs();
    const QPalette palette = plot.palette();
    styleChartAxis(plot.xAxis, palette);
    styleChartAxis(plot.yAxis, palette);
    plot.setBackground(QBrush(palette.color(QPalette::Window)));
    plot.axisRect()->setBackground(QBrush(palette.color(QPalette::Base)));
    if (startTime) {
        auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
        ticker->setDateTimeSpec(Qt::UTC);
        ticker->setDateTimeFormat(QStringLiteral("yyyy-MM-dd\nHH:mm"));
        plot.xAxis->setTicker(ticker);
        plot.xAxis->setLabel(QStringLiteral("UTC"));
    } else {
        plot.xAxis->setTicker(QSharedPointer<QCPAxisTicker>::create());
        plot.xAxis->setLabel(QStringLiteral("seconds"));
    }
    double least = 0.0;
    double most = 0.0;
    double first = 0.0;
    double last = 0.0;
    bool any = false;
    for (std::size_t s = 0; s < series.size(); ++s) {
        const TrendSeries& each = series[s];
        QCPGraph* graph = plot.addGraph();
        graph->setName(each.name);
        const QColor color = kSeriesColors[s % kSeriesColors.size()];
        graph->setPen(QPen(color, kSeriesPen));
        // A value holds over its interval: steps, with a dot where each interval starts.
        graph->setLineStyle(QCPGraph::lsStepLeft);
        graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, color, kPointSize));
        QVector<double> times = each.times;
        QVector<double> values = each.values;
        if (times.size() >= 2) {
            // The last interval drawn as wide as the one before it, to where it ends.
            times.push_back(2 * times.back() - times[times.size() - 2]);
            values.push_back(values.back());
        }
        if (startTime) {
            for (double& t : times) {
                t += *startTime;
            }
        }
        graph->setData(times, values, true);
        for (int i = 0; i < times.size(); ++i) {
            least = any ? std::min(least, values[i]) : values[i];
            most = any ? std::max(most, values[i]) : values[i];
            first = any ? std::min(first, times[i]) : times[i];
            last = any ? std::max(last, times[i]) : times[i];
            any = true;
        }
    }
    const bool levels = std::any_of(series.begin(), series.end(), [](const TrendSeries& each) {
        return each.name.endsWith(QLatin1String("level"));
    });
    plot.yAxis->setLabel(levels ? QString() : QStringLiteral("% of the fundamental"));
    const double span = std::max(most - std::min(least, 0.0), 1e-9);
    plot.yAxis->setRange(std::min(least, 0.0), most + kRangeMargin * span);
    plot.xAxis->setRange(first, last > first ? last : first + 1.0);
    plot.legend->setVisible(!series.empty());
    plot.legend->setBrush(QBrush(palette.color(QPalette::Base)));
    plot.legend->setTextColor(palette.color(QPalette::WindowText));
    plot.replot();
}

std::optional<std::string> trendPicture(const std::vector<TrendSeries>& series,
                                        const std::optional<double>& startTime, int width,
                                        int height, const QString& path, QString& error)
{
    return encodePicture(width, height, path, error, [&](QPainter& painter) {
        QCustomPlot plot;
        plot.resize(width, height);
        drawTrend(plot, series, startTime);
        // Recorded as drawing commands, so SVG and PDF stay vector graphics.
        QPicture picture;
        {
            QCPPainter recorder(&picture);
            plot.toPainter(&recorder, width, height);
        }
        painter.drawPicture(0, 0, picture);
    });
}
