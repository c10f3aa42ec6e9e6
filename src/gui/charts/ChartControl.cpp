#include "charts/ChartControl.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include <qcustomplot.h>
#include <QClipboard>
#include <QGuiApplication>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QToolTip>

#include "charts/ViewBounds.h"
#include "engine/LimitCheck.h"

namespace {

// Trace colors of middle lightness, readable on a light face and on a dark one.
const QColor kTraceColor(33, 118, 214);
const QColor kSpectrumColor(226, 102, 20);
/** The plot area's color on a light desktop. */
const QColor kLightFace(255, 255, 255);

constexpr double kMillisecondsPerSecond = 1000.0;
/** The spectrum's dB floor: 0.01 % (-80 dB) stays well clear of it. */
constexpr double kDecibelFloor = -100.0;
constexpr double kDecibelStep = 20.0;
/** The narrowest views: two harmonics of the spectrum, four samples of the waveform. */
constexpr double kNarrowestHarmonics = 2.0;
constexpr double kNarrowestSamples = 4.0;
/** Decimals of the x labels; more only where a zoomed-in step needs them. */
constexpr int kLabelDecimals = 2;
constexpr int kMostLabelDecimals = 6;
/** Room a tick label needs along the x axis, in pixels. */
constexpr int kPixelsPerTick = 48;
/** Width the value axis takes from the plot, roughly, in pixels. */
constexpr int kValueAxisRoom = 50;

QColor mixed(const QColor& a, const QColor& b, double share)
{
    return QColor::fromRgbF(static_cast<float>(a.redF() * (1 - share) + b.redF() * share),
                            static_cast<float>(a.greenF() * (1 - share) + b.greenF() * share),
                            static_cast<float>(a.blueF() * (1 - share) + b.blueF() * share));
}

/** A red that reads as a warning on the palette's face: deeper on a light one. */
QColor warningColor(const QPalette& palette)
{
    const bool darkFace = palette.color(QPalette::Base).lightnessF() < 0.5;
    return QColor::fromHslF(0.0F, 0.9F, darkFace ? 0.62F : 0.42F);
}

/** A number as the window writes numbers: full stop, no trailing zeros, no exponent. */
QString plainNumber(double value, int decimals)
{
    QString text = QLocale::c().toString(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0'))) {
            text.chop(1);
        }
        if (text.endsWith(QLatin1Char('.'))) {
            text.chop(1);
        }
    }
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

/**
 * Ticks over an index axis (samples or bins) labeled in units: a tick at each whole
 * unit (cycle, harmonic) where there is room, whole multiples of it where there is not,
 * and steps below one unit only when zoomed in that far.
 */
class UnitTicker : public QCPAxisTicker {
public:
    explicit UnitTicker(const QCPAxis* axis) : m_axis(axis) {}
    void setUnits(double indicesPerUnit, double valuePerUnit)
    {
        m_perUnit = std::max(indicesPerUnit, 1e-9);
        m_valuePerUnit = valuePerUnit;
    }
    [[nodiscard]] double toValue(double index) const { return index / m_perUnit * m_valuePerUnit; }

protected:
    double getTickStep(const QCPRange& range) override
    {
        const double units = range.size() / m_perUnit;
        m_decimals = kLabelDecimals;
        if (units <= 2.0) {
            // Inside a couple of units: a nice step in the labels' own values, with the
            // decimals it needs, so no two labels read the same.
            const double valueStep =
                QCPAxisTicker::getTickStep(QCPRange(toValue(range.lower), toValue(range.upper)));
            while (m_decimals < kMostLabelDecimals &&
                   !isWhole(valueStep * std::pow(10.0, m_decimals))) {
                ++m_decimals;
            }
            return valueStep / m_valuePerUnit * m_perUnit;
        }
        // As many labels as the axis has room for.
        // The plot's whole width less the value axis: the axis rectangle itself is laid
        // out only after the ticks are made.
        const int room = std::max(
            2, (m_axis->parentPlot()->viewport().width() - kValueAxisRoom) / kPixelsPerTick);
        if (units <= room) {
            return m_perUnit;
        }
        // Whole units in steps of 1, 2 or 5 times a power of ten.
        const double wanted = units / room;
        double decade = 1.0;
        while (decade * 10.0 < wanted) {
            decade *= 10.0;
        }
        double step = decade * 10.0;
        for (const double factor : {1.0, 2.0, 5.0}) {
            if (decade * factor >= wanted) {
                step = decade * factor;
                break;
            }
        }
        return step * m_perUnit;
    }
    int getSubTickCount(double tickStep) override
    {
        const double units = tickStep / m_perUnit;
        const double whole = std::round(units);
        if (units > 1.5 && std::abs(units - whole) < 1e-9 && whole <= 10.0) {
            return static_cast<int>(whole) - 1;  // a sub tick, and its grid line, per unit
        }
        return QCPAxisTicker::getSubTickCount(tickStep);
    }
    QString getTickLabel(double tick, const QLocale&, QChar, int) override
    {
        return plainNumber(toValue(tick), m_decimals);
    }
    QVector<double> createTickVector(double tickStep, const QCPRange& range) override
    {
        // Before index 0 lies only the room for the first bin's bar: no value to label.
        QVector<double> ticks = QCPAxisTicker::createTickVector(tickStep, range);
        ticks.removeIf([](double tick) { return tick < 0.0; });
        return ticks;
    }

private:
    static bool isWhole(double value) { return std::abs(value - std::round(value)) < 1e-6; }

