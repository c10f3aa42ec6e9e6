#include "CliOptions.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

#include "design/Design.h"
#include "design/EntryLimits.h"
#include "engine/CaptureAnalysis.h"
#include "engine/DesignComparison.h"
#include "engine/HarmonicGroups.h"
#include "engine/LimitCheck.h"
#include "files/ScanNumbers.h"
#include "recording/Quantities.h"

using namespace Qt::StringLiterals;

void SettingOverrides::applyTo(WaveSettings& settings) const
{
    if (ppc) {
        settings.ppc = *ppc;
    }
    if (displayCycles) {
        settings.displayCycles = *displayCycles;
    }
    if (fftCycles) {
        settings.fftCycles = *fftCycles;
    }
    if (cosine) {
        settings.basis = basisFromFlag(*cosine);
    }
    if (phaseReference) {
        settings.phaseReference = referenceFromFlag(*phaseReference);
    }
}

namespace {

/** A command's own rule on its request beyond its options' values: the error text, or empty. */
using CommandCheck = QString (*)(const CliRequest& request);

struct CommandSpec {
    const char* name;
    int minFiles;           ///< positional files after the command
    int maxFiles;           ///< -1: any number
    int outputIndex;        ///< which file is written (--force may replace it); -1: none
    const char* arguments;  ///< for the usage line
    const char* brief;      ///< a few words for the command list
    const char* summary;
    /** What OUT may be, by --format for "-" and by extension; one format: always that one. */
    QStringList writes;
    bool anyExtension;  ///< an OUT of another extension is a coefficient file
    CommandCheck check = nullptr;
    bool outputOption = false;  ///< OUT is -o's value (analyse), not a positional file
};

QString checkNeedsMask(const CliRequest& request);
QString checkExport(const CliRequest& request);
QString checkAnalyze(const CliRequest& request);

/** The formats a command reads or writes, for a file's extension or --format. */
const QStringList kReadFormats = {u"kvk"_s, u"kvw"_s, u"csv"_s};
const QStringList kDesignFormats = kReadFormats + QStringList{u"wav"_s};
const QStringList kSpectrumFormats = {u"csv"_s};
const QStringList kPictureFormats = {u"png"_s, u"svg"_s, u"pdf"_s};
const QStringList kAnalyzedFormats = {u"kvk"_s, u"kvw"_s};
/** What analyse --all-windows writes to -o: the trend. */
const QStringList kTrendFormats = {u"csv"_s, u"png"_s, u"svg"_s, u"pdf"_s};

/** Where the help texts of the options start. */
constexpr int kHelpColumn = 28;
/** The command column's width: after two spaces either side, the brief texts line up with
 * the option texts. */
constexpr int kCommandColumn = kHelpColumn - 4;

/** The commands in the order help lists them; the options they take are in optionTable(). */
const CommandSpec kCommands[] = {
    {"show", 1, -1, -1, "FILE...", "print the settings, harmonics and figures of each file",
     "Reads each FILE as File > Open does and prints its settings, harmonics, the five\n"
     "distortion figures and the waveform's peak, RMS and crest factor, one file after the\n"
     "other. With --json: one JSON object per file and line (JSON Lines), in argument order.",
     QStringList(), false},
    {"check", 1, -1, -1, "FILE...", "check each file against a power-quality limit mask",
     "Checks each FILE against the --limits mask, measured as IEC 61000-4-7 does (10 cycles\n"
     "of 50 Hz, 12 of 60 Hz, in harmonic and interharmonic subgroups; --measure display takes\n"
     "the FFT window as show analyses it), and names the measurement first. Per order: the\n"
     "level, the limit and the margin in the mask's unit (amperes also in %), the level in %\n"
     "of the limit and pass, over, disregarded (IEC 61000-3-2's small lines) or unresolved\n"
     "(above the last line; displayed, between FFT bins); then the THD (TDD) line, notes on\n"
     "interharmonic entries, DC and leakage, and one verdict line. With --json: one object a\n"
     "file with the measurement, every order (level, levelPercent, limit, margin, unit,\n"
     "status), the notes, the THD, whether it passed and the verdict. Exit status 3 when any\n"
     "limit is exceeded or unresolved, or the design has no fundamental.\n"
     "'check --list' prints the built-in masks with their parameters and tables.",
     QStringList(), false, checkNeedsMask},
    {"convert", 2, 2, 1, "IN OUT", "write a file in another format, a WAV among them",
     "Reads IN (.kvk, .kvw or a .csv of index,value lines) and writes OUT by its extension:\n"
     ".kvw waveshape, .csv displayed samples (after a ';' line of the settings), .wav mono\n"
     "samples (100 % is full scale), and any other extension (.kvk, .txt, .KVW, ...) a\n"
     "coefficient file, as Save As does. Without --rate a .wav holds the displayed samples\n"
     "at ppc x the fundamental frequency.",
     kDesignFormats, true, checkExport},
    {"new", 1, 1, 0, "OUT", "write a new design from a preset or listed harmonics",
     "Makes a design without an input file and writes it as convert writes OUT. Without\n"
     "--preset the --harmonic entries are the whole table; with neither option the design is\n"
     "the fundamental alone (1, 100 %, 0 degrees). Presets are cosine harmonics with\n"
     "harmonic phase reference unless options say otherwise.",
     kDesignFormats, true, checkExport},
    {"spectrum", 1, 2, 1, "IN [OUT.csv|-]", "list the spectrum bin by bin as CSV",
     "Writes one line per FFT bin of IN: bin,harmonic,percent,phase_degrees (harmonic = bin /\n"
     "FFT cycles, percent of the fundamental as charted), after a header line; to standard\n"
     "output without OUT.",
     kSpectrumFormats, false},
    {"plot", 2, 2, 1, "IN OUT", "draw the waveform and spectrum charts to a picture",
     "Renders the waveform and spectrum charts of IN to OUT (.png, .svg or .pdf); with\n"
     "--limits the mask over the spectrum, as the window draws it.",
     kPictureFormats, false},
    {"analyse", 1, 1, -1, "CAPTURE", "analyse a measured capture, compare it with a design",
     "Reads CAPTURE (.wav of any rate, integer or float samples; .csv or .txt of one value a\n"
     "line, or time,value lines evenly spaced), estimates the fundamental (--fundamental auto,\n"
     "the default, near --nominal) or takes --fundamental HZ, resamples a whole number of its\n"
     "cycles from the first steady window (or --start) to a power of two points per cycle\n"
     "and prints the lines in % of the fundamental with their phases and the figures; a line\n"
     "stronger than the fundamental is warned of. Exit status 3 when --compare finds a\n"
     "difference beyond --tolerance or a design order that the window cannot resolve.\n"
     "With --all-windows it streams a recording of any length and analyses every 10/12-cycle\n"
     "window at a tracked fundamental, flags dips, swells and interruptions, aggregates to\n"
     "150/180 cycles, 10 minutes and 2 hours, and prints the statistics (nearest-rank\n"
     "percentiles); --check judges them as the standard does (exit status 3 when it fails),\n"
     "--trend with -o writes a trend; a signal stops it with what was read (128 + signal).",
     kAnalyzedFormats, false, checkAnalyze, true},
};

const CommandSpec* findCommand(const QString& name)
{
    for (const CommandSpec& spec : kCommands) {
        if (name == QLatin1String(spec.name)) {
            return &spec;
        }
    }
    return nullptr;
}

/** check needs a mask, unless it lists them (and then reads no file). */
QString checkNeedsMask(const CliRequest& request)
{
    if (request.listMasks) {
        return request.files.isEmpty() ? QString() : u"check --list takes no FILE"_s;
    }
    if (request.limits.isEmpty()) {
        return u"check needs --limits NAME or --limits MASK.csv"_s;
    }
    return {};
}

/** The exports' rules beyond their options' values, and the files they write. */
QString checkExport(const CliRequest& request)
{
    if (request.waveform && request.table) {
        return u"--points and --table exclude each other"_s;
    }
    if (request.waveform && std::isnan(request.waveform->volts)) {
        return u"--scale volts needs --rms V or --peak V"_s;
    }
    const QString output = outputOf(request);
    const QString kind = QFileInfo(output).suffix().toLower();
    if (request.waveform && (output == kStandardStream || (kind != u"csv" && kind != u"txt"))) {
        return u"--points writes OUT.csv or OUT.txt, not '%1'"_s.arg(output);
    }
    if (request.table && (output == kStandardStream || kind != u"csv")) {
        return u"--table writes OUT.csv, not '%1'"_s.arg(output);
    }
    return {};
}

/** analyse reads a capture file; its tolerance and verdict rule belong to a comparison. */
/** What only --all-windows takes, and what concerns one window only. */
QString checkAllWindows(const CliRequest& request)
{
    const AnalyzeOptions& a = request.analyze;
    const std::pair<bool, const char*> onlyAll[] = {
        {a.aggregation.has_value(), "aggregate"},
        {!a.trend.isEmpty(), "trend"},
        {!a.check.isEmpty(), "check"},
        {a.nominalVoltage.has_value(), "nominal-voltage"},
        {a.startTime.has_value(), "start-time"},
        {a.csv, "csv"}};
    const std::pair<bool, const char*> oneWindow[] = {{!a.compare.isEmpty(), "compare"},
                                                      {a.tolerance.has_value(), "tolerance"},
                                                      {a.magnitudeOnly, "magnitude-only"},
                                                      {a.floor.has_value(), "floor"},
                                                      {a.groups, "groups"},
                                                      {a.start.has_value(), "start"},
                                                      {a.cycles.has_value(), "cycles"}};
    if (!a.allWindows) {
        for (const auto& [given, name] : onlyAll) {
            if (given) {
                return u"--%1 needs --all-windows"_s.arg(QLatin1String(name));
            }
        }
        return a.allChannels ? u"--channel all needs --all-windows"_s : QString();
    }
    for (const auto& [given, name] : oneWindow) {
        if (given) {
            return u"--%1 concerns a single window, not --all-windows"_s.arg(QLatin1String(name));
        }
    }
    if (request.json && a.csv) {
        return u"--json and --csv would both write standard output"_s;
    }
    if (!a.trend.isEmpty() && a.design.isEmpty()) {
        return u"--trend needs -o TREND.csv, .png, .svg or .pdf"_s;
    }
    if ((request.json || a.csv) && a.design == kStandardStream) {
        return u"-o - and --json or --csv would all write standard output"_s;
    }
    return {};
}

QString checkAnalyze(const CliRequest& request)
{
    if (request.files.front() == kStandardStream) {
        return u"analyse reads a capture file, not standard input"_s;
    }
    if (QString why = checkAllWindows(request); !why.isEmpty()) {
        return why;
    }
    if (request.maskParameters != MaskParameters{} && request.analyze.check.isEmpty()) {
        return u"the mask parameters need --check"_s;
    }
    if (request.analyze.tolerance && request.analyze.compare.isEmpty()) {
        return u"--tolerance needs --compare"_s;
    }
    if (request.analyze.magnitudeOnly && request.analyze.compare.isEmpty()) {
        return u"--magnitude-only needs --compare"_s;
    }
    if (request.analyze.floor && request.analyze.compare.isEmpty() &&
        request.analyze.design.isEmpty()) {
        return u"--floor needs --compare or -o"_s;
    }
    if (request.json && request.analyze.design == kStandardStream) {
        return u"--json and -o - would both write standard output"_s;
    }
    return {};
}

/** The whole text as one number in the C locale, or none. */
std::optional<double> numberFrom(const QString& text)
{
    const std::string utf8 = text.trimmed().toStdString();
    LineScanner scanner(utf8);
    const auto value = scanner.convertDoubleHere();
    if (!value || !scanner.atEnd() || !std::isfinite(*value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> wholeInteger(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

/** A number for help and error texts: "25", "0.1". */
QString numberText(double value)
{
    return QString::number(value);
}

/** The error text of a value out of its range: "--NAME must be WHAT (got 'VALUE')". */
QString mustBe(const QString& name, const QString& what, const QString& value)
{
    return u"--%1 must be %2 (got '%3')"_s.arg(name, what, value);
}

QString readPpc(const QString& value, CliRequest& request)
{
    const auto ppc = numberFrom(value);
    if (!ppc || *ppc < kEnteredPpcRange.minimum || *ppc > kEnteredPpcRange.maximum) {
        return mustBe(u"ppc"_s,
                      u"a number from %1 to %2"_s.arg(numberText(kEnteredPpcRange.minimum),
                                                      numberText(kEnteredPpcRange.maximum)),
                      value);
    }
    request.overrides.ppc = static_cast<float>(*ppc);
    return {};
}

QString readCycles(const QString& name, const QString& value, std::optional<int>& cycles)
{
    const auto count = wholeInteger(value);
    if (!count || *count < kCyclesRange.minimum || *count > kMaxCycles) {
        return mustBe(name, u"an integer from %1 to %2"_s.arg(kCyclesRange.minimum).arg(kMaxCycles),
                      value);
    }
    cycles = *count;
    return {};
}

QString readDisplayCycles(const QString& value, CliRequest& request)
{
    return readCycles(u"display-cycles"_s, value, request.overrides.displayCycles);
}

QString readFftCycles(const QString& value, CliRequest& request)
{
    return readCycles(u"fft-cycles"_s, value, request.overrides.fftCycles);
}

QString readPreset(const QString& value, CliRequest& request)
{
    request.preset = presetNamed(value.toStdString());
    return request.preset ? QString()
                          : mustBe(u"preset"_s, u"square, triangle or sawtooth"_s, value);
}

QString readOrder(const QString& value, CliRequest& request)
{
    const auto order = wholeInteger(value);
    if (!order || *order < kMinPresetOrder || *order > kMaxPresetOrder) {
        return mustBe(u"order"_s,
                      u"an integer from %1 to %2"_s.arg(kMinPresetOrder).arg(kMaxPresetOrder),
                      value);
    }
    if (!request.preset) {
        return u"--order needs --preset"_s;
    }
    request.order = *order;
    return {};
}

/** One N:MAG:PHASE; its ranges depend on the design and are checked when it is built. */
QString readHarmonic(const QString& value, CliRequest& request)
{
    const QStringList fields = value.split(u':');
    const auto number = fields.size() == 3 ? numberFrom(fields[0]) : std::nullopt;
    const auto magnitude = fields.size() == 3 ? numberFrom(fields[1]) : std::nullopt;
    const auto phase = fields.size() == 3 ? wholeInteger(fields[2]) : std::nullopt;
    if (!number || !magnitude || !phase) {
        return mustBe(u"harmonic"_s, u"N:MAG:PHASE, numbers and a whole phase"_s, value);
    }
    request.harmonics.push_back(
        {value, static_cast<float>(*number), static_cast<float>(*magnitude), *phase});
    return {};
}

bool analyzing(const CliRequest& request)
{
    return request.command == u"analyse"_s;
}

/** A positive number into field, or the error text. */
QString readPositive(const QString& name, const QString& value, std::optional<double>& field)
{
    const auto number = numberFrom(value);
    if (!number || *number <= 0.0) {
        return mustBe(name, u"a number above 0"_s, value);
    }
    field = *number;
    return {};
}

/** A physical quantity from minimum to maximum (in unit) into field, or the error text. */
QString readQuantity(const QString& name, const QString& value, const QString& what,
                     EntryRange<double> range, const QString& unit, std::optional<double>& field)
{
    const auto number = numberFrom(value);
    if (!number || !range.contains(*number)) {
        return mustBe(name,
                      u"%1 from %2 to %3 %4"_s.arg(what, numberText(range.minimum),
                                                   numberText(range.maximum), unit),
                      value);
    }
    field = *number;
    return {};
}

constexpr EntryRange<double> kFundamentalRange{kMinFundamentalHz, kMaxFundamentalHz};
constexpr EntryRange<double> kCaptureRateRange{kMinCaptureRate, kMaxCaptureRate};
constexpr EntryRange<double> kNoiseFloorRange{kMinNoiseFloor, kMaxNoiseFloor};

QString readFundamental(const QString& value, CliRequest& request)
{
    if (analyzing(request)) {
        request.analyze.fundamental.reset();
        return value == u"auto"_s
                   ? QString()
                   : readQuantity(u"fundamental"_s, value, u"auto or a frequency"_s,
                                  kFundamentalRange, u"Hz"_s, request.analyze.fundamental);
    }
    std::optional<double> hz;
    QString error =
        readQuantity(u"fundamental"_s, value, u"a frequency"_s, kFundamentalRange, u"Hz"_s, hz);
    request.fundamentalHz = hz.value_or(request.fundamentalHz);
    return error;
}

constexpr double kToPercent = 100.0;

/** --start: seconds into the capture; the analysis refuses a start beyond its end. */
QString readStart(const QString& value, CliRequest& request)
{
    const auto seconds = numberFrom(value);
    if (!seconds || !(*seconds >= 0.0) || !std::isfinite(*seconds)) {
        return mustBe(u"start"_s, u"a time from 0 s to the capture's length"_s, value);
    }
    request.analyze.start = *seconds;
    return {};
}

/** --nominal: a frequency to search near, or auto for the strongest line of the whole band. */
QString readNominal(const QString& value, CliRequest& request)
{
    request.analyze.nominal.reset();
    request.analyze.wholeBand = value == u"auto"_s;
    return request.analyze.wholeBand
               ? QString()
               : readQuantity(u"nominal"_s, value, u"auto or a frequency"_s, kFundamentalRange,
                              u"Hz"_s, request.analyze.nominal);
}

QString readRate(const QString& value, CliRequest& request)
{
    if (analyzing(request)) {
        return readQuantity(u"rate"_s, value, u"a sample rate"_s, kCaptureRateRange, u"Hz"_s,
                            request.analyze.rate);
    }
    const auto rate = wholeInteger(value);
    if (!rate || *rate < kMinWavRate || *rate > kMaxWavRate) {
        return mustBe(u"rate"_s, u"an integer from %1 to %2 Hz"_s.arg(kMinWavRate).arg(kMaxWavRate),
                      value);
    }
    request.wav.rate = *rate;
    return {};
}

QString readSeconds(const QString& value, CliRequest& request)
{
    const auto seconds = numberFrom(value);
    if (!seconds || *seconds <= 0.0 || *seconds > kMaxWavSeconds) {
        return mustBe(u"seconds"_s, u"above 0 and at most %1"_s.arg(numberText(kMaxWavSeconds)),
                      value);
    }
    if (!request.wav.rate) {
        return u"--seconds needs --rate"_s;
    }
    request.wav.seconds = *seconds;
    return {};
}

/** The error text of an option given without the one it goes with. */
QString needs(const QString& name, const QString& needed)
{
    return u"--%1 needs --%2"_s.arg(name, needed);
}

/** value as an integer from low to high; none with the error text in error. */
std::optional<int> integerIn(const QString& name, const QString& value, int low, int high,
                             QString& error)
{
    const auto number = wholeInteger(value);
    if (!number || *number < low || *number > high) {
        error = mustBe(name, u"an integer from %1 to %2"_s.arg(low).arg(high), value);
        return std::nullopt;
    }
    return number;
}

QString readPoints(const QString& value, CliRequest& request)
{
    QString error;
    if (const auto points =
            integerIn(u"points"_s, value, kMinExportPoints, kMaxExportPoints, error)) {
        request.waveform.emplace().points = *points;
    }
    return error;
}

QString readExportCycles(const QString& value, CliRequest& request)
{
    QString error;
    const auto cycles = integerIn(u"cycles"_s, value, kMinExportCycles, kMaxExportCycles, error);
    if (!cycles) {
        return error;
    }
    if (!request.waveform) {
        return needs(u"cycles"_s, u"points"_s);
    }
    request.waveform->cycles = *cycles;
    return {};
}

/** --cycles: the cycles an export writes, or the cycles analyse takes from a capture. */
QString readCyclesOption(const QString& value, CliRequest& request)
{
    if (request.command == u"analyse") {
        return readCycles(u"cycles"_s, value, request.analyze.cycles);
    }
    return readExportCycles(value, request);
}

QString readScale(const QString& value, CliRequest& request)
{
    const auto scale = sampleScaleNamed(value.toStdString());
    if (!scale) {
        return mustBe(u"scale"_s, u"percent, normalized, volts or codes"_s, value);
    }
    if (!request.waveform) {
        return needs(u"scale"_s, u"points"_s);
    }
    request.waveform->scale = *scale;
    // Volts have no default: --rms or --peak gives them (checked once all are read).
    request.waveform->volts = *scale == SampleScale::Volts ? NAN : request.waveform->volts;
    return {};
}

QString readVolts(const QString& name, const QString& value, VoltsLevel level, CliRequest& request)
{
    const auto volts = numberFrom(value);
    if (!volts || *volts < kMinExportVolts || *volts > kMaxExportVolts) {
        return mustBe(name,
                      u"a voltage from %1 to %2"_s.arg(numberText(kMinExportVolts),
                                                       numberText(kMaxExportVolts)),
                      value);
    }
    if (!request.waveform || request.waveform->scale != SampleScale::Volts) {
        return u"--%1 needs --scale volts"_s.arg(name);
    }
    request.waveform->level = level;
    request.waveform->volts = *volts;
    return {};
}

/** basis or reference: value names the first or the second of choices. */
template <typename Choice>
QString readTableChoice(const QString& name, const QString& value,
                        const std::pair<QString, QString>& names, Choice first, Choice second,
                        Choice TableExport::*field, CliRequest& request)
{
    if (value != names.first && value != names.second) {
        return mustBe(name, names.first + u" or "_s + names.second, value);
    }
    if (!request.table) {
        return needs(name, u"table"_s);
    }
    (*request.table).*field = value == names.first ? first : second;
    return {};
}

/** With --points --scale codes: the codes' bits, 8 to 24. */
QString readCodeBits(const QString& value, WaveformExport& waveform)
{
    QString error;
    const auto bits = integerIn(u"bits"_s, value, kMinCodeBits, kMaxCodeBits, error);
    if (bits && waveform.scale != SampleScale::Codes) {
        return u"--bits with --points needs --scale codes"_s;
    }
    waveform.bits = bits.value_or(waveform.bits);
    return error;
}

QString readBits(const QString& value, CliRequest& request)
{
    if (request.waveform) {  // read after --points and --scale: their rows come first
        return readCodeBits(value, *request.waveform);
    }
    static const std::pair<QString, WavEncoding> kEncodings[] = {{u"16"_s, WavEncoding::Pcm16},
                                                                 {u"24"_s, WavEncoding::Pcm24},
                                                                 {u"32f"_s, WavEncoding::Float32}};
    for (const auto& [name, encoding] : kEncodings) {
        if (value == name) {
            request.wav.encoding = encoding;
            return {};
        }
    }
    return mustBe(u"bits"_s, u"16, 24 or 32f"_s, value);
}

QString readSize(const QString& value, CliRequest& request)
{
    static const QRegularExpression pattern(u"^(\\d{1,6})x(\\d{1,6})$"_s);
    const auto match = pattern.match(value);
    const int width = match.hasMatch() ? match.captured(1).toInt() : 0;
    const int height = match.hasMatch() ? match.captured(2).toInt() : 0;
    if (width < kMinPictureWidth || width > kMaxPictureSide || height < kMinPictureHeight ||
        height > kMaxPictureSide) {
        return mustBe(u"size"_s,
                      u"WxH within %1x%2 to %3x%3"_s.arg(kMinPictureWidth)
                          .arg(kMinPictureHeight)
                          .arg(kMaxPictureSide),
                      value);
    }
    request.width = width;
    request.height = height;
    return {};
}

QString readChannel(const QString& value, CliRequest& request)
{
    request.analyze.allChannels = value == u"all"_s;
    if (request.analyze.allChannels) {
        return {};
    }
    const auto channel = wholeInteger(value);
    if (!channel || *channel < 1) {
        return mustBe(u"channel"_s, u"an integer from 1, or all"_s, value);
    }
    request.analyze.channel = *channel;
    return {};
}

QString readAggregate(const QString& value, CliRequest& request)
{
    request.analyze.aggregation = aggregationNamed(value.toStdString());
    return request.analyze.aggregation ? QString()
                                       : mustBe(u"aggregate"_s, u"200ms, 3s, 10min or 2h"_s, value);
}

/** --trend: harmonic orders and thd, comma-separated, or all. */
QString readTrend(const QString& value, CliRequest& request)
{
    std::vector<std::size_t>& values = request.analyze.trendValues;
    values.clear();
    request.analyze.trend = value;
    const QString what = u"orders 2 to %1 and thd, comma-separated, or all"_s.arg(kHighestOrder);
    if (value == u"all"_s) {
        values.push_back(quantity::kThd);
        for (int h = 2; h <= kHighestOrder; ++h) {
            values.push_back(quantity::harmonic(h));
        }
        return {};
    }
    for (const QString& part : value.split(u',')) {
        const QString item = part.trimmed();
        if (item.compare(u"thd"_s, Qt::CaseInsensitive) == 0) {
            values.push_back(quantity::kThd);
            continue;
        }
        const auto order = wholeInteger(item);
        if (!order || *order < 2 || *order > kHighestOrder) {
            return mustBe(u"trend"_s, what, value);
        }
        values.push_back(quantity::harmonic(*order));
    }
    return {};
}

/** --start-time: ISO 8601, in UTC unless it names an offset. */
QString readStartTime(const QString& value, CliRequest& request)
{
    QDateTime time = QDateTime::fromString(value, Qt::ISODateWithMs);
    if (!time.isValid()) {
        time = QDateTime::fromString(value, Qt::ISODate);
    }
    if (!time.isValid()) {
        return mustBe(u"start-time"_s, u"an ISO 8601 date and time (2026-12-01T10:00:00Z)"_s,
                      value);
    }
    if (time.timeSpec() == Qt::LocalTime) {
        time.setTimeSpec(Qt::UTC);
    }
    constexpr double kMilliseconds = 1000.0;
    request.analyze.startTime = static_cast<double>(time.toMSecsSinceEpoch()) / kMilliseconds;
    return {};
}

/** A mask parameter: any number above 0; the mask's table checks its own range. */
QString readMaskNumber(const QString& name, const QString& value, std::optional<double>& field)
{
    const auto number = numberFrom(value);
    if (!number || !(*number > 0.0)) {
        return mustBe(name, u"a number above 0"_s, value);
    }
    field = *number;
    return {};
}

QString readEdition(const QString& value, CliRequest& request)
{
    if (value != u"2014"_s && value != u"2022"_s) {
        return mustBe(u"edition"_s, u"2014 or 2022"_s, value);
    }
    request.maskParameters.edition = value.toInt();
    return {};
}

QString readMeasure(const QString& value, CliRequest& request)
{
    if (value != u"iec"_s && value != u"display"_s) {
        return mustBe(u"measure"_s, u"iec or display"_s, value);
    }
    request.measure = value == u"iec"_s ? CheckMeasure::Iec : CheckMeasure::Display;
    return {};
}

/** Takes an option's value (once per value given) into the request: the error text, or empty. */
using OptionReader = QString (*)(const QString& value, CliRequest& request);

/** Where an option's help goes. */
enum class HelpSection {
    Command,     ///< the overview's command options, and each command's help it applies to
    OwnCommand,  ///< only each command's help it applies to
    Setting,     ///< "Settings", in every help; read before the others are checked
    Stream,      ///< "Standard streams", in every help
    Tool,        ///< the overview's last lines
};

/** Which commands take an option. */
enum class Scope {
    Listed,   ///< those in commands
    Every,    ///< all
    Writing,  ///< those that write a file (OUT)
};

struct OptionRow {
    QString name;
    QString value;  ///< placeholder; empty for a switch
    QString help;   ///< lines; empty: told with the option it excludes
    HelpSection section = HelpSection::Command;
    Scope scope = Scope::Listed;
    QStringList commands = {};    ///< with Scope::Listed
    OptionReader read = nullptr;  ///< none: the option is read elsewhere
    QString excludes = {};        ///< the option it cannot go with, told on the same help line
    QString shortName = {};
    bool repeatable = false;  ///< each value read in turn; else the last one given
    /** Commands that have a help text of their own for the option, with it. */
    std::vector<std::pair<QString, QString>> commandHelp = {};
};

/** Sets field to value: the reader of a switch, or of a value taken as given. */
template <typename Field, typename Value>
QString setTo(Field& field, const Value& value)
{
    field = value;
    return {};
}

/** An option of the commands listed, told among the command options. */
OptionRow commandOption(const QString& name, const QString& value, const QStringList& commands,
                        OptionReader read, const QString& help)
{
    return {name, value, help, HelpSection::Command, Scope::Listed, commands, read};
}

/** A setting every command takes; excludes, if any, is told on the same help line. */
OptionRow settingOption(const QString& name, const QString& value, OptionReader read,
                        const QString& help, const QString& excludes = {})
{
    return {name, value, help, HelpSection::Setting, Scope::Every, {}, read, excludes};
}

/** The option with a help text of its own in command's help; the overview adds it. */
OptionRow withHelpFor(const QString& command, const QString& help, OptionRow option)
{
    option.commandHelp.emplace_back(command, help);
    return option;
}

OptionRow repeatable(OptionRow option)
{
    option.repeatable = true;
    return option;
}

/**
 * Every option, once, in the order help lists them. A row builds the parser's option, its
 * help entry and the "does not apply to" check.
 *
 * To add an option: one row here (its limits read from the constants that own them, never
 * typed into the help) and its reader above, which checks the value and takes it into
 * CliRequest. To add a command: one row in kCommands, its runner beside the others (in
 * CliApp.cpp's dispatch table); then name the command in the rows of the options it takes.
 */
const std::vector<OptionRow>& optionTable()
{
    const QStringList wav = {u"convert"_s, u"new"_s};
    const QStringList wavAndCapture = {u"convert"_s, u"new"_s, u"analyse"_s};
    const QStringList wavAndCheckAndCapture = {u"convert"_s, u"new"_s, u"check"_s, u"analyse"_s};
    const QStringList capture = {u"analyse"_s};
    // A mask is named by --limits for a design and by --check for a recording; its
    // parameters go with either.
    const QStringList masks = {u"check"_s, u"plot"_s};
    const QStringList maskParameters = {u"check"_s, u"plot"_s, u"analyse"_s};
    static const std::vector<OptionRow> table = {
        withHelpFor(
            u"analyse"_s,
            u"one compact JSON object: \"file\" (and \"fileBytes\" as\n"
            "show writes them), \"fundamental\" (Hz), \"estimated\",\n"
            "\"nominal\" (Hz or null), \"rate\", \"cycles\",\n"
            "\"windowStart\" (s), \"pointsPerCycle\", \"skippedLines\"\n"
            "(header lines of a text capture), \"band\" (\"order\" of\n"
            "its edge, \"flatToOrder\", \"wholeOrders\" the figures\n"
            "count), \"lines\" (order, magnitude in %, phase,\n"
            "nearBandEdge), \"figures\" and \"quality\" as\n"
            "show's; \"strongerLine\" (order, magnitude) when a\n"
            "line outdoes the fundamental; \"groups\" with --groups,\n"
            "\"compare\" with --compare (per order and largest\n"
            "differences, the tolerance, \"within\"); with --all-windows\n"
            "one object per aggregated interval (channel, aggregation,\n"
            "start, end, windows, flagged, partial and every value),\n"
            "then {\"summary\": ...} with the statistics, flagged spans\n"
            "and verdicts"_s,
            withHelpFor(u"check"_s,
                        u"one compact JSON object per file and line: \"file\",\n"
                        "\"mask\", \"measurement\", \"notes\" (interharmonic\n"
                        "entries, DC, leakage, disregarded lines), \"orders\"\n"
                        "(order, level, levelPercent, limit, margin, unit,\n"
                        "status, resolvingCycles), \"thd\" (the same, its name\n"
                        "and highest order), \"passed\", \"refusal\" and\n"
                        "\"verdict\""_s,
                        commandOption(
                            u"json"_s, {}, {u"show"_s, u"check"_s, u"analyse"_s},
                            [](const QString&, CliRequest& r) { return setTo(r.json, true); },
                            u"one compact JSON object per file and line, with the\n"
                            "calculated rows and the spectrum (percent per bin);\n"
                            "\"file\" is the name as printed, and where that is not\n"
                            "the name itself \"fileBytes\" holds its bytes in base64"_s))),
        commandOption(u"preset"_s, u"NAME"_s, {u"new"_s}, readPreset,
                      u"square (odd n, 100/n %, -90), triangle (odd n,\n"
                      "100/n^2 %, -90 and 90 in turn) or sawtooth (every\n"
                      "n, 100/n %, -90): sine series, rising from 0"_s),
        commandOption(u"order"_s, u"N"_s, {u"new"_s}, readOrder,
                      u"the preset's highest harmonic, %1 to %2 (default %3);\n"
                      "entries beyond the ppc's slot limit are left out"_s.arg(kMinPresetOrder)
                          .arg(kMaxPresetOrder)
                          .arg(kDefaultPresetOrder)),
        repeatable(commandOption(
            u"harmonic"_s, u"N:MAG:PHASE"_s, {u"new"_s}, readHarmonic,
            u"one more entry, repeatable, within the Add dialog's\n"
            "ranges: N %1 to ppc/2 - 1/slots, MAG %2 to %3, PHASE\n"
            "%4 to %5; a number present already is refused"_s
                .arg(numberText(kMinHarmonicNumber), numberText(kMagnitudeRange.minimum),
                     numberText(kMagnitudeRange.maximum))
                .arg(kPhaseRange.minimum)
                .arg(kPhaseRange.maximum))),
        commandOption(
            u"points"_s, u"N"_s, wav, readPoints,
            u"write the waveform at N points per cycle, %1 to %2,\n"
            "to OUT.csv (index,value) or OUT.txt (one value a\n"
            "line); sample i at 2 pi i / N, so the first at 0 degrees"_s.arg(kMinExportPoints)
                .arg(kMaxExportPoints)),
        withHelpFor(
            u"analyse"_s,
            u"cycles of the fundamental in the window, %1 to %2\n"
            "(default %3 for a fundamental of %4 to %5 Hz, else %6)"_s.arg(kCyclesRange.minimum)
                .arg(kMaxCycles)
                .arg(kIecCycles60)
                .arg(numberText(kLowWindowBand), numberText(kHighWindowBand))
                .arg(kIecCycles50),
            commandOption(
                u"cycles"_s, u"K"_s, wavAndCapture, readCyclesOption,
                u"with --points: cycles written, %1 to %2 (default 1)"_s.arg(kMinExportCycles)
                    .arg(kMaxExportCycles))),
        commandOption(u"scale"_s, u"S"_s, wav, readScale,
                      u"with --points: percent (default), normalized (peak 1),\n"
                      "volts (with --rms or --peak) or codes (with --bits)"_s),
        {u"rms"_s, u"V"_s, u"with --scale volts: the whole waveform's RMS or peak in volts"_s,
         HelpSection::Command, Scope::Listed, wav,
         [](const QString& value, CliRequest& r) {
             return readVolts(u"rms"_s, value, VoltsLevel::Rms, r);
         },
         u"peak"_s},
        commandOption(u"peak"_s, u"V"_s, wav,
                      [](const QString& value, CliRequest& r) {
                          return readVolts(u"peak"_s, value, VoltsLevel::Peak, r);
                      },
                      {}),
        {u"table"_s,
         {},
         u"write the harmonic table as order,percent,degrees to\n"
         "OUT.csv, percent as the design has them"_s,
         HelpSection::Command,
         Scope::Listed,
         wav,
         [](const QString&, CliRequest& r) {
             r.table.emplace();
             return QString();
         }},
        commandOption(
            u"basis"_s, u"sine|cosine"_s, wav,
            [](const QString& value, CliRequest& r) {
                return readTableChoice(u"basis"_s, value, {u"sine"_s, u"cosine"_s},
                                       TableBasis::Sine, TableBasis::Cosine, &TableExport::basis,
                                       r);
            },
            u"with --table: the series written (default cosine)"_s),
        commandOption(
            u"reference"_s, u"harmonic|fundamental"_s, wav,
            [](const QString& value, CliRequest& r) {
                return readTableChoice(u"reference"_s, value, {u"harmonic"_s, u"fundamental"_s},
                                       TableReference::Harmonic, TableReference::Fundamental,
                                       &TableExport::reference, r);
            },
            u"with --table: phases in degrees of each order's own\n"
            "period (default) or of the fundamental's; DC (order 0)\n"
            "is then its signed percent at 0 degrees"_s),
        commandOption(
            u"zero-fundamental-phase"_s, {}, wav,
            [](const QString&, CliRequest& r) {
                return r.table ? setTo(r.table->zeroFundamentalPhase, true)
                               : needs(u"zero-fundamental-phase"_s, u"table"_s);
            },
            u"with --table: time shifted so the fundamental is at 0"_s),
        withHelpFor(
            u"check"_s,
            u"the supply's fundamental, which sets IEC 61000-4-7's\n"
            "window: %1 cycles from %2 to %3 Hz, else %4 (default %5)"_s.arg(kIecCycles60)
                .arg(numberText(kLowWindowBand), numberText(kHighWindowBand))
                .arg(kIecCycles50)
                .arg(numberText(kDefaultFundamentalHz)),
            withHelpFor(
                u"analyse"_s,
                u"the capture's fundamental, %1 to %2 Hz, or auto\n"
                "(default): estimated from the capture"_s.arg(numberText(kMinFundamentalHz),
                                                              numberText(kMaxFundamentalHz)),
                commandOption(u"fundamental"_s, u"HZ"_s, wavAndCheckAndCapture, readFundamental,
                              u"fundamental of a .wav, %1 to %2 Hz (default %3)"_s.arg(
                                  numberText(kMinFundamentalHz), numberText(kMaxFundamentalHz),
                                  numberText(kDefaultFundamentalHz))))),
        withHelpFor(u"analyse"_s,
                    u"the capture's sample rate, %1 to %2 Hz: a text\n"
                    "capture of one value a line needs it; it overrides a\n"
                    "WAV's rate and a time column, whose times are then\n"
                    "not read"_s.arg(numberText(kMinCaptureRate), numberText(kMaxCaptureRate)),
                    commandOption(u"rate"_s, u"HZ"_s, wavAndCapture, readRate,
                                  u".wav sample rate, %1 to %2: the design is\n"
                                  "synthesised at t = i / HZ for --seconds"_s.arg(kMinWavRate)
                                      .arg(kMaxWavRate))),
        commandOption(u"seconds"_s, u"S"_s, wav, readSeconds,
                      u".wav length with --rate, up to %1 (default %2)"_s.arg(
                          numberText(kMaxWavSeconds), numberText(kDefaultWavSeconds))),
        commandOption(
            u"bits"_s, u"16|24|32f"_s, wav, readBits,
            u".wav samples (default 32f); beyond full scale a\n"
            "warning names the peak and the clipped samples;\n"
            "with --scale codes the codes' bits, %1 to %2 (default 16)"_s.arg(kMinCodeBits)
                .arg(kMaxCodeBits)),
        commandOption(
            u"normalize"_s, {}, wav,
            [](const QString&, CliRequest& r) { return setTo(r.wav.normalize, true); },
            u".wav peak scaled to full scale"_s),
        commandOption(u"size"_s, u"WxH"_s, {u"plot"_s}, readSize,
                      u"picture size, %1x%2 to %3x%3 (default %4x%5)"_s.arg(kMinPictureWidth)
                          .arg(kMinPictureHeight)
                          .arg(kMaxPictureSide)
                          .arg(kDefaultPictureWidth)
                          .arg(kDefaultPictureHeight)),
        commandOption(
            u"limits"_s, u"NAME|MASK.csv"_s, masks,
            [](const QString& value, CliRequest& r) { return setTo(r.limits, value); },
            u"a built-in mask (check --list names them) or a file of\n"
            "order,limit_percent lines with an optional\n"
            "thd,LIMIT,HIGHEST_ORDER line"_s),
        commandOption(
            u"fundamental-rms"_s, u"A"_s, maskParameters,
            [](const QString& value, CliRequest& r) {
                return readMaskNumber(u"fundamental-rms"_s, value, r.maskParameters.fundamentalRms);
            },
            u"the fundamental's RMS current, %1 to %2 A, which the\n"
            "IEC 61000-3-2 masks and ieee519-current need"_s.arg(numberText(kMinFundamentalRms),
                                                                 numberText(kMaxFundamentalRms))),
        commandOption(
            u"power-factor"_s, u"LAMBDA"_s, maskParameters,
            [](const QString& value, CliRequest& r) {
                return readMaskNumber(u"power-factor"_s, value, r.maskParameters.powerFactor);
            },
            u"the circuit power factor, above 0 to 1 (iec61000-3-2-c)"_s),
        commandOption(
            u"power"_s, u"WATTS"_s, maskParameters,
            [](const QString& value, CliRequest& r) {
                return readMaskNumber(u"power"_s, value, r.maskParameters.power);
            },
            u"the input power, %1 to %2 W (iec61000-3-2-d)"_s.arg(numberText(kLeastClassDPower),
                                                                  numberText(kMostClassDPower))),
        commandOption(
            u"isc-il"_s, u"RATIO"_s, maskParameters,
            [](const QString& value, CliRequest& r) {
                return readMaskNumber(u"isc-il"_s, value, r.maskParameters.iscIl);
            },
            u"the short-circuit ratio ISC/IL (ieee519-current)"_s),
        commandOption(
            u"demand-current"_s, u"A"_s, maskParameters,
            [](const QString& value, CliRequest& r) {
                return readMaskNumber(u"demand-current"_s, value, r.maskParameters.demandCurrent);
            },
            u"the maximum demand current I_L (ieee519-current)"_s),
        commandOption(u"edition"_s, u"2014|2022"_s, maskParameters, readEdition,
                      u"IEEE 519's edition for even orders (default 2014;\n"
                      "ieee519-current)"_s),
        commandOption(u"measure"_s, u"iec|display"_s, masks, readMeasure,
                      u"iec (default): as IEC 61000-4-7 measures, %1 cycles\n"
                      "of 50 Hz (%2 of 60 Hz) in subgroups; display: the\n"
                      "lines of the FFT window as show analyses it"_s.arg(kIecCycles50)
                          .arg(kIecCycles60)),
        commandOption(
            u"list"_s, {}, {u"check"_s},
            [](const QString&, CliRequest& r) { return setTo(r.listMasks, true); },
            u"print the built-in masks with their tables"_s),
        commandOption(u"start"_s, u"SECONDS"_s, capture, readStart,
                      u"where the window starts, 0 to the capture's length\n"
                      "(default: the first steady window, after leading\n"
                      "silence and start-up)"_s),
        commandOption(u"nominal"_s, u"50|60|400|HZ|auto"_s, capture, readNominal,
                      u"the fundamental is searched within %1 % of HZ, %2 to\n"
                      "%3 Hz (default: 50, 60 or 400 Hz near the lowest\n"
                      "strong line, else auto); auto: the strongest line"_s.arg(
                          numberText(kNominalReach * kToPercent), numberText(kMinFundamentalHz),
                          numberText(kMaxFundamentalHz))),
        commandOption(u"channel"_s, u"C|all"_s, capture, readChannel,
                      u"the channel analysed, from 1 to the file's channel\n"
                      "count (default 1); all (with --all-windows): every\n"
                      "channel in one pass"_s),
        commandOption(
            u"all-windows"_s, {}, capture,
            [](const QString&, CliRequest& r) { return setTo(r.analyze.allWindows, true); },
            u"every 10/12-cycle window of a recording of any length,\n"
            "the fundamental tracked, flagged, aggregated and\n"
            "summed up in statistics"_s),
        commandOption(u"aggregate"_s, u"200ms|3s|10min|2h"_s, capture, readAggregate,
                      u"with --all-windows: the values the statistics and the\n"
                      "trend take: windows, 150/180 cycles, 10 minutes or 2\n"
                      "hours (default 10min)"_s),
        commandOption(u"trend"_s, u"ORDERS|thd|all"_s, capture, readTrend,
                      u"with --all-windows and -o: the values the trend holds,\n"
                      "orders 2 to %1 and thd comma-separated (default thd)"_s.arg(
                          kHighestOrder)),
        commandOption(
            u"check"_s, u"NAME|MASK.csv"_s, capture,
            [](const QString& value, CliRequest& r) {
                r.limits = value;
                return setTo(r.analyze.check, value);
            },
            u"with --all-windows: judge the recording by the mask's\n"
            "statistics (EN 50160, IEC 61000-2-2: the 95th\n"
            "percentile of each week's 10-minute values; IEEE 519 also\n"
            "each day's 99th percentile of 3 s values against 1.5 x\n"
            "the limits; a mask file by its stat line, default\n"
            "stat,p95,10min); exit status 3 when it fails"_s),
        commandOption(
            u"nominal-voltage"_s, u"V"_s, capture,
            [](const QString& value, CliRequest& r) {
                return readPositive(u"nominal-voltage"_s, value, r.analyze.nominalVoltage);
            },
            u"with --all-windows: the reference of the dip and swell\n"
            "flags, above 0 in the recording's unit (default: each\n"
            "channel's median window RMS)"_s),
        commandOption(u"start-time"_s, u"ISO8601"_s, capture, readStartTime,
                      u"with --all-windows: the clock time of the first sample\n"
                      "(UTC unless it names an offset): intervals start on\n"
                      "clock marks and times print as clock times"_s),
        commandOption(
            u"csv"_s, {}, capture,
            [](const QString&, CliRequest& r) { return setTo(r.analyze.csv, true); },
            u"with --all-windows: one CSV row per aggregated interval\n"
            "(start, end, channel, windows, flagged, partial and every\n"
            "value) instead of the report"_s),
        commandOption(
            u"groups"_s, {}, capture,
            [](const QString&, CliRequest& r) { return setTo(r.analyze.groups, true); },
            u"harmonic groups and subgroups, interharmonic centred\n"
            "subgroups and THDS (IEC 61000-4-7; %1 or %2 cycles)"_s.arg(kIecCycles50)
                .arg(kIecCycles60)),
        {u"output"_s,
         u"DESIGN"_s,
         u"write the analysed design: .kvk coefficients, .kvw\n"
         "samples, or - (standard output, with --format)"_s,
         HelpSection::Command,
         Scope::Listed,
         capture,
         [](const QString& value, CliRequest& r) { return setTo(r.analyze.design, value); },
         {},
         u"o"_s},
        commandOption(
            u"compare"_s, u"DESIGN.kvk"_s, capture,
            [](const QString& value, CliRequest& r) { return setTo(r.analyze.compare, value); },
            u"per order the magnitude, phase (time aligned on the\n"
            "fundamental) and vector differences in percentage\n"
            "points and degrees, then the largest of each; a design\n"
            "order between the window's bins is unresolved, with\n"
            "the cycles that would resolve it"_s),
        commandOption(
            u"tolerance"_s, u"PCT"_s, capture,
            [](const QString& value, CliRequest& r) {
                return readPositive(u"tolerance"_s, value, r.analyze.tolerance);
            },
            u"--compare's largest vector difference allowed, any\n"
            "number above 0 percentage points (default %1)"_s.arg(numberText(kDefaultTolerance))),
        commandOption(
            u"floor"_s, u"PCT"_s, capture,
            [](const QString& value, CliRequest& r) {
                return readQuantity(u"floor"_s, value, u"a level"_s, kNoiseFloorRange, u"%"_s,
                                    r.analyze.floor);
            },
            u"with --compare or -o: the capture's lines below PCT, %1\n"
            "to %2 % of the fundamental (default %3), are noise:\n"
            "compared only at the design's orders, never written"_s.arg(
                numberText(kMinNoiseFloor), numberText(kMaxNoiseFloor),
                numberText(kDefaultNoiseFloor))),
        commandOption(
            u"magnitude-only"_s, {}, capture,
            [](const QString&, CliRequest& r) { return setTo(r.analyze.magnitudeOnly, true); },
            u"with --compare: --tolerance holds the magnitude\n"
            "differences alone, whatever the phases"_s),
        {u"force"_s,
         {},
         u"replace OUT even if it is write-protected"_s,
         HelpSection::OwnCommand,
         Scope::Writing,
         {},
         [](const QString&, CliRequest& r) { return setTo(r.force, true); }},
        settingOption(u"ppc"_s, u"X"_s, readPpc,
                      u"samples per cycle, %1 to %2"_s.arg(numberText(kEnteredPpcRange.minimum),
                                                           numberText(kEnteredPpcRange.maximum))),
        settingOption(
            u"display-cycles"_s, u"N"_s, readDisplayCycles,
            u"cycles in the waveform, %1 to %2"_s.arg(kCyclesRange.minimum).arg(kMaxCycles)),
        settingOption(
            u"fft-cycles"_s, u"N"_s, readFftCycles,
            u"cycles in the FFT window, %1 to %2"_s.arg(kCyclesRange.minimum).arg(kMaxCycles)),
        settingOption(
            u"sine"_s, {},
            [](const QString&, CliRequest& r) { return setTo(r.overrides.cosine, 0); },
            u"harmonics are sines or cosines"_s, u"cosine"_s),
        settingOption(u"cosine"_s, {},
                      [](const QString&, CliRequest& r) { return setTo(r.overrides.cosine, 1); },
                      {}),
        settingOption(
            u"fundamental-reference"_s, {},
            [](const QString&, CliRequest& r) { return setTo(r.overrides.phaseReference, 0); },
            u"phases in degrees of the fundamental's or each harmonic's period"_s,
            u"harmonic-reference"_s),
        settingOption(
            u"harmonic-reference"_s, {},
            [](const QString&, CliRequest& r) { return setTo(r.overrides.phaseReference, 1); }, {}),
        // Read with the file names: what it may say depends on where "-" stands.
        {u"format"_s, u"F"_s,
         u"what - holds, required with it: kvk, kvw or csv (outputs\n"
         "also wav, plot's png, svg or pdf); one format for both;\n"
         "spectrum writes CSV; a .wav to - is streamed as it is\n"
         "made"_s,
         HelpSection::Stream, Scope::Every},
        {u"help"_s, {}, u"this text"_s, HelpSection::Tool, Scope::Every, {}, nullptr, {}, u"h"_s},
        {u"version"_s, {}, u"the version"_s, HelpSection::Tool},
    };
    return table;
}

const OptionRow& optionNamed(const QString& name)
{
    const auto& table = optionTable();
    return *std::find_if(table.begin(), table.end(), [&name](const OptionRow& row) {
        return row.name == name || row.shortName == name;
    });
}

bool appliesTo(const OptionRow& option, const CommandSpec& spec)
{
    switch (option.scope) {
    case Scope::Every:
        return true;
    case Scope::Writing:
        return spec.outputIndex >= 0 || spec.outputOption;
    case Scope::Listed:
        break;
    }
    return option.commands.contains(QLatin1String(spec.name));
}

void addOptions(QCommandLineParser& parser)
{
    for (const OptionRow& row : optionTable()) {
        QStringList names{row.name};
        if (!row.shortName.isEmpty()) {
            names.prepend(row.shortName);
        }
        parser.addOption(QCommandLineOption(names, row.help, row.value));
    }
}

/** Reads the options of one section, or all but the settings; returns the error text, or empty. */
QString readOptions(const QCommandLineParser& parser, bool settings, CliRequest& request)
{
    for (const OptionRow& row : optionTable()) {
        if ((row.section == HelpSection::Setting) != settings || !parser.isSet(row.name)) {
            continue;
        }
        if (!row.excludes.isEmpty() && parser.isSet(row.excludes)) {
            return u"--%1 and --%2 exclude each other"_s.arg(row.name, row.excludes);
        }
        const QStringList values =
            row.repeatable ? parser.values(row.name) : QStringList{parser.value(row.name)};
        for (const QString& value : values) {
            const QString error = row.read ? row.read(value, request) : QString();
            if (!error.isEmpty()) {
                return error;
            }
        }
    }
    return {};
}

/** The first option given that the command does not take, in the order typed. */
QString checkOptionsApply(const QCommandLineParser& parser, const CommandSpec& spec)
{
    for (const QString& name : parser.optionNames()) {
        const OptionRow& option = optionNamed(name);
        if (!appliesTo(option, spec)) {
            return u"option --%1 does not apply to %2"_s.arg(option.name, QLatin1String(spec.name));
        }
    }
    return {};
}

/** One help entry: the label, then its lines from the help column (below a long label). */
QString helpEntry(const QString& label, const QString& help)
{
    const QString indent(kHelpColumn, u' ');
    QString text = u"  "_s + label;
    text += text.size() < kHelpColumn ? QString(kHelpColumn - text.size(), u' ') : u'\n' + indent;
    return text + QString(help).replace(u'\n', u'\n' + indent) + u'\n';
}

/** The option's help in spec's help; in the overview, each command's own help after it. */
QString optionHelp(const OptionRow& option, const CommandSpec* spec)
{
    QString help = option.help;
    for (const auto& [command, own] : option.commandHelp) {
        if (spec && command == QLatin1String(spec->name)) {
            return own;
        }
        if (!spec) {
            help += u'\n' + command + u": "_s + own;
        }
    }
    return help;
}

QString optionEntry(const OptionRow& option, const CommandSpec* spec)
{
    QString label = option.shortName.isEmpty() ? QString() : u"-"_s + option.shortName + u", "_s;
    label += u"--"_s + option.name;
    if (!option.value.isEmpty()) {
        label += u' ' + option.value;
    }
    if (!option.excludes.isEmpty()) {
        const QString& value = optionNamed(option.excludes).value;
        label += u" | --"_s + option.excludes + (value.isEmpty() ? QString() : u' ' + value);
    }
    return helpEntry(label, optionHelp(option, spec));
}

/** The entries of the options in sections (of those spec takes, when given). */
QString optionEntries(std::initializer_list<HelpSection> sections, const CommandSpec* spec)
{
    QString text;
    for (const OptionRow& option : optionTable()) {
        if (!option.help.isEmpty() &&
            std::find(sections.begin(), sections.end(), option.section) != sections.end() &&
            (!spec || appliesTo(option, *spec))) {
            text += optionEntry(option, spec);
        }
    }
    return text;
}

/** The settings and the standard streams, the same in every help. */
QString commonHelp()
{
    return u"Settings (override those in force after reading, within the Preferences limits):\n"_s +
           optionEntries({HelpSection::Setting}, nullptr) + u"\nStandard streams:\n"_s +
           helpEntry(u"-"_s,
                     u"as an input reads standard input, as an output writes\n"
                     "standard output"_s) +
           optionEntries({HelpSection::Stream}, nullptr);
}

QString commandHelp(const CommandSpec& spec)
{
    return u"Usage: korvalin-cli %1 [options] %2\n\n%3\n\n"_s.arg(QLatin1String(spec.name),
                                                                  QLatin1String(spec.arguments),
                                                                  QLatin1String(spec.summary)) +
           optionEntries({HelpSection::Command, HelpSection::OwnCommand}, &spec) + u'\n' +
           commonHelp();
}

QString commandList()
{
    QString text;
    for (const CommandSpec& spec : kCommands) {
        // Two spaces before the brief text make each command a paragraph of its own in the
        // man page that help2man builds from this text.
        const QString usage =
            u"%1 %2"_s.arg(QLatin1String(spec.name), QLatin1String(spec.arguments));
        text += u"  %1  %2\n"_s.arg(usage, -kCommandColumn).arg(QLatin1String(spec.brief));
    }
    return text;
}

QString overviewHelp()
{
    const WaveSettings defaults;
    return u"Usage: korvalin-cli COMMAND [options] FILES\n\n"
           "The Korvalin engine from the command line: reads and writes what the window does.\n"
           "Files are read under the default settings (%1 display cycles, %2 FFT cycle, cosine,\n"
           "harmonic reference, %3 samples per cycle) unless the file or an option sets others.\n"_s
               .arg(defaults.displayCycles)
               .arg(defaults.fftCycles)
               .arg(numberText(defaults.ppc)) +
           u"A file is read as coefficients unless its extension is exactly kvw (a waveshape) or\n"
           "csv (samples); outputs by extension as convert says, so .txt and .KVW outputs become\n"
           "coefficient files, as Save As makes them.\n\n"
           "Commands:\n"_s +
           commandList() +
           u"\nCommand options ('korvalin-cli COMMAND --help' describes each command):\n"_s +
           optionEntries({HelpSection::Command}, nullptr) + u'\n' + commonHelp() + u'\n' +
           optionEntries({HelpSection::Tool}, nullptr) +
           u"\nExit status: 0 done (also after a clipping warning), 1 a file could not be read or\n"
           "written, 2 a usage error (an unknown option, a value out of range, an output\n"
           "extension the command does not write), 3 check found a limit exceeded or an order\n"
           "it could not measure (analyse: a difference beyond --tolerance), 130 or 143 a WAV\n"
           "stopped by SIGINT or SIGTERM (nothing is left of its file).\n"_s;
}

/** Checks "-", --format and the output's kind; returns the error text, or empty. */
QString checkStreamsAndOutput(const QCommandLineParser& parser, const CommandSpec& spec,
                              CliRequest& request)
{
    request.format = parser.value(QStringLiteral("format"));
    bool inputStream = false;
    for (int i = 0; i < request.files.size(); ++i) {
        if (i != spec.outputIndex && request.files[i] == kStandardStream) {
            if (inputStream) {
                return QStringLiteral("standard input (-) can be read only once");
            }
            inputStream = true;
        }
    }
    const QString output = outputOf(request);
    const bool outputStream = output == kStandardStream;
    const bool oneFormat = spec.writes.size() == 1 && !request.analyze.allWindows;
    const bool needsFormat = inputStream || (outputStream && !oneFormat);
    if (parser.isSet(QStringLiteral("format")) && !inputStream && !outputStream) {
        return QStringLiteral("--format applies only to - (standard input or output)");
    }
    if (needsFormat && request.format.isEmpty()) {
        return QStringLiteral("- needs --format to say what the stream holds");
    }
    const QStringList& outputFormats = request.analyze.allWindows ? kTrendFormats : spec.writes;
    // A command that writes one format (spectrum: CSV): with - in and out, --format is the input's.
    const bool outputTakesFormat = outputStream && !(inputStream && oneFormat);
    for (const auto& [used, formats] :
         {std::pair{inputStream, kReadFormats}, std::pair{outputTakesFormat, outputFormats}}) {
        if (used && !request.format.isEmpty() && !formats.contains(request.format)) {
            return QStringLiteral("--format must be %1 here (got '%2')")
                .arg(formats.join(QStringLiteral(", ")), request.format);
        }
    }
    const QString kind = outputFormat(request);
    if (!output.isEmpty() && !outputStream && !spec.anyExtension && !outputFormats.contains(kind)) {
        return QStringLiteral("%1 writes %2, not '%3'")
            .arg(QLatin1String(spec.name), outputFormats.join(QStringLiteral(", ")), output);
    }
    if (request.wav.any() && kind != QLatin1String("wav")) {
        return QStringLiteral("--rate, --seconds, --bits and --normalize apply to a .wav output");
    }
    return {};
}

/**
 * Why the parser stopped: an unknown option as it was typed (the parser names it without its
 * dashes), with the way to pass a file whose name starts with a dash; else the parser's words.
 */
QString parseError(const QCommandLineParser& parser, const QStringList& arguments)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (unknown.isEmpty()) {
        return parser.errorText();
    }
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QLatin1String("--")) {
            break;
        }
        const qsizetype dashes = argument.startsWith(QLatin1String("--")) ? 2 : 1;
        if (argument.size() > 1 && argument.startsWith(u'-') &&
            argument.mid(dashes).section(u'=', 0, 0) == unknown.front()) {
            return QStringLiteral(
                       "unknown option '%1'; a file name that starts with - goes after --")
                .arg(argument);
        }
    }
    return parser.errorText();
}

/** The options' values, then the command's rules, in the order they are told: the first error. */
QString readRequest(const QCommandLineParser& parser, const CommandSpec& spec, CliRequest& request)
{
    QString error = readOptions(parser, true, request);
    if (error.isEmpty()) {
        error = checkOptionsApply(parser, spec);
    }
    if (error.isEmpty()) {
        error = readOptions(parser, false, request);
    }
    if (error.isEmpty() && spec.check) {
        error = spec.check(request);
    }
    if (error.isEmpty()) {
        error = checkStreamsAndOutput(parser, spec, request);
    }
    return error;
}

}  // namespace

CliRequest parseCommandLine(const QStringList& arguments)
{
    CliRequest request;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    addOptions(parser);
    if (!parser.parse(arguments)) {
        request.usageError = parseError(parser, arguments);
        return request;
    }
    request.help = parser.isSet(u"help"_s);
    request.version = parser.isSet(u"version"_s);
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        if (!request.help && !request.version) {
            request.usageError = u"no command given"_s;
        }
        return request;
    }
    request.command = positional.takeFirst();
    if (request.command == u"analyze") {
        request.command = u"analyse"_s;  // the command's other spelling
    }
    const CommandSpec* spec = findCommand(request.command);
    if (!spec) {
        request.usageError = u"unknown command '%1'"_s.arg(request.command);
        return request;
    }
    if (request.help) {
        return request;
    }
    // check --list lists the masks and reads no file.
    const bool listing = spec->name == std::string_view("check") && parser.isSet(u"list"_s);
    if ((positional.size() < spec->minFiles && !listing) ||
        (spec->maxFiles >= 0 && positional.size() > spec->maxFiles)) {
        request.usageError = u"%1 takes %2"_s.arg(request.command, QLatin1String(spec->arguments));
        return request;
    }
    request.files = positional;
    request.usageError = readRequest(parser, *spec, request);
    return request;
}

QStringList inputsOf(const CliRequest& request)
{
    const CommandSpec* spec = findCommand(request.command);
    QStringList inputs;
    for (int i = 0; spec && i < request.files.size(); ++i) {
        if (i != spec->outputIndex) {
            inputs << request.files[i];
        }
    }
    return inputs;
}

QString outputOf(const CliRequest& request)
{
    const CommandSpec* spec = findCommand(request.command);
    if (spec && spec->outputOption) {
        return request.analyze.design;
    }
    if (!spec || spec->outputIndex < 0) {
        return {};
    }
    return spec->outputIndex < request.files.size() ? request.files[spec->outputIndex]
                                                    : kStandardStream;
}

QString outputFormat(const CliRequest& request)
{
    const QString output = outputOf(request);
    if (output == kStandardStream) {
        const CommandSpec* spec = findCommand(request.command);
        return spec->writes.size() == 1 ? spec->writes.front() : request.format;
    }
    return QFileInfo(output).suffix().toLower();
}

QString helpText(const QString& command)
{
    const CommandSpec* spec = findCommand(command);
    return spec ? commandHelp(*spec) : overviewHelp();
}
