#include "drawing/ChartsDrawing.h"

#include <QApplication>

#include "charts/ChartPicture.h"
#include "charts/TrendChart.h"

namespace {

/** Charts are widgets: without a widget application they would abort the process. */
bool canDraw(QString& error)
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return true;
    }
    error = QStringLiteral("pictures are drawn only by a process started to draw");
    return false;
}

class ChartsDrawing final : public PictureDrawing {
public:
    std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv) const override
    {
        return std::make_unique<QApplication>(argc, argv);
    }

    std::optional<std::string> charts(const RecalcResult& result, const ChartAxes& axes,
                                      const QString& caption, QSize size, const QString& kindName,
                                      std::span<const LimitLine> limits,
                                      QString& error) const override
    {
        if (!canDraw(error)) {
            return std::nullopt;
        }
        return chartPicture(result, axes, caption, size.width(), size.height(), kindName, error,
                            SpectrumScale::Linear, limits);
    }

    std::optional<std::string> trend(const std::vector<TrendSeries>& series,
                                     const std::optional<double>& startTime, QSize size,
                                     const QString& kindName, QString& error) const override
    {
        if (!canDraw(error)) {
            return std::nullopt;
        }
        return trendPicture(series, startTime, size.width(), size.height(), kindName, error);
    }
};

}  // namespace

const PictureDrawing& chartsDrawing()
{
    static const ChartsDrawing drawing;
    return drawing;
}