    const QCPAxis* m_axis;
    int m_decimals = kLabelDecimals;
    double m_perUnit = 1.0;
    double m_valuePerUnit = 1.0;
};

/** Value ticks labeled in the window's number style. */
class PlainTicker : public QCPAxisTicker {
public:
    /** Labels read tick + offset; a step above 0 replaces the automatic one. */
    void setOffset(double offset, double step)
    {
        m_offset = offset;
        m_step = step;
    }

protected:
    double getTickStep(const QCPRange& range) override
    {
        return m_step > 0.0 ? m_step : QCPAxisTicker::getTickStep(range);
    }
    QString getTickLabel(double tick, const QLocale&, QChar, int) override
    {
        return plainNumber(tick + m_offset, 3);
    }

private:
    double m_offset = 0.0;
    double m_step = 0.0;
};

double decibels(double percent)
{
    return percent > 0.0 ? std::max(kDecibelFloor, 20.0 * std::log10(percent / 100.0))
                         : kDecibelFloor;
}

/**
 * The spectrum's trace. Its impulses overlap by the dozen where bins lie closer than the
 * pen is wide; stroked one by one they took a tenth of a slider step. On an aliased screen
 * buffer each is the block of pixels the raster engine gives a flat-capped vertical line,
 * so the blocks' union, one rectangle per run of columns, paints the same pixels at a
 * fraction of the cost. Anything else (pictures, vector output, antialiasing, a scaled
 * buffer) is stroked line by line by QCPGraph itself.
 */
class ImpulseGraph : public QCPGraph {
public:
    using QCPGraph::QCPGraph;

protected:
    void drawImpulsePlot(QCPPainter* painter, const QVector<QPointF>& lines) const override
    {
        const QPen pen = painter->pen();
        const QPaintEngine* engine = painter->paintEngine();
        if (!engine || engine->type() != QPaintEngine::Raster ||
            !painter->deviceTransform().isIdentity() ||
            painter->testRenderHint(QPainter::Antialiasing) ||
            painter->compositionMode() != QPainter::CompositionMode_SourceOver ||
            pen.style() != Qt::SolidLine || pen.brush().style() != Qt::SolidPattern ||
            pen.isCosmetic() || pen.widthF() <= 1.0 || pen.color().alpha() != kOpaque ||
            !columnTops(lines, 0.5 * pen.widthF())) {
            QCPGraph::drawImpulsePlot(painter, lines);
            return;
        }
        const QColor color = pen.color();
        const auto width = static_cast<int>(m_tops.size());
        for (int column = 0; column < width;) {
            const int top = m_tops[static_cast<std::size_t>(column)];
            int end = column + 1;
            while (end < width && m_tops[static_cast<std::size_t>(end)] == top) {
                ++end;
            }
            if (top <= m_bottom) {
                painter->fillRect(QRect(m_left + column, top, end - column, m_bottom - top + 1),
                                  color);
            }
            column = end;
        }
    }

private:
    static constexpr int kOpaque = 255;
    static constexpr int kNone = std::numeric_limits<int>::max();

