#include "recording/TrendSeries.h"

#include <algorithm>

void addTrendPoint(std::vector<TrendSeries>& series, const QString& name, double time, double value)
{
    auto found = std::find_if(series.begin(), series.end(),
                              [&name](const TrendSeries& each) { return each.name == name; });
    if (found == series.end()) {
        series.push_back({name, {}, {}});
        found = series.end() - 1;
    }
    found->times.push_back(time);
    found->values.push_back(value);
}
