#include "CliOptions.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>
#include <string_view>

#include "design/EntryLimits.h"
#include "files/ScanNumbers.h"

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

struct CommandSpec {
    const char* name;
    int minFiles;           ///< positional files after the command
    int maxFiles;           ///< -1: any number
    int outputIndex;        ///< which file is written (--force may replace it); -1: none
    const char* arguments;  ///< for the usage line
    const char* brief;      ///< a few words for the command list
    const char* summary;
    QStringList options;  ///< options beyond the common ones
};

const QStringList kCommonOptions = {QStringLiteral("ppc"),
                                    QStringLiteral("display-cycles"),
                                    QStringLiteral("fft-cycles"),
                                    QStringLiteral("sine"),
                                    QStringLiteral("cosine"),
                                    QStringLiteral("fundamental-reference"),
                                    QStringLiteral("harmonic-reference"),
                                    QStringLiteral("format")};

const QStringList kWavOptions = {QStringLiteral("fundamental"), QStringLiteral("rate"),
                                 QStringLiteral("seconds"), QStringLiteral("bits"),
                                 QStringLiteral("normalize")};

/** The command column's width: the brief texts line up with the option texts. */
constexpr int kCommandColumn = 24;

const CommandSpec kCommands[] = {
    {"show",
     1,
     -1,
     -1,
     "FILE...",
     "print the settings, harmonics and figures of each file",
     "Reads each FILE as File > Open does and prints its settings, harmonics, the five\n"
     "distortion figures and the waveform's peak, RMS and crest factor, one file after the\n"
     "other. With --json: one JSON object per file and line (JSON Lines), in argument order.",
     {QStringLiteral("json")}},
    {"check",
     1,
     -1,
     -1,
     "FILE...",
     "check each file against a power-quality limit mask",
     "Checks each FILE's spectrum, as show analyses it, against the --limits mask: per order\n"
     "the level, the limit, the margin in percentage points, the level in % of the limit and\n"
     "pass, over or unresolved (an order between FFT bins, or above the last one), then the\n"
     "THD line and one verdict line. Exit status 3 when any limit is exceeded or unresolved.\n"
     "'check --list' prints the built-in masks with their tables.",
     {QStringLiteral("limits"), QStringLiteral("fundamental-rms"), QStringLiteral("json"),
      QStringLiteral("list")}},
    {"convert", 2, 2, 1, "IN OUT", "write a file in another format, a WAV among them",
     "Reads IN (.kvk, .kvw or a .csv of index,value lines) and writes OUT by its extension:\n"
     ".kvw waveshape, .csv displayed samples (after a ';' line of the settings), .wav mono\n"
     "samples (100 % is full scale), and any other extension (.kvk, .txt, .KVW, ...) a\n"
     "coefficient file, as Save As does. Without --rate a .wav holds the displayed samples\n"
     "at ppc x the fundamental frequency.",
     kWavOptions},
    {"new", 1, 1, 0, "OUT", "write a new design from a preset or listed harmonics",
     "Makes a design without an input file and writes it as convert writes OUT. Without\n"
     "--preset the --harmonic entries are the whole table; with neither option the design is\n"
     "the fundamental alone (1, 100 %, 0 degrees). Presets are cosine harmonics with\n"
     "harmonic phase reference unless options say otherwise.",
     QStringList{QStringLiteral("preset"), QStringLiteral("order"), QStringLiteral("harmonic")} +
         kWavOptions},
    {"spectrum",
     1,
     2,
     1,
     "IN [OUT.csv|-]",
     "list the spectrum bin by bin as CSV",
     "Writes one line per FFT bin of IN: bin,harmonic,percent,phase_degrees (harmonic = bin /\n"
     "FFT cycles, percent of the fundamental as charted), after a header line; to standard\n"
     "output without OUT.",
     {}},
    {"plot",
     2,
     2,
     1,
     "IN OUT",
     "draw the waveform and spectrum charts to a picture",
     "Renders the waveform and spectrum charts of IN to OUT (.png, .svg or .pdf); with\n"
     "--limits the mask over the spectrum, as the window draws it.",
     {QStringLiteral("size"), QStringLiteral("limits"), QStringLiteral("fundamental-rms")}},
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

/** The whole text as one number in the C locale, or none. */
std::optional<double> wholeNumber(const QString& text)
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

void addOptions(QCommandLineParser& parser)
{
    parser.addOptions({
        {QStringLiteral("ppc"), QStringLiteral("Samples per cycle, 25 to 512."),
         QStringLiteral("X")},
        {QStringLiteral("display-cycles"), QStringLiteral("Cycles in the waveform, 1 to 12."),
         QStringLiteral("N")},
        {QStringLiteral("fft-cycles"), QStringLiteral("Cycles in the FFT window, 1 to 12."),
         QStringLiteral("N")},
        {QStringLiteral("sine"), QStringLiteral("Harmonics are sines.")},
        {QStringLiteral("cosine"), QStringLiteral("Harmonics are cosines.")},
        {QStringLiteral("fundamental-reference"),
         QStringLiteral("Phases are in degrees of the fundamental's period.")},
        {QStringLiteral("harmonic-reference"),
         QStringLiteral("Phases are in degrees of each harmonic's own period.")},
        {QStringLiteral("format"),
         QStringLiteral("What - holds: kvk, kvw, csv, wav, png, svg, pdf."), QStringLiteral("F")},
        {QStringLiteral("json"), QStringLiteral("show: one JSON object per file and line.")},
        {QStringLiteral("preset"), QStringLiteral("new: square, triangle or sawtooth."),
         QStringLiteral("NAME")},
        {QStringLiteral("order"), QStringLiteral("new: highest harmonic of the preset."),
         QStringLiteral("N")},
        {QStringLiteral("harmonic"), QStringLiteral("new: one more entry (repeatable)."),
         QStringLiteral("N:MAG:PHASE")},
        {QStringLiteral("rate"), QStringLiteral("WAV sample rate, 8000 to 384000 Hz."),
         QStringLiteral("HZ")},
        {QStringLiteral("seconds"), QStringLiteral("WAV length, up to 3600 s."),
         QStringLiteral("S")},
        {QStringLiteral("bits"), QStringLiteral("WAV samples: 16, 24 or 32f."),
         QStringLiteral("B")},
        {QStringLiteral("normalize"), QStringLiteral("WAV peak scaled to full scale.")},
        {QStringLiteral("fundamental"),
         QStringLiteral("convert: fundamental frequency of a .wav, 0.1 to 10000 Hz (default 50)."),
         QStringLiteral("HZ")},
        {QStringLiteral("size"),
         QStringLiteral("plot: picture size, 200x150 to 8000x8000 (default 1000x700)."),
         QStringLiteral("WxH")},
        {QStringLiteral("force"),
         QStringLiteral("convert, new, spectrum, plot: replace a write-protected OUT.")},
        {QStringLiteral("limits"), QStringLiteral("check, plot: the limit mask."),
         QStringLiteral("NAME|MASK.csv")},
        {QStringLiteral("fundamental-rms"),
         QStringLiteral("check, plot: the fundamental's RMS current in amperes."),
         QStringLiteral("A")},
        {QStringLiteral("list"), QStringLiteral("check: print the built-in masks.")},
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show help.")},
        {QStringLiteral("version"), QStringLiteral("Show the version.")},
    });
}

/** Checks one setting option; returns the error text, or empty. */
QString readSettingOptions(const QCommandLineParser& parser, SettingOverrides& overrides)
{
    if (parser.isSet(QStringLiteral("ppc"))) {
        const auto ppc = wholeNumber(parser.value(QStringLiteral("ppc")));
        if (!ppc || *ppc < kEnteredPpcRange.minimum || *ppc > kEnteredPpcRange.maximum) {
            return QStringLiteral("--ppc must be a number from 25 to 512 (got '%1')")
                .arg(parser.value(QStringLiteral("ppc")));
        }
        overrides.ppc = static_cast<float>(*ppc);
    }
    for (const QString& name : {QStringLiteral("display-cycles"), QStringLiteral("fft-cycles")}) {
        if (!parser.isSet(name)) {
            continue;
        }
        const auto cycles = wholeInteger(parser.value(name));
        if (!cycles || !kCyclesRange.contains(*cycles)) {
            return QStringLiteral("--%1 must be an integer from 1 to 12 (got '%2')")
                .arg(name, parser.value(name));
        }
        (name == QLatin1String("fft-cycles") ? overrides.fftCycles : overrides.displayCycles) =
            *cycles;
    }
    if (parser.isSet(QStringLiteral("sine")) && parser.isSet(QStringLiteral("cosine"))) {
        return QStringLiteral("--sine and --cosine exclude each other");
    }
    if (parser.isSet(QStringLiteral("sine")) || parser.isSet(QStringLiteral("cosine"))) {
        overrides.cosine = parser.isSet(QStringLiteral("cosine")) ? 1 : 0;
    }
    if (parser.isSet(QStringLiteral("fundamental-reference")) &&
        parser.isSet(QStringLiteral("harmonic-reference"))) {
        return QStringLiteral(
            "--fundamental-reference and --harmonic-reference exclude each other");
    }
    if (parser.isSet(QStringLiteral("fundamental-reference")) ||
        parser.isSet(QStringLiteral("harmonic-reference"))) {
        overrides.phaseReference = parser.isSet(QStringLiteral("harmonic-reference")) ? 1 : 0;
    }
    return {};
}

QString readCommandOptions(const QCommandLineParser& parser, const CommandSpec& spec,
                           CliRequest& request)
{
    for (const QString& name : parser.optionNames()) {
        const QString longName = name == QLatin1String("h") ? QStringLiteral("help") : name;
        const bool force = longName == QLatin1String("force") && spec.outputIndex >= 0;
        if (longName != QLatin1String("help") && !force && !kCommonOptions.contains(longName) &&
            !spec.options.contains(longName)) {
            return QStringLiteral("option --%1 does not apply to %2")
                .arg(longName, QLatin1String(spec.name));
        }
    }
    if (parser.isSet(QStringLiteral("fundamental"))) {
        const auto hz = wholeNumber(parser.value(QStringLiteral("fundamental")));
        if (!hz || *hz < 0.1 || *hz > 10000.0) {
            return QStringLiteral(
                       "--fundamental must be a frequency from 0.1 to 10000 Hz (got '%1')")
                .arg(parser.value(QStringLiteral("fundamental")));
        }
        request.fundamentalHz = *hz;
    }
    if (parser.isSet(QStringLiteral("size"))) {
        static const QRegularExpression pattern(QStringLiteral("^(\\d{1,6})x(\\d{1,6})$"));
        const auto match = pattern.match(parser.value(QStringLiteral("size")));
        const int width = match.hasMatch() ? match.captured(1).toInt() : 0;
        const int height = match.hasMatch() ? match.captured(2).toInt() : 0;
        if (width < 200 || width > 8000 || height < 150 || height > 8000) {
            return QStringLiteral("--size must be WxH within 200x150 to 8000x8000 (got '%1')")
                .arg(parser.value(QStringLiteral("size")));
        }
        request.width = width;
        request.height = height;
    }
    request.json = parser.isSet(QStringLiteral("json"));
    request.force = parser.isSet(QStringLiteral("force"));
    return {};
}

/** --preset, --order and --harmonic of new; ranges that depend on the design come later. */
QString readNewOptions(const QCommandLineParser& parser, CliRequest& request)
{
    if (parser.isSet(QStringLiteral("preset"))) {
        const QString name = parser.value(QStringLiteral("preset"));
        request.preset = presetNamed(name.toStdString());
        if (!request.preset) {
            return QStringLiteral("--preset must be square, triangle or sawtooth (got '%1')")
                .arg(name);
        }
    }
    if (parser.isSet(QStringLiteral("order"))) {
        const auto order = wholeInteger(parser.value(QStringLiteral("order")));
        if (!order || *order < 1 || *order > kMaxPresetOrder) {
            return QStringLiteral("--order must be an integer from 1 to %1 (got '%2')")
                .arg(kMaxPresetOrder)
                .arg(parser.value(QStringLiteral("order")));
        }
        if (!request.preset) {
            return QStringLiteral("--order needs --preset");
        }
        request.order = *order;
    }
    for (const QString& text : parser.values(QStringLiteral("harmonic"))) {
        const QStringList fields = text.split(u':');
        const auto number = fields.size() == 3 ? wholeNumber(fields[0]) : std::nullopt;
        const auto magnitude = fields.size() == 3 ? wholeNumber(fields[1]) : std::nullopt;
        const auto phase = fields.size() == 3 ? wholeInteger(fields[2]) : std::nullopt;
        if (!number || !magnitude || !phase) {
            return QStringLiteral(
                       "--harmonic must be N:MAG:PHASE, numbers and a whole phase (got '%1')")
                .arg(text);
        }
        request.harmonics.push_back(
            {text, static_cast<float>(*number), static_cast<float>(*magnitude), *phase});
    }
    return {};
}

/** --limits, --fundamental-rms and --list of check. */
QString readCheckOptions(const QCommandLineParser& parser, CliRequest& request)
{
    request.listMasks = parser.isSet(QStringLiteral("list"));
    request.limits = parser.value(QStringLiteral("limits"));
    if (parser.isSet(QStringLiteral("fundamental-rms"))) {
        const auto amperes = wholeNumber(parser.value(QStringLiteral("fundamental-rms")));
        if (!amperes || *amperes <= 0.0) {
            return QStringLiteral("--fundamental-rms must be a current above 0 A (got '%1')")
                .arg(parser.value(QStringLiteral("fundamental-rms")));
        }
        request.fundamentalRms = *amperes;
    }
    if (request.command != QLatin1String("check")) {
        return {};
    }
    if (request.listMasks) {
        return request.files.isEmpty() ? QString()
                                       : QStringLiteral("check --list takes no FILE");
    }
    if (request.limits.isEmpty()) {
        return QStringLiteral("check needs --limits NAME or --limits MASK.csv");
    }
    return {};
}

/** --rate, --seconds, --bits and --normalize. */
QString readWavOptions(const QCommandLineParser& parser, WavOptions& wav)
{
    if (parser.isSet(QStringLiteral("rate"))) {
        const auto rate = wholeInteger(parser.value(QStringLiteral("rate")));
        if (!rate || *rate < 8000 || *rate > 384000) {
            return QStringLiteral("--rate must be an integer from 8000 to 384000 Hz (got '%1')")
                .arg(parser.value(QStringLiteral("rate")));
        }
        wav.rate = *rate;
    }
    if (parser.isSet(QStringLiteral("seconds"))) {
        const auto seconds = wholeNumber(parser.value(QStringLiteral("seconds")));
        if (!seconds || *seconds <= 0.0 || *seconds > 3600.0) {
            return QStringLiteral("--seconds must be above 0 and at most 3600 (got '%1')")
                .arg(parser.value(QStringLiteral("seconds")));
        }
        if (!wav.rate) {
            return QStringLiteral("--seconds needs --rate");
        }
        wav.seconds = *seconds;
    }
    if (parser.isSet(QStringLiteral("bits"))) {
        const QString bits = parser.value(QStringLiteral("bits"));
        if (bits == QLatin1String("16")) {
            wav.encoding = WavEncoding::Pcm16;
        } else if (bits == QLatin1String("24")) {
            wav.encoding = WavEncoding::Pcm24;
        } else if (bits == QLatin1String("32f")) {
            wav.encoding = WavEncoding::Float32;
        } else {
            return QStringLiteral("--bits must be 16, 24 or 32f (got '%1')").arg(bits);
        }
    }
    wav.normalize = parser.isSet(QStringLiteral("normalize"));
    return {};
}

/** The formats a command reads or writes, for a file's extension or --format. */
const QStringList kReadFormats = {QStringLiteral("kvk"), QStringLiteral("kvw"),
                                  QStringLiteral("csv")};
const QStringList kPictureFormats = {QStringLiteral("png"), QStringLiteral("svg"),
                                     QStringLiteral("pdf")};

/** Checks "-", --format and the output's kind; returns the error text, or empty. */
QString checkStreamsAndOutput(const QCommandLineParser& parser, const CommandSpec& spec,
                              CliRequest& request)
{
    const QString command = QLatin1String(spec.name);
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
    const bool needsFormat = inputStream || (outputStream && command != QLatin1String("spectrum"));
    if (parser.isSet(QStringLiteral("format")) && !inputStream && !outputStream) {
        return QStringLiteral("--format applies only to - (standard input or output)");
    }
    if (needsFormat && request.format.isEmpty()) {
        return QStringLiteral("- needs --format to say what the stream holds");
    }
    QStringList outputFormats = kReadFormats;
    outputFormats << QStringLiteral("wav");
    if (command == QLatin1String("plot")) {
        outputFormats = kPictureFormats;
    } else if (command == QLatin1String("spectrum")) {
        outputFormats = {QStringLiteral("csv")};
    }
    // spectrum always writes CSV: with - in and out, the format is the input's.
    const bool outputTakesFormat =
        outputStream && !(inputStream && command == QLatin1String("spectrum"));
    for (const auto& [used, formats] :
         {std::pair{inputStream, kReadFormats}, std::pair{outputTakesFormat, outputFormats}}) {
        if (used && !request.format.isEmpty() && !formats.contains(request.format)) {
            return QStringLiteral("--format must be %1 here (got '%2')")
                .arg(formats.join(QStringLiteral(", ")), request.format);
        }
    }
    const QString kind = outputFormat(request);
    if (!output.isEmpty() && !outputStream && command != QLatin1String("convert") &&
        command != QLatin1String("new") && !outputFormats.contains(kind)) {
        return QStringLiteral("%1 writes %2, not '%3'")
            .arg(command, outputFormats.join(QStringLiteral(", ")), output);
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
    request.help = parser.isSet(QStringLiteral("help"));
    request.version = parser.isSet(QStringLiteral("version"));
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        if (!request.help && !request.version) {
            request.usageError = QStringLiteral("no command given");
        }
        return request;
    }
    request.command = positional.takeFirst();
    const CommandSpec* spec = findCommand(request.command);
    if (!spec) {
        request.usageError = QStringLiteral("unknown command '%1'").arg(request.command);
        return request;
    }
    if (request.help) {
        return request;
    }
    // check --list lists the masks and reads no file.
    const bool listing = spec->name == std::string_view("check") &&
                         parser.isSet(QStringLiteral("list"));
    if ((positional.size() < spec->minFiles && !listing) ||
        (spec->maxFiles >= 0 && positional.size() > spec->maxFiles)) {
        request.usageError =
            QStringLiteral("%1 takes %2").arg(request.command, QLatin1String(spec->arguments));
        return request;
    }
    request.files = positional;
    request.usageError = readSettingOptions(parser, request.overrides);
    if (request.usageError.isEmpty()) {
        request.usageError = readCommandOptions(parser, *spec, request);
    }
    if (request.usageError.isEmpty()) {
        request.usageError = readNewOptions(parser, request);
    }
    if (request.usageError.isEmpty()) {
        request.usageError = readCheckOptions(parser, request);
    }
    if (request.usageError.isEmpty()) {
        request.usageError = readWavOptions(parser, request.wav);
    }
    if (request.usageError.isEmpty()) {
        request.usageError = checkStreamsAndOutput(parser, *spec, request);
    }
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
        return request.command == QLatin1String("spectrum") ? QStringLiteral("csv")
                                                            : request.format;
    }
    return QFileInfo(output).suffix().toLower();
}

