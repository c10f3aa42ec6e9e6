#include "ui/MainDialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTreeView>
#include <QWheelEvent>

#include <memory>

#include "app/WaveSettings.h"
#include "fft/AnalysisPlan.h"
#include "fft/Wisdom.h"
#include "support/TestSupport.h"
#include "ui/AboutDialog.h"
#include "ui/CalculatedValuesDialog.h"
#include "ui/DialogUnits.h"
#include "ui/HarmonicDialogs.h"
#include "ui/OptimizingDialog.h"
#include "ui/PreferencesDialog.h"
#include "ui/UiTestSupport.h"

static QAction* undoAction(MainDialog& window)
{
    return window.findChild<QAction*>(QStringLiteral("undoAction"));
}

class MainDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void cleanup() { cancelModalWatchers(); }

    void settledStartUpState()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        QVERIFY(!window->optimisedAtStart());
        QCOMPARE(window->windowTitle(), QStringLiteral("Quandrel - Korvalin"));

        QTableView* list = harmonicList(*window);
        QVERIFY(list);
        QCOMPARE(list->model()->rowCount(), 1);
        QCOMPARE(cell(list, 0, 0), QStringLiteral("1.00"));
        QCOMPARE(cell(list, 0, 1), QStringLiteral("100.00"));
        QCOMPARE(cell(list, 0, 2), QStringLiteral("0"));
        QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Harmonic"));
        QVERIFY(list->selectionModel()->isRowSelected(0, {}));

        QCOMPARE(slider(*window, 1001)->value(), 1000);
        QCOMPARE(slider(*window, 1001)->pageStep(), 50);
        QCOMPARE(slider(*window, 1002)->value(), 180);
        QCOMPARE(slider(*window, 1002)->pageStep(), 15);
        QCOMPARE(labelText(*window, 1010), QStringLiteral("100.00"));
        QCOMPARE(labelText(*window, 1011), QStringLiteral("0"));
        QCOMPARE(labelText(*window, 1046), QStringLiteral("12 Cycles"));
        QCOMPARE(labelText(*window, 1047), QStringLiteral("1 Cycle, 128 points"));
        for (const int figure : {1033, 1034, 1035, 1036, 1037}) {
            QCOMPARE(labelText(*window, figure), QStringLiteral("0.00%"));
        }

        const ChartControl& waveform = window->waveformChart();
        QCOMPARE(waveform.series(1).size(), std::size_t{1536});
        QCOMPARE(waveform.series(3).size(), std::size_t{1536});
        QCOMPARE(waveform.series(1)[0], 100.0);
        QCOMPARE(waveform.series(3)[700], 0.0);
        QVERIFY(waveform.hasRangePreference());
        QCOMPARE(waveform.rangeMaximum(), 105.26315789473684);
        QCOMPARE(waveform.rangeMinimum(), -105.26315789473684);
        const ChartControl& spectrum = window->spectrumChart();
        QCOMPARE(spectrum.series(1).size(), std::size_t{65});
        QVERIFY(std::fabs(spectrum.series(1)[1] - 100.0) < 1e-9);
        QVERIFY(!spectrum.hasRangePreference());
        // The charts took the frames' places and ids.
        QCOMPARE(waveform.widget()->property("controlId").toInt(), 1018);
        QCOMPARE(spectrum.widget()->property("controlId").toInt(), 1019);
        QCOMPARE(
            window->clientArea()->findChildren<QLabel*>(QStringLiteral("waveformFrame")).size(), 0);

        CalculatedValuesDialog* calculations = window->calculationsWindow();
        QVERIFY(calculations);
        QVERIFY(!calculations->isVisible());
        QCOMPARE(calculations->rowsModel().rowCount(), 1);
        QCOMPARE(calculations->windowTitle(), QStringLiteral("Korvalin Calculated values"));
        QVERIFY(!qobject_cast<QCheckBox*>(findControl(window->clientArea(), 32782))->isChecked());
        QVERIFY(window->splashWasShown());
    }

    void firstStartOptimisesAndWritesTheFlagBeforeTheWindowShows()
    {
        TempSettings settings;
        {
            const auto window = startWindow(settings);
            QVERIFY(window->optimisedAtStart());
            TempSettings::Reader disk(settings.path());
            QCOMPARE(disk.store().readInt("Optimized", 0), 1);
            QCOMPARE(disk.store().readString("Wisdom", "absent"), std::string("absent"));
            QCOMPARE(disk.store().readString("Ppc", "absent"), std::string("absent"));
        }
        settings.reopen();
        const std::string wisdom = settings.store().readString("Wisdom", "");
        QVERIFY(wisdom.rfind("(fftw-3", 0) == 0);

        // The next start does not optimise, and plans the default size from that wisdom.
        wisdom::forget();
        const auto again = startWindow(settings);
        QVERIFY(!again->optimisedAtStart());
        QVERIFY(!FftPlan::forwardInPlace(1536, PlanRigor::WisdomOnly).empty());
    }

    void exitAndCloseBoxStoreEverySetting()
    {
        for (const bool byMenu : {true, false}) {
            const auto settings = optimisedSettings();
            {
                const auto window = startWindow(*settings);
                window->show();
                QVERIFY(QTest::qWaitForWindowExposed(window.get()));
                if (byMenu) {
                    action(*window, 57665)->trigger();
                } else {
                    window->close();
                }
                QVERIFY(!window->isVisible());
                QCOMPARE(window->design().table().count(), 0);  // emptied on the way out
            }
            settings->reopen();
            SettingsStore& store = settings->store();
            QCOMPARE(store.readInt("Display Cycles", 0), 12);
            QCOMPARE(store.readInt("FFT Cycles", 0), 1);
            QCOMPARE(store.readInt("Cosine", 0), 1);
            QCOMPARE(store.readInt("PhaseReference", 0), 1);
            QCOMPARE(store.readInt("HarmIndex", -1), 0);
            QCOMPARE(store.readString("Ppc", ""), std::string("0x43000000"));
            QVERIFY(!store.readString("Wisdom", "").empty());
        }
    }

    void escapeAndEnterLeaveTheWindowOpen()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QTest::keyClick(window.get(), Qt::Key_Return);
        QTest::keyClick(window.get(), Qt::Key_Enter);
        QVERIFY(window->isVisible());
        QCOMPARE(window->design().table().count(), 1);
    }

    void layoutMovesOnlyTheChartsAndTheMiddleRow()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);  // not shown: only explicit layouts run
        QWidget* waveform = window->waveformChart().widget();
        QWidget* spectrum = window->spectrumChart().widget();
        QWidget* check = findControl(window->clientArea(), 32782);
        QWidget* list = findControl(window->clientArea(), 1031);
        const QRect waveformBefore = waveform->geometry();
        const QRect listBefore = list->geometry();

        window->LayoutCharts(800, 400);  // the first size only records
        QCOMPARE(waveform->geometry(), waveformBefore);

        window->LayoutCharts(1000, 600);
        const int mid = 300;
        QCOMPARE(waveform->geometry().left(), waveformBefore.left());
        QCOMPARE(waveform->geometry().top(), waveformBefore.top());
        QCOMPARE(waveform->geometry().right() + 1, 1000 - 10);
        QCOMPARE(waveform->geometry().bottom() + 1, mid - 16);
        QCOMPARE(spectrum->geometry().top(), mid + 16);
        QCOMPARE(spectrum->geometry().right() + 1, 1000 - 10);
        QCOMPARE(spectrum->geometry().bottom() + 1, 600 - 10);
        QCOMPARE(check->y(), mid - check->height() / 2);
        for (const int id : {1046, 1047}) {
            QWidget* label = findControl(window->clientArea(), id);
            QCOMPARE(label->y(), mid - label->height() / 2);
        }
        QCOMPARE(list->geometry(), listBefore);
        QCOMPARE(findControl(window->clientArea(), 1033)->y(),
                 DialogUnits(window->font()).toPixelsY(183));

        // A minimise and the restore after it do not re-lay; the next real change does.
        const QRect laid = waveform->geometry();
        window->LayoutCharts(0, 0);
        window->LayoutCharts(700, 500);
        QCOMPARE(waveform->geometry(), laid);
        window->LayoutCharts(700, 500);  // unchanged size
        QCOMPARE(waveform->geometry(), laid);
        window->LayoutCharts(900, 500);
        QCOMPARE(waveform->geometry().right() + 1, 900 - 10);
        QCOMPARE(waveform->geometry().bottom() + 1, 250 - 16);
    }

    void resizingTheShownWindowLaysOutTheCharts()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->resize(window->width() + 200, window->height() + 150);
        QTRY_COMPARE(window->waveformChart().widget()->geometry().right() + 1,
                     window->clientArea()->width() - 10);
        QCOMPARE(window->spectrumChart().widget()->geometry().bottom() + 1,
                 window->clientArea()->height() - 10);
    }

    void calculationsWindowShowsWithoutActivationAndKeepsItsPlace()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        auto* check = qobject_cast<QCheckBox*>(findControl(window->clientArea(), 32782));
        CalculatedValuesDialog* calculations = window->calculationsWindow();
        QVERIFY(calculations->testAttribute(Qt::WA_ShowWithoutActivating));
        QVERIFY(!(calculations->windowFlags() & Qt::WindowCloseButtonHint));

        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(calculations->isVisible());
        QVERIFY(check->isChecked());
        QVERIFY(QApplication::activeWindow() != calculations);
        calculations->move(calculations->pos() + QPoint(37, 23));
        const QPoint place = calculations->pos();

        // Enter and Escape in it do nothing.
        QTest::keyClick(calculations, Qt::Key_Escape);
        QTest::keyClick(calculations, Qt::Key_Return);
        QVERIFY(calculations->isVisible());

        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(!calculations->isVisible());
        QVERIFY(!check->isChecked());
        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(calculations->isVisible());
        QCOMPARE(calculations->pos(), place);
    }

    void frequencyDisplayHeadsBothLists()
    {
        const auto settings = optimisedSettings();
        settings->store().writeInt("HarmIndex", 2);
        const auto window = startWindow(*settings);
        QTableView* list = harmonicList(*window);
        QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Frequency"));
        QCOMPARE(cell(list, 0, 0), QStringLiteral("60.00"));
        const CalculatedRowsModel& rows = window->calculationsWindow()->rowsModel();
        QCOMPARE(rows.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Frequency"));
        QCOMPARE(rows.index(0, 0).data().toString(), QStringLiteral("60.00"));
    }

    void reoptimizeAsksFirst()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        wisdom::forget();
        QVERIFY(!FftPlan::forwardInPlace(100).empty());  // measured: now in the wisdom

        answerNextMessageBox(QMessageBox::No, [](QMessageBox& box) {
            QCOMPARE(box.windowTitle(), QStringLiteral("Korvalin"));
            QCOMPARE(box.text(), QStringLiteral("Reoptimizing will take several minutes.\nAre you "
                                                "sure you want to reoptimize now?"));
            QCOMPARE(box.icon(), QMessageBox::Question);
            QCOMPARE(box.defaultButton(), box.button(QMessageBox::Yes));
        });
        action(*window, 32783)->trigger();
        QVERIFY(!FftPlan::forwardInPlace(100, PlanRigor::WisdomOnly).empty());

        answerNextMessageBox(QMessageBox::Yes);
        action(*window, 32783)->trigger();
        QVERIFY(FftPlan::forwardInPlace(100, PlanRigor::WisdomOnly).empty());  // forgotten
        QVERIFY(!FftPlan::forwardInPlace(1536, PlanRigor::WisdomOnly).empty());
        QCOMPARE(settings->store().readInt("Optimized", 0), 1);
    }

    void aboutBoxOpensAndCloses()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        bool seen = false;
        onNextModal<AboutDialog>([&seen](AboutDialog& about) {
            seen = about.windowTitle() == QStringLiteral("About Quandrel - Korvalin") &&
                   findControl(&about, 102) != nullptr;
            about.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        });
        action(*window, 57664)->trigger();
        QVERIFY(seen);
    }

    void menusHoldEveryCommand()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        QStringList titles;
        for (QAction* menu : window->menuBar()->actions()) {
            titles << menu->text();
        }
        QCOMPARE(titles, (QStringList{QStringLiteral("&File"), QStringLiteral("&Edit"),
                                      QStringLiteral("&Options"), QStringLiteral("&Help")}));
        for (const int id : {57600, 57601, 32781, 57665, 32774, 32783, 57664}) {
            QVERIFY2(action(*window, id), qPrintable(QString::number(id)));
        }
    }

    void shortcutsReachTheirCommands_data()
    {
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<bool>("inList");
        QTest::addColumn<QString>("opens");  // the title of the window the command opens
        const auto row = [](const char* name, QKeySequence keys, bool inList, const char* opens) {
            QTest::newRow(name) << keys << inList << QString::fromUtf8(opens);
        };
        row("open", QKeySequence(Qt::CTRL | Qt::Key_O), false, "Korvalin Files");
        row("save as", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), false, "Save As");
        row("preferences", QKeySequence(Qt::CTRL | Qt::Key_Comma), false, "Korvalin Preferences");
        row("about", QKeySequence(Qt::Key_F1), false, "About Quandrel - Korvalin");
        row("add", QKeySequence(Qt::Key_Insert), true, "Korvalin - Add Harmonic");
        row("edit", QKeySequence(Qt::Key_F2), true, "Korvalin - Edit Harmonic");
        row("delete", QKeySequence(Qt::Key_Delete), true, "Korvalin");
    }

    void shortcutsReachTheirCommands()
    {
        QFETCH(QKeySequence, keys);
        QFETCH(bool, inList);
        QFETCH(QString, opens);
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        window->show();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QWidget* target = inList ? static_cast<QWidget*>(harmonicList(*window)) : window.get();
        target->setFocus();
        QString opened;
        onNextModal<QDialog>([&opened](QDialog& dialog) {
            opened = dialog.windowTitle();
            dialog.reject();
        });
        QTest::keySequence(target, keys);
        QTRY_COMPARE(opened, opens);
    }

    void undoAndRedoKeysWalkTheHistory()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        window->show();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        window->design().add(3.0F, 10.0F, 0);
        window->recalculateAndShow();
        QCOMPARE(undoAction(*window)->text(), QStringLiteral("&Undo Add Harmonic 3.00"));
        QTest::keySequence(window.get(), QKeySequence(Qt::CTRL | Qt::Key_Z));
        QCOMPARE(rowTexts(*window), texts({"1.00|100.00|0"}));
        QCOMPARE(undoAction(*window)->isEnabled(), false);
        for (const QKeySequence& redo :
             {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}) {
            QTest::keySequence(window.get(), redo);
            QCOMPARE(rowTexts(*window), (texts({"1.00|100.00|0", "3.00|10.00|0"})));
            QTest::keySequence(window.get(), QKeySequence(Qt::CTRL | Qt::Key_Z));
        }
        QTest::keySequence(window.get(), QKeySequence(Qt::CTRL | Qt::Key_N));
        QCOMPARE(undoAction(*window)->text(), QStringLiteral("&Undo New"));
        QTest::keySequence(window.get(), QKeySequence(Qt::CTRL | Qt::Key_Q));
        QTRY_VERIFY(!window->isVisible());
    }

    void spectrumScaleIsRemembered_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("decibelAtStart");
        QTest::newRow("absent") << QString() << false;
        QTest::newRow("linear") << QStringLiteral("Linear") << false;
        QTest::newRow("dB") << QStringLiteral("dB") << true;
    }

    void spectrumScaleIsRemembered()
    {
        QFETCH(QString, stored);
        QFETCH(bool, decibelAtStart);
        const auto settings = optimisedSettings();
        if (!stored.isEmpty()) {
            settings->store().writeString("Spectrum Scale", stored.toStdString());
        }
        {
            const auto window = startWindow(*settings);
            const auto at = [&window] { return window->spectrumChart().spectrumScale(); };
            QCOMPARE(at() == SpectrumScale::Decibel, decibelAtStart);
            window->setSpectrumScale(decibelAtStart ? SpectrumScale::Linear
                                                    : SpectrumScale::Decibel);
            QCOMPARE(at() == SpectrumScale::Decibel, !decibelAtStart);
        }
        settings->reopen();
        QCOMPARE(settings->store().readString("Spectrum Scale", ""),
                 std::string(decibelAtStart ? "Linear" : "dB"));
    }

    void readoutNamesTheValueUnderTheCursor_data()
    {
        QTest::addColumn<int>("harmIndex");
        QTest::addColumn<int>("fftCycles");
        QTest::addColumn<bool>("spectrum");
        QTest::addColumn<double>("key");
        QTest::addColumn<QString>("readout");
        QTest::newRow("3rd harmonic") << 0 << 1 << true << 3.2 << "Harmonic 3: 20.000 %, -14.0 dB";
        QTest::newRow("3-cycle window, 60 Hz")
            << 2 << 3 << true << 9.0 << "180 Hz: 20.000 %, -14.0 dB";
        QTest::newRow("between harmonics")
            << 0 << 3 << true << 4.0 << "Harmonic 1.333: 0.000 %, -inf dB";
        QTest::newRow("waveform cycles")
            << 0 << 1 << false << 160.0 << "Cycle 1.25, sample 160: 0.000 %";
        QTest::newRow("waveform 50 Hz")
            << 1 << 1 << false << 64.0 << "10 ms, sample 64: -120.000 %";
    }

    void readoutNamesTheValueUnderTheCursor()
    {
        QFETCH(int, harmIndex);
        QFETCH(int, fftCycles);
        QFETCH(bool, spectrum);
        QFETCH(double, key);
        QFETCH(QString, readout);
        const auto settings = optimisedSettings();
        settings->store().writeInt("HarmIndex", harmIndex);
        settings->store().writeInt("FFT Cycles", fftCycles);
        const auto window = startWindow(*settings);
        window->design().add(3.0F, 20.0F, 0);
        window->recalculateAndShow();
        const ChartControl& chart = spectrum ? window->spectrumChart() : window->waveformChart();
        QCOMPARE(chart.readoutAt(key), readout);
    }

    void zoomStaysAcrossARecalculationUntilReset()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const ChartControl& chart = window->spectrumChart();
        QWidget* plot = chart.widget();
        const QPointF middle(plot->width() / 2.0, plot->height() / 2.0);
        QWheelEvent wheel(middle, plot->mapToGlobal(middle), {}, QPoint(0, 240), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(plot, &wheel);
        QVERIFY(chart.zoomed());
        const double first = chart.visibleFirst();
        const double last = chart.visibleLast();
        QVERIFY(last - first < 60.0);  // 65 bins, zoomed in

        window->design().add(5.0F, 10.0F, 0);
        window->recalculateAndShow();
        QCOMPARE(chart.visibleFirst(), first);
        QCOMPARE(chart.visibleLast(), last);

        QTest::mouseDClick(plot, Qt::LeftButton, {}, middle.toPoint());
        QVERIFY(!chart.zoomed());
        QCOMPARE(chart.visibleFirst(), -0.5);
        QCOMPARE(chart.visibleLast(), 64.5);
    }

    void copyPutsTheCalculatedValuesOnTheClipboard_data()
    {
        QTest::addColumn<int>("harmIndex");
        QTest::addColumn<QString>("csv");
        QTest::newRow("harmonics")
            << 0 << "Harmonic,Magnitude,Phase\n1.00,100.00,0\n3.00,20.00,-90\n";
        QTest::newRow("50 Hz") << 1
                               << "Frequency,Magnitude,Phase\n50.00,100.00,0\n150.00,20.00,-90\n";
    }

    void copyPutsTheCalculatedValuesOnTheClipboard()
    {
        QFETCH(int, harmIndex);
        QFETCH(QString, csv);
        const auto settings = optimisedSettings();
        settings->store().writeInt("HarmIndex", harmIndex);
        const auto window = startWindow(*settings);
        window->design().add(3.0F, 20.0F, -90);
        window->recalculateAndShow();
        QApplication::clipboard()->clear();
        auto* copy =
            window->calculationsWindow()->findChild<QAction*>(QStringLiteral("copyAction"));
        QVERIFY(copy);
        QCOMPARE(copy->shortcut(), QKeySequence(QKeySequence::Copy));
        copy->trigger();
        QCOMPARE(QApplication::clipboard()->text(), csv);
    }

    void listHeadingsFitAtAnyFont_data()
    {
        QTest::addColumn<int>("pointSize");
        QTest::newRow("9 pt") << 9;
        QTest::newRow("11 pt") << 11;
        QTest::newRow("16 pt") << 16;
    }

    void listHeadingsFitAtAnyFont()
    {
        QFETCH(int, pointSize);
        const QFont before = QApplication::font();
        QFont font = before;
        font.setPointSize(pointSize);
        QApplication::setFont(font);
        const auto settings = optimisedSettings();
        settings->store().writeInt("HarmIndex", 1);  // the widest heading, "Frequency"
        const auto window = startWindow(*settings);
        QApplication::setFont(before);
        for (QHeaderView* header :
             {harmonicList(*window)->horizontalHeader(),
              window->calculationsWindow()->findChild<QTreeView*>()->header()}) {
            const QFontMetrics metrics(header->font());
            for (int column = 0; column < 3; ++column) {
                const QString heading =
                    header->model()->headerData(column, Qt::Horizontal).toString();
                QVERIFY2(header->sectionSize(column) > metrics.horizontalAdvance(heading) + 6,
                         qPrintable(heading));
            }
        }
    }

    void rendersChartViewsToPictures_data()
    {
        QTest::addColumn<int>("harmIndex");
        QTest::addColumn<int>("fftCycles");
        QTest::addColumn<bool>("decibel");
        QTest::addColumn<bool>("dark");
        QTest::addColumn<bool>("maximised");
        QTest::newRow("power-quality-db") << 0 << 1 << true << false << false;
        QTest::newRow("power-quality-db-maximised") << 0 << 1 << true << false << true;
        QTest::newRow("fft-3-cycles-60hz") << 2 << 3 << false << false << false;
        QTest::newRow("fft-3-cycles-60hz-maximised") << 2 << 3 << false << false << true;
        QTest::newRow("dark") << 0 << 1 << true << true << false;
        QTest::newRow("dark-maximised") << 0 << 1 << false << true << true;
    }

    void rendersChartViewsToPictures()
    {
        QFETCH(int, harmIndex);
        QFETCH(int, fftCycles);
        QFETCH(bool, decibel);
        QFETCH(bool, dark);
        QFETCH(bool, maximised);
        const QPalette before = QApplication::palette();
        if (dark) {
            QPalette palette;
            palette.setColor(QPalette::Window, QColor(45, 45, 48));
            palette.setColor(QPalette::WindowText, QColor(225, 225, 225));
            palette.setColor(QPalette::Base, QColor(30, 30, 32));
            palette.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
            palette.setColor(QPalette::Text, QColor(225, 225, 225));
            palette.setColor(QPalette::Button, QColor(55, 55, 58));
            palette.setColor(QPalette::ButtonText, QColor(225, 225, 225));
            palette.setColor(QPalette::Highlight, QColor(38, 110, 200));
            palette.setColor(QPalette::HighlightedText, Qt::white);
            QApplication::setPalette(palette);
        }
        const auto settings = optimisedSettings();
        settings->store().writeInt("HarmIndex", harmIndex);
        settings->store().writeInt("FFT Cycles", fftCycles);
        settings->store().writeString("Spectrum Scale", decibel ? "dB" : "Linear");
        const auto window = startWindow(*settings);
        // A typical power-quality design.
        for (const auto& [number, magnitude] :
             {std::pair{3.0F, 5.0F}, {5.0F, 3.0F}, {7.0F, 1.0F}, {11.0F, 0.5F}, {13.0F, 0.3F}}) {
            window->design().add(number, magnitude, 0);
        }
        window->recalculateAndShow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        if (maximised) {
            window->resize(1920, 1050);
            QTest::qWait(50);
        }
        QCOMPARE(window->design().table().count(), 6);
        const QString folder = qEnvironmentVariable("KORVALIN_SCREENSHOT_DIR", QDir::tempPath());
        QDir().mkpath(folder);
        const QString path =
            folder +
            QStringLiteral("/charts-%1.png").arg(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(window->grab().save(path));
        QApplication::setPalette(before);
    }

    void rendersTheMainWindowToAPicture()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        window->design().add(3.0F, 20.0F, 0);
        window->design().add(5.0F, 10.0F, 45);
        window->recalculateAndShow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QString folder = qEnvironmentVariable("KORVALIN_SCREENSHOT_DIR", QDir::tempPath());
        QDir().mkpath(folder);
        const QString path = folder + QStringLiteral("/main-window.png");
        QVERIFY(window->grab().save(path));
        qInfo("main window rendered to %s", qPrintable(path));

        // Every other window too, so anyone can look at them.
        const auto save = [&folder](QWidget& widget, const char* name) {
            widget.show();
            QVERIFY(QTest::qWaitForWindowExposed(&widget));
            QVERIFY(widget.grab().save(folder + u'/' + QString::fromLatin1(name) +
                                       QStringLiteral(".png")));
            widget.hide();
        };
        AboutDialog about(window.get());
        save(about, "about");
        SplashDialog splash(nullptr);
        save(splash, "splash");
        PreferencesDialog preferences(window.get());
        save(preferences, "preferences");
        AddHarmonicDialog add(window.get());
        save(add, "add-harmonic");
        EditHarmonicDialog edit(window.get());
        save(edit, "edit-harmonic");
        OptimizingDialog optimizing(window.get());
        optimizing.setRange(0, 200);
        optimizing.setPosition(118);
        save(optimizing, "optimizing");
        window->calculationsWindow()->show();
        save(*window->calculationsWindow(), "calculated-values");
    }
};

QTEST_MAIN(MainDialogTest)
#include "MainDialogTest.moc"
