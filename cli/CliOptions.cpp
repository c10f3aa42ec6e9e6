#include "CliOptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <cmath>

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
        settings.cosine = *cosine;
    }
    if (phaseReference) {
        settings.phaseReference = *phaseReference;
    }
}

namespace {

struct CommandSpec {
    const char* name;
    int files;              ///< positional files after the command
    const char* arguments;  ///< for the usage line
    const char* summary;
    QStringList options;  ///< options beyond the common ones
};

const QStringList kCommonOptions = {QStringLiteral("ppc"),
                                    QStringLiteral("display-cycles"),
                                    QStringLiteral("fft-cycles"),
                                    QStringLiteral("sine"),
                                    QStringLiteral("cosine"),
                                    QStringLiteral("fundamental-reference"),
                                    QStringLiteral("harmonic-reference")};

const CommandSpec kCommands[] = {
    {"show",
     1,
     "FILE",
     "Reads FILE as File > Open does and prints its settings, harmonics, the five distortion\n"
     "figures and the waveform's peak, RMS and crest factor.",
     {QStringLiteral("json")}},
    {"convert",
     2,
     "IN OUT",
     "Reads IN (.kvk, .kvw or a .csv of index,value lines) and writes OUT by its extension:\n"
     ".kvk coefficients, .kvw waveshape, .csv displayed samples, .wav 32-bit float mono\n"
     "(100 % is 1.0) at ppc x the fundamental frequency.",
     {QStringLiteral("fundamental"), QStringLiteral("force")}},
    {"plot",
     2,
     "IN OUT",
     "Renders the waveform and spectrum charts of IN to OUT (.png, .svg or .pdf).",
     {QStringLiteral("size"), QStringLiteral("force")}},
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
        {QStringLiteral("json"), QStringLiteral("show: print one JSON object.")},
        {QStringLiteral("fundamental"),
         QStringLiteral("convert: fundamental frequency of a .wav, 0.1 to 10000 Hz (default 50)."),
         QStringLiteral("HZ")},
        {QStringLiteral("size"),
         QStringLiteral("plot: picture size, 200x150 to 8000x8000 (default 1000x700)."),
         QStringLiteral("WxH")},
        {QStringLiteral("force"), QStringLiteral("convert, plot: replace a write-protected OUT.")},
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show help.")},
        {QStringLiteral("version"), QStringLiteral("Show the version.")},
    });
}

/** Checks one setting option; returns the error text, or empty. */
QString readSettingOptions(const QCommandLineParser& parser, SettingOverrides& overrides)
{
    if (parser.isSet(QStringLiteral("ppc"))) {
        const auto ppc = wholeNumber(parser.value(QStringLiteral("ppc")));
        if (!ppc || *ppc < 25.0 || *ppc > 512.0) {
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
        if (!cycles || *cycles < kMinCycles || *cycles > kMaxCycles) {
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
        if (longName != QLatin1String("help") && !kCommonOptions.contains(longName) &&
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

}  // namespace

CliRequest parseCommandLine(const QStringList& arguments)
{
    CliRequest request;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    addOptions(parser);
    if (!parser.parse(arguments)) {
        request.usageError = parser.errorText();
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
    if (positional.size() != spec->files) {
        request.usageError =
            QStringLiteral("%1 takes %2").arg(request.command, QLatin1String(spec->arguments));
        return request;
    }
    request.files = positional;
    request.usageError = readSettingOptions(parser, request.overrides);
    if (request.usageError.isEmpty()) {
        request.usageError = readCommandOptions(parser, *spec, request);
    }
    return request;
}

QString helpText(const QString& command)
{
    const QString common = QStringLiteral(
        "Settings (override those in force after reading, within the Preferences limits):\n"
        "  --ppc X                   samples per cycle, 25 to 512\n"
        "  --display-cycles N        cycles in the waveform, 1 to 12\n"
        "  --fft-cycles N            cycles in the FFT window, 1 to 12\n"
        "  --sine | --cosine         harmonics are sines or cosines\n"
        "  --fundamental-reference | --harmonic-reference\n"
        "                            phases in degrees of the fundamental's or each harmonic's "
        "period\n");
    if (const CommandSpec* spec = findCommand(command)) {
        QString text = QStringLiteral("Usage: korvalin-cli %1 [options] %2\n\n%3\n\n")
                           .arg(QLatin1String(spec->name), QLatin1String(spec->arguments),
                                QLatin1String(spec->summary));
        if (spec->options.contains(QStringLiteral("json"))) {
            text += QStringLiteral(
                "  --json                    one JSON object, numbers at full precision\n");
        }
        if (spec->options.contains(QStringLiteral("fundamental"))) {
            text += QStringLiteral(
                "  --fundamental HZ          fundamental of a .wav, 0.1 to 10000 Hz (default "
                "50)\n");
        }
        if (spec->options.contains(QStringLiteral("size"))) {
            text += QStringLiteral(
                "  --size WxH                picture size, 200x150 to 8000x8000 (default "
                "1000x700)\n");
        }
        if (spec->options.contains(QStringLiteral("force"))) {
            text += QStringLiteral(
                "  --force                   replace OUT even if it is write-protected\n");
        }
        return text + u'\n' + common;
    }
    QString text = QStringLiteral(
        "Usage: korvalin-cli COMMAND [options] FILES\n\n"
        "The Korvalin engine from the command line: reads and writes what the window does.\n"
        "Files are read under the default settings (12 display cycles, 1 FFT cycle, cosine,\n"
        "harmonic reference, 128 samples per cycle) unless the file or an option sets others.\n\n"
        "Commands:\n");
    for (const CommandSpec& spec : kCommands) {
        text += QStringLiteral("  %1 %2\n")
                    .arg(QLatin1String(spec.name), QLatin1String(spec.arguments));
    }
    text +=
        QStringLiteral("\n'korvalin-cli COMMAND --help' describes each.\n\n") + common +
        QStringLiteral(
            "\n  --help                    this text\n  --version                 the version\n\n"
            "Exit status: 0 done, 1 a file could not be read or written, 2 a usage error.\n");
    return text;
}
