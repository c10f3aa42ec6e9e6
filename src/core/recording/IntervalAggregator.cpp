#include "recording/IntervalAggregator.h"

#include <cmath>

#include "recording/Quantities.h"

namespace {

/** Times this close count as the same instant: far below a sample of any recording. */
constexpr double kSameTime = 1e-9;

}  // namespace

long long IntervalMarks::tenMinuteIndex(double time) const
{
    return static_cast<long long>(std::floor((origin + time) / tenMinutes + kSameTime));
}

double IntervalMarks::tenMinuteStart(long long index) const
{
    return static_cast<double>(index) * tenMinutes - origin;
}

void IntervalAggregator::Open::start(double at)
{
    interval.start = at;
    interval.end = at;
    interval.windows = 0;
    interval.flagged = false;
    interval.partial = false;
    squares.assign(quantity::kCount, 0.0);
    parts = 0;
}

void IntervalAggregator::Open::add(std::span<const float> values, bool flagged, double end)
{
    ++parts;
    interval.end = end;
    interval.flagged = interval.flagged || flagged;
    if (values.empty()) {
        return;
    }
    ++interval.windows;
    for (std::size_t q = 0; q < values.size(); ++q) {
        squares[q] += static_cast<double>(values[q]) * values[q];
    }
}

void IntervalAggregator::Open::close(const IntervalAggregator::Sink& sink)
{
    interval.values.resize(quantity::kCount);
    const double count = static_cast<double>(interval.windows);
    for (std::size_t q = 0; q < quantity::kCount; ++q) {
        interval.values[q] =
            interval.windows == 0 ? 0.0F : static_cast<float>(std::sqrt(squares[q] / count));
    }
    sink(interval);
}

IntervalAggregator::IntervalAggregator(int channel, const IntervalMarks& marks, Sink sink)
    : m_marks(marks), m_sink(std::move(sink))
{
    m_short.interval.aggregation = Aggregation::Short;
    m_tenMinutes.interval.aggregation = Aggregation::TenMinutes;
    m_twoHours.interval.aggregation = Aggregation::TwoHours;
    for (Open* open : {&m_short, &m_tenMinutes, &m_twoHours}) {
        open->interval.channel = channel;
    }
}

void IntervalAggregator::addWindow(double start, double end, std::span<const float> values,
                                   bool flagged)
{
    const long long index = m_marks.tenMinuteIndex(start);
    if (!m_started) {
        m_started = true;
        m_tenMinuteIndex = index;
        const double mark = m_marks.tenMinuteStart(index);
        m_tenMinutes.start(mark);
        m_tenMinutes.interval.partial = start > mark + kSameTime;
        m_twoHours.start(mark);
        m_short.start(start);
    } else if (index != m_tenMinuteIndex) {
        closeTenMinutes(end, true);
        m_tenMinuteIndex = index;
        m_tenMinutes.start(m_marks.tenMinuteStart(index));
        m_short.start(start);  // a group cut by the mark is not 150 cycles: dropped
    }
    m_lastWindow = end - start;
    IntervalValues window;
    window.channel = m_tenMinutes.interval.channel;
    window.aggregation = Aggregation::Window;
    window.start = start;
    window.end = end;
    window.windows = values.empty() ? 0 : 1;
    window.flagged = flagged;
    window.values.assign(values.begin(), values.end());
    window.values.resize(quantity::kCount, 0.0F);
    m_sink(window);

    m_tenMinutes.add(values, flagged, end);
    m_short.add(values, flagged, end);
    if (m_short.parts == kWindowsPerShort) {
        m_short.close(m_sink);
        m_short.start(end);
    }
}

void IntervalAggregator::closeTenMinutes(double recordingEnd, bool atMark)
{
    IntervalValues& ten = m_tenMinutes.interval;
    const double fullEnd = m_marks.tenMinuteStart(m_tenMinuteIndex + 1);
    // A recording that ends less than a window before the mark holds no window more.
    ten.partial = ten.partial || (!atMark && recordingEnd < fullEnd - m_lastWindow - kSameTime);
    m_tenMinutes.close(m_sink);
    // The 2-hour interval takes the 10-minute value as one of its twelve.
    IntervalValues& two = m_twoHours.interval;
    m_twoHours.add(ten.windows > 0 ? std::span<const float>(ten.values) : std::span<const float>(),
                   ten.flagged, ten.end);
    two.partial = two.partial || ten.partial;
    const auto perTwoHours = static_cast<long long>(kTenMinutesPerTwoHours);
    const bool twoHourMark = (m_tenMinuteIndex + 1) % perTwoHours == 0;
    if (twoHourMark || !atMark) {
        two.partial = two.partial || m_twoHours.parts < kTenMinutesPerTwoHours;
        m_twoHours.close(m_sink);
        m_twoHours.start(fullEnd);
    }
}

void IntervalAggregator::finish(double end)
{
    if (m_started) {
        closeTenMinutes(end, false);
    }
}
