#include "fft/PlanMeasurer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <memory>
#include <string>
#include <utility>

#include <fftw3.h>

#include "fft/FftBuffer.h"
#include "fft/Planner.h"
#include "fft/Wisdom.h"

namespace {

/** How often a measurement looks whether it is to stop. */
constexpr int kStopPollMs = 50;

/** Writes all of text to fd; a failure ends the child anyway. */
void writeAllTo(int fd, const char* text, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, text, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        text += written;
        size -= static_cast<std::size_t>(written);
    }
}

/** In the child: measures n points and writes the wisdom to fd, then ends at once. */
[[noreturn]] void measureInChild(int n, int fd)
{
    const std::size_t doubles = 2 * (static_cast<std::size_t>(n) / 2 + 1);
    auto* scratch = static_cast<double*>(fftw_malloc(doubles * sizeof(double)));
    if (scratch &&
        fftw_plan_dft_r2c_1d(n, scratch, reinterpret_cast<fftw_complex*>(scratch), FFTW_MEASURE)) {
        if (char* text = fftw_export_wisdom_to_string()) {
            writeAllTo(fd, text, std::char_traits<char>::length(text));
        }
    }
    ::_exit(0);  // no destructor, handler or buffer of the parent's runs here
}

/**
 * The wisdom of a measured plan of n points, measured in a child process: FFTW's planner is
 * one per process, and a measurement takes seconds, which this process's planner is then
 * free for (the window may need an estimate for another size meanwhile). The fork is made
 * while no thread plans, so the child's planner is whole. Empty when there is none, or when
 * stop asked for it first (the child is killed then).
 */
std::string wisdomMeasuredApart(int n, const std::stop_token& stop)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return {};
    }
    pid_t child = -1;
    {
        const PlannerLock planner;
        child = ::fork();
        if (child == 0) {
            ::close(ends[0]);
            measureInChild(n, ends[1]);
        }
    }
    ::close(ends[1]);
    std::string text;
    bool stopped = false;
    if (child > 0) {
        char buffer[4096];
        for (;;) {
            if (stop.stop_requested()) {
                ::kill(child, SIGKILL);
                stopped = true;
                break;
            }
            pollfd readable{ends[0], POLLIN, 0};
            if (::poll(&readable, 1, kStopPollMs) <= 0) {
                continue;
            }
            const ssize_t got = ::read(ends[0], buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            text.append(buffer, static_cast<std::size_t>(got));
        }
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        if (stopped || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            text.clear();
        }
    }
    ::close(ends[0]);
    return text;
}

/** The measured plan of n points: from a child's wisdom, or measured here if that fails. */
FftPlan measuredPlan(int n, const std::stop_token& stop)
{
    const std::string text = wisdomMeasuredApart(n, stop);
    if (stop.stop_requested()) {
        return {};
    }
    if (!text.empty() && wisdom::importText(text)) {
        if (FftPlan plan = FftPlan::forwardInPlace(n, PlanRigor::WisdomOnly); !plan.empty()) {
            return plan;
        }
    }
    return FftPlan::forwardInPlace(n, PlanRigor::Measure);
}

}  // namespace

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
        FftPlan measured = measuredPlan(n, stop);
        lock.lock();
        m_ready = std::move(measured);  // a plan of an earlier size is not wanted any more
        m_readySize = n;
        m_measuring = 0;
        m_changed.notify_all();
    }
}
