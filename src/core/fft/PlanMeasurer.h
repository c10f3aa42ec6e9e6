#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <stop_token>
#include <thread>

#include "fft/AnalysisPlan.h"

/**
 * Measures forward in-place plans on a thread of its own, one size at a time, so that the
 * thread that asks never waits for a measurement; each leaves its wisdom, and the latest
 * plan is kept until it is taken.
 */
class PlanMeasurer {
public:
    PlanMeasurer();
    ~PlanMeasurer() { stop(); }
    PlanMeasurer(const PlanMeasurer&) = delete;
    PlanMeasurer& operator=(const PlanMeasurer&) = delete;

    /** Queues a measurement of n points, unless it is queued, under way or ready. */
    void request(int n);
    /** The measured plan of n points once it is ready; empty until then. */
    [[nodiscard]] FftPlan take(int n);
    /** Waits until nothing is queued or under way. */
    void wait();
    /** Drops what is queued and waits for the measurement under way; asks no more after. */
    void stop();

private:
    void run(const std::stop_token& stop);
    [[nodiscard]] bool isPending(int n) const;

    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::deque<int> m_queued;
    int m_measuring = 0;
    FftPlan m_ready;
    int m_readySize = 0;
    std::jthread m_thread;  // last: it starts once the members above exist
};
