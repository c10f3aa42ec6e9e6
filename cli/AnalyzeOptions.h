#pragma once

#include <QString>

#include <optional>
#include <vector>

#include "engine/StatisticRule.h"

/** analyse's options as parsed. */
struct AnalyzeOptions {
    std::optional<double> rate;         ///< --rate HZ
    std::optional<double> fundamental;  ///< --fundamental HZ; none for auto
    std::optional<int> cycles;          ///< --cycles N
    std::optional<double> start;        ///< --start SECONDS; none: the first steady window
    std::optional<double> nominal;      ///< --nominal HZ; none: by the capture's lines
    bool wholeBand = false;             ///< --nominal auto
    int channel = 1;                    ///< --channel C
    bool groups = false;                ///< --groups
    QString design;                     ///< -o DESIGN.kvk, or empty
    QString compare;                    ///< --compare DESIGN.kvk, or empty
    std::optional<double> tolerance;    ///< --tolerance PCT (with --compare only)
    bool magnitudeOnly = false;         ///< --magnitude-only: the verdict on magnitudes alone
    std::optional<double> floor;        ///< --floor PCT (with --compare or -o only)
    // Every window of a long recording:
    bool allWindows = false;                 ///< --all-windows
    bool allChannels = false;                ///< --channel all
    std::optional<Aggregation> aggregation;  ///< --aggregate
    QString trend;                           ///< --trend ORDERS|thd|all, as written
    std::vector<std::size_t> trendValues;    ///< the values it names (quantity indexes)
    QString check;                           ///< --check NAME|MASK.csv
    std::optional<double> nominalVoltage;    ///< --nominal-voltage V
    std::optional<double> startTime;         ///< --start-time: seconds since 1970, UTC
    bool csv = false;                        ///< --csv
};
