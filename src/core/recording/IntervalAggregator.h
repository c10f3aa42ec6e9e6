#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <vector>

#include "engine/StatisticRule.h"

/** One aggregated interval of one channel. */
struct IntervalValues {
    int channel = 0;  ///< from 1
    Aggregation aggregation = Aggregation::Window;
    double start = 0.0;  ///< seconds from the recording's first sample
    double end = 0.0;
    std::size_t windows = 0;  ///< measured windows in it
    bool flagged = false;     ///< it holds a flagged window
    bool partial = false;     ///< the recording covers only part of it
    /** quantity::kCount values: the root mean square of its measured windows'. */
    std::vector<float> values;
};

/** Where a recording's 10-minute and 2-hour intervals start. */
struct IntervalMarks {
    double tenMinutes = 600.0;  ///< seconds; shorter only in tests
    /** Seconds of the recording's first sample on the marks' clock: 0 for its own marks. */
    double origin = 0.0;

    /** The 10-minute interval a time (seconds into the recording) lies in. */
    [[nodiscard]] long long tenMinuteIndex(double time) const;
    /** Seconds into the recording where interval index starts. */
    [[nodiscard]] double tenMinuteStart(long long index) const;
};

/** 10-minute values to a 2-hour value; 10/12-cycle windows to a 150/180-cycle value. */
inline constexpr std::size_t kTenMinutesPerTwoHours = 12;
inline constexpr std::size_t kWindowsPerShort = 15;

/**
 * Aggregates one channel's windows as IEC 61000-4-30 class A does: 15 windows in a row to a
 * 150/180-cycle value (a group cut by a 10-minute mark is dropped), the windows that start
 * in each 10-minute interval to its value, and 12 ten-minute values to a 2-hour value; each
 * the root mean square of what it holds. Every interval closed goes to the sink.
 */
class IntervalAggregator {
public:
    using Sink = std::function<void(const IntervalValues&)>;

    IntervalAggregator(int channel, const IntervalMarks& marks, Sink sink);

    /** A window from start to end seconds; values empty when its fundamental was not measured. */
    void addWindow(double start, double end, std::span<const float> values, bool flagged);
    /** Closes what is open at the recording's end (seconds). */
    void finish(double end);

private:
    struct Open {
        IntervalValues interval;
        std::vector<double> squares;
        std::size_t parts = 0;  ///< windows, or 10-minute values of a 2-hour interval

        void start(double at);
        void add(std::span<const float> values, bool flagged, double end);
        void close(const IntervalAggregator::Sink& sink);
    };

    void closeTenMinutes(double recordingEnd, bool atMark);

    IntervalMarks m_marks;
    Sink m_sink;
    Open m_short;
    Open m_tenMinutes;
    Open m_twoHours;
    long long m_tenMinuteIndex = 0;
    double m_lastWindow = 0.0;  ///< seconds the last window took
    bool m_started = false;
};
