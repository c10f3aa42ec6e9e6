#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <functional>

/**
 * Answers the next message box once it is up: checks nothing itself, hands the box to
 * inspect, then presses button. Call before the action that opens the box.
 */
inline void answerNextMessageBox(QMessageBox::StandardButton button,
                                 std::function<void(QMessageBox&)> inspect = {})
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, button, inspect]() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        if (inspect) {
            inspect(*box);
        }
        box->button(button)->click();
    });
    timer->start();
}

/** Runs action on the next modal dialog of type T once it is up (then the caller's action). */
template <typename T>
void onNextModal(std::function<void(T&)> action)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action]() {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        action(*dialog);
    });
    timer->start();
}
