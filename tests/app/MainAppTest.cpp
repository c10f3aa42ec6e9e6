#include "app/MainApp.h"

#include <QDir>
#include <QTest>

#include "ui/UiTestSupport.h"

class MainAppTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void cleanup() { cancelModalWatchers(); }

    void startsWithTheFileOfTheCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("unreadable");  // the file the message names
        const QString fundamentalTitle = QStringLiteral("Quandrel - Korvalin");
        const QStringList fundamental = texts({"1.00|100.00|0"});
        QTest::newRow("none") << texts({"korvalin"}) << fundamentalTitle << fundamental
                              << QString();
        QTest::newRow("readable") << texts({"korvalin", "test.kvk"})
                                  << QStringLiteral("Quandrel - Korvalin [test.kvk]")
                                  << texts({"2.00|50.00|-90", "3.00|33.33|0"}) << QString();
        QTest::newRow("missing") << texts({"korvalin", "missing.kvk"}) << fundamentalTitle
                                 << fundamental << QStringLiteral("missing.kvk");
    }

    void startsWithTheFileOfTheCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, title);
        QFETCH(QStringList, rows);
        QFETCH(QString, unreadable);
        TempDir dir;
        writeWholeFile(dir.file("test.kvk"), ":1 12 1 1 128.000000\n2 50 -90\n3 33.33 0\n");
        const QString home = QDir::currentPath();
        // Names are relative to where korvalin was started.
        QDir::setCurrent(QString::fromStdString(dir.path().string()));
        const QString folder = QDir::currentPath();
        const auto settings = optimisedSettings();
        MainDialog window(settings->store(), noPause);
        QString shown;
        answerNextMessageBox(QMessageBox::Ok, [&shown](QMessageBox& box) { shown = box.text(); });
        startMainWindow(window, fileFromCommandLine(arguments));
        QDir::setCurrent(home);
        QCOMPARE(window.windowTitle(), title);
        QCOMPARE(rowTexts(window), rows);
        // The message's first line; the system's reason follows on the next.
        QCOMPARE(shown.section(u'\n', 0, 0),
                 unreadable.isEmpty()
                     ? QString()
                     : QStringLiteral("Cannot open file ") + folder + u'/' + unreadable);
    }
};

QTEST_MAIN(MainAppTest)
#include "MainAppTest.moc"