    /**
     * The top pixel row of each column the impulses cover (kNone: none), as the raster
     * engine rounds an aliased vertical line of half width halfWidth; false when the lines
     * are not vertical impulses rising from one whole-pixel base.
     */
    bool columnTops(const QVector<QPointF>& lines, double halfWidth) const
    {
        m_tops.clear();
        if (lines.isEmpty()) {
            return true;
        }
        const double base = lines[0].y();
        if (base != std::floor(base)) {
            return false;
        }
        double least = lines[0].x();
        double most = least;
        for (qsizetype i = 0; i + 1 < lines.size(); i += 2) {
            const QPointF& from = lines[i];
            const QPointF& to = lines[i + 1];
            if (from.y() != base || to.y() > base || from.x() != to.x() || !(from.x() >= 0.0) ||
                !(to.y() >= 0.0) || from.x() > kLargestCoordinate || base > kLargestCoordinate) {
                return false;
            }
            least = std::min(least, from.x());
            most = std::max(most, from.x());
        }
        // The engine takes [x - w/2, x + w/2] x [top, base] and fills the pixels whose
        // centers it covers: columns int(left + 0.5) to int(right - 0.5), rows likewise
        // (from a whole base, none for a line under half a pixel high).
        m_left = static_cast<int>(least - halfWidth + 0.5);
        m_bottom = static_cast<int>(base) - 1;
        m_tops.assign(
            static_cast<std::size_t>(std::max(0, static_cast<int>(most + halfWidth) - m_left + 1)),
            kNone);
        for (qsizetype i = 0; i + 1 < lines.size(); i += 2) {
            const double x = lines[i].x();
            const double top = lines[i + 1].y();
            const int first = static_cast<int>(x - halfWidth + 0.5);
            const int last = x + halfWidth < 0.5 ? -1 : static_cast<int>(x + halfWidth - 0.5);
            const int row = static_cast<int>(top + 0.5);
            for (int column = std::max(first, m_left); column <= last; ++column) {
                int& known = m_tops[static_cast<std::size_t>(column - m_left)];
                known = std::min(known, row);
            }
        }
        return true;
    }

    /** Beyond this the integer rounding above would overflow: stroked instead. */
    static constexpr double kLargestCoordinate = 1e6;

    mutable std::vector<int> m_tops;  ///< kept between paints: no allocation per step
    mutable int m_left = 0;
    mutable int m_bottom = -1;
};

}  // namespace

namespace {

/** Axis texts a little smaller than the window's, as on an instrument's display. */
QFont smaller(QFont font)
{
    font.setPointSizeF(std::max(6.0, font.pointSizeF() * 0.9));
    return font;
}

}  // namespace

void styleChartAxis(QCPAxis* axis, const QPalette& palette)
{
    const QColor text = palette.color(QPalette::WindowText);
    const QColor base = palette.color(QPalette::Base);
    axis->setBasePen(QPen(text));
    axis->setTickPen(QPen(text));
    axis->setSubTickPen(QPen(text));
    axis->setTickLabelColor(text);
    axis->grid()->setPen(QPen(mixed(base, text, 0.18), 0, Qt::SolidLine));
    axis->grid()->setSubGridPen(QPen(mixed(base, text, 0.09), 0, Qt::SolidLine));
    axis->grid()->setSubGridVisible(true);
    axis->grid()->setZeroLinePen(Qt::NoPen);
    axis->setTickLabelFont(smaller(axis->tickLabelFont()));
    axis->setTickLabelPadding(2);
    axis->setLabelFont(smaller(axis->labelFont()));
    axis->setLabelColor(text);
    axis->setLabelPadding(1);
}

