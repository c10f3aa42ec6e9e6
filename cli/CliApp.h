#pragma once

#include <QStringList>

#include <iosfwd>

class QTextStream;

/** Runs korvalin-cli on arguments (program name first); returns the exit status. */
int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err);

/**
 * The same, with the byte streams that "-" reads and writes (files and pictures are bytes;
 * out and err carry text).
 */
int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err,
           std::istream& standardInput, std::ostream& standardOutput);
