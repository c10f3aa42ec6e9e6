// Faults the program must survive: damaged or unwritable settings, garbage wisdom, files
// that vanish or lock up between the dialog and the read, and names that look like markup
// or formats. Nothing is lost and the user is told where the program can tell.

#include <QFileDialog>
#include <QTest>

#include <filesystem>

#include "app/SettingsStore.h"
#include "ui/UiTestSupport.h"

namespace {

/** Runs a whole life of the window on store: start-up, a recalculation, close. */
void liveAndClose(SettingsStore& store)
{
    auto window = std::make_unique<MainDialog>(store, noPause);
    window->initialise();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(labelText(*window, 1046), QStringLiteral("12 Cycles"));
    QCOMPARE(labelText(*window, 1047), QStringLiteral("1 Cycle, 128 points"));
    QCOMPARE(window->lastResult().spectrum.size(), std::size_t{65});
    window->close();
}

}  // namespace

class FaultsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void cleanup() { cancelModalWatchers(); }

    void damagedSettingsStartWithTheDefaults()
    {
        TempDir dir;
        std::string garbage =
            "[General]\nDisplay Cycles=\xff\xfe\x00\x01zz\nFFT Cycles=-7\nPpc=0xfffffffff\n";
        garbage += "Optimized=1\nHarmIndex=1e9\n\x01\x02\x03[[[";
        writeWholeFile(dir.file("Korvalin.conf"), garbage);
        auto store = QtSettingsStore::forFile(dir.file("Korvalin.conf"));
        liveAndClose(*store);
    }

    void settingsInAFolderThatCannotBeWrittenStillRun()
    {
        TempDir dir;
        writeWholeFile(dir.file("not-a-folder"), "x");
        auto store = QtSettingsStore::forFile(dir.file("not-a-folder/Korvalin.conf"));
        store->writeInt("Optimized", 1);  // only in memory: the file can never be made
        liveAndClose(*store);
        QVERIFY(!store->flush());
        QVERIFY(!std::filesystem::exists(dir.file("not-a-folder/Korvalin.conf")));
    }

    void unreadableSettingsFileStartsAndCloses()
    {
        TempDir dir;
        writeWholeFile(dir.file("Korvalin.conf"), "[General]\nOptimized=1\n");
        std::filesystem::permissions(dir.file("Korvalin.conf"), std::filesystem::perms::none);
        auto store = QtSettingsStore::forFile(dir.file("Korvalin.conf"));
        liveAndClose(*store);
    }

    void garbageWisdomIsIgnored()
    {
        const auto settings = optimisedSettings();
        settings->store().writeString("Wisdom", "(fftw-3.3.10 fftw_wisdom #x12 (((( \x01 garbage");
        liveAndClose(settings->store());
        settings->reopen();
        QVERIFY(settings->store().readString("Wisdom", "").rfind("(fftw-3", 0) == 0);
    }

    void aFileThatVanishesOrBecomesAFifoAfterTheDialogIsReported()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        TempDir dir;
        for (const bool vanish : {true, false}) {
            const std::string path = dir.file(vanish ? "gone.kvk" : "fifo.kvk");
            writeWholeFile(path, "3 50 0\n");
            QString message;
            onNextModal<QFileDialog>([&](QFileDialog& dialog) {
                typeFileName(dialog, path);
                std::filesystem::remove(path);
                if (!vanish) {
                    makeSpecial(Special::Fifo, path);  // Open would wait for a writer for good
                }
                answerNextMessageBox(QMessageBox::Ok,
                                     [&message](QMessageBox& box) { message = box.text(); });
                static_cast<QDialog&>(dialog).accept();
            });
            window->OnFileOpen();
            QCOMPARE(message, QStringLiteral("Cannot open file ") + QString::fromStdString(path) +
                                  (vanish ? QStringLiteral("\nNo such file or directory.")
                                          : QStringLiteral("\nIt is not a regular file.")));
            QCOMPARE(rowTexts(*window), texts({"1.00|100.00|0"}));
            QCOMPARE(window->windowTitle(), QStringLiteral("Quandrel - Korvalin"));
        }
    }

    void namesShowAsTheyAre()
    {
        const auto settings = optimisedSettings();
        const auto window = startWindow(*settings);
        TempDir dir;
        // (A newline cannot be typed into the dialog's name field; the boxes show plain text.)
        const std::string odd = dir.file("%s %n %1 <b>bold &amp;.kvk");
        QString message;
        Qt::TextFormat format = Qt::AutoText;
        onNextModal<QFileDialog>([&](QFileDialog& dialog) {
            typeFileName(dialog, odd);
            answerNextMessageBox(QMessageBox::Ok, [&](QMessageBox& box) {
                message = box.text();
                format = box.textFormat();
            });
            static_cast<QDialog&>(dialog).accept();
        });
        window->OnFileOpen();
        QCOMPARE(message, QStringLiteral("Cannot open file ") + QString::fromStdString(odd) +
                              QStringLiteral("\nNo such file or directory."));
        QCOMPARE(format, Qt::PlainText);
    }
};

QTEST_MAIN(FaultsTest)
#include "FaultsTest.moc"