QWidget* ChartControl::widget() const
{
    return m_plot;
}

void ChartControl::recordTo(QPicture& picture, int width, int height) const
{
    QCPPainter recorder(&picture);
    m_plot->toPainter(&recorder, width, height);
}

void ChartControl::create(ChartType type, QWidget* parent, const QRect& rect)
{
    m_type = type;
    m_plot = new QCustomPlot(parent);  // owned by parent
    m_plot->setObjectName(m_type == ChartType::Waveform ? QStringLiteral("waveformChart")
                                                        : QStringLiteral("spectrumChart"));
    m_plot->setGeometry(rect);
    m_plot->setLocale(QLocale::c());
    m_plot->setNotAntialiasedElements(QCP::aeAll);
    m_plot->setAntialiasedElements(QCP::aePlottables);
    m_plot->plotLayout()->setMargins(QMargins());  // the tick labels keep their own room
    if (m_type == ChartType::Waveform) {
        m_trace = m_plot->addGraph();
        addWaveformGraphs();
    } else {
        addSpectrumGraphs();
    }
    m_plot->xAxis->setTicker(QSharedPointer<UnitTicker>::create(m_plot->xAxis));
    m_plot->yAxis->setTicker(QSharedPointer<PlainTicker>::create());
    styleAxes();
    applyAxes();
    connectInteractions();
    m_plot->show();
}

void ChartControl::addWaveformGraphs()
{
    m_zeroLine = m_plot->addGraph();
    m_zeroLine->setPen(QPen(mixed(m_plot->palette().color(QPalette::Base),
                                  m_plot->palette().color(QPalette::WindowText), 0.45),
                            1, Qt::DashLine));
    // Pens of one pixel take the painter's fast line path; wider ones are stroked as
    // outlines, ten times slower on a trace of thousands of points.
    m_trace->setPen(QPen(kTraceColor, 1));
    m_zeroLine->setAntialiased(false);
    // The zero line is drawn under the trace.
    m_trace->setLayer(m_plot->layer(QStringLiteral("main")));
}

void ChartControl::addSpectrumGraphs()
{
    m_trace = new ImpulseGraph(m_plot->xAxis, m_plot->yAxis);  // owned by the plot
    m_trace->setLineStyle(QCPGraph::lsImpulse);
    // Separate impulses stay cheap with a wider pen, and stand out like bars.
    m_trace->setPen(QPen(kSpectrumColor, 2.5, Qt::SolidLine, Qt::FlatCap));
    const QPalette palette = m_plot->palette();
    m_overTrace = m_plot->addGraph();
    m_overTrace->setLineStyle(QCPGraph::lsImpulse);
    m_overTrace->setPen(QPen(warningColor(palette), 2.5, Qt::SolidLine, Qt::FlatCap));
    m_maskLine = m_plot->addGraph();
    m_maskLine->setLineStyle(QCPGraph::lsStepCenter);
    m_maskLine->setPen(
        QPen(mixed(palette.color(QPalette::Base), palette.color(QPalette::WindowText), 0.75), 1,
             Qt::DashLine));
    // The spectrum's range stays put from step to step: its trace gets a paint buffer
    // of its own, so a step redraws the trace alone, not the axes, tick labels and grid.
    // Not the waveform's, whose range follows its peak: nearly every step redraws it
    // whole, and an extra buffer would only add a clear and a blend (0.1 ms a step).
    m_plot->layer(QStringLiteral("main"))->setMode(QCPLayer::lmBuffered);
}