QString helpText(const QString& command)
{
    static const std::pair<const char*, const char*> kOptionLines[] = {
        {"json",
         "  --json                    one compact JSON object per file and line, with the\n"
         "                            calculated rows and the spectrum (percent per bin);\n"
         "                            \"file\" is the name as printed, and where that is not\n"
         "                            the name itself \"fileBytes\" holds its bytes in base64\n"},
        {"preset",
         "  --preset NAME             square (odd n, 100/n %, -90), triangle (odd n,\n"
         "                            100/n^2 %, -90 and 90 in turn) or sawtooth (every\n"
         "                            n, 100/n %, -90): sine series, rising from 0\n"},
        {"order",
         "  --order N                 the preset's highest harmonic, 1 to 255 (default 63);\n"
         "                            entries beyond the ppc's slot limit are left out\n"},
        {"harmonic",
         "  --harmonic N:MAG:PHASE    one more entry, repeatable, within the Add dialog's\n"
         "                            ranges: N 0 to ppc/2 - 1/slots, MAG 0 to 100, PHASE\n"
         "                            -180 to 180; a number present already is refused\n"},
        {"fundamental",
         "  --fundamental HZ          fundamental of a .wav, 0.1 to 10000 Hz (default 50)\n"},
        {"rate",
         "  --rate HZ                 .wav sample rate, 8000 to 384000: the design is\n"
         "                            synthesised at t = i / HZ for --seconds\n"},
        {"seconds",
         "  --seconds S               .wav length with --rate, up to 3600 (default 1)\n"},
        {"bits",
         "  --bits 16|24|32f          .wav samples (default 32f); beyond full scale a\n"
         "                            warning names the peak and the clipped samples\n"},
        {"normalize", "  --normalize               .wav peak scaled to full scale\n"},
        {"size",
         "  --size WxH                picture size, 200x150 to 8000x8000 (default 1000x700)\n"},
        {"limits",
         "  --limits NAME|MASK.csv    a built-in mask (en50160, iec61000-2-2, ieee519-1kv,\n"
         "                            ieee519-69kv, ieee519-161kv, ieee519-hv,\n"
         "                            iec61000-3-2-a) or a file of order,limit_percent\n"
         "                            lines with an optional thd,LIMIT,HIGHEST_ORDER line\n"},
        {"fundamental-rms",
         "  --fundamental-rms A       the fundamental's RMS current in amperes, which a mask\n"
         "                            in amperes (iec61000-3-2-a) needs\n"},
        {"list", "  --list                    print the built-in masks with their tables\n"},
    };
    const QString common = QStringLiteral(
        "Settings (override those in force after reading, within the Preferences limits):\n"
        "  --ppc X                   samples per cycle, 25 to 512\n"
        "  --display-cycles N        cycles in the waveform, 1 to 12\n"
        "  --fft-cycles N            cycles in the FFT window, 1 to 12\n"
        "  --sine | --cosine         harmonics are sines or cosines\n"
        "  --fundamental-reference | --harmonic-reference\n"
        "                            phases in degrees of the fundamental's or each harmonic's "
        "period\n\n"
        "Standard streams:\n"
        "  -                         as an input reads standard input, as an output writes\n"
        "                            standard output\n"
        "  --format F                what - holds, required with it: kvk, kvw or csv (outputs\n"
        "                            also wav, plot's png, svg or pdf); one format for both;\n"
        "                            spectrum writes CSV; a .wav to - is streamed as it is\n"
        "                            made\n");
    if (const CommandSpec* spec = findCommand(command)) {
        QString text = QStringLiteral("Usage: korvalin-cli %1 [options] %2\n\n%3\n\n")
                           .arg(QLatin1String(spec->name), QLatin1String(spec->arguments),
                                QLatin1String(spec->summary));
        for (const auto& [name, line] : kOptionLines) {
            if (spec->options.contains(QLatin1String(name))) {
                text += QLatin1String(line);
            }
        }
        if (spec->outputIndex >= 0) {
            text += QStringLiteral(
                "  --force                   replace OUT even if it is write-protected\n");
        }
        return text + u'\n' + common;
    }
    QString text = QStringLiteral(
        "Usage: korvalin-cli COMMAND [options] FILES\n\n"
        "The Korvalin engine from the command line: reads and writes what the window does.\n"
        "Files are read under the default settings (12 display cycles, 1 FFT cycle, cosine,\n"
        "harmonic reference, 128 samples per cycle) unless the file or an option sets others.\n"
        "A file is read as coefficients unless its extension is exactly kvw (a waveshape) or\n"
        "csv (samples); outputs by extension as convert says, so .txt and .KVW outputs become\n"
        "coefficient files, as Save As makes them.\n\n"
        "Commands:\n");
    for (const CommandSpec& spec : kCommands) {
        // Two spaces before the brief text make each command a paragraph of its own in the
        // man page that help2man builds from this text.
        const QString usage = QStringLiteral("%1 %2").arg(QLatin1String(spec.name),
                                                          QLatin1String(spec.arguments));
        text += QStringLiteral("  %1  %2\n")
                    .arg(usage, -kCommandColumn)
                    .arg(QLatin1String(spec.brief));
    }
    text += QStringLiteral(
        "\nCommand options ('korvalin-cli COMMAND --help' describes each "
        "command):\n");
    for (const auto& [name, line] : kOptionLines) {
        text += QLatin1String(line);
    }
    text +=
        u'\n' + common +
        QStringLiteral(
            "\n  --help                    this text\n  --version                 the version\n\n"
            "Exit status: 0 done (also after a clipping warning), 1 a file could not be read or\n"
            "written, 2 a usage error (an unknown option, a value out of range, an output\n"
            "extension the command does not write), 3 check found a limit exceeded or an order\n"
            "it could not measure, 130 or 143 a WAV stopped by SIGINT or SIGTERM (nothing is\n"
            "left of its file).\n");
    return text;
}
