#include <QApplication>
#include <QTextStream>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "CliApp.h"

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

}  // namespace

int main(int argc, char** argv)
{
    // Never a window: the charts are drawn off screen, display or not.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ensureRuntimeDirectory();
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return runCli(QApplication::arguments(), out, err);
}
