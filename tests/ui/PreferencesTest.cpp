#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <fstream>

#include "app/WaveSettings.h"
#include "files/DocumentReader.h"

#include "ui/CalculatedValuesDialog.h"
#include "ui/HarmonicDialogs.h"
#include "ui/PreferencesDialog.h"
#include "ui/UiTestSupport.h"

namespace {

/** What the Preferences dialog showed when it came up. */
struct Shown {
    QString display = {};
    QString fft = {};
    QString samples = {};
    QStringList checked = {};
};

/** Answers the next Preferences dialog: sets the fields given (empty: leave) and presses OK. */
struct Answer {
    QString display = {};
    QString fft = {};
    QString samples = {};
    int radioId = 0;  ///< a radio button to click, by control id (0: none)
    bool cancel = false;
};

Shown answerPreferences(MainDialog& window, const Answer& answer)
{
    Shown shown;
    onNextModal<PreferencesDialog>([&](PreferencesDialog& dialog) {
        shown.display = field(dialog, 1028)->text();
        shown.fft = field(dialog, 1029)->text();
        shown.samples = field(dialog, 1054)->text();
        for (QRadioButton* radio : dialog.findChildren<QRadioButton*>()) {
            if (radio->isChecked()) {
                shown.checked << QString::number(radio->property("controlId").toInt());
            }
        }
        shown.checked.sort();
        if (answer.cancel) {
            dialog.reject();
            return;
        }
        if (!answer.display.isEmpty()) {
            field(dialog, 1028)->setText(answer.display);
        }
        if (!answer.fft.isEmpty()) {
            field(dialog, 1029)->setText(answer.fft);
        }
        if (!answer.samples.isEmpty()) {
            field(dialog, 1054)->setText(answer.samples);
        }
        if (answer.radioId != 0) {
            qobject_cast<QRadioButton*>(findControl(&dialog, answer.radioId))->click();
        }
        dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    });
    window.OnPreferences();
    return shown;
}

/** Refusals met while trying fields one after another in one dialog. */
QStringList refusalsFor(MainDialog& window, const QList<Answer>& attempts, QStringList* focused)
{
    QStringList refusals;
    onNextModal<PreferencesDialog>([&](PreferencesDialog& dialog) {
        for (const Answer& attempt : attempts) {
            field(dialog, 1028)->setText(attempt.display);
            field(dialog, 1029)->setText(attempt.fft);
            field(dialog, 1054)->setText(attempt.samples);
            answerNextMessageBox(QMessageBox::Ok,
                                 [&refusals](QMessageBox& box) { refusals << box.text(); });
            const int before = refusals.size();
            dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
            if (!dialog.isVisible()) {
                return;
            }
            if (focused && refusals.size() > before) {
                // The refused field is the one handed the focus with all its text selected.
                QString which = QStringLiteral("none");
                for (const int id : {1028, 1029, 1054}) {
                    QLineEdit* edit = field(dialog, id);
                    if (edit->hasSelectedText() && edit->selectedText() == edit->text()) {
                        which = QString::number(id);
                    }
                }
                *focused << which;
            }
        }
        dialog.reject();
    });
    window.OnPreferences();
    cancelModalWatchers();
    return refusals;
}

}  // namespace

class PreferencesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void cleanup() { cancelModalWatchers(); }

    void showsTheActiveSettings()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        const Shown shown = answerPreferences(*window, {.cancel = true});
        QCOMPARE(shown.display, QStringLiteral("12"));
        QCOMPARE(shown.fft, QStringLiteral("1"));
        QCOMPARE(shown.samples, QStringLiteral("128"));
        QCOMPARE(shown.checked, texts({"1030", "1031", "1038"}));  // Cosine, Harmonic, Harmonic
    }

    void validatesFftCyclesThenDisplayCyclesThenSamples()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        QStringList focused;
        const QStringList refusals = refusalsFor(*window,
                                                 {{.display = QStringLiteral("13"),
                                                   .fft = QStringLiteral("13"),
                                                   .samples = QStringLiteral("24.9")},
                                                  {.display = QStringLiteral("13"),
                                                   .fft = QStringLiteral("12"),
                                                   .samples = QStringLiteral("24.9")},
                                                  {.display = QStringLiteral("12"),
                                                   .fft = QStringLiteral("12"),
                                                   .samples = QStringLiteral("24.9")},
                                                  {.display = QStringLiteral("12"),
                                                   .fft = QStringLiteral("12"),
                                                   .samples = QStringLiteral("512.1")},
                                                  {.display = QStringLiteral("0"),
                                                   .fft = QStringLiteral(" "),
                                                   .samples = QStringLiteral("512")}},
                                                 &focused);
        QCOMPARE(refusals,
                 texts({"Please enter an integer between 1 and 12.",
                        "Please enter an integer between 1 and 12.",
                        "Please enter a number between 25 and 512.",
                        "Please enter a number between 25 and 512.", "Please enter an integer."}));
        QCOMPARE(focused, texts({"1029", "1028", "1054", "1054", "1029"}));
        QCOMPARE(window->design().active().fftCycles, 1);  // nothing taken
    }

    void limitsAreAccepted()
    {
        for (const char* samples : {"25", "512"}) {
            const auto settings = optimisedSettings();
            const auto window = startWindow(*settings);
            const QStringList refusals = refusalsFor(*window,
                                                     {{.display = QStringLiteral("12"),
                                                       .fft = QStringLiteral("12"),
                                                       .samples = QString::fromLatin1(samples)}},
                                                     nullptr);
            QVERIFY(refusals.isEmpty());
            QCOMPARE(window->design().active().fftCycles, 12);
            QCOMPARE(window->design().settings().preferences.ppc, std::stof(samples));
        }
    }

    void frequencyDisplayRelabelsEveryRow()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        window->design().add(3.0F, 10.0F, 0);
        window->recalculateAndShow();
        answerPreferences(*window, {.radioId = 1055});  // 50 Hz
        QCOMPARE(rowTexts(*window), texts({"50.00|100.00|0", "150.00|10.00|0"}));
        QCOMPARE(harmonicList(*window)->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Frequency"));
        const CalculatedRowsModel& rows = window->calculationsWindow()->rowsModel();
        QCOMPARE(rows.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Frequency"));
        QCOMPARE(rows.index(1, 0).data().toString(), QStringLiteral("150.00"));
        QCOMPARE(window->design().settings().preferences.harmIndex, 1);

        answerPreferences(*window, {.radioId = 1040});  // 60 Hz
        QCOMPARE(rowTexts(*window), texts({"60.00|100.00|0", "180.00|10.00|0"}));
        answerPreferences(*window, {.radioId = 1038});  // back to harmonic numbers
        QCOMPARE(rowTexts(*window), texts({"1.00|100.00|0", "3.00|10.00|0"}));
        QCOMPARE(harmonicList(*window)->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Harmonic"));
    }

    void samplesPerCycleMovesTheAddBound()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        answerPreferences(*window, {.samples = QStringLiteral("256")});
        QCOMPARE(window->design().table().slotsPerHarmonic(), 256);
        float bound = 0.0F;
        onNextModal<AddHarmonicDialog>([&bound](AddHarmonicDialog& dialog) {
            bound = dialog.maximumNumber;
            dialog.reject();
        });
        window->OnAdd();
        QCOMPARE(bound, 127.99609375F);
        QCOMPARE(labelText(*window, 1047), QStringLiteral("1 Cycle, 256 points"));
    }

    void cycleCountsReachTheLabelsAndTheAnalysis()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        answerPreferences(*window, {.display = QStringLiteral("1"), .fft = QStringLiteral("3")});
        QCOMPARE(labelText(*window, 1046), QStringLiteral("1 Cycle"));
        QCOMPARE(labelText(*window, 1047), QStringLiteral("3 Cycles, 384 points"));
        QCOMPARE(window->lastResult().fftSize, 384);
        QCOMPARE(window->waveformChart().series(1).size(), std::size_t{128});
    }

    void okWithoutChangesStillCopiesReplansAndRecalculatesOnce()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        TempDir dir;
        // A file brings two FFT cycles and sines into the working copy only.
        writeWholeFile(dir.file("f.kvk"), ":2 12 0 1 128\n1 100 0\n");
        {
            std::ifstream in(dir.file("f.kvk"));
            window->design().open(in, DocumentKind::Coefficients);
        }
        const int plans = window->design().planSlot().plansCreated();
        const int recalculations = window->recalculationCount();
        const Shown shown = answerPreferences(*window, {});
        QCOMPARE(shown.fft, QStringLiteral("2"));
        QVERIFY(shown.checked.contains(QStringLiteral("1039")));  // Sine
        QCOMPARE(window->recalculationCount(), recalculations + 1);
        QCOMPARE(window->design().planSlot().plansCreated(), plans + 1);
        const SettingsModel& model = window->design().settings();
        QCOMPARE(model.preferences.fftCycles, 2);  // cycle counts are always copied
        QCOMPARE(model.preferences.cosine, 1);     // unchanged against the working copy
        QCOMPARE(model.activeSettings.cosine, 0);
    }

    void cancelChangesNothing()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        const int recalculations = window->recalculationCount();
        answerPreferences(*window, {.cancel = true});
        QCOMPARE(window->recalculationCount(), recalculations);
        QCOMPARE(window->design().settings().preferences, WaveSettings{});
    }

    void acceptedSettingsArePersistedAtClose()
    {
        const auto settings = optimisedSettings();
        {
            const auto window = startWindow(*settings);
            answerPreferences(*window, {.display = QStringLiteral("4"),
                                        .fft = QStringLiteral("2"),
                                        .samples = QStringLiteral("100.5"),
                                        .radioId = 1039});
        }
        settings->reopen();
        QCOMPARE(settings->store().readInt("Display Cycles", 0), 4);
        QCOMPARE(settings->store().readInt("FFT Cycles", 0), 2);
        QCOMPARE(settings->store().readInt("Cosine", -1), 0);
        QCOMPARE(settings->store().readString("Ppc", ""), formatPpcBits(100.5F));
    }
};

QTEST_MAIN(PreferencesTest)
#include "PreferencesTest.moc"
