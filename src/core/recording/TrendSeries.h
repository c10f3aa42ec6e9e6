#pragma once

#include <QString>
#include <QVector>

#include <vector>

/** One value of one channel over a recording's aggregated intervals. */
struct TrendSeries {
    QString name;           ///< "channel 1 thd"
    QVector<double> times;  ///< seconds into the recording
    QVector<double> values;
};

/** Adds a point to the series of that name, made on first use. */
void addTrendPoint(std::vector<TrendSeries>& series, const QString& name, double time,
                   double value);
