#include <filesystem>
#include <new>

#include "gui/ui/UiTestSupport.h"
#include "support/CaptureSupport.h"

namespace {

const std::string kFundamentalFile = ":1 12 1 1 128.000000\r\n1 100.000000 0\r\n";

// The title the window system shows, with Qt's "[*]" placeholder handled.
QString shownTitle(MainWindow& window)
{
    window.winId();
    return window.windowHandle()->title();
}

// How long a reader that waits for a cancel waits at most, in ticks: a minute.
constexpr int kPatienceTicks = 6000;
constexpr unsigned long kTickMs = 10;

}  // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void openShowsTheFileOrTellsWhyNot_data()
    {
        QTest::addColumn<QString>("typed");       // "@": the test's folder; "cancel" cancels
        QTest::addColumn<QByteArray>("content");  // written to the typed name first, unless null
        QTest::addColumn<QString>("outcome");     // the message shown, the title, then shown()
        const QString untitled = u"Quandrel - Korvalin|"_s + kFundamentalShown + u"|12 Cycles"_s;
        const auto row = [](const char* name, const QString& typed, const QByteArray& content,
                            const QString& outcome) {
            QTest::newRow(name) << typed << content << outcome;
        };
        row("coefficients, Qt's placeholder in the name", u"@a%sb%n[*].kvk"_s,
            ":2 6 1 1 128\r\n3 33.33 -45\r\n5 10 0\r\n"_ba,
            u"Quandrel - Korvalin [a%sb%n[*].kvk]|>3.00|33.33|-45 5.00|10.00|0 / 333 135 33.30 "
            "-45 / 34.80%|6 Cycles"_s);
        row("existing, no extension", u"@noext"_s, "3 30 0\n"_ba,
            u"Quandrel - Korvalin [noext]|>3.00|30.00|0 / 300 180 30.00 0 / 30.00%|12 Cycles"_s);
        row("missing: .kvk added", u"@design"_s, {},
            u"Quandrel - Korvalin [design.kvk]|>3.00|30.00|0 / 300 180 30.00 0 / 30.00%|12 "
            "Cycles"_s);
        row("missing, a name like markup", u"@%s %n %1 <b>bold &amp;.kvk"_s, {},
            u"Korvalin|Cannot open file @%s %n %1 <b>bold &amp;.kvk\nNo such file or "
            "directory.|"_s +
                untitled);
        row("cancelled", u"cancel"_s, {}, untitled);
    }

    void openShowsTheFileOrTellsWhyNot()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, content);
        QFETCH(QString, outcome);
        Started window;
        typed.replace(u'@', window.path(""));
        outcome.replace(u'@', window.path(""));
        writeWholeFile(window.dir.file("design.kvk"), "3 30 0\n");
        if (!content.isNull()) {
            writeWholeFile(typed.toStdString(), content.toStdString());
        }
        QSignalSpy recalculated(&*window, &MainWindow::recalculated);
        QStringList seen = drive([&window] { trigger(*window, u"open"_s); }, {typed, u"Ok"_s});
        QCOMPARE(seen.takeFirst(), u"Korvalin Files|[*.kvk]"_s);
        seen << shownTitle(*window) + u'|' + shown(*window) + u'|' +
                    labelText(*window, u"displayCyclesLabel"_s);
        QCOMPARE(seen.join(u'|'), outcome);
        QCOMPARE(recalculated.count(), seen.size() == 1 && typed != u"cancel" ? 1 : 0);
    }

    // The title names the design's file and marks unsaved changes (the undo titles of Open
    // and New are the design's own).
    void titleFollowsTheDesignAndMarksItsChanges()
    {
        Started window;
        window.open("1 100 -90\n3 11.11 90\n", "tri.kvk");
        window.showActive();
        QSlider* magnitude = slider(*window, u"magnitude"_s);
        QStringList titles{shownTitle(*window)};
        for (const QString& step : {u"edit"_s, u"Ctrl+Z"_s, u"Ctrl+Z"_s, u"Ctrl+Y"_s, u"edit"_s,
                                    u"Ctrl+Shift+S"_s, u"Ctrl+Z"_s}) {
            if (step == u"edit") {
                magnitude->setFocus();
                QTest::keyClick(magnitude, Qt::Key_Left);
            } else {
                pressOnList(*window, QKeySequence(step), {window.path("copy.kvk")});
            }
            titles << shownTitle(*window);
        }
        const QString tri = u"Quandrel - Korvalin [tri.kvk]"_s;
        const QString copy = u"Quandrel - Korvalin [copy.kvk]"_s;
        QCOMPARE(titles, (QStringList{tri, tri + u'*', tri, u"Quandrel - Korvalin"_s, tri,
                                      tri + u'*', copy, copy + u'*'}));
    }

    // File > Import Capture of a CSV without times, silent at first: the rate asked, the lines
    // the design under the capture's name, unsaved; the report says where the window starts and
    // the points per cycle the design then shows.
    void importCaptureAsksTheRateAndMakesTheDesign()
    {
        Started window;
        TempDir dir;
        const std::string path = dir.file("capture.csv");
        ToneCapture tone{{{1, 100, 0}, {3, 20, 30}}, 50.0, 48000, 24000};
        std::vector<double> samples(9600, 0.0);  // 0.2 s of silence
        const std::vector<double> signal = synthesizeCapture(tone);
        samples.insert(samples.end(), signal.begin(), signal.end());
        writeWholeFile(path, captureCsv(samples, tone.rate, false));
        QSignalSpy recalculated(&*window, &MainWindow::recalculated);
        const QStringList seen =
            drive([&window] { trigger(*window, u"importCapture"_s); },
                  {QString::fromStdString(path), u"rate=2e9"_s, u"Ok"_s, u"rate=48000"_s, u"Ok"_s});
        // The range in plain numbers, as a user would type them.
        QCOMPARE(seen.mid(1).join(u'\n'),
                 u"Korvalin - Import Capture|[48000]\nKorvalin|Please enter a number between 1 and "
                 u"1000000000.\nKorvalin - Import Capture|[2e9]\nKorvalin|Estimated fundamental: "
                 u"50.000000 Hz (near 50 Hz)\nWindow: 10 cycles from 0.2193 s, resampled to 1024 "
                 u"points per cycle\nDesign: 10 FFT cycles at 512 points per cycle\nBand: below "
                 u"order 480.00 (24000 Hz); from order 447.56 lines are near its edge"_s);
        QCOMPARE(rowTexts(*harmonicList(*window)->model()), u"1.00|100.00|0 3.00|20.00|30"_s);
        QCOMPARE(shownTitle(*window), u"Quandrel - Korvalin [capture.csv]*"_s);
        QCOMPARE(recalculated.count(), 1);
    }

    // A capture of many windows is offered "Analyse every window…": the recording's view runs,
    // chooses the interval of the highest THD (its 3rd harmonic doubles half-way), and Use
    // Interval as Design makes that interval's window the design, one step that Undo takes back
    // to the import.
    void importCaptureOffersEveryWindowAndTakesAnIntervalAsTheDesign()
    {
        Started window;
        const std::string path = window.dir.file("recording.wav");
        const ToneCapture before{{{1, 100, 0}, {3, 5, 30}}, 50.0, 8000, 24000};
        const ToneCapture after{{{1, 100, 0}, {3, 10, 30}}, 50.0, 8000, 24000};
        std::vector<double> samples = synthesizeCapture(before);
        const std::vector<double> doubled = synthesizeCapture(after);
        samples.insert(samples.end(), doubled.begin(), doubled.end());
        writeWholeFile(path, wavBytes(samples, 8000, {WavForm::F32}));
        const QStringList seen =
            drive([&window] { trigger(*window, u"importCapture"_s); },
                  {QString::fromStdString(path), u"analyzeEveryWindow"_s, u"when:useInterval"_s});
        QCOMPARE(seen.size(), 3);
        QVERIFY2(seen[1].startsWith(u"Korvalin|Estimated fundamental: 50.0000"_s),
                 qPrintable(seen[1]));
        QCOMPARE(seen[2], u"Korvalin - Every Window of recording.wav|3,5,7"_s);
        QCOMPARE(rowTexts(*harmonicList(*window)->model()), u"1.00|100.00|0 3.00|10.00|30"_s);
        QCOMPARE(shownTitle(*window), u"Quandrel - Korvalin [recording.wav at 3.000 s]*"_s);
        trigger(*window, u"undo"_s);
        QCOMPARE(rowTexts(*harmonicList(*window)->model()), u"1.00|100.00|0 3.00|5.00|30"_s);
    }

    // While a capture is read the window handles its events (the progress dialog comes up and
    // is answered); Cancel stops the reading and leaves the design, with no message.
    void importCaptureCancelledWhileReadingChangesNothing()
    {
        Started window;
        const std::string path = window.dir.file("capture.csv");
        ToneCapture tone{{{1, 100, 0}, {3, 20, 30}}, 50.0, 8000, 2000};
        writeWholeFile(path, captureCsv(synthesizeCapture(tone), tone.rate, true));
        // As a capture too long to wait for: read only once the progress says stop, if ever.
        window->setCaptureReader([](const std::string& file, const CaptureOptions& options) {
            for (int tick = 0; tick < kPatienceTicks && options.progress(0.0); ++tick) {
                QThread::msleep(kTickMs);
            }
            return readCapture(file, options);
        });
        const QStringList seen = drive([&window] { trigger(*window, u"importCapture"_s); },
                                       {QString::fromStdString(path), u"cancel"_s});
        QCOMPARE(seen.mid(1).join(u'\n'), u"Korvalin - Import Capture|Reading capture.csv\u2026"_s);
        QCOMPARE(shown(*window), kFundamentalShown);
        QCOMPARE(shownTitle(*window), u"Quandrel - Korvalin"_s);
    }

    void exitAsksBeforeDroppingChanges_data()
    {
        QTest::addColumn<bool>("changed");   // a Left press on the magnitude slider
        QTest::addColumn<bool>("closeBox");  // else File > Exit by its key
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("outcome");  // what was asked, "@" the test's folder; then
                                               // whether the window closed
        const QString asked = u"Korvalin|Save changes to tri.kvk before closing?"_s;
        const QString saveAs = u"\nSave As|[*.kvk]"_s;
        QTest::newRow("unchanged") << false << false << QStringList() << u"closed"_s;
        QTest::newRow("Discard") << true << false << QStringList{u"Discard"_s}
                                 << asked + u"\nclosed"_s;
        QTest::newRow("Cancel, close box")
            << true << true << QStringList{u"cancel"_s} << asked + u"\nopen"_s;
        QTest::newRow("Save..., close box")
            << true << true << QStringList{u"Save"_s, u"@saved.kvk"_s}
            << asked + saveAs + u"\nclosed"_s;
        QTest::newRow("Save... failed")
            << true << false << QStringList{u"Save"_s, u"@full.kvk"_s, u"Ok"_s, u"cancel"_s}
            << asked + saveAs +
                   u"\nKorvalin|Cannot write file @full.kvk.\n"
                   "No space left on device."_s +
                   saveAs + u"\nopen"_s;
    }

    void exitAsksBeforeDroppingChanges()
    {
        QFETCH(bool, changed);
        QFETCH(bool, closeBox);
        QFETCH(QStringList, answers);
        QFETCH(QString, outcome);
        Started window;
        const QString folder = window.path("");
        window.open("1 100 -90\n3 11.11 90\n", "tri.kvk");
        window->setSaveFunction([](const std::string& path, std::string_view bytes) {
            const bool full = path.ends_with("full.kvk");
            return saveFileAtomically(path, bytes,
                                      {full ? SaveFaults::Step::Write : SaveFaults::Step::None});
        });
        window.showActive();
        if (changed) {
            slider(*window, u"magnitude"_s)->setFocus();
            QTest::keyClick(slider(*window, u"magnitude"_s), Qt::Key_Left);
        }
        answers.replaceInStrings(u"@"_s, folder);
        QStringList seen = drive(
            [&window, closeBox] {
                if (closeBox) {
                    window->close();
                } else {
                    QTest::keySequence(&*window, QKeySequence(Qt::CTRL | Qt::Key_Q));
                }
            },
            answers);
        seen << (window->isVisible() ? u"open"_s : u"closed"_s);
        QCOMPARE(seen.join(u'\n'), QString(outcome).replace(u'@', folder));
        if (answers.contains(u"Save"_s) && seen.last() == u"closed") {
            QCOMPARE(readWholeFile(window.dir.file("saved.kvk")),
                     ":1 12 1 1 128.000000\r\n1 99.900002 -90\r\n3 11.110000 90\r\n");
        }
    }

    void refusedSavesComeBackToTheSaveAsDialog_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reply");    // to the message; Yes to the question saves
        QTest::addColumn<QString>("message");  // %1: the path
        const QString question = u"The file \"%1\" is write protected. Overwrite?"_s;
        QTest::newRow("folder gone")
            << u"gone"_s << u"Ok"_s << u"Cannot open file %1.\nNo such file or directory."_s;
        QTest::newRow("write protected, No") << u"protected"_s << u"No"_s << question;
        QTest::newRow("write protected, Yes") << u"protected"_s << u"Yes"_s << question;
        QTest::newRow("too large to read back")
            << u"large"_s << u"Ok"_s
            << u"Cannot write file %1.\nIt would be larger than 64 MiB, more than Korvalin "
               "reads back."_s;
        QTest::newRow("out of memory")
            << u"memory"_s << u"Ok"_s << u"Cannot write file %1.\nNot enough memory to write it."_s;
        QTest::newRow("the limit mask file in use")
            << u"mask"_s << u"Ok"_s
            << u"Cannot write file %1.\nIt is the same file as the input %1, which writing it "
               "would destroy; choose another name."_s;
    }

    void refusedSavesComeBackToTheSaveAsDialog()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reply);
        QFETCH(QString, message);
        Started window;
        TempDir dir;
        const std::string target = dir.file("keep.kvk");
        const std::string old = fault == u"mask" ? "5,10\n" : "old design";
        writeWholeFile(target, old);
        if (fault == u"mask") {
            QVERIFY(window->design().chooseMask({MaskSource::Kind::File, {}, {}, target}).empty());
        }
        window->setSaveFunction([&](const std::string& path, std::string_view bytes) {
            if (fault == u"gone") {
                std::filesystem::remove_all(dir.path());
            }
            if (fault == u"memory") {
                throw std::bad_alloc();
            }
            return saveFileAtomically(path, bytes, {});
        });
        const auto mode = fault == u"protected" ? std::filesystem::perms::owner_read
                                                : std::filesystem::perms(0644);
        std::filesystem::permissions(target, mode);
        if (fault == u"large") {
            writeWholeFile(dir.file("large.kvk"), tableTooLargeToWrite());
            window->openFile(QString::fromStdString(dir.file("large.kvk")));
        }
        const QString path = QString::fromStdString(target);
        const bool saved = reply == u"Yes";  // else the Save As dialog comes again: cancelled
        const QStringList shown =
            drive([&window] { trigger(*window, u"saveAs"_s); }, {path, u"Yes"_s, reply});
        QCOMPARE(shown.join(u'\n'),
                 u"Save As|[*.kvk]\nSave As|keep.kvk already exists.\nDo you want to replace it?"
                 "\nKorvalin|"_s +
                     message.arg(path) + (saved ? u""_s : u"\nSave As|[*.kvk]"_s));
        if (fault != u"gone") {
            QCOMPARE(readWholeFile(target), saved ? kFundamentalFile : old);
            QCOMPARE(std::filesystem::status(target).permissions(), mode);  // never widened
        }
    }

    // Save As adds .kvk to a bare name; a dropped file opens; the recent menu offers files
    // (which ones, in which order, is the recent list's business).
    void savedDroppedAndOpenedFilesAreRecent()
    {
        Started window;
        window.open("3 30 0\n", "b&c.kvk");
        const auto saveAs = [&window] { trigger(*window, u"saveAs"_s); };
        QCOMPARE(drive(saveAs, {window.path("plain")}), QStringList{u"Save As|[*.kvk]"_s});
        QCOMPARE(readWholeFile(window.dir.file("plain.kvk")),
                 ":1 12 1 1 128.000000\r\n3 30.000000 0\r\n");
        drive(saveAs, {window.path("shape.kvw")});  // the name's kind chooses the format
        QVERIFY(readWholeFile(window.dir.file("shape.kvw")).find("\r\n!1\r\n") !=
                std::string::npos);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(window.path("b&c.kvk"))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&*window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&*window, &drop);
        QTRY_COMPARE(shownTitle(*window), u"Quandrel - Korvalin [b&c.kvk]"_s);
        window.restart();
        auto* menu = window->findChild<QMenu*>(u"recentMenu"_s);
        QStringList items;
        for (QAction* item : menu->actions()) {
            items << item->text();
        }
        QCOMPARE(items,
                 (QStringList{
                     u"&1 b&&c.kvk"_s, u"&2 shape.kvw"_s, u"&3 plain.kvk"_s, {}, u"Clear Menu"_s}));
        menu->actions().at(2)->trigger();
        QCOMPARE(shownTitle(*window), u"Quandrel - Korvalin [plain.kvk]"_s);
        menu->actions().back()->trigger();
        QCOMPARE(menu->actions().size(), 2);
    }
};

QTEST_MAIN(FileCommandsTest)
#include "FileCommandsTest.moc"
