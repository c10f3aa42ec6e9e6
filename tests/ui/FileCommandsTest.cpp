#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QWindow>

#include <filesystem>

#include "files/CoefficientFile.h"
#include "ui/UiTestSupport.h"

namespace {

/** Picks path in the next file dialog (answering Qt's own replace question with Yes). */
void chooseInFileDialog(const std::string& path)
{
    onNextModal<QFileDialog>([path](QFileDialog& dialog) {
        typeFileName(dialog, path);
        if (dialog.acceptMode() == QFileDialog::AcceptSave && std::filesystem::exists(path)) {
            onNextMessageBoxWith(QStringLiteral("already exists"),
                                 [](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
        }
        static_cast<QDialog&>(dialog).accept();  // QFileDialog makes it protected
    });
}

/** Cancels the next file dialog; title gets its title and its name field as shown. */
void cancelFileDialog(QString* title = nullptr)
{
    onNextModal<QFileDialog>([title](QFileDialog& dialog) {
        if (title) {
            const auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            *title = dialog.windowTitle() + u'|' + name->text() + u'|' + name->selectedText();
        }
        dialog.reject();
    });
}

QString openFile(MainDialog& window, const std::string& path)
{
    QString message;
    chooseInFileDialog(path);
    answerNextMessageBox(QMessageBox::Ok, [&message](QMessageBox& box) { message = box.text(); });
    window.OnFileOpen();
    cancelModalWatchers();
    return message;
}

}  // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void cleanup() { cancelModalWatchers(); }

    void openTakesTheFilesSettingsTitleAndFirstRow()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        TempDir dir;
        writeWholeFile(dir.file("test.kvk"), ":2 6 1 1 128.000000\r\n1 100 0\r\n3 33.33 -90\r\n");
        const int before = window->recalculationCount();
        QCOMPARE(openFile(*window, dir.file("test.kvk")), QString());
        QCOMPARE(window->windowTitle(), QStringLiteral("Quandrel - Korvalin [test.kvk]"));
        QCOMPARE(labelText(*window, 1046), QStringLiteral("6 Cycles"));
        QCOMPARE(labelText(*window, 1047), QStringLiteral("2 Cycles, 256 points"));
        QCOMPARE(rowTexts(*window), texts({"1.00|100.00|0", "3.00|33.33|-90"}));
        QCOMPARE(slider(*window, 1001)->value(), 1000);
        QCOMPARE(slider(*window, 1002)->value(), 180);
        QCOMPARE(labelText(*window, 1035), QStringLiteral("33.33%"));
        QCOMPARE(window->lastResult().fftSize, 256);
        QCOMPARE(window->recalculationCount(), before + 1);
        QCOMPARE(window->design().table().lastAddedNumber(), 1.0F);

        // New brings back the preferences' settings and the fundamental.
        window->OnFileNew();
        QCOMPARE(window->windowTitle(), QStringLiteral("Quandrel - Korvalin"));
        QCOMPARE(labelText(*window, 1047), QStringLiteral("1 Cycle, 128 points"));
        QCOMPARE(labelText(*window, 1046), QStringLiteral("12 Cycles"));
        QCOMPARE(rowTexts(*window), texts({"1.00|100.00|0"}));
        QCOMPARE(window->lastResult().fftSize, 128);
        QCOMPARE(labelText(*window, 1010), QStringLiteral("100.00"));
    }

