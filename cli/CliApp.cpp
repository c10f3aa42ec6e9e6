#include "CliApp.h"

#include <QTextStream>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "CliOptions.h"
#include "Commands.h"
#include "ExitStatus.h"
#include "FileNames.h"
#include "Outputs.h"
#include "files/MaskFile.h"
#include "files/SameFile.h"

namespace {

/** The system's reason for the last failed call, as a sentence. */
QString systemReason()
{
    return QString::fromLocal8Bit(std::strerror(errno)) + u'.';
}

/** Carries out one command; returns the exit status. */
using CommandRunner = int (*)(const CliRequest& request, const CliStreams& streams);

/** The runner of each command the parser knows. */
CommandRunner runnerOf(const QString& command)
{
    static const std::pair<const char*, CommandRunner> kRunners[] = {
        {"show", runShow},         {"check", runCheck}, {"convert", runConvert}, {"new", runNew},
        {"spectrum", runSpectrum}, {"plot", runPlot},   {"analyse", runAnalyze}};
    for (const auto& [name, runner] : kRunners) {
        if (command == QLatin1String(name)) {
            return runner;
        }
    }
    return nullptr;
}

/** Every file the command reads, as bytes: its inputs, a mask file, a design compared with. */
std::vector<std::string> inputFileNames(const CliRequest& request)
{
    QStringList names = inputsOf(request);
    if (!namesBuiltInMask(fileNameBytes(request.limits))) {
        names << request.limits;
    }
    names << request.analyze.compare;
    std::vector<std::string> files;
    for (const QString& name : names) {
        if (!name.isEmpty() && name != kStandardStream) {
            files.push_back(fileNameBytes(name));
        }
    }
    return files;
}

int runCommand(const QStringList& arguments, const CliStreams& streams)
{
    const CliRequest request = parseCommandLine(arguments);
    if (!request.usageError.isEmpty()) {
        return usageError(request.usageError, streams.err);
    }
    if (request.help) {
        streams.out << helpText(request.command);
        return kDone;
    }
    if (request.version) {
        streams.out << "korvalin-cli " << KORVALIN_VERSION << '\n';
        return kDone;
    }
    if (const QString output = outputOf(request); !output.isEmpty() && output != kStandardStream) {
        const std::string refusal = sameFileRefusal(fileNameBytes(output), inputFileNames(request));
        if (!refusal.empty()) {
            printCannotWrite(streams.err, output, argumentFromBytes(refusal));
            return kFileError;
        }
    }
    return runnerOf(request.command)(request, streams);
}

}  // namespace

int usageError(const QString& reason, QTextStream& err)
{
    printMessage(err, reason + QStringLiteral(" (see 'korvalin-cli --help')"));
    return kUsageError;
}

MaskChoice requestedMask(const CliRequest& request, QTextStream& err, int& status)
{
    const std::string limits = fileNameBytes(request.limits);
    MaskChoice choice = chooseMask(limits, request.maskParameters);
    if (choice.mask) {
        // A mask file is titled by its name, which may hold any bytes.
        choice.mask->title = printableName(argumentFromBytes(choice.mask->title)).toStdString();
    } else if (namesBuiltInMask(limits) || request.maskParameters != MaskParameters{}) {
        status = usageError(argumentFromBytes(choice.error), err);
    } else {
        printMessage(err, QStringLiteral("cannot read mask %1: %2")
                              .arg(request.limits, argumentFromBytes(choice.error)));
        status = kFileError;
    }
    return choice;
}

DocumentKind documentKindOf(const QString& path, const QString& format)
{
    if (path == kStandardStream) {
        return format == QLatin1String("kvw") ? DocumentKind::Waveshape
                                              : DocumentKind::Coefficients;
    }
    return documentKindFor(fileNameBytes(path));
}

void printCannotWrite(QTextStream& err, const QString& path, const QString& reason)
{
    const QString name = path == kStandardStream ? QStringLiteral("standard output") : path;
    printMessage(err, QStringLiteral("cannot write ") + name +
                          (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason));
}

int writeOutput(const QString& path, const std::string& bytes, bool force,
                std::ostream& standardOutput, QTextStream& err)
{
    if (path == kStandardStream) {
        if (!standardOutput.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) ||
            !standardOutput.flush()) {
            printCannotWrite(err, path, systemReason());
            return kFileError;
        }
        return kDone;
    }
    const SaveResult saved = saveOutput(fileNameBytes(path), bytes, force);
    if (!saved.ok()) {
        printCannotWrite(err, path, argumentFromBytes(saved.error));
        return kFileError;
    }
    return kDone;
}

int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    return runCli(arguments, out, err, std::cin, std::cout);
}

int runCli(const QStringList& arguments, QTextStream& out, QTextStream& err,
           std::istream& standardInput, std::ostream& standardOutput)
{
    try {
        return runCommand(arguments, {out, err, standardInput, standardOutput});
    } catch (const std::bad_alloc&) {
        printMessage(err, QStringLiteral("not enough memory to finish"));
        return kFileError;
    }
}
