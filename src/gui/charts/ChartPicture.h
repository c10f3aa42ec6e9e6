#pragma once

#include <QString>

#include "charts/ChartControl.h"

#include <optional>
#include <span>
#include <string>

struct RecalcResult;

/**
 * The window's two charts (and the line between them: cycle labels and figures) drawn
 * into a picture of width x height by the same chart code; format by the extension of
 * path: .png, .svg or .pdf; the x axes in the units of axes, the spectrum on scale with the
 * limits of a mask over it. Returns the bytes, or none with the reason in error.
 */
[[nodiscard]] std::optional<std::string> chartPicture(
    const RecalcResult& result, const ChartAxes& axes, const QString& middleLine, int width,
    int height, const QString& path, QString& error, SpectrumScale scale = SpectrumScale::Linear,
    std::span<const LimitLine> limits = {});
