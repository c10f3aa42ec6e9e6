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

/** The kind of document path is, as its extension says; for "-" as --format says ("kvw"
 * exactly makes a waveshape). */
[[nodiscard]] DocumentKind documentKindOf(const QString& path, const QString& format);

/** Writes bytes to path atomically, or to standard output for "-"; the exit status. */
int writeOutput(const QString& path, const std::string& bytes, bool force,
                std::ostream& standardOutput, QTextStream& err);

/** The mask --limits names; without one, the status to end with after telling why. */
[[nodiscard]] MaskChoice requestedMask(const CliRequest& request, QTextStream& err, int& status);

/** The commands, each from a usable request; each returns the exit status. */
int runShow(const CliRequest& request, const CliStreams& streams);
int runCheck(const CliRequest& request, const CliStreams& streams);
int runConvert(const CliRequest& request, const CliStreams& streams);
int runNew(const CliRequest& request, const CliStreams& streams);
int runSpectrum(const CliRequest& request, const CliStreams& streams);
int runPlot(const CliRequest& request, const CliStreams& streams);
int runAnalyze(const CliRequest& request, const CliStreams& streams);
/** analyse --all-windows: a long recording, window by window. */
int runRecording(const CliRequest& request, const CliStreams& streams);
