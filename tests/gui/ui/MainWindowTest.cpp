#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>

#include "gui/ui/UiTestSupport.h"
#include "ui/CalculatedValuesDialog.h"
#include "ui/FormUnits.h"
#include "ui/OptimizingDialog.h"

namespace {

// The item of Options > Limit Mask, found by its text.
QAction* limitMaskItem(MainWindow& window, const QString& text)
{
    QAction* found = nullptr;
    for (QAction* action : window.findChild<QMenu*>(u"limitMaskMenu"_s)->actions()) {
        found = action->text().remove(u'&') == text ? action : found;
    }
    return found;
}

// Leaves a picture in KORVALIN_SCREENSHOT_DIR, checked to be drawn and of the window's size.
void saveScreenshot(MainWindow& window, const QString& name)
{
    const QImage picture = window.grab().toImage();
    QCOMPARE(picture.deviceIndependentSize().toSize(), window.size());
    // Not blank: more than a background and one other color.
    QVERIFY(picture.convertToFormat(QImage::Format_Indexed8).colorCount() > 2);
    const QString folder = qEnvironmentVariable("KORVALIN_SCREENSHOT_DIR", QDir::tempPath());
    QVERIFY(QDir().mkpath(folder) && picture.save(folder + u'/' + name));
}

// A window geometry as saveGeometry keeps it (Qt's layout, version 3.0) for a normal window
// whose frame, normal and current rectangles are all rect; base64, as the settings hold it.
QByteArray storedGeometry(const QRect& rect)
{
    constexpr quint32 kMagic = 0x1D9D0CB;
    constexpr quint16 kMajorVersion = 3;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_4_0);
    out << kMagic << kMajorVersion << quint16(0) << rect << rect << qint32(0)  // screen 0
        << quint8(0) << quint8(0)  // neither maximized nor full screen
        << qint32(QGuiApplication::primaryScreen()->geometry().width()) << rect;
    return bytes.toBase64();
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void formUnitsPlaceChildrenAndGrowTextsThatWouldBeCut()
    {
        QWidget form;
        const FormUnits units(form.font());
        QCOMPARE(std::pair(units.toPixelsX(4), units.toPixelsY(8)),
                 std::pair(units.baseX(), QFontMetrics(form.font()).height()));
        // Edges are converted, so boxes that touch in dialog units still touch.
        QCOMPARE(units.toPixels(QRect(3, 5, 7, 9)).right() + 1,
                 units.toPixels(QRect(10, 5, 7, 9)).left());
        form.setProperty("formSize", QSize(200, 50));
        auto* caption = new QLabel(u"A caption far wider than its box"_s, &form);
        caption->setProperty("formRect", QRect(2, 2, 10, 8));
        auto* neighbor = new QLabel(u"x"_s, &form);
        neighbor->setProperty("formRect", QRect(60, 2, 10, 8));
        placeFromFormUnits(&form);
        QCOMPARE(form.size(), units.toPixels(QSize(200, 50)));
        QCOMPARE(neighbor->geometry(), units.toPixels(QRect(60, 2, 10, 8)));
        QVERIFY(caption->width() > units.toPixelsX(10));
        QVERIFY(caption->geometry().right() < neighbor->x());  // grown, and never overlapping
    }