    void firstEntryShowsOnTheSlidersInTenths()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        TempDir dir;
        writeWholeFile(dir.file("a.kvk"), "3 33.33 -45\n5 10 0\n");
        openFile(*window, dir.file("a.kvk"));
        QCOMPARE(slider(*window, 1001)->value(), 333);
        QCOMPARE(slider(*window, 1002)->value(), 135);
        QCOMPARE(labelText(*window, 1010), QStringLiteral("33.30"));
        QCOMPARE(labelText(*window, 1011), QStringLiteral("-45"));
        QCOMPARE(window->design().table().entry(0).magnitude, 33.33F);
        QCOMPARE(window->design().table().selectedNumber(), 3.0F);
        QVERIFY(harmonicList(*window)->selectionModel()->isRowSelected(0, {}));
    }

    void capitalKvwIsReadAsCoefficientsAndGivesAFlatDesign()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        TempDir dir;
        writeWholeFile(
            dir.file("shape.KVW"),
            ":1 12 1 1 128.000000\r\n!1\r\n 100.000000,   99.879546,   99.518473,   98.917651\r\n");
        openFile(*window, dir.file("shape.KVW"));
        QCOMPARE(window->design().table().count(), 0);
        QCOMPARE(window->design().table().selectedRow(), -1);
        QCOMPARE(slider(*window, 1001)->value(), 0);
        QCOMPARE(slider(*window, 1002)->value(), 180);
        QCOMPARE(labelText(*window, 1010), QStringLiteral("0.00"));
        QCOMPARE(labelText(*window, 1011), QStringLiteral("0"));
        QCOMPARE(labelText(*window, 1033), QStringLiteral("0.00%"));
        QCOMPARE(window->waveformChart().rangeMaximum(), 1.0);
    }

    void coefficientFileNamedKvwIsAnalysedAsAWaveshape()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        TempDir dir;
        writeWholeFile(dir.file("c.kvw"), ":1 12 1 1 128.000000\r\n1 100.000000 0\r\n");
        openFile(*window, dir.file("c.kvw"));
        // The samples 1, 100, 0 and zeros: an impulse-like shape with a line in every bin.
        QCOMPARE(window->design().table().count(), 64);
        QCOMPARE(window->design().table().entry(0).number, 0.0F);
        QCOMPARE(window->design().table().entry(1).magnitude, 100.0F);
    }

    void openFailuresChangeNothing()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        TempDir dir;
        const std::string missing = dir.file("missing.kvk");
        QCOMPARE(openFile(*window, missing), QStringLiteral("Cannot open file ") +
                                                 QString::fromStdString(missing) +
                                                 QStringLiteral("\nNo such file or directory."));
        QCOMPARE(window->windowTitle(), QStringLiteral("Quandrel - Korvalin"));
        QCOMPARE(rowTexts(*window), texts({"1.00|100.00|0"}));

        QString title;
        cancelFileDialog(&title);
        const int before = window->recalculationCount();
        window->OnFileOpen();
        QCOMPARE(title, QStringLiteral("Korvalin Files|*.kvk|*.kvk"));
        QCOMPARE(window->recalculationCount(), before);
        QCOMPARE(rowTexts(*window), texts({"1.00|100.00|0"}));
    }

    void entriesKeptAboveANewPpcAreSummed()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        TempDir dir;
        writeWholeFile(dir.file("alias.kvk"), "40 5 0\n:1 1 1 1 25\n1 100 0\n");
        openFile(*window, dir.file("alias.kvk"));
        QCOMPARE(rowTexts(*window), (texts({"1.00|100.00|0", "40.00|5.00|0"})));
        QCOMPARE(labelText(*window, 1033), QStringLiteral("5.00%"));  // Total
    }

    void namesReachTheTitleAsPlainText()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        TempDir dir;
        writeWholeFile(dir.file("a%sb%n[*].kvk"), "1 50 0\n");
        openFile(*window, dir.file("a%sb%n[*].kvk"));
        window->winId();  // the title the window system shows, placeholder handling done
        QCOMPARE(window->windowHandle()->title(),
                 QStringLiteral("Quandrel - Korvalin [a%sb%n[*].kvk]"));
    }

    void saveAsWritesTheFormatOfTheExtension()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        TempDir dir;
        chooseInFileDialog(dir.file("design.txt"));
        window->OnFileSaveAs();
        QCOMPARE(readWholeFile(dir.file("design.txt")),
                 std::string(":1 12 1 1 128.000000\r\n1 100.000000 0\r\n"));

        chooseInFileDialog(dir.file("shape.kvw"));
        window->OnFileSaveAs();
        const std::string shape = readWholeFile(dir.file("shape.kvw"));
        QCOMPARE(std::count(shape.begin(), shape.end(), '\n'), 397L);
        QVERIFY(shape.find("\r\n!1\r\n 100.000000,   99.879546,") != std::string::npos);

        chooseInFileDialog(dir.file("plain"));
        window->OnFileSaveAs();
        QVERIFY(std::filesystem::exists(dir.file("plain.kvk")));  // the default extension

        QString title;
        cancelFileDialog(&title);
        window->OnFileSaveAs();
        QCOMPARE(title, QStringLiteral("Save As|*.kvk|*.kvk"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Quandrel - Korvalin"));
    }

    void writeProtectedTargetAsksFirst()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        TempDir dir;
        const std::string target = dir.file("ro.kvk");
        writeWholeFile(target, "old");
        std::filesystem::permissions(
            target, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
        // No: the Save As dialog comes again, and nothing is written.
        QString question;
        int dialogs = 0;
        onNextModal<QFileDialog>([&](QFileDialog& dialog) {
            ++dialogs;
            onNextMessageBoxWith(QStringLiteral("already exists"), [](QMessageBox& box) {
                box.button(QMessageBox::Yes)->click();  // Qt's own replace question
            });
            typeFileName(dialog, target);
            onNextMessageBoxWith(QStringLiteral("write protected"), [&](QMessageBox& box) {
                question = box.text();
                onNextModal<QFileDialog>([&](QFileDialog& again) {
                    ++dialogs;
                    again.reject();
                });
                box.button(QMessageBox::No)->click();
            });
            QTimer::singleShot(0, &dialog, [&dialog] { static_cast<QDialog&>(dialog).accept(); });
        });
        window->OnFileSaveAs();
        QCOMPARE(question, QStringLiteral("The file \"%1\" is write protected. Overwrite?")
                               .arg(QString::fromStdString(target)));
        QCOMPARE(dialogs, 2);
        QCOMPARE(readWholeFile(target), std::string("old"));

        // Yes: the file becomes writable and is overwritten.
        chooseInFileDialog(target);
        onNextMessageBoxWith(QStringLiteral("write protected"),
                             [](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
        window->OnFileSaveAs();
        QCOMPARE(readWholeFile(target), std::string(":1 12 1 1 128.000000\r\n1 100.000000 0\r\n"));
        QVERIFY((std::filesystem::status(target).permissions() &
                 std::filesystem::perms::owner_write) != std::filesystem::perms::none);
    }

    void failedSavesAreReportedAndKeepTheOldFile()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        TempDir dir;
        const std::string target = dir.file("keep.kvk");
        writeWholeFile(target, "old design");
        // A full device: the real save, with its write made to fail.
        window->setSaveFunction([](const std::string& path, std::string_view bytes) {
            return SaveFileAtomically(path, bytes, {SaveFaults::Step::Write, ENOSPC});
        });
        QString message;
        onNextModal<QFileDialog>([&](QFileDialog& dialog) {
            onNextMessageBoxWith(QStringLiteral("already exists"),
                                 [](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
            typeFileName(dialog, target);
            onNextMessageBoxWith(QStringLiteral("Cannot"), [&](QMessageBox& box) {
                message = box.text();
                cancelFileDialog();  // the Save As dialog comes back: give up
                box.button(QMessageBox::Ok)->click();
            });
            QTimer::singleShot(0, &dialog, [&dialog] { static_cast<QDialog&>(dialog).accept(); });
        });
        window->OnFileSaveAs();
        QCOMPARE(message, QStringLiteral("Cannot write file %1.\nNo space left on device.")
                              .arg(QString::fromStdString(target)));
        QCOMPARE(readWholeFile(target), std::string("old design"));

        // A folder that vanished before the write: the file cannot be created.
        const std::string gone = dir.file("gone");
        std::filesystem::create_directory(gone);
        window->setSaveFunction([gone](const std::string& path, std::string_view bytes) {
            std::filesystem::remove_all(gone);
            return SaveFileAtomically(path, bytes);
        });
        onNextModal<QFileDialog>([&](QFileDialog& dialog) {
            typeFileName(dialog, gone + "/x.kvk");
            onNextMessageBoxWith(QStringLiteral("Cannot"), [&](QMessageBox& box) {
                message = box.text();
                cancelFileDialog();
                box.button(QMessageBox::Ok)->click();
            });
            QTimer::singleShot(0, &dialog, [&dialog] { static_cast<QDialog&>(dialog).accept(); });
        });
        window->OnFileSaveAs();
        QCOMPARE(message, QStringLiteral("Cannot open file %1.\nNo such file or directory.")
                              .arg(QString::fromStdString(gone + "/x.kvk")));
    }

    void droppedFileOpensAsFileOpen()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        TempDir dir;
        writeWholeFile(dir.file("drop.kvk"), "2 50 0\n");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.file("drop.kvk")))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &drop);
        QTRY_COMPARE(rowTexts(*window), texts({"2.00|50.00|0"}));
        QCOMPARE(window->windowTitle(), QStringLiteral("Quandrel - Korvalin [drop.kvk]"));
    }

    void recentFilesReopenAndPersist()
    {
        const auto settings = optimisedSettings();
        TempDir dir;
        writeWholeFile(dir.file("a.kvk"), "3 30 0\n");
        writeWholeFile(dir.file("b&c.kvk"), "5 50 0\n");
        {
            const auto window = startWindow(*settings);
            window->openFile(QString::fromStdString(dir.file("a.kvk")));
            window->openFile(QString::fromStdString(dir.file("b&c.kvk")));
        }
        std::filesystem::remove(dir.file("b&c.kvk"));  // gone files are not offered
        const auto window = startWindow(*settings);
        auto* menu = window->findChild<QMenu*>(QStringLiteral("recentMenu"));
        QList<QAction*> items = menu->actions();
        QCOMPARE(items.size(), 3);  // a.kvk, a separator, Clear Menu
        QCOMPARE(items.front()->text(), QStringLiteral("&1 a.kvk"));
        items.front()->trigger();
        QCOMPARE(rowTexts(*window), texts({"3.00|30.00|0"}));
        menu->actions().back()->trigger();
        QCOMPARE(menu->actions().size(), 2);
    }
};

QTEST_MAIN(FileCommandsTest)
#include "FileCommandsTest.moc"
