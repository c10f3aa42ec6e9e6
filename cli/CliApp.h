#pragma once

#include <QStringList>

#include <iosfwd>
#include <string>

#include "engine/LimitTables.h"
#include "files/DocumentReader.h"

class QTextStream;
struct CliRequest;

/** The text streams a command prints to and the byte streams "-" stands for. */
struct CliStreams {
    QTextStream& out;
    QTextStream& err;
    std::istream& standardInput;
    std::ostream& standardOutput;
};

/** Runs korvalin-cli on arguments (program name first); returns the exit status. */
int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err);

/**
 * The same, with the byte streams that "-" reads and writes (files and pictures are bytes;
 * out and err carry text).
 */
int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err,
           std::istream& standardInput, std::ostream& standardOutput);

/** Tells a usage mistake and where help is; the usage status. */
int usageError(const QString& reason, QTextStream& err);

/** The kind of document path is, as its extension says; for "-" as --format says ("kvw"
 * exactly makes a waveshape). */
[[nodiscard]] DocumentKind documentKindOf(const QString& path, const QString& format);

/** "cannot write NAME: REASON" (no reason: the name alone) as one message; "-" is standard
 * output. */
void printCannotWrite(QTextStream& err, const QString& path, const QString& reason);

/** Writes bytes to path atomically, or to standard output for "-"; the exit status. */
int writeOutput(const QString& path, const std::string& bytes, bool force,
                std::ostream& standardOutput, QTextStream& err);

/** The mask --limits names; without one, the status to end with after telling why. */
[[nodiscard]] MaskChoice requestedMask(const CliRequest& request, QTextStream& err, int& status);
