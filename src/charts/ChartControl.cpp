#include "charts/ChartControl.h"

#include <algorithm>
#include <functional>

#include <qcustomplot.h>

namespace {

// An instrument-like palette: dark trace on a white face, quiet grid.
const QColor kTraceColour(0, 84, 166);
const QColor kSpectrumColour(196, 64, 0);
const QColor kZeroLineColour(120, 120, 120);
const QColor kGridColour(222, 226, 232);
const QColor kSubGridColour(240, 242, 245);
const QColor kAxisColour(70, 70, 70);

/** Axis texts a little smaller than the window's, as on an instrument's display. */
QFont smaller(QFont font)
{
    font.setPointSizeF(std::max(6.0, font.pointSizeF() * 0.85));
    return font;
}

void styleAxis(QCPAxis* axis)
{
    axis->setBasePen(QPen(kAxisColour));
    axis->setTickPen(QPen(kAxisColour));
    axis->setSubTickPen(QPen(kAxisColour));
    axis->setTickLabelColor(kAxisColour);
    axis->grid()->setPen(QPen(kGridColour, 0, Qt::SolidLine));
    axis->grid()->setSubGridPen(QPen(kSubGridColour, 0, Qt::SolidLine));
    axis->grid()->setSubGridVisible(true);
    axis->grid()->setZeroLinePen(Qt::NoPen);
    axis->setTickLabelFont(smaller(axis->tickLabelFont()));
    axis->setTickLabelPadding(2);
    axis->setLabelFont(smaller(axis->labelFont()));
    axis->setLabelColor(kAxisColour);
    axis->setLabelPadding(1);
}

}  // namespace

QWidget* ChartControl::widget() const
{
    return m_plot;
}

void ChartControl::recordTo(QPicture& picture, int width, int height) const
{
    QCPPainter recorder(&picture);
    m_plot->toPainter(&recorder, width, height);
}

int ChartControl::Initialize(ChartType type)
{
    m_type = type;
    return 1;
}

void ChartControl::Create(QWidget* parent, const QRect& rect, int controlId)
{
    m_plot = new QCustomPlot(parent);  // owned by parent
    m_plot->setObjectName(m_type == ChartType::Waveform ? QStringLiteral("waveformChart")
                                                        : QStringLiteral("spectrumChart"));
    m_plot->setProperty("controlId", controlId);
    m_plot->setGeometry(rect);
    m_plot->setNotAntialiasedElements(QCP::aeAll);
    m_plot->setAntialiasedElements(QCP::aePlottables);
    m_trace = m_plot->addGraph();
    if (m_type == ChartType::Waveform) {
        m_zeroLine = m_plot->addGraph();
        m_zeroLine->setPen(QPen(kZeroLineColour, 1, Qt::DashLine));
        // Pens of one pixel take the painter's fast line path; wider ones are stroked as
        // outlines, ten times slower on a trace of thousands of points.
        m_trace->setPen(QPen(kTraceColour, 1));
        m_zeroLine->setAntialiased(false);
        // The zero line is drawn under the trace.
        m_trace->setLayer(m_plot->layer(QStringLiteral("main")));
    } else {
        m_trace->setLineStyle(QCPGraph::lsImpulse);
        // Separate impulses stay cheap with a wider pen, and stand out like bars.
        m_trace->setPen(QPen(kSpectrumColour, 2.5, Qt::SolidLine, Qt::FlatCap));
    }
    if (m_type == ChartType::Spectrum) {
        // The spectrum's range stays put from step to step: its trace gets a paint buffer
        // of its own, so a step redraws the trace alone, not the axes, tick labels and grid.
        // Not the waveform's, whose range follows its peak: nearly every step redraws it
        // whole, and an extra buffer would only add a clear and a blend (0.1 ms a step).
        m_plot->layer(QStringLiteral("main"))->setMode(QCPLayer::lmBuffered);
    }
    styleAxes();
    m_plot->show();
}