void ChartControl::connectInteractions()
{
    // Zoom and pan along x; the value axis keeps its range.
    m_plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    m_plot->axisRect()->setRangeDrag(Qt::Horizontal);
    m_plot->axisRect()->setRangeZoom(Qt::Horizontal);
    m_plot->setContextMenuPolicy(Qt::CustomContextMenu);
    m_context = new QObject(m_plot);
    QObject::connect(m_plot->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), m_context,
                     [this](const QCPRange& range) { onUserRange(range); });
    QObject::connect(m_plot, &QCustomPlot::mouseDoubleClick, m_context,
                     [this](QMouseEvent*) { resetZoom(); });
    QObject::connect(m_plot, &QCustomPlot::mouseMove, m_context,
                     [this](QMouseEvent* event) { showReadout(*event); });
    QObject::connect(m_plot, &QWidget::customContextMenuRequested, m_context,
                     [this](const QPoint& position) { showContextMenu(position); });
}

void ChartControl::onUserRange(const QCPRange& range)
{
    if (m_settingRange) {
        return;
    }
    // A wheel step or drag that leaves the data is pulled back at once, before the replot.
    const QCPRange view = bounded(range);
    m_zoomed = view != fullXRange();
    showView(view);
}

void ChartControl::showReadout(const QMouseEvent& event)
{
    const QPointF at = event.position();
    if (m_plot->axisRect()->rect().contains(at.toPoint())) {
        QToolTip::showText(event.globalPosition().toPoint(),
                           readoutAt(m_plot->xAxis->pixelToCoord(at.x())), m_plot);
    } else {
        QToolTip::hideText();
    }
}

ChartControl::~ChartControl()
{
    delete m_context;  // no signal reaches this control after it is gone
}

void ChartControl::setAxes(const ChartAxes& axes)
{
    if (axes == m_axes) {
        return;
    }
    m_axes = axes;
    m_frameChanged = true;
    applyAxes();
}

void ChartControl::applyAxes()
{
    if (!m_plot) {
        return;
    }
    auto ticker = m_plot->xAxis->ticker().dynamicCast<UnitTicker>();
    const bool hertz = m_axes.fundamentalHz > 0.0;
    if (m_type == ChartType::Waveform) {
        ticker->setUnits(m_axes.samplesPerCycle,
                         hertz ? kMillisecondsPerSecond / m_axes.fundamentalHz : 1.0);
        m_plot->xAxis->setLabel(hertz ? QStringLiteral("ms") : QStringLiteral("cycles"));
    } else {
        ticker->setUnits(std::max(1, m_axes.fftCycles), hertz ? m_axes.fundamentalHz : 1.0);
        m_plot->xAxis->setLabel(hertz ? QStringLiteral("Hz") : QStringLiteral("harmonic"));
    }
    const bool decibel = m_type == ChartType::Spectrum && m_scale == SpectrumScale::Decibel;
    auto values = m_plot->yAxis->ticker().dynamicCast<PlainTicker>();
    values->setOffset(decibel ? kDecibelFloor : 0.0, decibel ? kDecibelStep : 0.0);
    values->setTickStepStrategy(QCPAxisTicker::tssReadability);
    m_plot->yAxis->setLabel(decibel ? QStringLiteral("dB") : QStringLiteral("%"));
}

void ChartControl::setSpectrumScale(SpectrumScale scale)
{
    if (scale == m_scale) {
        return;
    }
    m_scale = scale;
    m_frameChanged = true;
    applyAxes();
    drawChart();
}

void ChartControl::setScaleChangedHandler(std::function<void(SpectrumScale)> handler)
{
    m_scaleChanged = std::move(handler);
}

void ChartControl::setSaveImageHandler(std::function<void()> handler)
{
    m_saveImage = std::move(handler);
}

