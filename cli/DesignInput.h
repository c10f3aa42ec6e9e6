#pragma once

#include <QString>

#include <functional>
#include <memory>

#include "design/Design.h"

struct CliRequest;
struct CliStreams;

/**
 * A design read from a file and recalculated under the settings in force. Estimated plans:
 * one run cannot repay a measurement, and measured plans are picked by timing, so the
 * last digits of the output would change from run to run.
 */
struct LoadedDesign {
    Design design{PlanRigor::Estimate};
    QString kindName;
    int refusedSettings = 0;  ///< settings lines the reader refused

    [[nodiscard]] const RecalcResult& result() const { return design.result(); }
};

/**
 * Reads each input in turn and hands it to report (with whether it is the first reported);
 * a file that cannot be read does not stop the others. The status: 1 if any could not be
 * read, else the worst report gave.
 */
int forEachInput(const CliRequest& request, const CliStreams& streams,
                 const std::function<int(const QString&, const LoadedDesign&, bool)>& report);

/** The one input of convert, spectrum and plot; none after telling why. */
[[nodiscard]] std::unique_ptr<LoadedDesign> loadSingle(const CliRequest& request,
                                                       const CliStreams& streams);
