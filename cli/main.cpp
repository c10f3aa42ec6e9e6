#include <QCoreApplication>
#include <QIODevice>
#include <QTextStream>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "CliApp.h"
#include "FileNames.h"
#include "PictureDrawing.h"
#include "files/SaveSignals.h"

namespace {

/** A private runtime folder when the session has none, as Qt would make (without its warning). */
void ensureRuntimeDirectory()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        return;
    }
    const std::string folder = "/tmp/runtime-" + std::to_string(getuid());
    mkdir(folder.c_str(), 0700);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(folder));
}

/** Pushes out what is left for standard output; the system's reason when it did not arrive. */
std::optional<QString> finishStandardOutput(QTextStream& out)
{
    out.flush();
    if (out.status() != QTextStream::Ok) {
        return (out.device() ? out.device()->errorString() : QStringLiteral("write error")) + u'.';
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        return QString::fromLocal8Bit(std::strerror(errno)) + u'.';
    }
    return std::nullopt;
}

/**
 * Whether the command line may draw a picture: plot, or an output named .png, .svg or .pdf
 * (a trend), or --format for one. Only then is the drawing library loaded and widgets and
 * fonts set up; everything else starts without them.
 */
bool mayDraw(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]).toLower();
        for (const char* picture : {".png", ".svg", ".pdf"}) {
            if (argument.endsWith(QLatin1String(picture)) ||
                argument == QLatin1String(picture + 1)) {
                return true;
            }
        }
        if (argument == QLatin1String("plot")) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    // Never a window: the charts are drawn off screen, display or not.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ensureRuntimeDirectory();
    // A reader that went away is a write error like any other, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    prepareProcessForSaves();
    std::unique_ptr<QCoreApplication> app;
    // Without the library the command says so where it would draw.
    QString whyNotLoaded;
    const PictureDrawing* drawing = mayDraw(argc, argv) ? pictureDrawing(whyNotLoaded) : nullptr;
    app = drawing ? drawing->makeApplication(argc, argv)
                  : std::make_unique<QCoreApplication>(argc, argv);
    // The arguments as given, byte for byte (the application has taken out its own options).
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << argumentFromBytes(argv[i]);
    }
    QTextStream out(stdout);
    QTextStream err(stderr);
    int status = runCli(arguments, out, err);
    // A failure of the bytes for "-" was told where it happened, with the reason it had.
    if (!std::cout.good()) {
        return status;
    }
    if (const auto failure = finishStandardOutput(out)) {
        printMessage(err, QStringLiteral("cannot write standard output: ") + *failure);
        status = 1;
    }
    return status;
}
