#pragma once

#include <qcustomplot.h>
#include <QtTest>
#include <QtWidgets>

#include "support/TestSupport.h"
#include "ui/MainWindow.h"

using namespace Qt::StringLiterals;

inline void noPause(int /*milliseconds*/) {}

// The child of root with objectName name; a missing one ends the test run loudly.
template <typename T = QWidget>
T* named(const QObject& root, const QString& name)
{
    T* found = root.findChild<T*>(name);
    if (!found) {
        qFatal("no child named %s", qPrintable(name));
    }
    return found;
}

inline QString labelText(const QObject& root, const QString& name)
{
    return named<QLabel>(root, name)->text();
}

// A main window started on its own settings (first-run optimization done unless stored says
// no), not yet shown. Plans are estimated: measuring them would cost seconds a window.
struct Started {
    explicit Started(std::initializer_list<std::pair<const char*, QByteArray>> stored = {},
                     PauseFunction pauseWith = noPause)
        : pause(std::move(pauseWith))
    {
        settings.store().writeInt("Optimized", 1);
        for (const auto& [name, value] : stored) {
            settings.store().writeString(name, value.toStdString());
        }
        restart();
    }
    // Closes the window, which stores its settings, and starts the next run.
    void restart()
    {
        window.reset();
        window = std::make_unique<MainWindow>(settings.store(), pause, PlanRigor::Estimate);
        window->initialize();
    }
    void open(const std::string& text, const std::string& name = "design.kvk")
    {
        writeWholeFile(dir.file(name), text);
        window->openFile(path(name));
    }
    [[nodiscard]] QString path(const std::string& name) const
    {
        return QString::fromStdString(dir.file(name));
    }
    void showActive() const
    {
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    MainWindow* operator->() const { return window.get(); }
    MainWindow& operator*() const { return *window; }

    PauseFunction pause;
    TempSettings settings;
    TempDir dir;
    std::unique_ptr<MainWindow> window;
};

inline QAbstractItemView* harmonicList(const MainWindow& window)
{
    return named<QAbstractItemView>(window, u"harmonicList"_s);
}

inline QSlider* slider(const MainWindow& window, const QString& name)
{
    return named<QSlider>(window, name + u"Slider"_s);
}

inline QCustomPlot* chart(const MainWindow& window, const QString& name)
{
    return named<QCustomPlot>(window, name + u"Chart"_s);
}

inline void trigger(const MainWindow& window, const QString& action)
{
    named<QAction>(window, action + u"Action"_s)->trigger();
}

inline QString heading(const QAbstractItemModel& model, int column = 0)
{
    return model.headerData(column, Qt::Horizontal).toString();
}

// A list's rows, "number|magnitude|phase" each, a space between rows; a row the view
// highlights, when it is given, starts with ">".
inline QString rowTexts(const QAbstractItemModel& model, QAbstractItemView* view = nullptr)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        const auto cell = [&](int column) { return model.index(row, column).data().toString(); };
        const bool lit = view && view->selectionModel()->isRowSelected(row, {});
        rows << (lit ? u">"_s : QString()) + cell(0) + u'|' + cell(1) + u'|' + cell(2);
    }
    return rows.join(u' ');
}

// What the window shows of its design: rows / both sliders and their labels / Total.
inline QString shown(const MainWindow& window)
{
    QAbstractItemView* list = harmonicList(window);
    return rowTexts(*list->model(), list) +
           u" / %1 %2 "_s.arg(slider(window, u"magnitude"_s)->value())
               .arg(slider(window, u"phase"_s)->value()) +
           labelText(window, u"magnitudeValue"_s) + u' ' + labelText(window, u"phaseValue"_s) +
           u" / "_s + labelText(window, u"totalValue"_s);
}

inline const QString kFundamentalShown = u">1.00|100.00|0 / 1000 180 100.00 0 / 0.00%"_s;

// A modal window as it comes up: its title, then a message box's text ("markup|" first if it
// would be read as markup), a progress dialog's label, or its line edits' texts (the focused one,
// all selected, in brackets) and its checked radio buttons' names.
inline QString describe(QWidget& modal)
{
    QStringList parts{modal.windowTitle()};
    if (auto* box = qobject_cast<QMessageBox*>(&modal)) {
        const bool markup = box->textFormat() != Qt::PlainText && Qt::mightBeRichText(box->text());
        return parts.front() + (markup ? u"|markup|"_s : u"|"_s) + box->text();
    }
    if (auto* progress = qobject_cast<QProgressDialog*>(&modal)) {
        return parts.front() + u'|' + progress->labelText();
    }
    for (QLineEdit* edit : modal.findChildren<QLineEdit*>()) {
        const bool focused = modal.focusWidget() == edit && edit->selectedText() == edit->text();
        parts << (focused ? u'[' + edit->text() + u']' : edit->text());
    }
    for (QRadioButton* radio : modal.findChildren<QRadioButton*>()) {
        if (radio->isChecked()) {
            parts << radio->objectName().remove(u"Radio"_s);
        }
    }
    return parts.join(u'|');
}

