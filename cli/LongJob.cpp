#include "LongJob.h"

#include <unistd.h>

#include <csignal>

namespace {

/** Between two percentages on the terminal, at least this long. */
constexpr std::chrono::milliseconds kShowEvery{250};

volatile std::sig_atomic_t g_stopSignal = 0;
struct sigaction g_previousInterrupt {};
struct sigaction g_previousTerminate {};

extern "C" void askToStop(int signal)
{
    g_stopSignal = signal;
}

}  // namespace

LongJob::LongJob(QString what, QTextStream& err)
    : m_what(std::move(what)),
      m_err(err),
      m_terminal(::isatty(STDERR_FILENO) != 0),
      m_last(std::chrono::steady_clock::now())
{
    g_stopSignal = 0;
    struct sigaction action {};
    action.sa_handler = askToStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &g_previousInterrupt);
    sigaction(SIGTERM, &action, &g_previousTerminate);
}

LongJob::~LongJob()
{
    sigaction(SIGINT, &g_previousInterrupt, nullptr);
    sigaction(SIGTERM, &g_previousTerminate, nullptr);
    if (m_shown) {
        m_err << "\r\x1b[K";  // the percentage line goes; what follows starts clean
        m_err.flush();
    }
}

bool LongJob::advance(std::int64_t done, std::int64_t total)
{
    const auto now = std::chrono::steady_clock::now();
    if (m_terminal && total > 0 && now - m_last >= kShowEvery) {
        m_last = now;
        m_shown = true;
        m_err << '\r' << m_what << ' ' << (100 * done / total) << " %";
        m_err.flush();
    }
    return g_stopSignal == 0;
}

int LongJob::stopSignal()
{
    return g_stopSignal;
}

QString LongJob::stoppedText()
{
    return g_stopSignal == SIGTERM ? QStringLiteral("stopped by SIGTERM")
                                   : QStringLiteral("stopped by SIGINT");
}
