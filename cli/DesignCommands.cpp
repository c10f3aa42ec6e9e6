#include "Commands.h"

#include <QTextStream>

#include <cmath>
#include <csignal>
#include <functional>
#include <optional>

#include "CliApp.h"
#include "CliOptions.h"
#include "DesignInput.h"
#include "DesignReport.h"
#include "ExitStatus.h"
#include "FileNames.h"
#include "LongJob.h"
#include "MaskReport.h"
#include "Outputs.h"
#include "PictureDrawing.h"
#include "WavWriter.h"
#include "design/Design.h"
#include "design/Presets.h"
#include "engine/ChartAxes.h"
#include "engine/Recalculate.h"
#include "engine/TimeSynthesis.h"
#include "files/CoefficientFile.h"
#include "files/DocumentWriter.h"
#include "files/InstrumentExport.h"
#include "files/MaskFile.h"
#include "numbers/NumberText.h"

namespace {

QString rangeError(const HarmonicOption& option, const char* what, const QString& low,
                   const QString& high)
{
    return QStringLiteral("--harmonic %1: the %2 must be from %3 to %4")
        .arg(option.text, QLatin1String(what), low, high);
}

QString generalText(double value)
{
    return QString::fromStdString(formatGeneral(value));
}

/** The design's refusal of a --harmonic option, in the tool's words. */
QString refusalText(const HarmonicOption& option, const EntryRefusal& refusal)
{
    if (refusal.present) {
        return QStringLiteral("--harmonic %1: harmonic %2 is already specified")
            .arg(option.text,
                 QString::fromStdString(formatFixed(static_cast<double>(option.number), 2)));
    }
    const char* what = refusal.field == EntryField::Magnitude ? "magnitude"
                       : refusal.field == EntryField::Phase   ? "phase"
                                                              : "number";
    return rangeError(option, what, generalText(refusal.minimum), generalText(refusal.maximum));
}

/**
 * new's design: the preset's form and the settings options, then the preset (or the
 * fundamental alone when neither --preset nor --harmonic is given), then each --harmonic
 * through Design::add within the Add dialog's ranges. False with the reason in reason
 * when an entry is out of range or its number is present already.
 */
bool buildNewDesign(const CliRequest& request, Design& design, QString& reason)
{
    design.start();
    WaveSettings settings = presetForm(design.active());
    request.overrides.applyTo(settings);
    design.setActive(settings);  // first, so the slot limit is that of the ppc asked for
    if (request.preset) {
        putPreset(design, *request.preset, request.order);
    } else if (!request.harmonics.empty()) {
        design.clearTable();
    }
    for (const HarmonicOption& h : request.harmonics) {
        if (const EntryCheck added = design.add(h.number, h.magnitude, h.phase); !added) {
            reason = refusalText(h, *added.refusal);
            return false;
        }
    }
    return true;
}

/** "bin,harmonic,percent,phase_degrees" and one line per bin of the last recalculation. */
std::string spectrumCsv(const Design& design)
{
    const RecalcResult& result = design.result();
    const double* bins = design.samples().data();
    const double fftCycles = design.active().fftCycles;
    std::string text = "bin,harmonic,percent,phase_degrees\n";
    for (std::size_t k = 0; k < result.spectrum.size(); ++k) {
        const double percent = result.spectrum[k];
        // Below the noise line the phase is that of numerical noise: left at 0.
        const double phase = percent > 0.0 ? binPhaseDegrees(bins, static_cast<int>(k)) : 0.0;
        text += formatInt(static_cast<int>(k));
        text += ',';
        text += formatGeneral(static_cast<double>(k) / fftCycles);
        text += ',';
        appendFixed(text, percent, 0, 6);
        text += ',';
        appendFixed(text, phase == 0.0 ? 0.0 : phase, 0, 2);  // no "-0.00"
        text += '\n';
    }
    return text;
}

/**
 * Writes the design's WAV to path ("-": out): --rate and --seconds, or without --rate the
 * displayed samples at ppc x the fundamental. Returns the exit status; a failure, or a
 * warning when samples exceed full scale, goes to err as one line. SIGINT or SIGTERM stops
 * it cleanly (no file left, one line, the status 128 + the signal's number).
 */
int writeWavOutput(const CliRequest& request, const Design& design, const QString& path,
                   std::ostream& out, QTextStream& err)
{
    const WaveSettings& active = design.active();
    const std::vector<double>& displayed = design.result().waveform;
    const SynthesisForm form = synthesisFormOf(active);
    const bool standard = path == kStandardStream;
    const std::string refusal =
        standard ? std::string() : replaceRefusal(fileNameBytes(path), request.force);
    if (!refusal.empty()) {
        printCannotWrite(err, path, argumentFromBytes(refusal));
        return kFileError;
    }
    WavRequest wav;
    wav.encoding = request.wav.encoding;
    wav.normalize = request.wav.normalize;
    std::optional<TimeSynthesizer> synthesizer;
    if (request.wav.rate) {
        wav.rate = *request.wav.rate;
        wav.frames = std::max<std::int64_t>(
            1, std::llround(request.wav.seconds.value_or(kDefaultWavSeconds) * *request.wav.rate));
        synthesizer.emplace(design.table().entries(), form, request.fundamentalHz, wav.rate);
        wav.source = [&synthesizer](std::int64_t first, std::span<double> block) {
            synthesizer->fill(first, block);
        };
    } else {
        wav.rate =
            static_cast<int>(std::lround(static_cast<double>(active.ppc) * request.fundamentalHz));
        wav.frames = static_cast<std::int64_t>(displayed.size());
        wav.source = [&displayed](std::int64_t first, std::span<double> block) {
            std::copy_n(displayed.begin() + first, block.size(), block.begin());
        };
    }
    WavResult result;
    {
        // Its percentage is gone from the terminal before anything is said about it.
        LongJob job(QStringLiteral("korvalin-cli: writing ") +
                        (standard ? QStringLiteral("standard output") : printableName(path)),
                    err);
        wav.progress = [&job](std::int64_t done, std::int64_t total) {
            return job.advance(done, total);
        };
        result = standard ? writeWav(wav, streamSink(out)) : writeWavFile(wav, fileNameBytes(path));
    }
    if (result.stopped) {
        const int signal = LongJob::stopSignal();
        printMessage(
            err, LongJob::stoppedText() +
                     (standard ? QStringLiteral("; standard output has an incomplete WAV")
                               : QStringLiteral("; ") + path + QStringLiteral(" was not written")));
        return kStoppedBase + signal;
    }
    if (!result.levels) {
        printCannotWrite(err, path, QString::fromStdString(result.error));
        return kFileError;
    }
    if (result.levels->clipped > 0) {
        printMessage(
            err, QStringLiteral("warning: %1: the peak, %2 %, exceeds full scale; %3 of %4 "
                                "samples are beyond it (--normalize scales the peak to "
                                "full scale)")
                     .arg(path, QString::fromStdString(formatFixed(result.levels->peak, 2)),
                          QString::number(result.levels->clipped), QString::number(wav.frames)));
    }
    return kDone;
}

/** The bytes the output gets, chosen by its kind (not a WAV, which is written in blocks). */
std::string outputBytes(const CliRequest& request, const LoadedDesign& loaded)
{
    const Design& design = loaded.design;
    const QString outPath = outputOf(request);
    if (outputFormat(request) == QLatin1String("csv")) {
        return settingsCommentText(design.active()) + samplesCsv(loaded.result().waveform);
    }
    // Everything else as Save As would write it.
    return documentText(documentKindOf(outPath, request.format), design.active(), design.table());
}

/** One input's check against the mask, as text or a JSON line; 3 when it does not pass. */
int reportCheck(const CliRequest& request, const LimitMask& mask, const QString& inPath,
                const LoadedDesign& design, bool first, QTextStream& out)
{
    const MaskCheck check =
        design.design.checkAgainst(mask, request.measure, request.fundamentalHz);
    if (request.json) {
        std::string text = "{";
        appendFileJson(text, inPath);
        text += ',';
        appendMaskCheckJson(text, check);
        out << argumentFromBytes(text + "}\n");
    } else {
        out << (first ? "" : "\n") << "File:      " << printableName(inPath) << " ("
            << design.kindName << ")\n"
            << argumentFromBytes(checkReport(check));
    }
    return check.passed() ? kDone : kLimitExceeded;
}

/**
 * Runs write once the text stream's lines are out (they come before any bytes on standard
 * output); a lack of memory while writing is a write error, and nothing was written then:
 * saves replace only at their end.
 */
int writeGuarded(const CliRequest& request, const CliStreams& streams,
                 const std::function<int()>& write)
{
    streams.out.flush();
    try {
        return write();
    } catch (const std::bad_alloc&) {
        printCannotWrite(streams.err, outputOf(request), QLatin1String(kNoMemoryToWrite));
        return kFileError;
    }
}

/** Writes a document's bytes to OUT, unless they are more than the readers take. */
int writeDocument(const CliRequest& request, const std::string& bytes, const CliStreams& streams)
{
    const QString outPath = outputOf(request);
    if (const std::string refusal = documentSizeRefusal(bytes.size()); !refusal.empty()) {
        printCannotWrite(streams.err, outPath, argumentFromBytes(refusal));
        return kFileError;
    }
    return writeOutput(outPath, bytes, request.force, streams.standardOutput, streams.err);
}

/** --points' waveform (laid out by OUT's extension) or --table's harmonic table to OUT. */
int writeExport(const CliRequest& request, const Design& design, QTextStream& err)
{
    const QString outPath = outputOf(request);
    if (request.waveform && !request.force) {
        if (const std::string aliased = design.aliasingRefusal(request.waveform->points);
            !aliased.empty()) {
            printMessage(err, QStringLiteral("cannot write %1: %2 --force writes it all the same.")
                                  .arg(outPath, argumentFromBytes(aliased)));
            return kFileError;
        }
    }
    const SaveResult saved =
        saveOutput(fileNameBytes(outPath), request.force, [&](const std::string& path) {
            if (!request.waveform) {
                return design.exportTable(path, *request.table);
            }
            WaveformExport waveform = *request.waveform;
            waveform.layout =
                outputFormat(request) == u"txt" ? SampleLayout::Text : SampleLayout::Csv;
            return design.exportWaveform(path, waveform);
        });
    if (!saved.ok()) {
        printCannotWrite(err, outPath, argumentFromBytes(saved.error));
        return kFileError;
    }
    return kDone;
}

/** convert's and new's output: an export, a WAV, or the design as OUT's kind says. */
int writeDesign(const CliRequest& request, const LoadedDesign& loaded, const CliStreams& streams)
{
    if (request.waveform || request.table) {
        return writeExport(request, loaded.design, streams.err);
    }
    if (outputFormat(request) == QLatin1String("wav")) {
        return writeWavOutput(request, loaded.design, outputOf(request), streams.standardOutput,
                              streams.err);
    }
    return writeDocument(request, outputBytes(request, loaded), streams);
}

/** The charts of loaded as a picture of OUT's kind; none with the status after telling why. */
std::optional<std::string> plotPicture(const CliRequest& request, const LoadedDesign& loaded,
                                       QTextStream& err, int& status)
{
    const WaveSettings& active = loaded.design.active();
    std::vector<LimitLine> limits;
    if (!request.limits.isEmpty()) {
        const MaskChoice choice = requestedMask(request, err, status);
        if (!choice.mask) {
            return std::nullopt;
        }
        limits =
            limitLines(loaded.design.checkAgainst(*choice.mask, request.measure), active.fftCycles);
    }
    const QString middle = argumentFromBytes(pictureCaption(active, loaded.result().texts));
    const QString outPath = outputOf(request);
    // The picture's kind by the name chartPicture is given: "-" goes by --format.
    const QString kindName =
        outPath == kStandardStream ? QStringLiteral("-.") + request.format : outPath;
    QString error;
    const PictureDrawing* drawing = pictureDrawing(error);
    std::optional<std::string> picture;
    if (drawing) {
        picture = drawing->charts(loaded.result(), chartAxesFor(active), middle,
                                  QSize(request.width, request.height), kindName, limits, error);
    }
    if (!picture) {
        printCannotWrite(err, outPath, error);
        status = kFileError;
    }
    return picture;
}

/** plot's picture to OUT; pictures are not read back, so no document size applies. */
int writePlot(const CliRequest& request, const LoadedDesign& loaded, const CliStreams& streams)
{
    int status = kDone;
    const std::optional<std::string> picture = plotPicture(request, loaded, streams.err, status);
    if (!picture) {
        return status;
    }
    const QString outPath = outputOf(request);
    status = writeOutput(outPath, *picture, request.force, streams.standardOutput, streams.err);
    if (status == kDone && outPath != kStandardStream) {
        printMessage(streams.out, QStringLiteral("charts written to ") + outPath);
    }
    return status;
}

}  // namespace

