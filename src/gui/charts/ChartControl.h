#pragma once

#include <functional>
#include <span>
#include <vector>

#include <QColor>
#include <QPointer>
#include <QRect>
#include <QString>

#include "engine/ChartAxes.h"
#include "engine/LimitCheck.h"
#include "settings/SettingsRegistry.h"

class QCPAxis;
class QCPGraph;
class QCPRange;
class QCustomPlot;
class QMouseEvent;
class QObject;
class QPalette;
class QPicture;
class QPoint;
class QWidget;

/** An axis in the charts' style: the palette's text, a light grid, smaller labels. */
void styleChartAxis(QCPAxis* axis, const QPalette& palette);

/** What a chart shows: one value per bin (3) or a trace over the sample index (4). */
enum class ChartType { Spectrum = 3, Waveform = 4 };

/**
 * The chart control: the fixed set of operations the main window drives, drawn by a
 * QCustomPlot. The trace and, on a waveform chart, its zero line reach the screen at
 * drawChart.
 */
class ChartControl {
public:
    ChartControl() = default;
    ~ChartControl();
    ChartControl(const ChartControl&) = delete;
    ChartControl& operator=(const ChartControl&) = delete;

    /**
     * Creates the chart's widget, of type's series and axes, as a child of parent at rect:
     * no margins, the plot area white (the palette's base on a dark desktop).
     */
    void create(ChartType type, QWidget* parent, const QRect& rect);

    /** Empties the trace and hides the zero line; the value axis follows the data again. */
    void resetData();
    /** Fixes the value axis to minimum..maximum. */
    void setAxisRangePreference(double minimum, double maximum);
    /** The trace: one value per index (sample or bin) from 0. */
    void setTrace(std::span<const double> values);
    /** A line at 0 under the whole trace, drawn as its two end points. */
    void setZeroLine(bool shown) { m_zeroLineShown = shown; }

    /** Sets the x axes' units; axes are rebuilt only when they change. */
    void setAxes(const ChartAxes& axes);
    /** The spectrum's value scale; redraws when it changes. */
    void setSpectrumScale(SpectrumScale scale);
    [[nodiscard]] SpectrumScale spectrumScale() const { return m_scale; }
    /**
     * A limit mask over the spectrum, drawn at the next drawChart as a step line; lines
     * over their limit are drawn in a warning color. Empty: no mask.
     */
    void setLimitLines(std::vector<LimitLine> lines);
    /** Offers "Save Image As..." in the context menu, which calls handler. */
    void setSaveImageHandler(std::function<void()> handler);
    /** Called when the user picks a scale in the context menu, instead of setting it. */
    void setScaleChangedHandler(std::function<void(SpectrumScale)> handler);

    /** The spectrum's bins as CSV: harmonic number (or Hz), percent and dB, a bin a line. */
    [[nodiscard]] QString valuesCsv() const;
    /** Sets up the chart for its current size (the widget keeps its own paint buffer). */
    void rebuildChartBuffer();
    /** Draws the chart with its data now. */
    void drawChart();
    /** The next drawChart shows the whole x range, whatever the user zoomed to. */
    void showWholeRange() { m_zoomed = false; }

    [[nodiscard]] QWidget* widget() const;
    /** Records the chart at width x height as drawing commands (vector output stays vector). */
    void recordTo(QPicture& picture, int width, int height) const;

private:
    void addWaveformGraphs();
    void addSpectrumGraphs();
    /** Zoom and pan along x, the readout under the cursor, the context menu. */
    void connectInteractions();
    /** A user's zoom or pan, kept inside the data. */
    void onUserRange(const QCPRange& range);
    /** The readout under the cursor as a tooltip, inside the plot area. */
    void showReadout(const QMouseEvent& event);
    /** The readout for x position key (sample index or bin). */
    [[nodiscard]] QString readoutAt(double key) const;
    /** Back to the full x range. */
    void resetZoom();
    void styleAxes();
    void applyAxes();
    [[nodiscard]] QColor face() const;
    void showContextMenu(const QPoint& position);
    [[nodiscard]] QCPRange fullXRange() const;
    /** The view shown for wanted: inside the data and not too narrow to read. */
    [[nodiscard]] QCPRange bounded(const QCPRange& wanted) const;
    /** Sets the x range as the program, not as a user's zoom or pan. */
    void showView(const QCPRange& view);
    void pushSeries(QCPGraph* graph, const std::vector<double>& values);
    /** The mask's step line and the lines over it, on the scale shown. */
    void pushLimits(bool decibel);
    /** The zero line's end points under the trace, or nothing when it is hidden. */
    void pushZeroLine();

    ChartType m_type = ChartType::Waveform;
    QPointer<QCustomPlot> m_plot;
    QPointer<QObject> m_context;  ///< receiver of the plot's signals, gone with this control
    QPointer<QCPGraph> m_trace;
    QPointer<QCPGraph> m_zeroLine;
    QPointer<QCPGraph> m_maskLine;
    QPointer<QCPGraph> m_overTrace;
    std::vector<LimitLine> m_limits;
    std::vector<double> m_traceValues;
    bool m_zeroLineShown = false;
    std::vector<double> m_heights;  ///< the dB scale's drawn values, kept between steps
    bool m_hasRange = false;
    double m_rangeMin = -1.0;
    double m_rangeMax = 1.0;
    bool m_frameChanged = true;  ///< axes or scale changed since the last whole replot
    ChartAxes m_axes;
    SpectrumScale m_scale = SpectrumScale::Linear;
    std::function<void(SpectrumScale)> m_scaleChanged;
    std::function<void()> m_saveImage;
    bool m_zoomed = false;
    bool m_settingRange = false;
};

/**
 * Hands one recalculation to the two charts, as every recalculation does: both emptied,
 * the waveform's range -axisHalfRange..+axisHalfRange, its trace and zero line, one spectrum
 * value per bin; then both drawn, waveform first.
 */
void fillCharts(ChartControl& waveform, ChartControl& spectrum, std::span<const double> samples,
                double axisHalfRange, std::span<const double> binValues, const ChartAxes& axes);
