#include "app/MainApp.h"

#include "gui/ui/UiTestSupport.h"

class MainAppTest : public QObject {
    Q_OBJECT

private slots:
    void startsWithTheFileOfTheCommandLine()
    {
        TempDir dir;
        writeWholeFile(dir.file("test.kvk"), "2 50 -90\n");
        const QString home = QDir::currentPath();
        // Names are relative to where korvalin was started.
        QDir::setCurrent(QString::fromStdString(dir.path().string()));
        QStringList seen;
        for (const QString& arguments : {u"korvalin test.kvk"_s, u"korvalin missing.kvk"_s}) {
            TempSettings settings;
            settings.store().writeInt("Optimized", 1);
            MainWindow window(settings.store(), noPause, PlanRigor::Estimate);
            const auto start = [&] {
                startMainWindow(window, fileFromCommandLine(arguments.split(u' ')));
            };
            // Of a message, its first line: the system's reason follows on the next.
            seen << drive(start, {u"Ok"_s}).join(u' ').section(u'\n', 0, 0);
            QVERIFY(window.isVisible());
            seen << window.windowHandle()->title();  // as shown, the modified marker handled
        }
        QCOMPARE(seen, (QStringList{QString(), u"Quandrel - Korvalin [test.kvk]"_s,
                                    u"Korvalin|Cannot open file "_s + QDir::currentPath() +
                                        u"/missing.kvk"_s,
                                    u"Quandrel - Korvalin"_s}));
        QDir::setCurrent(home);
    }
};

QTEST_MAIN(MainAppTest)
#include "MainAppTest.moc"
