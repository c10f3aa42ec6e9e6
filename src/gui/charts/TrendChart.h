#pragma once

#include <QString>
#include <QVector>

#include <optional>
#include <string>
#include <vector>

class QCustomPlot;

/** One value of one channel over a recording's aggregated intervals. */
struct TrendSeries {
    QString name;           ///< "channel 1 thd"
    QVector<double> times;  ///< seconds into the recording
    QVector<double> values;
};

/** Adds a point to the series of that name, made on first use. */
void addTrendPoint(std::vector<TrendSeries>& series, const QString& name, double time,
                   double value);

/**
 * Draws series over time in the charts' style: a time axis in seconds, or in UTC clock time
 * when the recording's start is given (seconds since 1970), a value axis in percent (or the
 * recording's unit for a level), a color and a legend entry per series.
 */
void drawTrend(QCustomPlot& plot, const std::vector<TrendSeries>& series,
               const std::optional<double>& startTime);

/** The trend as a picture of width x height: .png, .svg or .pdf by path's extension. */
[[nodiscard]] std::optional<std::string> trendPicture(const std::vector<TrendSeries>& series,
                                                      const std::optional<double>& startTime,
                                                      int width, int height, const QString& path,
                                                      QString& error);