QString ChartControl::readoutAt(double key) const
{
    if (m_traceValues.empty()) {
        return {};
    }
    const auto last = static_cast<double>(m_traceValues.size() - 1);
    const auto index = static_cast<std::size_t>(std::clamp(std::round(key), 0.0, last));
    const double value = m_traceValues[index];
    const bool hertz = m_axes.fundamentalHz > 0.0;
    if (m_type == ChartType::Spectrum) {
        const double harmonic = static_cast<double>(index) / std::max(1, m_axes.fftCycles);
        const QString where =
            hertz ? plainNumber(harmonic * m_axes.fundamentalHz, 2) + QStringLiteral(" Hz")
                  : QStringLiteral("Harmonic ") + plainNumber(harmonic, 3);
        const auto limit = std::find_if(m_limits.begin(), m_limits.end(), [&](const LimitLine& l) {
            return std::abs(l.key - static_cast<double>(index)) < 0.5;
        });
        return QStringLiteral("%1: %2 %, %3 dB%4")
            .arg(where, QLocale::c().toString(value, 'f', 3),
                 value > 0.0 ? QLocale::c().toString(20.0 * std::log10(value / 100.0), 'f', 1)
                             : QStringLiteral("-inf"),
                 limit == m_limits.end()
                     ? QString()
                     : QStringLiteral(" (limit %1 %)").arg(plainNumber(limit->limit, 3)));
    }
    const double cycles = static_cast<double>(index) / m_axes.samplesPerCycle;
    const QString where =
        hertz ? plainNumber(cycles * kMillisecondsPerSecond / m_axes.fundamentalHz, 3) +
                    QStringLiteral(" ms")
              : QStringLiteral("Cycle ") + plainNumber(cycles, 3);
    return QStringLiteral("%1, sample %2: %3 %")
        .arg(where, QString::number(index), QLocale::c().toString(value, 'f', 3));
}

QString ChartControl::valuesCsv() const
{
    const bool hertz = m_axes.fundamentalHz > 0.0;
    if (m_type == ChartType::Waveform) {
        // By sample, or by time when the fundamental's frequency is known, as the readout.
        QString text =
            hertz ? QStringLiteral("Time (ms),Percent\n") : QStringLiteral("Sample,Percent\n");
        for (std::size_t index = 0; index < m_traceValues.size(); ++index) {
            const double cycles = static_cast<double>(index) / m_axes.samplesPerCycle;
            text += (hertz ? plainNumber(cycles * kMillisecondsPerSecond / m_axes.fundamentalHz, 4)
                           : QString::number(index)) +
                    u',' + QLocale::c().toString(m_traceValues[index], 'f', 4) + u'\n';
        }
        return text;
    }
    QString text = hertz ? QStringLiteral("Frequency (Hz),Percent,dB\n")
                         : QStringLiteral("Harmonic,Percent,dB\n");
    for (std::size_t bin = 0; bin < m_traceValues.size(); ++bin) {
        const double harmonic = static_cast<double>(bin) / std::max(1, m_axes.fftCycles);
        const double value = m_traceValues[bin];
        text += plainNumber(hertz ? harmonic * m_axes.fundamentalHz : harmonic, 3) + u',' +
                QLocale::c().toString(value, 'f', 4) + u',' +
                (value > 0.0 ? QLocale::c().toString(20.0 * std::log10(value / 100.0), 'f', 2)
                             : QString()) +
                u'\n';
    }
    return text;
}

QCPRange ChartControl::bounded(const QCPRange& wanted) const
{
    const QCPRange data = fullXRange();
    const double narrowest = m_type == ChartType::Spectrum
                                 ? kNarrowestHarmonics * std::max(1, m_axes.fftCycles)
                                 : kNarrowestSamples;
    const AxisSpan view =
        boundedView({wanted.lower, wanted.upper}, {data.lower, data.upper}, narrowest);
    return {view.lower, view.upper};
}

void ChartControl::showView(const QCPRange& view)
{
    m_settingRange = true;
    m_plot->xAxis->setRange(view);
    m_settingRange = false;
}

QCPRange ChartControl::fullXRange() const
{
    const double lastIndex =
        static_cast<double>(std::max<std::size_t>(m_traceValues.size(), 1) - 1);
    return m_type == ChartType::Waveform ? QCPRange(0.0, std::max(lastIndex, 1.0))
                                         : QCPRange(-0.5, lastIndex + 0.5);
}