// Answers a dialog: "name=text" types into the field nameEdit, a bare name clicks the radio
// button nameRadio or the check box nameCheck; then OK.
inline void fillIn(QWidget& dialog, const QString& answer)
{
    for (const QString& entry : answer.split(u' ', Qt::SkipEmptyParts)) {
        const QString name = entry.section(u'=', 0, 0);
        if (entry.contains(u'=')) {
            named<QLineEdit>(dialog, name + u"Edit"_s)->setText(entry.section(u'=', 1));
        } else {
            const bool radio = dialog.findChild<QAbstractButton*>(name + u"Radio"_s) != nullptr;
            named<QAbstractButton>(dialog, name + (radio ? u"Radio"_s : u"Check"_s))->click();
        }
    }
    named<QPushButton>(dialog, u"okButton"_s)->click();
}

constexpr int kSettleMs = 100;  // for a modal window to become active on its own
constexpr int kWorkMs = 60000;  // for a dialog's work off the window's thread, under a sanitizer

// Waits for the next modal window and answers it with the first of answers; see drive().
inline void answerNextModal(std::shared_ptr<QStringList> answers, std::shared_ptr<QStringList> seen)
{
    auto* timer = new QTimer(qApp);
    timer->setObjectName(u"modalWatcher"_s);
    QObject::connect(timer, &QTimer::timeout, [timer, answers, seen]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        // Active as a user sees it. Not qWaitForWindowActive: a dialog counts as active while
        // its parent is, before its own activation comes (late under load, upsetting the focus);
        // offscreen does not activate a dialog again after a message box.
        const auto active = [modal] { return QApplication::activeWindow() == modal; };
        if (!QTest::qWaitFor(active, kSettleMs)) {
            modal->activateWindow();
            (void)QTest::qWaitFor(active);
        }
        *seen << describe(*modal);
        // One too many is refused, so that the command ends.
        const QString answer = answers->isEmpty() ? u"cancel"_s : answers->takeFirst();
        // A button that comes on once the dialog's work is done is waited for first, while
        // this window is still the one being answered.
        QAbstractButton* when = answer.startsWith(u"when:"_s)
                                    ? named<QAbstractButton>(*modal, answer.mid(5) + u"Button"_s)
                                    : nullptr;
        if (when) {
            (void)QTest::qWaitFor([when] { return when->isEnabled(); }, kWorkMs);
        }
        answerNextModal(answers, seen);  // before this answer, which may open the next window
        if (when) {
            when->click();
        } else if (answer == u"cancel" && qobject_cast<QProgressDialog*>(modal)) {
            named<QPushButton>(*modal, {})->click();  // its one button
        } else if (answer == u"cancel") {
            static_cast<QDialog*>(modal)->reject();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            const int button =
                QMetaEnum::fromType<QMessageBox::StandardButtons>().keyToValue(qPrintable(answer));
            if (answer == u"Return") {
                QTest::keyClick(box, Qt::Key_Return);
            } else if (button < 0) {  // a button of its own, by its name
                named<QAbstractButton>(*box, answer + u"Button"_s)->click();
            } else {
                box->button(QMessageBox::StandardButton(button))->click();
            }
        } else if (qobject_cast<QFileDialog*>(modal)) {
            // Typed, as a user would: selectFile races with the dialog's folder scan.
            named<QLineEdit>(*modal, u"fileNameEdit"_s)->setText(answer);
            static_cast<QDialog*>(modal)->accept();  // QFileDialog makes it protected
        } else {
            fillIn(*modal, answer);
        }
    });
    timer->start(10);
}

// Runs command, answering its modal windows in turn: a message box with a button's name (a
// standard one, or NAME for its own NAMEButton) or "Return" (its default), a file dialog with
// the path to type, "when:NAME" a dialog's NAMEButton once it is enabled, another dialog as
// fillIn() does; "cancel" cancels any (a progress dialog by its Cancel button). Returns each
// window described.
inline QStringList drive(const std::function<void()>& command, const QStringList& answers = {})
{
    auto seen = std::make_shared<QStringList>();
    answerNextModal(std::make_shared<QStringList>(answers), seen);
    command();
    qDeleteAll(qApp->findChildren<QTimer*>(u"modalWatcher"_s));
    return *seen;
}

inline QStringList addHarmonic(const MainWindow& window, const QStringList& answers)
{
    auto* add = named<QAbstractButton>(window, u"addButton"_s);
    return drive([add] { add->click(); }, answers);
}

// Keys pressed on the list, its windows answered; the main window active again after.
inline QStringList pressOnList(MainWindow& window, const QKeySequence& keys,
                               const QStringList& answers = {})
{
    QAbstractItemView* list = harmonicList(window);
    list->setFocus();
    const QStringList seen = drive([&] { QTest::keySequence(list, keys); }, answers);
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window) ? seen : QStringList{u"inactive"_s};
}

// What hovering over the shown chart at x position key (sample or bin) reads out.
inline QString readoutAt(QCustomPlot* plot, double key)
{
    const QPoint at(static_cast<int>(plot->xAxis->coordToPixel(key)),
                    plot->axisRect()->center().y());
    QWindow* window = plot->window()->windowHandle();
    QTest::mouseMove(window, plot->mapTo(plot->window(), QPoint(0, 0)));  // a move, from anywhere
    QTest::mouseMove(window, plot->mapTo(plot->window(), at));
    return QToolTip::text();
}