    void startUpShowsTheFundamentalAndClosingStoresTheSettings()
    {
        bool splashAtPause = false;  // the start-up pause is made with the splash up
        Started window({}, [&splashAtPause](int /*milliseconds*/) {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                splashAtPause |= top->inherits("SplashDialog") && top->isVisible();
            }
        });
        QVERIFY(splashAtPause);
        QCOMPARE(shown(*window), kFundamentalShown);
        QCOMPARE(std::pair(slider(*window, u"magnitude"_s)->pageStep(),
                           slider(*window, u"phase"_s)->pageStep()),
                 std::pair(50, 15));
        QCOMPARE(std::pair(chart(*window, u"waveform"_s)->graph(0)->dataCount(),
                           chart(*window, u"spectrum"_s)->graph(0)->dataCount()),
                 std::pair(1536, 65));
        window->show();
        window->close();
        QCOMPARE(harmonicList(*window)->model()->rowCount(), 0);
        window.window.reset();
        window.settings.reopen();
        const SettingsStore& store = window.settings.store();
        QCOMPARE(store.readString("Ppc", ""), std::string("0x43000000"));
        QVERIFY(store.readString("Wisdom", "").rfind("(fftw-3", 0) == 0);
    }

    void optimizationShowsItsDialogAtFirstRunAndAfterAYesToReoptimize()
    {
        int seen = 0;  // pauses made while the optimizing dialog was up
        Started window({{"Optimized", "0"}}, [&seen](int /*milliseconds*/) {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                seen += qobject_cast<OptimizingDialog*>(top) && top->isVisible() ? 1 : 0;
            }
        });
        QVERIFY(seen > 0);
        // Written through at once: a crash later must not repeat the optimization.
        QCOMPARE(TempSettings::Reader(window.settings.path()).store().readInt("Optimized", 0), 1);
        for (const QString& reply : {u"No"_s, u"Return"_s}) {  // Return: the default, Yes
            const int before = seen;
            QCOMPARE(drive([&window] { trigger(*window, u"reoptimize"_s); }, {reply}),
                     QStringList{u"Korvalin|Reoptimizing will take several minutes.\nAre you sure "
                                 "you want to reoptimize now?"_s});
            QCOMPARE(seen > before, reply == u"Return");
        }
    }

    void keysReachTheirCommands_data()
    {
        // Keys the other tests do not press (Ctrl+O, F2, Delete, Ctrl+N...).
        QTest::addColumn<QKeySequence>("keys");  // pressed on the list
        QTest::addColumn<QString>("outcome");    // the window opened, or the rows and Undo
        const auto row = [](const char* name, QKeySequence keys, const char* outcome) {
            QTest::newRow(name) << keys << QString::fromUtf8(outcome);
        };
        const char* both = "1.00|100.00|0 >3.00|10.00|0 &Undo Add Harmonic 3.00";
        const QKeyCombination undo = Qt::CTRL | Qt::Key_Z;
        row("preferences", QKeySequence(Qt::CTRL | Qt::Key_Comma),
            "Korvalin Preferences|[12]|1|128|harmonicDisplay|cosine|harmonicReference");
        row("about", QKeySequence(Qt::Key_F1), "About Quandrel - Korvalin");
        row("add", QKeySequence(Qt::Key_Insert), "Korvalin - Add Harmonic|[5]|0|0");
        row("undo", QKeySequence(undo), ">1.00|100.00|0 &Undo");
        row("redo", QKeySequence(undo, Qt::CTRL | Qt::Key_Y), both);
        row("redo, shifted", QKeySequence(undo, Qt::CTRL | Qt::SHIFT | Qt::Key_Z), both);
        row("quit", QKeySequence(Qt::CTRL | Qt::Key_Q),
            "Korvalin|Save changes to Untitled before closing?");
        row("escape, enter", QKeySequence(Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter), both);
    }

    void keysReachTheirCommands()
    {
        QFETCH(QKeySequence, keys);
        QFETCH(QString, outcome);
        Started window;
        addHarmonic(*window, {u"magnitude=10"_s});
        window.showActive();
        QAbstractItemView* list = harmonicList(*window);
        list->setFocus();
        QString seen = drive([&] { QTest::keySequence(list, keys); }, {u"cancel"_s}).join(u' ');
        if (seen.isEmpty()) {
            seen = rowTexts(*list->model(), list) + u' ' +
                   window->findChild<QAction*>(u"undoAction"_s)->text();
        }
        QCOMPARE(seen, outcome);
    }

    // Leaves pictures in KORVALIN_SCREENSHOT_DIR, for people to look at the window: at its
    // default size and enlarged as on a full-HD desktop, with a square wave's 32 rows.
    void layoutFollowsTheClientAreaButNotAMinimize()
    {
        Started window;
        std::string square;
        for (int order = 1; order <= 63; order += 2) {
            square += std::to_string(order) + ' ' + std::to_string(100.0 / order) + " 0\n";
        }
        window.open(square);
        QWidget* client = window->centralWidget();
        QWidget* waveform = chart(*window, u"waveform"_s);
        const QPoint corner = waveform->pos();
        QWidget* list = harmonicList(*window);  // it takes the extra height
        const int standard = list->height();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*window));
        // Right from the first frame: the spectrum reaches the client area's bottom margin.
        QCOMPARE(chart(*window, u"spectrum"_s)->geometry().bottom(), client->height() - 11);
        saveScreenshot(*window, u"main-window.png"_s);
        const QSize growth = QSize(1920, 1050) - window->size();
        const QSize size = client->size() + growth;
        window->resize(1920, 1050);
        QTRY_COMPARE(client->size(), size);
        QCOMPARE(list->height(), standard + growth.height());
        const int mid = size.height() / 2;
        QCOMPARE(waveform->geometry(), QRect(corner, QPoint(size.width() - 11, mid - 17)));
        QCOMPARE(
            chart(*window, u"spectrum"_s)->geometry(),
            QRect(QPoint(corner.x(), mid + 16), QPoint(size.width() - 11, size.height() - 11)));
        saveScreenshot(*window, u"main-window-large.png"_s);
        const QRect laid = waveform->geometry();
        window->showMinimized();
        window->showNormal();
        QCOMPARE(waveform->geometry(), laid);
    }

    void windowGeometryComesBack()
    {
        Started window;
        const QSize standard = window->size();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*window));
        const QRect placed(QPoint(40, 30), standard - QSize(60, 40));
        window->setGeometry(placed);
        QTRY_COMPARE(window->geometry(), placed);
        window->close();
        window.restart();
        QCOMPARE(window->geometry(), placed);
    }

    void storedWindowGeometryIsUsedOnlyWhenItFitsAScreen_data()
    {
        QTest::addColumn<QByteArray>("stored");  // "Window Geometry"
        QTest::addColumn<QRect>("expected");     // null: the default placement
        const QRect good(40, 30, 700, 500);
        const QByteArray whole = QByteArray::fromBase64(storedGeometry(good));
        constexpr int kHuge = 1 << 30;
        QTest::newRow("good") << storedGeometry(good) << good;  // and the bytes are laid out right
        QTest::newRow("huge") << storedGeometry(QRect(0, 0, kHuge, kHuge)) << QRect();
        QTest::newRow("too small") << storedGeometry(QRect(40, 30, 200, 100)) << QRect();
        QTest::newRow("negative size") << storedGeometry(QRect(100, 100, -500, -400)) << QRect();
        QTest::newRow("truncated") << whole.left(whole.size() / 2).toBase64() << QRect();
        QTest::newRow("not a geometry") << "bm90IGEgZ2VvbWV0cnk="_ba << QRect();
        // Qt brings it onto a screen, its size kept.
        QTest::newRow("off every screen")
            << storedGeometry(good.translated(-kHuge, -kHuge)) << good.translated(-kHuge, -kHuge);
    }

    void storedWindowGeometryIsUsedOnlyWhenItFitsAScreen()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QRect, expected);
        Started standard;
        standard->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*standard));
        Started window({{"Window Geometry", stored}});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*window));
        const QRect area = window->screen()->availableGeometry();
        QVERIFY(area.intersects(window->frameGeometry()));
        if (expected.isNull()) {
            QCOMPARE(window->geometry(), standard->geometry());
        } else if (area.contains(expected)) {
            QCOMPARE(window->geometry(), expected);
        } else {
            QCOMPARE(window->size(), expected.size());  // moved onto the screen
        }
    }

    void limitMaskChosenThroughTheOptionsMenu_data()
    {
        QTest::addColumn<QString>("item");         // its text in Options > Limit Mask
        QTest::addColumn<QString>("maskFile");     // written to mask.csv first
        QTest::addColumn<QStringList>("answers");  // see drive(); "mask.csv" becomes its path
        QTest::addColumn<QString>("seen");         // the windows shown, "|"-joined
        QTest::addColumn<QString>("verdict");      // with a fundamental and h5 at 7 %
        QTest::addColumn<QString>("readout");      // at h5
        const QString h5 = u"Harmonic 5: 7.000 %, -23.1 dB"_s;
        QTest::newRow("EN 50160") << u"EN 50160"_s << QString() << QStringList() << QString()
                                  << u"EN 50160: 1 exceeded: h5 7.00 % > 6 %"_s
                                  << h5 + u" (limit 6 %)"_s;
        QTest::newRow("Class A, I1 refused out of range, then taken")
            << u"IEC 61000-3-2 Class A\u2026"_s << QString()
            << QStringList{u"current=20"_s, u"Ok"_s, u"current=2"_s}
            << u"Korvalin - Fundamental Current|[16]|Korvalin|Please enter a number between "
               u"0.01 and 16.|Korvalin - Fundamental Current|[20]"_s
            << u"IEC 61000-3-2 Class A: pass, closest h5 at 12 % of its limit"_s
            << h5 + u" (limit 57 %)"_s;
        QTest::newRow("a user's file")
            << u"From File\u2026"_s << u"# ours\n5,10\n"_s << QStringList{u"mask.csv"_s}
            << u"Open Limit Mask|[]"_s << u"mask.csv: pass, closest h5 at 70 % of its limit"_s
            << h5 + u" (limit 10 %)"_s;
    }

    // A design over EN 50160 at h5; a picture of it on the dB scale in KORVALIN_SCREENSHOT_DIR.
    void limitMaskChosenThroughTheOptionsMenu()
    {
        QFETCH(QString, item);
        QFETCH(QString, maskFile);
        QFETCH(QStringList, answers);
        QFETCH(QString, seen);
        QFETCH(QString, verdict);
        QFETCH(QString, readout);
        TempDir dir;
        const QString path = QString::fromStdString(dir.file("mask.csv"));
        writeWholeFile(path.toStdString(), maskFile.toStdString());
        answers.replaceInStrings(u"mask.csv"_s, path);
        Started window({{"Spectrum Scale", "dB"}});
        window.showActive();
        addHarmonic(*window, {u"number=5 magnitude=7"_s});
        QAction* chosen = limitMaskItem(*window, item);
        QVERIFY(chosen);
        QCOMPARE(drive([chosen] { chosen->trigger(); }, answers).join(u'|'), seen);
        QCOMPARE(labelText(*window, u"maskVerdict"_s), verdict);
        QCOMPARE(readoutAt(chart(*window, u"spectrum"_s), 5.0), readout);
        QVERIFY(chosen->isChecked() && !limitMaskItem(*window, u"None"_s)->isChecked());
        if (QLatin1String(QTest::currentDataTag()) == u"EN 50160"_s) {
            saveScreenshot(*window, u"limit-mask-db.png"_s);
        }
        // The next run checks with the same mask, I1 and file; a file is read once the window is
        // up, which the start does not wait for.
        window.restart();
        QCOMPARE(labelText(*window, u"maskVerdict"_s).isEmpty(), !maskFile.isEmpty());
        window.showActive();
        addHarmonic(*window, {u"number=5 magnitude=7"_s});
        QTRY_COMPARE(labelText(*window, u"maskVerdict"_s), verdict);
        QVERIFY(limitMaskItem(*window, item)->isChecked());
    }

    // Every exceeded order of a square wave under EN 50160 is read in the report the verdict
    // leads to: the odd orders 3 to 25 at 100 / h % against limits of 0.5 to 6 %, and THD40.
    void checkReportReadsEveryExceededOrder()
    {
        Started window;
        window.showActive();
        QAction* en50160 = limitMaskItem(*window, u"EN 50160"_s);
        QVERIFY(en50160);
        en50160->trigger();
        window->openFile(QStringLiteral(KORVALIN_EXAMPLES "/square.kvk"));
        QVERIFY(labelText(*window, u"maskVerdict"_s).startsWith(u"EN 50160: 13 exceeded"_s));
        named<QPushButton>(*window, u"checkReportButton"_s)->click();
        const QString report = named<QPlainTextEdit>(*window, u"checkReportText"_s)->toPlainText();
        QStringList over;
        for (const QString& line : report.split(u'\n')) {
            over << (line.endsWith(u"over"_s) ? line.section(u' ', 0, 0) : QString());
        }
        over.removeAll(QString());
        QCOMPARE(over.join(u' '), u"h3 h5 h7 h9 h11 h13 h15 h17 h19 h21 h23 h25 THD\u2084\u2080"_s);
    }

    void calculationsWindowShowsWithoutActivationKeepsItsPlaceAndCopies()
    {
        Started window({{"HarmIndex", "1"}});  // frequency mode
        addHarmonic(*window, {u"magnitude=20 phase=-90"_s});
        window.showActive();
        auto* check = named<QCheckBox>(*window, u"viewCalculationsCheck"_s);
        auto* calculations = window->findChild<CalculatedValuesDialog*>();
        QCOMPARE(calculations->windowTitle(), u"Korvalin Calculated values"_s);
        QVERIFY(!(calculations->windowFlags() & Qt::WindowCloseButtonHint));
        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(calculations->isVisible() && check->isChecked());
        QCOMPARE(QApplication::activeWindow(), &*window);
        calculations->move(calculations->pos() + QPoint(37, 23));
        const QPoint place = calculations->pos();
        QTest::keyClick(calculations, Qt::Key_Escape);
        QTest::keyClick(calculations, Qt::Key_Return);
        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(!calculations->isVisible() && !check->isChecked());
        QTest::mouseClick(check, Qt::LeftButton);
        QCOMPARE(calculations->pos(), place);
        auto* copy = calculations->findChild<QAction*>(u"copyAction"_s);
        QCOMPARE(copy->shortcut(), QKeySequence(QKeySequence::Copy));
        copy->trigger();
        QCOMPARE(QApplication::clipboard()->text(),
                 u"Frequency,Magnitude,Phase\n50.00,100.00,0\n150.00,20.00,-90\n"_s);
        // End and Home go to the last and first row.
        auto* list = calculations->findChild<QTableView*>(u"calculatedList"_s);
        QTest::keyClick(list, Qt::Key_Down);  // the first row becomes the current one
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(list->currentIndex().row(), 1);
        QTest::keyClick(list, Qt::Key_Home);
        QCOMPARE(list->currentIndex().row(), 0);
        // Under the rows, the same recalculation's power-quality figures.
        QVERIFY(labelText(*calculations, u"qualityFigures"_s)
                    .startsWith(u"THD-R: 19.61%   THD\u2084\u2080: 20.00%\n"_s));
    }

    void calculatedRowsOfAsManyChangeInPlaceWhereTheyChanged_data()
    {
        // The rows after "1 4 0|2 7 10|3 3 20" (number magnitude phase); the changes the
        // list is told, first-last:column, or a reset.
        QTest::addColumn<QString>("next");
        QTest::addColumn<QString>("told");
        QTest::newRow("magnitudes") << u"1 5 0|2 7 10|3 2 20"_s << u"0-2:1"_s;
        QTest::newRow("a phase") << u"1 4 0|2 7 11|3 3 20"_s << u"1-1:2"_s;
        QTest::newRow("a number and a phase") << u"1.5 4 0|2 7 9|3 3 20"_s << u"0-0:0 1-1:2"_s;
        QTest::newRow("nothing") << u"1 4 0|2 7 10|3 3 20"_s << QString();
        QTest::newRow("fewer") << u"1 4 0|2 7 10"_s << u"reset"_s;
    }

    void calculatedRowsOfAsManyChangeInPlaceWhereTheyChanged()
    {
        QFETCH(QString, next);
        QFETCH(QString, told);
        const auto rows = [](const QString& text) {
            std::vector<CalculatedRow> parsed;
            for (const QString& row : text.split(u'|')) {
                const QStringList cells = row.split(u' ');
                parsed.push_back({cells[0].toFloat(), cells[1].toFloat(), cells[2].toInt()});
            }
            return parsed;
        };
        CalculatedValuesDialog dialog(nullptr);
        dialog.replaceCalculatedRows(rows(u"1 4 0|2 7 10|3 3 20"_s));
        auto* list = named<QAbstractItemView>(dialog, u"calculatedList"_s);
        list->selectionModel()->select(list->model()->index(1, 0), QItemSelectionModel::Select);
        QSignalSpy changed(list->model(), &QAbstractItemModel::dataChanged);
        QSignalSpy reset(list->model(), &QAbstractItemModel::modelReset);
        dialog.replaceCalculatedRows(rows(next));
        QStringList spans(reset.count(), u"reset"_s);
        for (const QList<QVariant>& signal : changed) {
            const auto from = signal[0].toModelIndex();
            const auto to = signal[1].toModelIndex();
            QCOMPARE(from.column(), to.column());
            spans << u"%1-%2:%3"_s.arg(from.row()).arg(to.row()).arg(from.column());
        }
        QCOMPARE(spans.join(u' '), told);
        QVERIFY(!list->selectionModel()->hasSelection());  // as after every recalculation
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
