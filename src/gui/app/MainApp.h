#pragma once

#include <QString>
#include <QStringList>

class MainWindow;

/**
 * The file that korvalin's command line names, as an absolute path, or an empty text.
 * Help, version and usage errors are printed and end the process, as QCommandLineParser does.
 */
[[nodiscard]] QString fileFromCommandLine(const QStringList& arguments);

/** Start-up up to the first recalculation, the window shown, then file opened as File > Open. */
void startMainWindow(MainWindow& window, const QString& file);

/** Runs Korvalin: the main window until it closes, then settings and wisdom are stored. */
int runKorvalin(int argc, char** argv);
