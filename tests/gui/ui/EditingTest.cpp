#include <sstream>

#include "ui/CalculatedValuesDialog.h"
#include "gui/ui/UiTestSupport.h"

class EditingTest : public QObject {
    Q_OBJECT

private slots:
    void addShowsTheEntryAsTypedAndTheProgramsSliderMovesNeverWrite()
    {
        Started window;
        const int before = window->recalculationCount();
        const auto add = [&window] { window->OnAdd(); };
        QCOMPARE(drive(add, {u"1032=64"_s, u"Ok"_s, u"1032=3 1033=12.34 1034=20"_s}),
                 (QStringList{u"Korvalin - Add Harmonic|[3]|0|0"_s,
                              u"Korvalin|Please enter a number between 0 and 63.998."_s,
                              u"Korvalin - Add Harmonic|[64]|0|0"_s}));
        QCOMPARE(shown(*window), u"1.00|100.00|0 >3.00|12.34|20 / 123 200 12.34 20 / 12.34%"_s);
        // Picking a row moves both sliders by program too.
        harmonicList(*window)->setCurrentIndex(harmonicList(*window)->model()->index(0, 0));
        QCOMPARE(shown(*window), u">1.00|100.00|0 3.00|12.34|20 / 1000 180 100.00 0 / 12.34%"_s);
        harmonicList(*window)->setCurrentIndex(harmonicList(*window)->model()->index(1, 0));
        // A duplicate is refused like a bad field: the dialog stays with what was typed.
        QCOMPARE(drive(add, {u"1032=3 1033=50 1034=-7"_s, u"Ok"_s}).mid(1),
                 (QStringList{u"Korvalin|Harmonic 3.00 is already specified"_s,
                              u"Korvalin - Add Harmonic|[3]|50|-7"_s}));
        QCOMPARE(shown(*window), u"1.00|100.00|0 >3.00|12.34|20 / 123 200 12.30 20 / 12.34%"_s);
        QCOMPARE(window->recalculationCount(), before + 1);
    }

    void everyEditingControlFollowsTheHighlightAlone_data()
    {
        // Steps, ";" between them: "click R" or "ctrl R" on row R, "below" the rows, "key K|A"
        // the key K on the list with A answering what it opens.
        QTest::addColumn<QString>("steps");
        // The sliders and their labels / F2 / Delete (both cancelled) / the rows after three
        // Right presses on the magnitude slider.
        QTest::addColumn<QString>("outcome");
        const QString none =
            u"off | / Korvalin|No harmonic is selected to edit. / "
            "Korvalin|No harmonic is selected to delete. / "_s;
        const QString rows = u"1.00|100.00|0 3.00|30.00|0 5.00|20.00|0"_s;
        const auto row = [](const char* name, const char* steps, const QString& outcome) {
            QTest::newRow(name) << QString::fromUtf8(steps) << outcome;
        };
        row("ctrl+click", "click 2;ctrl 2", none + rows);
        row("click below the rows", "click 2;below", none + rows);
        row("delete a row", "click 2;key Del|Yes",
            u"on 30.00|0 / Korvalin - Edit Harmonic|[30]|0 / "
            "Korvalin|Are you sure you want to delete harmonic 3.00 / "
            "1.00|100.00|0 >3.00|30.30|0"_s);
        row("delete the only row", "key Ctrl+N;key Del|Yes", none);
        row("open a file without rows", "key Ctrl+O|@empty.kvk", none);
        row("new", "ctrl 0;key Ctrl+N",
            u"on 100.00|0 / Korvalin - Edit Harmonic|[100]|0 / "
            "Korvalin|Are you sure you want to delete harmonic 1.00 / >1.00|100.00|0"_s);
        row("undo", "ctrl 0;key Ins|1032=7 1033=10;key Ctrl+Z", none + rows);
        row("redo", "key Ctrl+N;key Del|Yes;key Ctrl+Z;key Ctrl+Y", none);
    }

