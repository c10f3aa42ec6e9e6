#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSlider>
#include <QTableView>
#include <QTimer>

#include <functional>
#include <memory>

#include "support/TestSupport.h"
#include "ui/DialogUnits.h"
#include "ui/MainDialog.h"

inline void noPause(int /*milliseconds*/) {}

/** A settings file that says the optimisation has run, so start-up does not measure. */
inline std::unique_ptr<TempSettings> optimisedSettings()
{
    auto settings = std::make_unique<TempSettings>();
    settings->store().writeInt("Optimized", 1);
    return settings;
}

/** A main window through its start-up, not yet shown. */
inline std::unique_ptr<MainDialog> startWindow(TempSettings& settings)
{
    auto window = std::make_unique<MainDialog>(settings.store(), noPause);
    window->initialise();
    return window;
}

inline QString labelText(MainDialog& window, int id)
{
    auto* label = qobject_cast<QLabel*>(findControl(window.clientArea(), id));
    return label ? label->text() : QStringLiteral("<missing %1>").arg(id);
}

inline QSlider* slider(MainDialog& window, int id)
{
    return qobject_cast<QSlider*>(findControl(window.clientArea(), id));
}

inline QTableView* harmonicList(MainDialog& window)
{
    return qobject_cast<QTableView*>(findControl(window.clientArea(), 1031));
}

inline QString cell(QAbstractItemView* view, int row, int column)
{
    return view->model()->index(row, column).data().toString();
}

/** Row texts of the main list, "number|magnitude|phase" each. */
inline QStringList rowTexts(MainDialog& window)
{
    QTableView* view = harmonicList(window);
    QStringList rows;
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        rows << cell(view, row, 0) + u'|' + cell(view, row, 1) + u'|' + cell(view, row, 2);
    }
    return rows;
}

/** A list of texts from plain literals (the project forbids implicit conversions). */
inline QStringList texts(std::initializer_list<const char*> items)
{
    QStringList list;
    for (const char* item : items) {
        list << QString::fromUtf8(item);
    }
    return list;
}

inline QAction* action(MainDialog& window, int id)
{
    for (QAction* a : window.findChildren<QAction*>()) {
        if (a->property("controlId").toInt() == id) {
            return a;
        }
    }
    return nullptr;
}

/** The line edit of a dialog by its control id. */
inline QLineEdit* field(QWidget& dialog, int id)
{
    return qobject_cast<QLineEdit*>(findControl(&dialog, id));
}

/** A polling timer that waits for a modal window; cancelModalWatchers() ends those left. */
inline QTimer* newModalWatcher()
{
    auto* timer = new QTimer(qApp);
    timer->setObjectName(QStringLiteral("modalWatcher"));
    timer->setInterval(10);
    return timer;
}

/** Ends the watchers whose window never came: call from each test's cleanup(). */
inline void cancelModalWatchers()
{
    for (QTimer* timer : qApp->findChildren<QTimer*>(QStringLiteral("modalWatcher"))) {
        delete timer;
    }
}

/**
 * Answers the next message box once it is up: checks nothing itself, hands the box to
 * inspect, then presses button. Call before the action that opens the box.
 */
inline void answerNextMessageBox(QMessageBox::StandardButton button,
                                 std::function<void(QMessageBox&)> inspect = {})
{
    QTimer* timer = newModalWatcher();
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
    QTimer* timer = newModalWatcher();
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

/** Runs action on the next message box whose text contains fragment; others are left alone. */
inline void onNextMessageBoxWith(const QString& fragment, std::function<void(QMessageBox&)> action)
{
    QTimer* timer = newModalWatcher();
    QObject::connect(timer, &QTimer::timeout, [timer, fragment, action]() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->text().contains(fragment)) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        action(*box);
    });
    timer->start();
}

/**
 * Types path into a file dialog's name field, as a user would. (selectFile races with the
 * dialog's background directory scan and may select only the folder.)
 */
inline void typeFileName(QFileDialog& dialog, const std::string& path)
{
    dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
        ->setText(QString::fromStdString(path));
}