void ChartControl::resetZoom()
{
    m_zoomed = false;
    drawChart();
}

void ChartControl::showContextMenu(const QPoint& position)
{
    QMenu menu(m_plot);
    if (m_type == ChartType::Spectrum) {
        QAction* linear = menu.addAction(QStringLiteral("&Linear Scale (%)"));
        QAction* decibel = menu.addAction(QStringLiteral("&dB Scale"));
        linear->setCheckable(true);
        decibel->setCheckable(true);
        linear->setChecked(m_scale == SpectrumScale::Linear);
        decibel->setChecked(m_scale == SpectrumScale::Decibel);
        const auto choose = [this](SpectrumScale scale) {
            if (m_scaleChanged) {
                m_scaleChanged(scale);
            } else {
                setSpectrumScale(scale);
            }
        };
        QObject::connect(linear, &QAction::triggered, m_context,
                         [choose] { choose(SpectrumScale::Linear); });
        QObject::connect(decibel, &QAction::triggered, m_context,
                         [choose] { choose(SpectrumScale::Decibel); });
        menu.addSeparator();
    }
    QAction* reset = menu.addAction(QStringLiteral("&Reset Zoom"));
    reset->setEnabled(m_zoomed);
    QObject::connect(reset, &QAction::triggered, m_context, [this] { resetZoom(); });
    menu.addSeparator();
    QObject::connect(
        menu.addAction(QStringLiteral("&Copy Image")), &QAction::triggered, m_context,
        [this] { QGuiApplication::clipboard()->setImage(m_plot->toPixmap().toImage()); });
    QObject::connect(menu.addAction(QStringLiteral("Copy &Values")), &QAction::triggered, m_context,
                     [this] { QGuiApplication::clipboard()->setText(valuesCsv()); });
    if (m_saveImage) {
        QObject::connect(menu.addAction(QStringLiteral("&Save Image As...")), &QAction::triggered,
                         m_context, [this] { m_saveImage(); });
    }
    menu.exec(m_plot->mapToGlobal(position));
}

void ChartControl::styleAxes()
{
    const QPalette palette = m_plot->palette();
    styleChartAxis(m_plot->xAxis, palette);
    styleChartAxis(m_plot->yAxis, palette);
    m_plot->setBackground(QBrush(palette.color(QPalette::Window)));
    m_plot->axisRect()->setBackground(QBrush(face()));
}

QColor ChartControl::face() const
{
    // A white face would glare on a dark desktop: there the face takes the palette's base.
    const QColor base = m_plot->palette().color(QPalette::Base);
    return base.lightnessF() < 0.5 ? base : kLightFace;
}

void ChartControl::setLimitLines(std::vector<LimitLine> lines)
{
    m_limits = std::move(lines);
}

void ChartControl::pushLimits(bool decibel)
{
    if (!m_maskLine || !m_overTrace) {
        return;
    }
    const auto height = [decibel](double percent) {
        return decibel ? decibels(percent) - kDecibelFloor : percent;
    };
    QVector<QCPGraphData> steps;
    QVector<QCPGraphData> over;
    // Half a harmonic beyond the first and last limit, so their steps are as wide as the rest.
    const double half = 0.5 * std::max(1, m_axes.fftCycles);
    for (const LimitLine& line : m_limits) {
        if (steps.isEmpty()) {
            steps.append(QCPGraphData(line.key - half, height(line.limit)));
        }
        steps.append(QCPGraphData(line.key, height(line.limit)));
        const auto bin = static_cast<std::size_t>(std::lround(line.key));
        if (line.over && bin < m_traceValues.size()) {
            over.append(QCPGraphData(static_cast<double>(bin), height(m_traceValues[bin])));
        }
    }
    if (!m_limits.empty()) {
        steps.append(QCPGraphData(m_limits.back().key + half, height(m_limits.back().limit)));
    }
    m_maskLine->data()->set(steps, true);
    m_overTrace->data()->set(over, true);
}

