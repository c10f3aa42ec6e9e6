#include "fft/PlanMeasurer.h"

#include <algorithm>
#include <utility>

PlanMeasurer::PlanMeasurer() : m_thread([this](const std::stop_token& stop) { run(stop); }) {}

bool PlanMeasurer::isPending(int n) const
{
    return n == m_measuring || (n == m_readySize && !m_ready.empty()) ||
           std::find(m_queued.begin(), m_queued.end(), n) != m_queued.end();
}

void PlanMeasurer::request(int n)
{
    const std::lock_guard lock(m_mutex);
    if (n <= 0 || isPending(n) || m_thread.get_stop_token().stop_requested()) {
        return;
    }
    m_queued.push_back(n);
    m_changed.notify_all();
}

FftPlan PlanMeasurer::take(int n)
{
    const std::lock_guard lock(m_mutex);
    if (n != m_readySize || m_ready.empty()) {
        return {};
    }
    return std::exchange(m_ready, FftPlan());
}

void PlanMeasurer::wait()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queued.empty() && m_measuring == 0; });
}

void PlanMeasurer::stop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_queued.clear();
        m_thread.request_stop();
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void PlanMeasurer::run(const std::stop_token& stop)
{
    std::unique_lock lock(m_mutex);
    while (m_changed.wait(lock, stop, [this] { return !m_queued.empty(); })) {
        const int n = m_queued.front();
        m_queued.pop_front();
        m_measuring = n;
        lock.unlock();
        FftPlan measured = FftPlan::forwardInPlace(n, PlanRigor::Measure);
        lock.lock();
        m_ready = std::move(measured);  // a plan of an earlier size is not wanted any more
        m_readySize = n;
        m_measuring = 0;
        m_changed.notify_all();
    }
}
