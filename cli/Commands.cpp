#include "Commands.h"

#include <cmath>
#include <csignal>
#include <istream>
#include <optional>

#include "CliOptions.h"
#include "ExitStatus.h"
#include "FileNames.h"
#include "LongJob.h"
#include "Outputs.h"
#include "design/Design.h"
#include "design/Presets.h"
#include "engine/Recalculate.h"
#include "engine/TimeSynthesis.h"
#include "files/CoefficientFile.h"
#include "files/DocumentWriter.h"
#include "files/InputFile.h"
#include "numbers/Arithmetic.h"
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

}  // namespace

bool buildNewDesign(const CliRequest& request, Design& design, QString& usageError)
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
            usageError = refusalText(h, *added.refusal);
            return false;
        }
    }
    return true;
}

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

bool readStream(std::istream& in, std::string& text, std::string& error)
{
    error = readStreamChunks(in, [&text](std::string_view bytes) { text.append(bytes); }).failure();
    return error.empty();
}

int writeWavOutput(const CliRequest& request, const Design& design, const QString& path,
                   std::ostream& out, QTextStream& err)
{
    const WaveSettings& active = design.active();
    const std::vector<double>& displayed = design.result().waveform;
    const SynthesisForm form = synthesisFormOf(active);
    const bool standard = path == kStandardStream;
    const QString name = standard ? QStringLiteral("standard output") : printableName(path);
    const std::string refusal =
        standard ? std::string() : replaceRefusal(fileNameBytes(path), request.force);
    if (!refusal.empty()) {
        err << "korvalin-cli: cannot write " << name << ": " << refusal.c_str() << '\n';
        return 1;
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
        LongJob job(QStringLiteral("korvalin-cli: writing ") + name, err);
        wav.progress = [&job](std::int64_t done, std::int64_t total) {
            return job.advance(done, total);
        };
        result = standard ? writeWav(wav, streamSink(out)) : writeWavFile(wav, fileNameBytes(path));
    }
    if (result.stopped) {
        const int signal = LongJob::stopSignal();
        err << "korvalin-cli: stopped by " << (signal == SIGTERM ? "SIGTERM" : "SIGINT") << "; "
            << name << (standard ? " has an incomplete WAV\n" : " was not written\n");
        return kStoppedBase + signal;
    }
    if (!result.levels) {
        err << "korvalin-cli: cannot write " << name
            << (result.error.empty() ? QString()
                                     : QStringLiteral(": ") + QString::fromStdString(result.error))
            << '\n';
        return 1;
    }
    if (result.levels->clipped > 0) {
        err << "korvalin-cli: warning: " << printableName(path) << ": the peak, "
            << QString::fromStdString(formatFixed(result.levels->peak, 2))
            << " %, exceeds full scale; " << result.levels->clipped << " of " << wav.frames
            << " samples are beyond it (--normalize scales the peak to full scale)\n";
    }
    return 0;
}
