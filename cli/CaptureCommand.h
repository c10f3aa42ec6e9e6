#pragma once

#include <QString>

#include <optional>

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
};
