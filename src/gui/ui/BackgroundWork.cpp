#include "ui/BackgroundWork.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>

namespace {

/** The progress bar's steps from start to end. */
constexpr int kProgressSteps = 1000;
/** Work over sooner than this shows no dialog at all. */
constexpr int kDialogDelayMs = 400;
/** How often the dialog takes the worker's progress. */
constexpr int kPollMs = 50;

/** Window-modal, and up only once the work has taken a while. */
void prepare(QProgressDialog& dialog, const QString& title)
{
    dialog.setWindowTitle(title);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(kDialogDelayMs);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    dialog.setValue(0);  // starts the delay
}

/**
 * Runs work on a thread of its own, the window's events handled meanwhile, and returns once it
 * has ended; what it throws is thrown here. Until takesInput() the user's input waits (it is
 * not lost), so that no command starts on top of this one before the modal dialog is up. When
 * the application quits first, stop is called to end it sooner.
 */
void runOffThread(const std::function<void()>& work, const std::function<void()>& stop,
                  const std::function<bool()>& takesInput)
{
    std::exception_ptr failure;
    std::atomic<bool> ended{false};
    QEventLoop loop;
    const std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        ended = true;
    }));
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    while (!ended && !takesInput()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::WaitForMoreEvents);
    }
    if (!ended) {
        loop.exec();
    }
    if (!ended) {  // the loop also ends when the application quits
        stop();
    }
    worker->wait();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

}  // namespace

bool runWithProgressDialog(QWidget* parent, const QString& title, const QString& label,
                           const std::function<void(const ReadProgress&)>& work)
{
    // The worker touches only these two; the dialog polls the one and sets the other.
    std::atomic<int> stepsDone{0};
    std::atomic<bool> cancelled{false};
    const ReadProgress progress = [&stepsDone, &cancelled](double done) {
        stepsDone = static_cast<int>(std::clamp(done, 0.0, 1.0) * kProgressSteps);
        return !cancelled;
    };
    QProgressDialog dialog(label, QStringLiteral("Cancel"), 0, kProgressSteps, parent);
    prepare(dialog, title);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] { dialog.setValue(stepsDone); });
    // Once cancelled the dialog stays down: a later progress would bring it up again.
    const auto cancel = [&cancelled, &poll] {
        cancelled = true;
        poll.stop();
    };
    QObject::connect(&dialog, &QProgressDialog::canceled, cancel);
    QObject::connect(&dialog, &QDialog::rejected, cancel);  // Escape
    poll.start(kPollMs);
    runOffThread([&work, &progress] { work(progress); }, cancel,
                 [&dialog] { return dialog.isVisible(); });
    return !cancelled;
}
