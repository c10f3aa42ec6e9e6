#include <sstream>

#include "ui/CalculatedValuesDialog.h"
#include "ui/UiTestSupport.h"

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
        QCOMPARE(drive(add, {u"1032=3 1033=50"_s, u"Ok"_s}).last(),
                 u"Korvalin|Harmonic 3.00 is already specified"_s);
        QCOMPARE(shown(*window), u"1.00|100.00|0 >3.00|12.34|20 / 123 200 12.30 20 / 12.34%"_s);
        QCOMPARE(window->recalculationCount(), before + 1);
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
        harmonicList(*window)->selectionModel()->clearSelection();
        QCOMPARE(drive(remove, {u"Ok"_s}),
                 QStringList{u"Korvalin|No harmonic is selected to delete."_s});
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
        QCOMPARE(shown(*window), u" / 0 180 0.00 0 / 0.00%"_s);
        QCOMPARE(window->waveformChart().rangeMaximum(), 1.0);
        QCOMPARE(drive([&window] { window->OnEdit(); }), QStringList());  // nothing to edit
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
        QCOMPARE(window->design().active().cosine, 1);
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