    void everyEditingControlFollowsTheHighlightAlone()
    {
        QFETCH(QString, steps);
        QFETCH(QString, outcome);
        Started window;
        TempDir dir;
        writeWholeFile(dir.file("three.kvk"), ":1 12 1 1 128\n1 100 0\n3 30 0\n5 20 0\n");
        writeWholeFile(dir.file("empty.kvk"), ":1 12 1 1 128\n");
        window->openFile(QString::fromStdString(dir.file("three.kvk")));
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(&*window));
        QAbstractItemView* list = harmonicList(*window);
        const auto rowCentre = [list](const QString& row) {
            return list->visualRect(list->model()->index(row.toInt(), 1)).center();
        };
        const auto press = [&](const QString& keys, const QStringList& answers) {
            list->setFocus();
            const QStringList seen =
                drive([&] { QTest::keySequence(list, QKeySequence(keys)); }, answers);
            // Back from the dialogs, for the next key.
            window->activateWindow();
            const bool active = QTest::qWaitForWindowActive(&*window);
            return active ? seen.join(u' ') : u"inactive"_s;
        };
        for (const QString& step : steps.split(u';')) {
            const QString verb = step.section(u' ', 0, 0);
            const QString what = step.section(u' ', 1);
            if (verb == u"key") {
                QString answer = what.section(u'|', 1);
                answer.replace(u'@', QString::fromStdString(dir.path().string()) + u'/');
                press(what.section(u'|', 0, 0), {answer});
            } else {
                QTest::mouseClick(
                    list->viewport(), Qt::LeftButton,
                    verb == u"ctrl" ? Qt::ControlModifier : Qt::NoModifier,
                    verb == u"below" ? QPoint(5, list->viewport()->height() - 5) : rowCentre(what));
            }
        }
        QSlider* magnitude = slider(*window, 1001);
        const bool on = magnitude->isEnabled() && slider(*window, 1002)->isEnabled();
        QStringList seen{(on ? u"on "_s : u"off "_s) + labelText(*window, 1010) + u'|' +
                         labelText(*window, 1011)};
        seen << press(u"F2"_s, {u"cancel"_s}) << press(u"Del"_s, {u"cancel"_s});
        magnitude->setFocus();
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(magnitude, Qt::Key_Right);
        }
        seen << rowTexts(*list->model(), list);
        QCOMPARE(seen.join(u" / "_s), outcome);
    }

    void userSliderMovesRecalculateOncePerNewPosition()
    {
        Started window;
        QSlider* magnitude = slider(*window, 1001);
        const int before = window->recalculationCount();
        magnitude->setFocus();
        QTest::keyClick(magnitude, Qt::Key_Left);      // 999
        QTest::keyClick(magnitude, Qt::Key_PageDown);  // 949
        QCOMPARE(window->recalculationCount(), before + 2);
        QCOMPARE(shown(*window), u">1.00|94.90|0 / 949 180 94.90 0 / 0.00%"_s);
        magnitude->setSliderDown(true);
        for (const int position : {900, 901, 901, 850}) {
            magnitude->setSliderPosition(position);
        }
        magnitude->setSliderDown(false);
        QCOMPARE(window->recalculationCount(), before + 5);
        slider(*window, 1002)->setFocus();
        QTest::keyClick(slider(*window, 1002), Qt::Key_Left);
        QCOMPARE(shown(*window), u">1.00|85.00|-1 / 850 179 85.00 -1 / 0.00%"_s);
    }

    void editAndDeleteActOnTheSelectedHarmonic()
    {
        Started window;
        window->design().add(3.0F, 10.0F, 5);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*window));
        QWidget* list = harmonicList(*window)->viewport();
        const QStringList seen = drive(
            [list] {  // a double-click on the empty part of the list too
                QTest::mouseDClick(list, Qt::LeftButton, {}, QPoint(5, list->height() - 5));
                QTest::qWait(50);
            },
            {u"1052=20 1053=-30"_s});
        QCOMPARE(seen, QStringList{u"Korvalin - Edit Harmonic|[10]|5"_s});
        QCOMPARE(shown(*window), u"1.00|100.00|0 >3.00|20.00|-30 / 200 150 20.00 -30 / 20.00%"_s);
        const auto remove = [&window] { window->OnDelete(); };
        QCOMPARE(drive(remove, {u"No"_s}),
                 QStringList{u"Korvalin|Are you sure you want to delete harmonic 3.00"_s});
        for (const auto& [key, number] : {std::pair{Qt::Key_End, 3.0F},
                                          {Qt::Key_Home, 1.0F},
                                          {Qt::Key_End, 3.0F}}) {  // as in a list
            QTest::keyClick(harmonicList(*window), key);
            QCOMPARE(window->design().table().selectedNumber(), number);
        }
        const int before = window->recalculationCount();
        drive(remove, {u"Yes"_s});
        QCOMPARE(shown(*window), kFundamentalShown);
        QCOMPARE(window->recalculationCount(), before + 1);
        drive(remove, {u"Yes"_s});
        QCOMPARE(shown(*window), u" / 0 180   / 0.00%"_s);
        QCOMPARE(window->waveformChart().rangeMaximum(), 1.0);
    }

    void figuresSayWhenAnEntryLiesBetweenBins()
    {
        Started window;
        const auto hintAndInter = [&window] {
            const auto* hint = window->findChild<QLabel*>(u"resolutionHint"_s);
            return (hint ? hint->text() : u"no hint line"_s) + u'|' + labelText(*window, 1036);
        };
        auto* add = qobject_cast<QAbstractButton*>(findControl(window->clientArea(), 1005));
        drive([add] { add->click(); }, {u"1032=2.5 1033=7.5"_s});
        QCOMPARE(hintAndInter(),
                 u"2.50 lies between FFT bins: set FFT cycles to 2 to measure it|0.00%"_s);
        drive([&window] { window->findChild<QAction*>(u"preferencesAction"_s)->trigger(); },
              {u"1029=2"_s});
        QCOMPARE(hintAndInter(), u"|7.50%"_s);
    }

    void preferencesShowTheWorkingCopyAndTheirAnswerReachesTheWindow()
    {
        Started window;
        // A file brings two FFT cycles, sines and the fundamental as the phase reference.
        std::istringstream file(":2 12 0 0 128\n1 100 0\n3 10 0\n");
        window->design().open(file, DocumentKind::Coefficients);
        const int plans = window->design().planSlot().plansCreated();
        const int before = window->recalculationCount();
        const auto preferences = [&window] { window->OnPreferences(); };
        QCOMPARE(drive(preferences, {u"cancel"_s}),
                 QStringList{u"Korvalin Preferences|[12]|2|128|1038|1039|1041"_s});
        QCOMPARE(window->recalculationCount(), before);
        drive(preferences, {u"1028=1 1029=3 1054=256 1030 1055"_s});  // cosines, 50 Hz
        QCOMPARE(window->recalculationCount(), before + 1);
        QCOMPARE(window->design().planSlot().plansCreated(), plans + 1);
        QCOMPARE(labelText(*window, 1046) + u'|' + labelText(*window, 1047),
                 u"1 Cycle|3 Cycles, 768 points"_s);
        QCOMPARE(window->waveformChart().series(1).size(), std::size_t{256});
        QCOMPARE(window->design().active().basis, WaveBasis::Cosine);
        // Both lists follow the display mode.
        const QAbstractItemModel& list = *harmonicList(*window)->model();
        const CalculatedRowsModel& calculated = window->calculationsWindow()->rowsModel();
        QCOMPARE(heading(list) + u' ' + rowTexts(list),
                 u"Frequency 50.00|100.00|0 150.00|10.00|0"_s);
        QCOMPARE(heading(calculated) + u' ' + rowTexts(calculated),
                 heading(list) + u' ' + rowTexts(list));
        QCOMPARE(drive([&window] { window->OnAdd(); }, {u"1032=128"_s, u"Ok"_s}).value(1),
                 u"Korvalin|Please enter a number between 0 and 127.996."_s);
    }

    void dialogFieldsAreCheckedInOrder_data()
    {
        // The entries; the field refused, then focused and all selected, in brackets.
        QTest::addColumn<QString>("entered");
        QTest::addColumn<QString>("refusal");  // none: accepted
        const auto row = [](const char* name, const char* entered, const char* refusal) {
            QTest::newRow(name) << QString::fromLatin1(entered) << QString::fromLatin1(refusal);
        };
        row("add: number first", "1032=[63.999] 1033=101",
            "Please enter a number between 0 and 63.998.");
        row("add: number at the bound", "1032=63.998046875", "");
        row("add: magnitude before phase", "1033=[100.5] 1034=181",
            "Please enter a number between 0 and 100.");
        row("edit: magnitude", "1052=[abc] 1053=999", "Please enter a number.");
        row("edit: phase", "1053=[181]", "Please enter an integer between -180 and 180.");
        row("preferences: FFT cycles first", "1028=13 1029=[14] 1054=24.9",
            "Please enter an integer between 1 and 12.");
        row("preferences: display cycles next", "1028=[x] 1054=24.9", "Please enter an integer.");
        row("preferences: samples last", "1054=[24.9]",
            "Please enter a number between 25 and 512.");
        row("preferences: upper limits", "1028=12 1029=12 1054=512", "");
        row("preferences: lower limits", "1028=1 1029=1 1054=25", "");
    }

    void dialogFieldsAreCheckedInOrder()
    {
        QFETCH(QString, entered);
        QFETCH(QString, refusal);
        const QByteArray dialog = QTest::currentDataTag();
        const auto command = dialog.startsWith("add")    ? &MainDialog::OnAdd
                             : dialog.startsWith("edit") ? &MainDialog::OnEdit
                                                         : &MainDialog::OnPreferences;
        Started window;
        const QStringList seen =
            drive([&window, command] { ((*window).*command)(); },
                  {QString(entered).remove(u'[').remove(u']'), u"Ok"_s, u"cancel"_s});
        QCOMPARE(seen.value(1).section(u'|', 1), refusal);
        QCOMPARE(seen.value(2).section(u'[', 1).section(u']', 0, 0),
                 entered.section(u'[', 1).section(u']', 0, 0));
    }
};

QTEST_MAIN(EditingTest)
#include "EditingTest.moc"