/** show: each input's settings, rows and figures. */
int runShow(const CliRequest& request, const CliStreams& streams)
{
    return forEachInput(request, streams,
                        [&](const QString& inPath, const LoadedDesign& design, bool first) {
                            if (request.json) {
                                printJson(inPath, design, streams.out);
                            } else {
                                streams.out << (first ? "" : "\n");
                                printText(inPath, design, streams.out);
                            }
                            return kDone;
                        });
}

/** check: each input against the mask; 3 when any limit is exceeded or unresolved. */
int runCheck(const CliRequest& request, const CliStreams& streams)
{
    if (request.listMasks) {
        streams.out << argumentFromBytes(builtInMasksText());
        return kDone;
    }
    int status = kDone;
    const MaskChoice choice = requestedMask(request, streams.err, status);
    if (!choice.mask) {
        return status;
    }
    return forEachInput(
        request, streams, [&](const QString& inPath, const LoadedDesign& design, bool first) {
            return reportCheck(request, *choice.mask, inPath, design, first, streams.out);
        });
}

/** convert: IN written as OUT's kind says. */
int runConvert(const CliRequest& request, const CliStreams& streams)
{
    const auto loaded = loadSingle(request, streams);
    if (!loaded) {
        return kFileError;
    }
    return writeGuarded(request, streams, [&] { return writeDesign(request, *loaded, streams); });
}

/** new: a design from the options, written as convert writes it. */
int runNew(const CliRequest& request, const CliStreams& streams)
{
    auto loaded = std::make_unique<LoadedDesign>();
    QString reason;
    if (!buildNewDesign(request, loaded->design, reason)) {
        return usageError(reason, streams.err);
    }
    loaded->design.recalculate(true);
    return writeGuarded(request, streams, [&] { return writeDesign(request, *loaded, streams); });
}

/** spectrum: IN's bins as CSV. */
int runSpectrum(const CliRequest& request, const CliStreams& streams)
{
    const auto loaded = loadSingle(request, streams);
    if (!loaded) {
        return kFileError;
    }
    return writeGuarded(request, streams, [&] {
        return writeDocument(request, spectrumCsv(loaded->design), streams);
    });
}

/** plot: IN's charts as a picture. */
int runPlot(const CliRequest& request, const CliStreams& streams)
{
    const auto loaded = loadSingle(request, streams);
    if (!loaded) {
        return kFileError;
    }
    return writeGuarded(request, streams, [&] { return writePlot(request, *loaded, streams); });
}
