#pragma once

#include <QSize>
#include <QString>

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/ChartAxes.h"
#include "engine/LimitCheck.h"
#include "recording/TrendSeries.h"

class QCoreApplication;
struct RecalcResult;

/**
 * Pictures as the window's charts draw them. They live in a library of their own, loaded
 * only by a command that draws, so that every other command starts without widgets, fonts
 * or the chart code.
 */
class PictureDrawing {
public:
    virtual ~PictureDrawing() = default;

    /** The application a drawing process runs: widgets drawn off screen. */
    [[nodiscard]] virtual std::unique_ptr<QCoreApplication> makeApplication(int& argc,
                                                                            char** argv) const = 0;

    /**
     * The waveform and spectrum charts of result with caption between them, the spectrum with
     * limits over it; .png, .svg or .pdf by kindName's extension. None with the reason in error.
     */
    [[nodiscard]] virtual std::optional<std::string> charts(
        const RecalcResult& result, const ChartAxes& axes, const QString& caption, QSize size,
        const QString& kindName, std::span<const LimitLine> limits, QString& error) const = 0;

    /** Series over a recording's time (clock time from startTime), as charts() draws. */
    [[nodiscard]] virtual std::optional<std::string> trend(const std::vector<TrendSeries>& series,
                                                           const std::optional<double>& startTime,
                                                           QSize size, const QString& kindName,
                                                           QString& error) const = 0;
};

/** The drawing library, loaded on first use; none with the reason in error. */
[[nodiscard]] const PictureDrawing* pictureDrawing(QString& error);

/** Draws with drawing instead of loading the library: for a program that links it. */
void usePictureDrawing(const PictureDrawing* drawing);

/** The entry point the drawing library exports: its drawing, if built as this program is. */
using PictureDrawingEntry = const PictureDrawing* (*)(const char* version);
inline constexpr char kPictureDrawingEntry[] = "korvalinPictureDrawing";
