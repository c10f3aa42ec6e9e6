#include "gui/ui/UiTestSupport.h"
#include "ui/CalculatedValuesDialog.h"

class EditingTest : public QObject {
    Q_OBJECT

private slots:
    void addShowsTheEntryAsTypedAndTheProgramsSliderMovesNeverWrite()
    {
        Started window;
        QSignalSpy recalculated(&*window, &MainWindow::recalculated);
        QCOMPARE(addHarmonic(*window, {u"number=3 magnitude=12.34 phase=20"_s}),
                 QStringList{u"Korvalin - Add Harmonic|[3]|0|0"_s});
        QCOMPARE(shown(*window), u"1.00|100.00|0 >3.00|12.34|20 / 123 200 12.34 20 / 12.34%"_s);
        // Picking a row moves both sliders by program too.
        harmonicList(*window)->setCurrentIndex(harmonicList(*window)->model()->index(0, 0));
        QCOMPARE(shown(*window), u">1.00|100.00|0 3.00|12.34|20 / 1000 180 100.00 0 / 12.34%"_s);
        harmonicList(*window)->setCurrentIndex(harmonicList(*window)->model()->index(1, 0));
        // A duplicate is refused like a bad field: the dialog stays with what was typed.
        QCOMPARE(addHarmonic(*window, {u"number=3 magnitude=50 phase=-7"_s, u"Ok"_s}).mid(1),
                 (QStringList{u"Korvalin|Harmonic 3.00 is already specified"_s,
                              u"Korvalin - Add Harmonic|[3]|50|-7"_s}));
        QCOMPARE(shown(*window), u"1.00|100.00|0 >3.00|12.34|20 / 123 200 12.30 20 / 12.34%"_s);
        QCOMPARE(recalculated.count(), 1);
        // A phase move keeps the magnitude as typed, not as its slider rounds it.
        QSlider* phase = slider(*window, u"phase"_s);
        phase->setFocus();
        QTest::keyClick(phase, Qt::Key_Left);
        QCOMPARE(shown(*window), u"1.00|100.00|0 >3.00|12.34|19 / 123 199 12.30 19 / 12.34%"_s);
    }

    void everyEditingControlFollowsTheHighlightAlone_data()
    {
        // Steps, ";" between them: "click R" or "ctrl R" on row R, "below" the rows, "key K|A"
        // the key K on the list with A answering what it opens ("@": the test's folder).
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
        row("undo", "ctrl 0;key Ins|number=7 magnitude=10;key Ctrl+Z", none + rows);
        row("redo", "key Ctrl+N;key Del|Yes;key Ctrl+Z;key Ctrl+Y", none);
    }

    void everyEditingControlFollowsTheHighlightAlone()
    {
        QFETCH(QString, steps);
        QFETCH(QString, outcome);
        Started window;
        writeWholeFile(window.dir.file("empty.kvk"), ":1 12 1 1 128\n");
        window.open(":1 12 1 1 128\n1 100 0\n3 30 0\n5 20 0\n");
        window.showActive();
        QAbstractItemView* list = harmonicList(*window);
        for (const QString& step : steps.split(u';')) {
            const QString verb = step.section(u' ', 0, 0);
            const QString what = step.section(u' ', 1);
            const QPoint row = list->visualRect(list->model()->index(what.toInt(), 1)).center();
            if (verb == u"key") {
                const QString answer = what.section(u'|', 1).replace(u'@', window.path(""));
                pressOnList(*window, QKeySequence(what.section(u'|', 0, 0)), {answer});
            } else {
                QTest::mouseClick(
                    list->viewport(), Qt::LeftButton,
                    verb == u"ctrl" ? Qt::ControlModifier : Qt::NoModifier,
                    verb == u"below" ? QPoint(5, list->viewport()->height() - 5) : row);
            }
        }
        QSlider* magnitude = slider(*window, u"magnitude"_s);
        const bool on = magnitude->isEnabled() && slider(*window, u"phase"_s)->isEnabled();
        QStringList seen{(on ? u"on "_s : u"off "_s) + labelText(*window, u"magnitudeValue"_s) +
                         u'|' + labelText(*window, u"phaseValue"_s)};
        seen << pressOnList(*window, Qt::Key_F2) << pressOnList(*window, Qt::Key_Delete);
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
        QSignalSpy recalculated(&*window, &MainWindow::recalculated);
        QSlider* magnitude = slider(*window, u"magnitude"_s);
        magnitude->setFocus();
        QTest::keyClick(magnitude, Qt::Key_Left);      // 999
        QTest::keyClick(magnitude, Qt::Key_PageDown);  // 949
        QCOMPARE(recalculated.count(), 2);
        QCOMPARE(shown(*window), u">1.00|94.90|0 / 949 180 94.90 0 / 0.00%"_s);
        magnitude->setSliderDown(true);
        for (const int position : {900, 901, 901, 850}) {
            magnitude->setSliderPosition(position);
        }
        magnitude->setSliderDown(false);
        QCOMPARE(recalculated.count(), 5);
        QSlider* phase = slider(*window, u"phase"_s);
        phase->setFocus();
        QTest::keyClick(phase, Qt::Key_Left);
        QCOMPARE(shown(*window), u">1.00|85.00|-1 / 850 179 85.00 -1 / 0.00%"_s);
    }

