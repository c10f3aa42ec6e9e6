#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <type_traits>

#include "files/InputFile.h"

class QWidget;

/**
 * Runs work on a worker thread while the window goes on handling its events. A window-modal
 * progress dialog (title, label) comes up when the work takes a while; it shows the progress
 * work reports, and its Cancel makes that progress stop the work. Returns once work has ended:
 * false when it was cancelled, and what it made is then to be dropped.
 */
bool runWithProgressDialog(QWidget* parent, const QString& title, const QString& label,
                           const std::function<void(const ReadProgress&)>& work);

/** The same for work that makes a result: none when cancelled. */
template <typename Work>
auto runInBackground(QWidget* parent, const QString& title, const QString& label, Work work)
    -> std::optional<std::invoke_result_t<Work&, const ReadProgress&>>
{
    std::optional<std::invoke_result_t<Work&, const ReadProgress&>> result;
    if (!runWithProgressDialog(parent, title, label, [&](const ReadProgress& progress) {
            result.emplace(work(progress));
        })) {
        result.reset();
    }
    return result;
}
