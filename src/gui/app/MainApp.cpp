#include "app/MainApp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "files/SaveSignals.h"
#include "settings/SettingsStore.h"
#include "ui/MainWindow.h"
#include "ui/Pause.h"

namespace {

void setIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Quandrel"));
    // The executable's name: it opens --version and error lines, and is the X11 window class.
    QCoreApplication::setApplicationName(QStringLiteral("korvalin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVALIN_VERSION));
}

/**
 * Whether the command line asks for help or the version. Those are answered without a
 * window system, so that they work with no display (help2man runs them at build time).
 */
bool asksForTextOnly(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") {
            return false;
        }
        for (const std::string_view option : {"-h", "--help", "--help-all", "-v", "--version"}) {
            if (argument == option) {
                return true;
            }
        }
    }
    return false;
}

bool isSet(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

/**
 * Whether Qt can find a window system: one that is named, or an X11 or Wayland display.
 * Without one Qt aborts with advice to reinstall, which misleads.
 */
bool hasDisplay()
{
    return isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

}  // namespace

QString fileFromCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Designs periodic test waveforms from their harmonic content: a table of harmonics\n"
        "is synthesised, analysed with an FFT and measured as five distortion figures."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("FILE"),
        QStringLiteral("A coefficient (.kvk) or waveshape (.kvw) file to open at start-up."),
        QStringLiteral("[FILE]"));
    parser.process(arguments);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        std::fputs(qPrintable(QCoreApplication::applicationName() +
                              QStringLiteral(": one file at most\n")),
                   stderr);
        std::exit(EXIT_FAILURE);
    }
    // Absolute, as the Open dialog gives it: the failure message names the full path.
    return files.isEmpty() ? QString() : QFileInfo(files.front()).absoluteFilePath();
}

void startMainWindow(MainWindow& window, const QString& file)
{
    window.initialize();
    window.show();
    if (!file.isEmpty()) {
        window.openFile(file);
    }
}

int runKorvalin(int argc, char** argv)
{
    setIdentity();
    if (asksForTextOnly(argc, argv)) {
        const QCoreApplication app(argc, argv);
        (void)fileFromCommandLine(QCoreApplication::arguments());  // prints and exits
        return EXIT_SUCCESS;
    }
    if (!hasDisplay()) {
        std::fputs(
            "korvalin: no display (neither DISPLAY nor WAYLAND_DISPLAY is set): start it "
            "in a desktop session, or use korvalin-cli to work without a window\n",
            stderr);
        return EXIT_FAILURE;
    }
    QApplication app(argc, argv);
    prepareProcessForSaves();
    // The desktop matches windows to their entry by this name (the Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral(KORVALIN_APP_ID));
    const QString file = fileFromCommandLine(QApplication::arguments());
    const auto store = QtSettingsStore::forUser();
    MainWindow window(*store, waitPaintingOnly, Design::planRigorFor(*store));
    startMainWindow(window, file);
    QApplication::exec();
    return EXIT_SUCCESS;
}