    void editAndDeleteActOnTheSelectedHarmonic()
    {
        Started window;
        window.showActive();
        addHarmonic(*window, {u"magnitude=10 phase=5"_s});
        QAbstractItemView* list = harmonicList(*window);
        QWidget* area = list->viewport();
        const QStringList seen = drive(
            [area] {  // a double-click on the empty part of the list too
                QTest::mouseDClick(area, Qt::LeftButton, {}, QPoint(5, area->height() - 5));
                QTest::qWait(50);
            },
            {u"magnitude=20 phase=-30"_s});
        QCOMPARE(seen, QStringList{u"Korvalin - Edit Harmonic|[10]|5"_s});
        QCOMPARE(shown(*window), u"1.00|100.00|0 >3.00|20.00|-30 / 200 150 20.00 -30 / 20.00%"_s);
        auto* deleteButton = named<QAbstractButton>(*window, u"deleteButton"_s);
        QSignalSpy recalculated(&*window, &MainWindow::recalculated);
        drive([deleteButton] { deleteButton->click(); }, {u"Yes"_s});
        QCOMPARE(shown(*window), kFundamentalShown);
        QCOMPARE(recalculated.count(), 1);
    }

    void preferencesShowTheWorkingCopyAndTheirAnswerReachesTheWindow()
    {
        Started window;
        addHarmonic(*window, {u"number=2.5 magnitude=7.5"_s});
        QVERIFY(labelText(*window, u"resolutionHint"_s).startsWith(u"2.50 lies between"_s));
        // A file brings two FFT cycles, sines and the fundamental as the phase reference.
        window.open(":2 12 0 0 128\n1 100 0\n3 10 0\n");
        const auto preferences = [&window] { trigger(*window, u"preferences"_s); };
        QSignalSpy recalculated(&*window, &MainWindow::recalculated);
        const QString before =
            u"Korvalin Preferences|[12]|2|128|harmonicDisplay|sine|"
            "fundamentalReference"_s;
        QCOMPARE(drive(preferences, {u"cancel"_s}), QStringList{before});
        QCOMPARE(recalculated.count(), 0);
        drive(preferences,
              {u"displayCycles=1 fftCycles=3 samplesPerCycle=256 cosine display50Hz"_s});
        QCOMPARE(recalculated.count(), 1);
        QCOMPARE(drive(preferences, {u"cancel"_s}),
                 QStringList{u"Korvalin Preferences|[1]|3|256|display50Hz|cosine|"
                             "fundamentalReference"_s});
        QCOMPARE(labelText(*window, u"displayCyclesLabel"_s) + u'|' +
                     labelText(*window, u"fftWindowLabel"_s),
                 u"1 Cycle|3 Cycles, 768 points"_s);
        QCOMPARE(chart(*window, u"waveform"_s)->graph(0)->dataCount(), 256);
        // The zero line under it: its two end points.
        const auto zeroLine = chart(*window, u"waveform"_s)->graph(1)->data();
        QCOMPARE(zeroLine->size(), 2);
        QCOMPARE(zeroLine->at(1)->key, 255.0);
        QCOMPARE(window->design().active().basis, WaveBasis::Cosine);
        // Both lists follow the display mode.
        const QAbstractItemModel& list = *harmonicList(*window)->model();
        const QAbstractItemModel& calculated =
            *named<QAbstractItemView>(*window, u"calculatedList"_s)->model();
        for (const QAbstractItemModel* model : {&list, &calculated}) {
            QCOMPARE(heading(*model) + u' ' + rowTexts(*model),
                     u"Frequency 50.00|100.00|0 150.00|10.00|0"_s);
        }
    }

    void dialogFieldsAreCheckedInOrder_data()
    {
        // The entries; the field refused, then focused and all selected, in brackets.
        QTest::addColumn<QString>("entered");
        QTest::addColumn<QString>("refusal");  // none: accepted
        const auto row = [](const char* name, const char* entered, const char* refusal) {
            QTest::newRow(name) << QString::fromLatin1(entered) << QString::fromLatin1(refusal);
        };
        row("add: number first", "number=[63.999] magnitude=101",
            "Please enter a number between 0 and 63.998.");
        row("add: number at the bound", "number=63.998046875", "");
        row("add: magnitude before phase", "magnitude=[100.5] phase=181",
            "Please enter a number between 0 and 100.");
        row("edit: magnitude", "magnitude=[abc] phase=999", "Please enter a number.");
        row("edit: phase", "phase=[181]", "Please enter an integer between -180 and 180.");
        row("preferences: FFT cycles first", "displayCycles=13 fftCycles=[14] samplesPerCycle=24.9",
            "Please enter an integer between 1 and 12.");
    }

    void dialogFieldsAreCheckedInOrder()
    {
        QFETCH(QString, entered);
        QFETCH(QString, refusal);
        const QByteArray dialog = QTest::currentDataTag();
        Started window;
        window.showActive();
        const QStringList answers{QString(entered).remove(u'[').remove(u']'), u"Ok"_s};
        const auto command = [&]() -> QStringList {
            if (dialog.startsWith("add")) {
                return addHarmonic(*window, answers);
            }
            if (dialog.startsWith("edit")) {
                return pressOnList(*window, Qt::Key_F2, answers);
            }
            return drive([&window] { trigger(*window, u"preferences"_s); }, answers);
        };
        const QStringList seen = command();
        QCOMPARE(seen.value(1).section(u'|', 1), refusal);
        QVERIFY2(seen.value(2).section(u'[', 1).section(u']', 0, 0) ==
                     entered.section(u'[', 1).section(u']', 0, 0),
                 qPrintable(seen.join(u'\n')));
    }
};

QTEST_MAIN(EditingTest)
#include "EditingTest.moc"