void ChartControl::styleAxes()
{
    styleAxis(m_plot->xAxis);
    styleAxis(m_plot->yAxis);
    m_plot->xAxis->setLabel(m_type == ChartType::Waveform ? QStringLiteral("sample")
                                                          : QStringLiteral("bin"));
    m_plot->yAxis->setLabel(QStringLiteral("%"));
    m_plot->setBackground(QBrush(QColor(250, 250, 250)));
    m_plot->axisRect()->setBackground(m_showFace ? QBrush(m_face) : QBrush(Qt::NoBrush));
}

void ChartControl::SetMargins(double left, double top, double right, double bottom)
{
    // The margins are fractions of the chart; the axes' tick labels still need their room.
    m_frameChanged = true;
    if (m_plot) {
        const QSize size = m_plot->size();
        m_plot->plotLayout()->setMargins(QMargins(
            static_cast<int>(left * size.width()), static_cast<int>(top * size.height()),
            static_cast<int>(right * size.width()), static_cast<int>(bottom * size.height())));
    }
}

void ChartControl::dispFaceBack(int show)
{
    m_showFace = show != 0;
    m_frameChanged = true;
    if (m_plot) {
        m_plot->axisRect()->setBackground(m_showFace ? QBrush(m_face) : QBrush(Qt::NoBrush));
    }
}

void ChartControl::dispColorFaceBack(const QColor& color)
{
    m_face = color;
    dispFaceBack(m_showFace ? 1 : 0);
}

void ChartControl::ResetData()
{
    m_series1.clear();
    m_series3.clear();
    m_hasRange = false;
}

void ChartControl::SetAxisRangePreference(double minimum, double maximum)
{
    m_hasRange = true;
    m_rangeMin = minimum;
    m_rangeMax = maximum;
}

void ChartControl::AddData(int series, double value)
{
    (series == 3 ? m_series3 : m_series1).push_back(value);
}

const std::vector<double>& ChartControl::series(int number) const
{
    return number == 3 ? m_series3 : m_series1;
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

void ChartControl::pushLevel(QCPGraph* graph, const std::vector<double>& values)
{
    // A constant series (the zero line) is one segment: two points, not one per sample.
    if (!graph || values.size() < 2 ||
        std::adjacent_find(values.begin(), values.end(), std::not_equal_to<>()) != values.end()) {
        pushSeries(graph, values);
        return;
    }
    graph->data()->set({QCPGraphData(0.0, values.front()),
                        QCPGraphData(static_cast<double>(values.size() - 1), values.back())},
                       true);
}

void ChartControl::RebuildChartBuffer()
{
    if (m_plot) {
        m_plot->replot(QCustomPlot::rpQueuedReplot);
    }
}

void ChartControl::DrawChart()
{
    if (!m_plot) {
        return;
    }
    pushSeries(m_trace, m_series1);
    pushLevel(m_zeroLine, m_series3);
    const double lastIndex = static_cast<double>(std::max<std::size_t>(m_series1.size(), 1) - 1);
    const QCPRange x = m_type == ChartType::Waveform ? QCPRange(0.0, std::max(lastIndex, 1.0))
                                                     : QCPRange(-0.5, lastIndex + 0.5);
    QCPRange y(m_rangeMin, m_rangeMax);
    if (!m_hasRange) {
        // Automatic range: from 0 to a little above the largest value, at least 1.
        double largest = 0.0;
        for (const double v : m_series1) {
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
    m_plot->xAxis->setRange(x);
    m_plot->yAxis->setRange(y);
    m_plot->replot(QCustomPlot::rpImmediateRefresh);
    m_frameChanged = false;
}

void FillCharts(ChartControl& waveform, ChartControl& spectrum, std::span<const double> samples,
                double axisHalfRange, std::span<const double> binValues)
{
    waveform.ResetData();
    spectrum.ResetData();
    waveform.SetAxisRangePreference(-axisHalfRange, axisHalfRange);
    for (const double x : samples) {
        waveform.AddData(1, x);
        waveform.AddData(3, 0.0);
    }
    for (const double value : binValues) {
        spectrum.AddData(1, value);
    }
    waveform.DrawChart();
    spectrum.DrawChart();
}
