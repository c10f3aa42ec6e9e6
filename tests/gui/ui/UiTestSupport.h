#pragma once

#include <QtTest>
#include <QtWidgets>

#include "support/TestSupport.h"
#include "ui/DialogUnits.h"
#include "ui/MainDialog.h"

using namespace Qt::StringLiterals;

inline void noPause(int /*milliseconds*/) {}

// A main window through its start-up on its own settings file, not yet shown. Plans are
// estimated: measuring them is the fft layer's business and would cost seconds a window.
// The settings say the first-run optimisation is done, unless stored (written first) says no.
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
    // Closes the window, which stores its settings, and starts another as a next run would.
    void restart()
    {
        window.reset();
        window = std::make_unique<MainDialog>(settings.store(), pause, PlanRigor::Estimate);
        window->initialise();
    }
    MainDialog* operator->() const { return window.get(); }
    MainDialog& operator*() const { return *window; }

    PauseFunction pause;
    TempSettings settings;
    std::unique_ptr<MainDialog> window;
};

inline QString labelText(MainDialog& window, int id)
{
    return qobject_cast<QLabel*>(findControl(window.clientArea(), id))->text();
}

inline QSlider* slider(MainDialog& window, int id)
{
    return qobject_cast<QSlider*>(findControl(window.clientArea(), id));
}

// The harmonic list, whichever item view shows it.
inline QAbstractItemView* harmonicList(MainDialog& window)
{
    return qobject_cast<QAbstractItemView*>(findControl(window.clientArea(), 1031));
}

inline QHeaderView* columnHeader(QAbstractItemView* view)
{
    auto* tree = qobject_cast<QTreeView*>(view);
    return tree ? tree->header() : qobject_cast<QTableView*>(view)->horizontalHeader();
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
inline QString shown(MainDialog& window)
{
    QAbstractItemView* list = harmonicList(window);
    return rowTexts(*list->model(), list) +
           u" / %1 %2 "_s.arg(slider(window, 1001)->value()).arg(slider(window, 1002)->value()) +
           labelText(window, 1010) + u' ' + labelText(window, 1011) + u" / "_s +
           labelText(window, 1033);
}

inline const QString kFundamentalShown = u">1.00|100.00|0 / 1000 180 100.00 0 / 0.00%"_s;

// What a modal window shows as it comes up: its title, then a message box's text (marked
// when it would be read as markup), or the texts of a dialog's line edits (the focused one,
// when all its text is selected, in brackets) and its checked radio buttons' control ids.
inline QString describe(QWidget& modal)
{
    QStringList parts{modal.windowTitle()};
    if (auto* box = qobject_cast<QMessageBox*>(&modal)) {
        const bool markup = box->textFormat() == Qt::RichText ||
                            (box->textFormat() == Qt::AutoText && Qt::mightBeRichText(box->text()));
        return parts.front() + (markup ? u"|markup|"_s : u"|"_s) + box->text();
    }
    for (QLineEdit* edit : modal.findChildren<QLineEdit*>()) {
        const bool focused = modal.focusWidget() == edit && edit->selectedText() == edit->text();
        parts << (focused ? u'[' + edit->text() + u']' : edit->text());
    }
    for (QRadioButton* radio : modal.findChildren<QRadioButton*>()) {
        if (radio->isChecked()) {
            parts << radio->property("controlId").toString();
        }
    }
    return parts.join(u'|');
}

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
        *seen << describe(*modal);
        // One too many: refused, so that the command ends and the test sees the window.
        const QString answer = answers->isEmpty() ? u"cancel"_s : answers->takeFirst();
        answerNextModal(answers, seen);  // before this answer, which may open the next window
        if (answer == u"cancel") {
            static_cast<QDialog*>(modal)->reject();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            const int button =
                QMetaEnum::fromType<QMessageBox::StandardButtons>().keyToValue(qPrintable(answer));
            answer == u"Return" ? QTest::keyClick(box, Qt::Key_Return)
                                : box->button(QMessageBox::StandardButton(button))->click();
        } else if (qobject_cast<QFileDialog*>(modal)) {
            // Typed, as a user would: selectFile races with the dialog's folder scan.
            modal->findChild<QLineEdit*>(u"fileNameEdit"_s)->setText(answer);
            static_cast<QDialog*>(modal)->accept();  // QFileDialog makes it protected
        } else {
            for (const QString& entry : answer.split(u' ', Qt::SkipEmptyParts)) {
                QWidget* control = findControl(modal, entry.section(u'=', 0, 0).toInt());
                if (auto* edit = qobject_cast<QLineEdit*>(control)) {
                    edit->setText(entry.section(u'=', 1));
                } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
                    button->click();
                }
            }
            modal->findChild<QPushButton*>(u"okButton"_s)->click();
        }
    });
    timer->start(10);
}

// Runs command and answers the modal windows it opens, in turn, with answers: a message box
// with a button's name ("Yes", "No", "Ok") or "Return" for its default; a file dialog with
// the path to type; another dialog with its fields to set ("1032=3 1033=10"; a button's id
// alone clicks it) and OK. "cancel" cancels any. Returns what each window showed, described.
inline QStringList drive(const std::function<void()>& command, const QStringList& answers = {})
{
    auto seen = std::make_shared<QStringList>();
    answerNextModal(std::make_shared<QStringList>(answers), seen);
    command();
    qDeleteAll(qApp->findChildren<QTimer*>(u"modalWatcher"_s));
    return *seen;
}
