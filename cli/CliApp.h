#pragma once

#include <QStringList>

class QTextStream;

/** Runs korvalin-cli on arguments (program name first); returns the exit status. */
int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err);
