#pragma once

#include <QString>
#include <QTextStream>

#include <chrono>
#include <cstdint>

/**
 * A job that may take minutes: while it is alive SIGINT and SIGTERM ask it to stop instead
 * of ending the process (so it can clean up and say so), and, when standard error is a
 * terminal, a percentage there, at most a few times a second.
 */
class LongJob {
public:
    LongJob(QString what, QTextStream& err);
    ~LongJob();
    LongJob(const LongJob&) = delete;
    LongJob& operator=(const LongJob&) = delete;

    /** Shows how far the job is; false once a signal asked it to stop. */
    bool advance(std::int64_t done, std::int64_t total);

    /** The signal that asked the job to stop, or 0. */
    [[nodiscard]] static int stopSignal();
    /** "stopped by SIGINT" or "stopped by SIGTERM", as the message of a stopped job begins. */
    [[nodiscard]] static QString stoppedText();

private:
    QString m_what;
    QTextStream& m_err;
    bool m_terminal;
    bool m_shown = false;
    std::chrono::steady_clock::time_point m_last;
};
