#pragma once

#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "recording/TrendSeries.h"

class QCustomPlot;

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
