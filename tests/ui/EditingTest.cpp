#include <QPushButton>
#include <QTest>

#include "ui/HarmonicDialogs.h"
#include "ui/UiTestSupport.h"

namespace {

/** Fills the Add dialog when it comes up and presses OK; records what it proposed. */
struct AddAnswer {
    QString number;
    QString magnitude = QStringLiteral("0");
    QString phase = QStringLiteral("0");
};

struct AddSeen {
    QString proposedNumber;
    QString proposedMagnitude;
    QString proposedPhase;
    float maximumNumber = 0.0F;
};

AddSeen addThroughDialog(MainDialog& window, const AddAnswer& answer)
{
    AddSeen seen;
    onNextModal<AddHarmonicDialog>([&](AddHarmonicDialog& dialog) {
        seen.proposedNumber = field(dialog, 1032)->text();
        seen.proposedMagnitude = field(dialog, 1033)->text();
        seen.proposedPhase = field(dialog, 1034)->text();
        seen.maximumNumber = dialog.maximumNumber;
        if (answer.number.isEmpty()) {
            dialog.reject();
            return;
        }
        field(dialog, 1032)->setText(answer.number);
        field(dialog, 1033)->setText(answer.magnitude);
        field(dialog, 1034)->setText(answer.phase);
        dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    });
    window.OnAdd();
    return seen;
}

void deleteSelected(MainDialog& window, QMessageBox::StandardButton answer = QMessageBox::Yes,
                    QString* question = nullptr)
{
    answerNextMessageBox(answer, [question](QMessageBox& box) {
        if (question) {
            *question = box.text();
        }
    });
    window.OnDelete();
}

}  // namespace

class EditingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void cleanup() { cancelModalWatchers(); }

    void firstAddProposesTheThirdAndInsertsItAfterTheFundamental()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        const int before = window->recalculationCount();
        const AddSeen seen = addThroughDialog(*window, {QStringLiteral("3")});
        QCOMPARE(seen.proposedNumber, QStringLiteral("3"));
        QCOMPARE(seen.proposedMagnitude, QStringLiteral("0"));
        QCOMPARE(seen.proposedPhase, QStringLiteral("0"));
        QCOMPARE(seen.maximumNumber, 63.998046875F);
        QCOMPARE(rowTexts(*window), (texts({"1.00|100.00|0", "3.00|0.00|0"})));
        QCOMPARE(slider(*window, 1001)->value(), 0);
        QCOMPARE(slider(*window, 1002)->value(), 180);
        QCOMPARE(labelText(*window, 1010), QStringLiteral("0.00"));
        QCOMPARE(window->recalculationCount(), before + 1);
        QVERIFY(harmonicList(*window)->selectionModel()->isRowSelected(1, {}));
        QCOMPARE(window->design().table().selectedNumber(), 3.0F);

        // Then 5, and after 62.5 (beyond the bound less 2) the proposal falls back to 2.
        QCOMPARE(addThroughDialog(*window, {QStringLiteral("62.5")}).proposedNumber,
                 QStringLiteral("5"));
        QCOMPARE(addThroughDialog(*window, {}).proposedNumber, QStringLiteral("2"));
    }

    void numbersAboveTheBoundAreRefusedAndZeroIsAccepted()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        QString refusal;
        bool stayedOpen = false;
        bool focusOnNumber = false;
        onNextModal<AddHarmonicDialog>([&](AddHarmonicDialog& dialog) {
            field(dialog, 1032)->setText(QStringLiteral("63.999"));
            answerNextMessageBox(QMessageBox::Ok,
                                 [&refusal](QMessageBox& box) { refusal = box.text(); });
            dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
            stayedOpen = dialog.isVisible();
            focusOnNumber = QApplication::focusWidget() == field(dialog, 1032) ||
                            field(dialog, 1032)->hasSelectedText();
            field(dialog, 1032)->setText(QStringLiteral("0"));
            field(dialog, 1033)->setText(QStringLiteral("5"));
            dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        });
        window->OnAdd();
        QCOMPARE(refusal, QStringLiteral("Please enter a number between 0 and 63.998."));
        QVERIFY(stayedOpen);
        QVERIFY(focusOnNumber);
        QCOMPARE(rowTexts(*window), (texts({"0.00|5.00|0", "1.00|100.00|0"})));
        QCOMPARE(labelText(*window, 1037), QStringLiteral("5.00%"));  // DC figure
    }

    void magnitudeAndPhaseFieldsAreValidatedInOrder()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        QStringList refusals;
        onNextModal<AddHarmonicDialog>([&](AddHarmonicDialog& dialog) {
            QPushButton* ok = dialog.findChild<QPushButton*>(QStringLiteral("okButton"));
            field(dialog, 1033)->setText(QStringLiteral("100.5"));
            field(dialog, 1034)->setText(QStringLiteral("181"));
            answerNextMessageBox(QMessageBox::Ok,
                                 [&](QMessageBox& box) { refusals << box.text(); });
            ok->click();
            field(dialog, 1033)->setText(QStringLiteral("abc"));
            answerNextMessageBox(QMessageBox::Ok,
                                 [&](QMessageBox& box) { refusals << box.text(); });
            ok->click();
            field(dialog, 1033)->setText(QStringLiteral("100"));
            answerNextMessageBox(QMessageBox::Ok,
                                 [&](QMessageBox& box) { refusals << box.text(); });
            ok->click();
            dialog.reject();
        });
        window->OnAdd();
        QCOMPARE(refusals,
                 (texts({"Please enter a number between 0 and 100.", "Please enter a number.",
                         "Please enter an integer between -180 and 180."})));
        QCOMPARE(window->design().table().count(), 1);
    }

    void duplicateNumbersAreRefusedWithAMessage()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        addThroughDialog(*window, {QStringLiteral("3"), QStringLiteral("10")});
        const int before = window->recalculationCount();
        QString message;
        answerNextMessageBox(QMessageBox::Ok, [&message](QMessageBox& box) {
            message = box.text();
            QCOMPARE(box.icon(), QMessageBox::Warning);
        });
        addThroughDialog(*window, {QStringLiteral("3"), QStringLiteral("50")});
        QCOMPARE(message, QStringLiteral("Harmonic 3.00 is already specified"));
        QCOMPARE(rowTexts(*window), (texts({"1.00|100.00|0", "3.00|10.00|0"})));
        QCOMPARE(window->recalculationCount(), before);
    }

    void enteredMagnitudeShowsAsTypedButTheSliderHoldsTenths()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        addThroughDialog(*window,
                         {QStringLiteral("3"), QStringLiteral("12.34"), QStringLiteral("20")});
        QCOMPARE(labelText(*window, 1010), QStringLiteral("12.34"));
        QCOMPARE(slider(*window, 1001)->value(), 123);
        QCOMPARE(slider(*window, 1002)->value(), 200);

        // A user move of the phase slider stores both sliders' values: 12.3 from now on.
        slider(*window, 1002)->setFocus();
        QTest::keyClick(slider(*window, 1002), Qt::Key_Right);
        const auto third = window->design().table().FindHarmonic(3.0F);
        QVERIFY(third);
        QCOMPARE(third->magnitude, 12.3F);
        QCOMPARE(third->phase, 21);
        QCOMPARE(labelText(*window, 1011), QStringLiteral("21"));

        // Selecting another row and then this one shows the stored value.
        QTableView* list = harmonicList(*window);
        list->selectionModel()->select(
            list->model()->index(0, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QCOMPARE(labelText(*window, 1010), QStringLiteral("100.00"));
        list->selectionModel()->select(
            list->model()->index(1, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QCOMPARE(labelText(*window, 1010), QStringLiteral("12.30"));
    }

    void userSliderMovesRecalculateOncePerPositionAndProgramMovesNeverWrite()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        QSlider* magnitude = slider(*window, 1001);
        const int before = window->recalculationCount();
        magnitude->setFocus();
        QTest::keyClick(magnitude, Qt::Key_Left);      // 999
        QTest::keyClick(magnitude, Qt::Key_PageDown);  // 949
        QCOMPARE(window->recalculationCount(), before + 2);
        QCOMPARE(window->design().table().entry(0).magnitude, 94.9F);
        QCOMPARE(labelText(*window, 1010), QStringLiteral("94.90"));
        QCOMPARE(labelText(*window, 1033), QStringLiteral("0.00%"));
        QVERIFY(std::fabs(window->lastResult().spectrum[1] - 100.0) < 1e-9);

        // A drag: one recalculation per new position, none for a position already taken.
        magnitude->setSliderDown(true);
        for (const int position : {900, 901, 901, 850}) {
            magnitude->setSliderPosition(position);
        }
        magnitude->setSliderDown(false);
        QCOMPARE(window->recalculationCount(), before + 5);
        QCOMPARE(window->design().table().entry(0).magnitude, 85.0F);

        // Adding moves the sliders by program: the fundamental keeps its magnitude.
        addThroughDialog(*window,
                         {QStringLiteral("2"), QStringLiteral("40"), QStringLiteral("-90")});
        QCOMPARE(window->design().table().entry(0).magnitude, 85.0F);
        QCOMPARE(window->design().table().entry(1), (HarmonicEntry{2.0F, 40.0F, -90}));
    }

    void selectingARowMovesTheSlidersWithoutRecalculating()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        addThroughDialog(*window,
                         {QStringLiteral("5"), QStringLiteral("33.33"), QStringLiteral("-45")});
        QTableView* list = harmonicList(*window);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const int before = window->recalculationCount();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(0, 0)).center());
        QCOMPARE(slider(*window, 1001)->value(), 1000);
        QCOMPARE(slider(*window, 1002)->value(), 180);
        QCOMPARE(window->design().table().selectedNumber(), 1.0F);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(1, 0)).center());
        QCOMPARE(slider(*window, 1001)->value(), 333);
        QCOMPARE(slider(*window, 1002)->value(), 135);
        QCOMPARE(labelText(*window, 1010), QStringLiteral("33.30"));
        QCOMPARE(labelText(*window, 1011), QStringLiteral("-45"));
        QCOMPARE(window->design().table().entry(1).magnitude, 33.33F);  // the entry is untouched
        QCOMPARE(window->recalculationCount(), before);
        QTest::keyClick(list, Qt::Key_Home);  // as in a list: the first row, then the last
        QCOMPARE(window->design().table().selectedNumber(), 1.0F);
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(window->design().table().selectedNumber(), 5.0F);
    }

    void deleteAsksAndSelectsTheRowAbove()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        for (const char* number : {"3", "5", "7"}) {
            addThroughDialog(*window, {QString::fromLatin1(number), QStringLiteral("10")});
        }
        // 7 is selected: declining changes nothing.
        QString question;
        deleteSelected(*window, QMessageBox::No, &question);
        QCOMPARE(question, QStringLiteral("Are you sure you want to delete harmonic 7.00"));
        QCOMPARE(window->design().table().count(), 4);

        const int before = window->recalculationCount();
        deleteSelected(*window);
        QCOMPARE(rowTexts(*window), (texts({"1.00|100.00|0", "3.00|10.00|0", "5.00|10.00|0"})));
        QCOMPARE(window->design().table().selectedRow(), 2);
        QCOMPARE(window->design().table().selectedNumber(), 5.0F);
        QCOMPARE(window->recalculationCount(), before + 1);

        window->design().selectRow(0);
        deleteSelected(*window);  // the first row: the new first row is selected
        QCOMPARE(window->design().table().selectedRow(), 0);
        QCOMPARE(window->design().table().selectedNumber(), 3.0F);
        QCOMPARE(slider(*window, 1001)->value(), 100);
        QCOMPARE(labelText(*window, 1010), QStringLiteral("10.00"));
        QVERIFY(harmonicList(*window)->selectionModel()->isRowSelected(0, {}));
    }

    void deletingTheLastRowLeavesAFlatDesign()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        deleteSelected(*window);
        QCOMPARE(window->design().table().count(), 0);
        QCOMPARE(slider(*window, 1001)->value(), 0);
        QCOMPARE(slider(*window, 1002)->value(), 180);
        QCOMPARE(labelText(*window, 1010), QStringLiteral("0.00"));
        QCOMPARE(labelText(*window, 1011), QStringLiteral("0"));
        QCOMPARE(labelText(*window, 1033), QStringLiteral("0.00%"));
        QCOMPARE(window->waveformChart().rangeMaximum(), 1.0);

        // Nothing is selected now: Delete says so, Edit opens nothing.
        QString notice;
        answerNextMessageBox(QMessageBox::Ok, [&notice](QMessageBox& box) {
            notice = box.text();
            QCOMPARE(box.icon(), QMessageBox::Information);
        });
        window->OnDelete();
        QCOMPARE(notice, QStringLiteral("No harmonic is selected to delete."));
        bool dialogOpened = false;
        onNextModal<EditHarmonicDialog>([&dialogOpened](EditHarmonicDialog& dialog) {
            dialogOpened = true;
            dialog.reject();
        });
        window->OnEdit();
        QTest::qWait(50);
        QVERIFY(!dialogOpened);
    }

    void editChangesTheSelectedHarmonic()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        addThroughDialog(*window, {QStringLiteral("3"), QStringLiteral("10"), QStringLiteral("5")});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QString shownMagnitude;
        QString shownPhase;
        onNextModal<EditHarmonicDialog>([&](EditHarmonicDialog& dialog) {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Korvalin - Edit Harmonic"));
            shownMagnitude = field(dialog, 1052)->text();
            shownPhase = field(dialog, 1053)->text();
            field(dialog, 1052)->setText(QStringLiteral("20"));
            field(dialog, 1053)->setText(QStringLiteral("-30"));
            dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        });
        QTableView* list = harmonicList(*window);
        const int before = window->recalculationCount();
        // A double-click on the empty part of the list edits the selected harmonic too.
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                           QPoint(5, list->viewport()->height() - 5));
        QTRY_COMPARE(window->recalculationCount(), before + 1);
        QCOMPARE(shownMagnitude, QStringLiteral("10"));
        QCOMPARE(shownPhase, QStringLiteral("5"));
        QCOMPARE(rowTexts(*window), (texts({"1.00|100.00|0", "3.00|20.00|-30"})));
        QCOMPARE(slider(*window, 1001)->value(), 200);
        QCOMPARE(slider(*window, 1002)->value(), 150);
        QCOMPARE(labelText(*window, 1033), QStringLiteral("20.00%"));
    }

    void slidersActOnTheHarmonicAddedAboveTheHighlightedOne()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        addThroughDialog(*window,
                         {QStringLiteral("3"), QStringLiteral("10"), QStringLiteral("45")});
        addThroughDialog(*window, {QStringLiteral("2"), QStringLiteral("5"), QStringLiteral("0")});
        QVERIFY(harmonicList(*window)->selectionModel()->isRowSelected(1, {}));
        QSlider* magnitude = slider(*window, 1001);
        magnitude->setFocus();
        QTest::keyClick(magnitude, Qt::Key_Right);
        QCOMPARE(rowTexts(*window), (texts({"1.00|100.00|0", "2.00|5.10|0", "3.00|10.00|45"})));
    }

    void deleteAfterTheHighlightWasClearedSaysNothingIsSelected()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        addThroughDialog(*window, {QStringLiteral("3"), QStringLiteral("10")});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTableView* list = harmonicList(*window);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(1, 0)).center());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          QPoint(5, list->viewport()->height() - 5));
        QVERIFY(!list->selectionModel()->hasSelection());
        QString message;
        deleteSelected(*window, QMessageBox::Ok, &message);
        QCOMPARE(message, QStringLiteral("No harmonic is selected to delete."));
        QCOMPARE(window->design().table().count(), 2);
    }
};

QTEST_MAIN(EditingTest)
#include "EditingTest.moc"
