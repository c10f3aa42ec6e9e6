#include "ui/BackgroundWork.h"

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
    dialog.setWindowTitle(title);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(kDialogDelayMs);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    const auto cancel = [&cancelled] { cancelled = true; };
    QObject::connect(&dialog, &QProgressDialog::canceled, cancel);
    QObject::connect(&dialog, &QDialog::rejected, cancel);  // Escape
    dialog.setValue(0);  // starts the delay after which the dialog comes up

    std::exception_ptr failure;
    std::atomic<bool> ended{false};
    QEventLoop loop;
    const std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
        ended = true;
    }));
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] { dialog.setValue(stepsDone); });
    poll.start(kPollMs);
    worker->start();
    loop.exec();
    // The loop also ends when the application quits; the worker uses what lives here.
    if (!ended) {
        cancelled = true;
    }
    worker->wait();
    if (failure) {
        std::rethrow_exception(failure);  // as if the work had run here
    }
    return !cancelled;
}