void ChartControl::resetData()
{
    m_traceValues.clear();
    m_zeroLineShown = false;
    m_hasRange = false;
}

void ChartControl::setAxisRangePreference(double minimum, double maximum)
{
    m_hasRange = true;
    m_rangeMin = minimum;
    m_rangeMax = maximum;
}

void ChartControl::setTrace(std::span<const double> values)
{
    m_traceValues.assign(values.begin(), values.end());
}

void ChartControl::pushSeries(QCPGraph* graph, const std::vector<double>& values)
{
    if (!graph) {
        return;
    }
    QVector<QCPGraphData> points(static_cast<qsizetype>(values.size()));
    for (std::size_t i = 0; i < values.size(); ++i) {
        points[static_cast<qsizetype>(i)] = QCPGraphData(static_cast<double>(i), values[i]);
    }
    graph->data()->set(points, true);
}

void ChartControl::pushZeroLine()
{
    if (!m_zeroLine) {
        return;
    }
    QVector<QCPGraphData> ends;
    if (m_zeroLineShown && !m_traceValues.empty()) {
        ends.push_back(QCPGraphData(0.0, 0.0));
        if (m_traceValues.size() > 1) {
            ends.push_back(QCPGraphData(static_cast<double>(m_traceValues.size() - 1), 0.0));
        }
    }
    m_zeroLine->data()->set(ends, true);
}

void ChartControl::rebuildChartBuffer()
{
    if (m_plot) {
        m_plot->replot(QCustomPlot::rpQueuedReplot);
    }
}

void ChartControl::drawChart()
{
    if (!m_plot) {
        return;
    }
    const bool decibel = m_type == ChartType::Spectrum && m_scale == SpectrumScale::Decibel;
    if (decibel) {
        // Drawn as the height above the floor, so the impulses rise from the bottom.
        m_heights.resize(m_traceValues.size());
        std::transform(m_traceValues.begin(), m_traceValues.end(), m_heights.begin(),
                       [](double v) { return decibels(v) - kDecibelFloor; });
        pushSeries(m_trace, m_heights);
    } else {
        pushSeries(m_trace, m_traceValues);
    }
    pushZeroLine();
    pushLimits(decibel);
    // A zoomed view stays, as far as the new data reach.
    const QCPRange x = m_zoomed ? bounded(m_plot->xAxis->range()) : fullXRange();
    m_zoomed = x != fullXRange();
    QCPRange y(m_rangeMin, m_rangeMax);
    if (decibel) {
        y = QCPRange(0.0, -kDecibelFloor + 4.0);
    } else if (!m_hasRange) {
        // Automatic range: from 0 to a little above the largest value, at least 1.
        double largest = 0.0;
        for (const double v : m_traceValues) {
            largest = std::max(largest, v);
        }
        y = QCPRange(0.0, std::max(1.0, largest * 1.08));
    }
    QCPLayer* traces = m_plot->layer(QStringLiteral("main"));
    if (traces->mode() == QCPLayer::lmBuffered && !m_frameChanged && x == m_plot->xAxis->range() &&
        y == m_plot->yAxis->range()) {
        // Only the trace changed. The layer falls back to a whole replot when the widget's
        // buffers are stale (after a resize).
        traces->replot();
        m_plot->repaint();
        return;
    }
    showView(x);
    m_plot->yAxis->setRange(y);
    m_plot->replot(QCustomPlot::rpImmediateRefresh);
    m_frameChanged = false;
}

void fillCharts(ChartControl& waveform, ChartControl& spectrum, std::span<const double> samples,
                double axisHalfRange, std::span<const double> binValues, const ChartAxes& axes)
{
    waveform.setAxes(axes);
    spectrum.setAxes(axes);
    waveform.resetData();
    spectrum.resetData();
    waveform.setAxisRangePreference(-axisHalfRange, axisHalfRange);
    waveform.setTrace(samples);
    waveform.setZeroLine(true);
    spectrum.setTrace(binValues);
    waveform.drawChart();
    spectrum.drawChart();
}
