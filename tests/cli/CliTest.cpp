#include "CliApp.h"

#include <QApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <fcntl.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "JsonText.h"
#include "Outputs.h"
#include "app/WaveSettings.h"
#include "design/Design.h"
#include "engine/HarmonicTable.h"
#include "files/CoefficientFile.h"
#include "files/DocumentReader.h"
#include "files/InputFile.h"
#include "files/WaveshapeFile.h"
#include "support/TestSupport.h"

namespace {

const std::string kExamples = KORVALIN_EXAMPLES;

struct CliRun {
    int status = -1;
    QString out;
    QString err;
    std::string bytes;  ///< what went to standard output as bytes ("-")
};

CliRun cli(const std::vector<std::string>& arguments, const std::string& input = {})
{
    QStringList list{QStringLiteral("korvalin-cli")};
    for (const std::string& a : arguments) {
        list << QString::fromStdString(a);
    }
    CliRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    std::istringstream standardInput(input);
    std::ostringstream standardOutput;
    run.status = runCli(list, out, err, standardInput, standardOutput);
    run.bytes = standardOutput.str();
    return run;
}

QJsonObject jsonObject(const QString& line)
{
    return QJsonDocument::fromJson(line.toUtf8()).object();
}

struct WavFacts {
    SF_INFO info{};
    std::vector<float> samples;
};

/** A WAV as libsndfile reads it back. */
WavFacts readWav(const std::string& path)
{
    WavFacts facts;
    SNDFILE* wav = sf_open(path.c_str(), SFM_READ, &facts.info);
    if (wav != nullptr) {
        facts.samples.resize(static_cast<std::size_t>(facts.info.frames));
        sf_readf_float(wav, facts.samples.data(), facts.info.frames);
        sf_close(wav);
    }
    return facts;
}

std::string example(const char* name)
{
    return kExamples + "/" + name;
}

/** Peak resident memory of this process so far, in MiB. */
long peakMegabytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

TEST(CliShow, PrintsRowsFiguresAndWaveformMeasures)
{
    const CliRun run = cli({"show", example("square.kvk")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const std::string text = run.out.toStdString();
    EXPECT_NE(text.find("Harmonic    Magnitude  Phase\n1.00           100.00    -90\n3.00          "
                        "  33.33    -90"),
              std::string::npos)
        << text;
    // A square wave's odd harmonics 3 to 63 at 100 / n.
    double odd = 0.0;
    for (int n = 3; n <= 63; n += 2) {
        odd += (100.0 / n) * (100.0 / n);
    }
    char expected[64];
    std::snprintf(expected, sizeof expected, "Total: %.2f%%   Odd: %.2f%%   Even: 0.00%%",
                  std::sqrt(odd), std::sqrt(odd));
    EXPECT_NE(text.find(expected), std::string::npos) << text;
    EXPECT_NE(text.find("12 display cycles, 1 FFT cycle, 128 samples per cycle, cosine"),
              std::string::npos);
    EXPECT_TRUE(run.err.isEmpty());
}

TEST(CliShow, JsonLinesOneObjectPerReadableInputInArgumentOrder)
{
    const CliRun run = cli({"show", "--json", example("dc-and-interharmonics.kvk"),
                            example("missing.kvk"), example("square.kvk")});
    EXPECT_EQ(run.status, 1);  // the missing file is reported, the others still printed
    EXPECT_TRUE(run.err.contains(QStringLiteral("missing.kvk")));
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << run.out.toStdString();

    const QJsonObject dc = jsonObject(lines[0]);
    EXPECT_TRUE(dc.value(QStringLiteral("file"))
                    .toString()
                    .endsWith(QStringLiteral("dc-and-interharmonics.kvk")));
    EXPECT_EQ(
        dc.value(QStringLiteral("settings")).toObject().value(QStringLiteral("fftCycles")).toInt(),
        2);
    const QJsonArray harmonics = dc.value(QStringLiteral("harmonics")).toArray();
    ASSERT_EQ(harmonics.size(), 6);
    EXPECT_EQ(harmonics.at(2).toObject().value(QStringLiteral("number")).toDouble(), 1.5);
    EXPECT_EQ(harmonics.at(2).toObject().value(QStringLiteral("phase")).toInt(), 30);
    const QJsonObject figures = dc.value(QStringLiteral("figures")).toObject();
    EXPECT_NEAR(figures.value(QStringLiteral("dc")).toDouble(), 5.0, 1e-9);
    EXPECT_NEAR(figures.value(QStringLiteral("inter")).toDouble(), 5.0, 1e-9);  // hypot(4, 3)
    EXPECT_NEAR(figures.value(QStringLiteral("odd")).toDouble(), std::hypot(10.0, 6.0), 1e-9);
    const QJsonObject waveform = dc.value(QStringLiteral("waveform")).toObject();
    EXPECT_EQ(waveform.value(QStringLiteral("samples")).toInt(), 1536);
    EXPECT_GT(waveform.value(QStringLiteral("crestFactor")).toDouble(), 1.0);

    const QJsonObject square = jsonObject(lines[1]);
    EXPECT_TRUE(
        square.value(QStringLiteral("file")).toString().endsWith(QStringLiteral("square.kvk")));
    EXPECT_EQ(square.value(QStringLiteral("spectrum")).toArray().size(), 65);  // B bins
    const QJsonArray rows = square.value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(rows.size(), 32);
    EXPECT_EQ(rows.at(1).toObject().value(QStringLiteral("number")).toDouble(), 3.0);
    // 32-bit values in their own shortest form, not the double's digits.
    EXPECT_TRUE(lines[1].contains(QStringLiteral("\"magnitude\":33.333332,")))
        << lines[1].toStdString();
}

TEST(CliShow, JsonNumbersAreQJsonDocumentsOwn)
{
    const auto qt = [](double value) {
        const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        return text.mid(1, text.size() - 2).toStdString();
    };
    for (const double value : {0.0, -0.0, 1e15, 0x1p53 + 2.0, 1e16, 1e-4, 0.00016, 1e-5, -2.5e-300,
                               123456.78901, 1e300, std::nan("")}) {
        std::string text;
        appendJsonNumber(text, value);
        EXPECT_EQ(text, qt(value)) << value;
    }
    for (const float value : {0.5F, 33.333332F, 1e-7F, 16777216.0F, 8.680911e12F, 3.4e38F}) {
        std::string text;
        appendJsonFloat(text, value);
        EXPECT_EQ(text, qt(shortestFloat(value))) << value;
    }
}

TEST(CliShow, OptionsOverrideTheFilesSettings)
{
    const CliRun run = cli(
        {"show", "--json", "--fft-cycles", "3", "--ppc", "100.5", "--sine", example("square.kvk")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonObject settings = QJsonDocument::fromJson(run.out.toUtf8())
                                     .object()
                                     .value(QStringLiteral("settings"))
                                     .toObject();
    EXPECT_EQ(settings.value(QStringLiteral("fftCycles")).toInt(), 3);
    EXPECT_EQ(settings.value(QStringLiteral("ppc")).toDouble(), 100.5);
    EXPECT_FALSE(settings.value(QStringLiteral("cosine")).toBool());
}

TEST(CliConvert, WritesExactlyWhatSaveAsWrites)
{
    TempDir dir;
    ASSERT_EQ(cli({"convert", example("square.kvk"), dir.file("out.kvw")}).status, 0);
    ASSERT_EQ(cli({"convert", example("square.kvk"), dir.file("out.kvk")}).status, 0);
    // What Open then Save As would give: the file's entries as read, written again.
    Design design;
    ASSERT_TRUE(design.open(example("square.kvk")).opened);
    ASSERT_EQ(design.table().count(), 32);
    const bool same =
        readWholeFile(dir.file("out.kvw")) == WriteWaveshapeFile(design.active(), design.table());
    EXPECT_TRUE(same);
    EXPECT_EQ(readWholeFile(dir.file("out.kvk")), readWholeFile(example("square.kvk")));
}

TEST(CliConvert, CsvCarriesTheDisplayedSamplesAndTheSettings)
{
    TempDir dir;
    writeWholeFile(dir.file("f.kvk"), ":2 12 1 1 100\n1 100 0\n");
    ASSERT_EQ(
        cli({"convert", "--display-cycles", "3", dir.file("f.kvk"), dir.file("f.csv")}).status, 0);
    const std::string csv = readWholeFile(dir.file("f.csv"));
    EXPECT_EQ(csv.rfind(";2 3 1 1 100.000000\nindex,value\n0,100.000000\n1,99.802673\n", 0), 0U)
        << csv.substr(0, 80);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 302);

    // Read back as waveshape samples under the settings the CSV carries.
    const CliRun back = cli({"show", "--json", dir.file("f.csv")});
    ASSERT_EQ(back.status, 0) << back.err.toStdString();
    const QJsonObject root = jsonObject(back.out);
    const QJsonObject settings = root.value(QStringLiteral("settings")).toObject();
    EXPECT_EQ(settings.value(QStringLiteral("fftCycles")).toInt(), 2);
    EXPECT_EQ(settings.value(QStringLiteral("displayCycles")).toInt(), 3);
    EXPECT_EQ(settings.value(QStringLiteral("ppc")).toDouble(), 100.0);
    const QJsonArray harmonics = root.value(QStringLiteral("harmonics")).toArray();
    ASSERT_EQ(harmonics.size(), 1);
    EXPECT_EQ(harmonics.at(0).toObject().value(QStringLiteral("magnitude")).toDouble(), 100.0);
}

struct NewCase {
    std::vector<std::string> arguments;  ///< before OUT.kvk
    const char* file;                    ///< what OUT.kvk then holds
};

TEST(CliNew, BuildsTheDesignFromPresetAndHarmonics)
{
    const NewCase cases[] = {
        {{}, ":1 12 1 1 128.000000\r\n1 100.000000 0\r\n"},
        {{"--preset", "triangle", "--order", "5"},
         ":1 12 1 1 128.000000\r\n1 100.000000 -90\r\n3 11.111111 90\r\n5 4.000000 -90\r\n"},
        // The options' settings go to the file, and their ppc's slot limit leaves out 13, 15.
        {{"--sine", "--ppc", "25", "--preset", "square", "--order", "15"},
         ":1 12 0 1 25.000000\r\n1 100.000000 -90\r\n3 33.333332 -90\r\n5 20.000000 "
         "-90\r\n7 14.285714 -90\r\n9 11.111111 -90\r\n11 9.090909 -90\r\n"},
        {{"--preset", "sawtooth", "--order", "2", "--harmonic", "1.5:10:-45"},
         ":1 12 1 1 128.000000\r\n1 100.000000 -90\r\n1.5 10.000000 -45\r\n2 50.000000 "
         "-90\r\n"},
        // Without a preset the entries are the table; the Add dialog's bounds are inclusive.
        {{"--harmonic", "63.998046875:100:180", "--harmonic", "0:0:-180"},
         ":1 12 1 1 128.000000\r\n0 0.000000 -180\r\n63.998 100.000000 180\r\n"},
    };
    TempDir dir;
    for (const NewCase& c : cases) {
        std::vector<std::string> arguments{"new"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        arguments.push_back(dir.file("out.kvk"));
        const CliRun run = cli(arguments);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(readWholeFile(dir.file("out.kvk")), c.file) << c.arguments.size();
    }
}

struct StreamCase {
    std::vector<std::string> arguments;
    std::string input;
    std::function<void(const CliRun&)> check;
};

TEST(CliStreams, DashReadsStandardInputAndWritesStandardOutput)
{
    const std::string square = readWholeFile(example("square.kvk"));
    const StreamCase cases[] = {
        {{"convert", "--format", "kvk", "-", "-"},
         square,
         [&](const CliRun& run) { EXPECT_EQ(run.bytes, square); }},
        {{"show", "--json", "--format", "csv", "-"},
         ";3 12 1 1 64\n0,1\n16,0\n32,-1\n48,0\n",
         [](const CliRun& run) {
             const QJsonObject root = jsonObject(run.out);
             EXPECT_EQ(root.value(QStringLiteral("file")).toString(), QStringLiteral("-"));
             EXPECT_EQ(root.value(QStringLiteral("settings"))
                           .toObject()
                           .value(QStringLiteral("fftCycles"))
                           .toInt(),
                       3);
         }},
        // One line per bin after the header: B = 3 x 100 / 2 + 1.
        {{"spectrum", "--fft-cycles", "3", "--ppc", "100", example("square.kvk")},
         {},
         [](const CliRun& run) {
             EXPECT_EQ(std::count(run.bytes.begin(), run.bytes.end(), '\n'), 1 + 151);
             EXPECT_NE(run.bytes.find("\n3,1,100.000000,-90.00\n"), std::string::npos);
         }},
        // A waveshape in and its spectrum out: the square's third harmonic comes back.
        {{"spectrum", "--format", "kvw", "-", "-"},
         cli({"convert", "--format", "kvw", example("square.kvk"), "-"}).bytes,
         [](const CliRun& run) {
             EXPECT_EQ(run.bytes.rfind("bin,harmonic,percent,phase_degrees\n", 0), 0U);
             EXPECT_NE(run.bytes.find("\n3,3,33.33"), std::string::npos);
         }},
        {{"convert", "--format", "wav", example("square.kvk"), "-"},
         {},
         [](const CliRun& run) { EXPECT_EQ(run.bytes.rfind("RIFF", 0), 0U); }},
    };
    for (const StreamCase& c : cases) {
        const CliRun run = cli(c.arguments, c.input);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        c.check(run);
    }
}

struct WavCase {
    std::vector<std::string> arguments;  ///< before IN and OUT.wav
    int rate;
    int frames;
    int subtype;
    std::vector<std::pair<int, float>> samples;  ///< index and value read back
};

TEST(CliWav, RateLengthAndDepthAsAskedAndTheSameBytesEveryRun)
{
    const WavCase cases[] = {
        // The displayed samples at ppc x the fundamental.
        {{"--fundamental", "60"},
         128 * 60,
         1536,
         SF_FORMAT_FLOAT,
         {{0, 1.0F}, {32, 0.0F}, {64, -1.0F}}},
        // t = i / rate: 50 Hz has its quarter period at 240 samples of 48 kHz.
        {{"--rate", "48000", "--seconds", "1", "--bits", "24"},
         48000,
         48000,
         SF_FORMAT_PCM_24,
         {{0, 1.0F}, {240, 0.0F}, {480, -1.0F}, {47999, 1.0F}}},
        {{"--rate", "8000", "--seconds", "0.5", "--bits", "16", "--sine"},
         8000,
         4000,
         SF_FORMAT_PCM_16,
         {{0, 0.0F}, {40, 1.0F}}},
    };
    TempDir dir;
    writeWholeFile(dir.file("f.kvk"), "1 100 0\n");
    for (const WavCase& c : cases) {
        std::string first;
        for (const char* name : {"a.wav", "b.wav"}) {
            std::vector<std::string> arguments{"convert"};
            arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
            arguments.insert(arguments.end(), {dir.file("f.kvk"), dir.file(name)});
            const CliRun run = cli(arguments);
            ASSERT_EQ(run.status, 0) << run.err.toStdString();
            EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
        }
        const std::string bytes = readWholeFile(dir.file("a.wav"));
        EXPECT_EQ(bytes, readWholeFile(dir.file("b.wav"))) << c.rate;
        EXPECT_EQ(bytes.find("PEAK"), std::string::npos);  // it holds the time of writing
        const WavFacts wav = readWav(dir.file("a.wav"));
        EXPECT_EQ(wav.info.samplerate, c.rate);
        EXPECT_EQ(wav.info.channels, 1);
        EXPECT_EQ(wav.info.frames, c.frames);
        EXPECT_EQ(wav.info.format, SF_FORMAT_WAV | c.subtype);
        for (const auto& [index, value] : c.samples) {
            EXPECT_NEAR(wav.samples.at(static_cast<std::size_t>(index)), value, 1e-4F)
                << c.rate << " " << index;
        }
    }
}

TEST(CliWav, SamplesBeyondFullScaleAreNamedAndClippedUnlessNormalized)
{
    struct Case {
        const char* option;
        const char* warning;  ///< empty: none
        int atFullScale;      ///< samples read back at full scale
    };
    const Case cases[] = {
        {"--fundamental=50", "peak, 126.20 %, exceeds full scale; 318 of 1536", 318},
        {"--normalize", "", 6},  // the peak of each of the six periods
    };
    TempDir dir;
    for (const Case& c : cases) {
        const CliRun run = cli({"convert", c.option, "--bits", "16",
                                example("dc-and-interharmonics.kvk"), dir.file("d.wav")});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err.isEmpty(), *c.warning == '\0') << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.warning))) << run.err.toStdString();
        const WavFacts wav = readWav(dir.file("d.wav"));
        EXPECT_EQ(std::count_if(wav.samples.begin(), wav.samples.end(),
                                [](float x) { return std::fabs(x) > 0.9999F; }),
                  c.atFullScale)
            << c.option;
    }
}

TEST(CliPlot, DrawsEachFormatAtTheRequestedSize)
{
    TempDir dir;
    const CliRun png =
        cli({"plot", "--size", "640x480", example("triangle.kvk"), dir.file("t.png")});
    ASSERT_EQ(png.status, 0) << png.err.toStdString();
    EXPECT_TRUE(png.out.contains(QStringLiteral("t.png")));
    const QImage image(QString::fromStdString(dir.file("t.png")));
    EXPECT_EQ(image.size(), QSize(640, 480));
    ASSERT_EQ(cli({"plot", example("triangle.kvk"), dir.file("t.svg")}).status, 0);
    EXPECT_NE(readWholeFile(dir.file("t.svg")).find("<svg"), std::string::npos);
    ASSERT_EQ(cli({"plot", example("triangle.kvk"), dir.file("t.pdf")}).status, 0);
    EXPECT_EQ(readWholeFile(dir.file("t.pdf")).rfind("%PDF", 0), 0U);
}

TEST(CliErrors, UsageMistakesExitTwoWithOneLine)
{
    struct Case {
        std::vector<std::string> arguments;
        const char* fragment;
    };
    const Case cases[] = {
        {{}, "no command given"},
        {{"frobnicate", "x"}, "unknown command 'frobnicate'"},
        {{"show"}, "show takes FILE"},
        {{"show", "--ppc", "600", "x.kvk"}, "--ppc must be a number from 25 to 512 (got '600')"},
        {{"show", "--ppc", "24.9", "x.kvk"}, "from 25 to 512"},
        {{"show", "--fft-cycles", "13", "x.kvk"}, "--fft-cycles must be an integer from 1 to 12"},
        {{"show", "--display-cycles", "0", "x.kvk"},
         "--display-cycles must be an integer from 1 to 12"},
        {{"show", "--sine", "--cosine", "x.kvk"}, "exclude each other"},
        {{"show", "--size", "10x10", "x.kvk"}, "option --size does not apply to show"},
        {{"plot", "--size", "10x10", "x.kvk", "y.png"}, "--size must be WxH"},
        {{"convert", "--fundamental", "0", "x.kvk", "y.wav"}, "0.1 to 10000 Hz"},
        {{"show", "--bogus", "x.kvk"}, "Unknown option 'bogus'"},
        {{"plot", "x.kvk", "y.bmp"}, "plot writes png, svg, pdf, not 'y.bmp'"},
        {{"spectrum", "x.kvk", "y.txt"}, "spectrum writes csv"},
        {{"show", "-"}, "- needs --format"},
        {{"show", "--format", "kvk", "-", "-"}, "can be read only once"},
        {{"show", "--format", "kvk", "x.kvk"}, "--format applies only to -"},
        {{"convert", "--format", "png", "x.kvk", "-"}, "--format must be kvk, kvw, csv, wav"},
        {{"convert", "--rate", "7999", "x.kvk", "y.wav"}, "8000 to 384000"},
        {{"convert", "--seconds", "1", "x.kvk", "y.wav"}, "--seconds needs --rate"},
        {{"convert", "--rate", "8000", "--seconds", "3601", "x.kvk", "y.wav"}, "at most 3600"},
        {{"convert", "--bits", "8", "x.kvk", "y.wav"}, "--bits must be 16, 24 or 32f"},
        {{"convert", "--normalize", "x.kvk", "y.kvk"}, "apply to a .wav output"},
        {{"new", "--preset", "circle", "y.kvk"}, "--preset must be square"},
        {{"new", "--order", "5", "y.kvk"}, "--order needs --preset"},
        {{"new", "--preset", "square", "--order", "256", "y.kvk"}, "from 1 to 255"},
        {{"new", "--harmonic", "3:10", "y.kvk"}, "--harmonic must be N:MAG:PHASE"},
        {{"new", "--harmonic", "3:10:0.5", "y.kvk"}, "--harmonic must be N:MAG:PHASE"},
        {{"new", "--harmonic", "63.999:10:0", "y.kvk"}, "the number must be from 0 to 63.998"},
        {{"new", "--ppc", "100", "--harmonic", "50.5:10:0", "y.kvk"}, "from 0 to 49.9985"},
        {{"new", "--harmonic", "-0.5:10:0", "y.kvk"}, "the number must be"},
        {{"new", "--harmonic", "3:100.01:0", "y.kvk"}, "the magnitude must be from 0 to 100"},
        {{"new", "--harmonic", "3:-1:0", "y.kvk"}, "the magnitude must be"},
        {{"new", "--harmonic", "3:1:-181", "y.kvk"}, "the phase must be from -180 to 180"},
        {{"new", "--preset", "square", "--harmonic", "3:1:0", "y.kvk"},
         "harmonic 3.00 is already specified"},
    };
    for (const Case& c : cases) {
        const CliRun run = cli(c.arguments);
        EXPECT_EQ(run.status, 2) << c.fragment;
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.fragment))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("--help")));
        EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
    }
}

TEST(CliErrors, AFileWithoutContentGivesAnEmptyTableAndSaysSo)
{
    TempDir dir;
    writeWholeFile(dir.file("junk.kvk"), "hello\nworld\n\x01\x02\x03\n");
    const CliRun run = cli({"show", "--json", dir.file("junk.kvk")});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.err.contains(QStringLiteral("no valid content")));
    EXPECT_EQ(QJsonDocument::fromJson(run.out.toUtf8())
                  .object()
                  .value(QStringLiteral("harmonics"))
                  .toArray()
                  .size(),
              0);
}

/** What korvalin-cli's standard output goes to in a run of the real program. */
enum class Output { File, FullDevice, ClosedPipe };

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

/** Runs the real korvalin-cli with arguments as raw bytes, as a shell would pass them. */
ProgramRun program(const TempDir& dir, std::vector<std::string> arguments, Output output)
{
    arguments.insert(arguments.begin(), KORVALIN_CLI);
    std::vector<char*> argv;
    for (std::string& a : arguments) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    int pipeEnds[2] = {-1, -1};
    if (output == Output::ClosedPipe && ::pipe(pipeEnds) == 0) {
        ::close(pipeEnds[0]);  // no one will ever read
    }
    const std::string outPath = dir.file("stdout"), errPath = dir.file("stderr");
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = output == Output::ClosedPipe   ? pipeEnds[1]
                        : output == Output::FullDevice ? ::open("/dev/full", O_WRONLY)
                                                       : ::creat(outPath.c_str(), 0644);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(::creat(errPath.c_str(), 0644), STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    int wait = 0;
    ::waitpid(child, &wait, 0);
    return {WIFEXITED(wait) ? WEXITSTATUS(wait) : 128 + WTERMSIG(wait), readWholeFile(outPath),
            readWholeFile(errPath)};
}

struct ProgramCase {
    const char* name;
    std::vector<std::string> arguments;  // "@" stands for the folder of the run
    Output output;
    int status;
    const char* said;               // in standard output, or with status 1 in standard error
    const char* written = nullptr;  // a file that must then exist in the folder
};

class CliProgram : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(CliProgram, NamesOutputsAndInputsThatAreNotFiles)
{
    const ProgramCase& c = GetParam();
    TempDir dir;
    writeWholeFile(dir.file("bad\xff.kvk"), readWholeFile(example("square.kvk")));
    writeWholeFile(dir.file("esc\x1b]0;x\a.kvk"), readWholeFile(example("square.kvk")));
    writeWholeFile(dir.file("ro.kvk"), "old");
    std::filesystem::permissions(dir.file("ro.kvk"), std::filesystem::perms::owner_read);
    makeSpecial(Special::Fifo, dir.file("fifo.kvk"));
    writeWholeFile(dir.file("big.kvk"), "");
    std::filesystem::resize_file(dir.file("big.kvk"), kMaxInputBytes + 1);
    std::vector<std::string> arguments = c.arguments;
    for (std::string& a : arguments) {
        if (a.front() == '@') {
            a = dir.file(a.substr(1));
        }
    }
    const ProgramRun run = program(dir, arguments, c.output);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE((c.status == 0 ? run.out : run.err).find(c.said), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
    if (c.written) {
        EXPECT_TRUE(std::filesystem::exists(dir.file(c.written)));
    }
    const bool forced = c.written && std::string_view(c.written) == "ro.kvk";
    EXPECT_EQ(readWholeFile(dir.file("ro.kvk")) == "old", !forced);
}

const std::string kSquare = KORVALIN_EXAMPLES "/square.kvk";
const ProgramCase kProgramCases[] = {
    {"NonUtf8Name", {"show", "@bad\xff.kvk"}, Output::File, 0, "bad\\xff.kvk (coefficients)"},
    {"NonUtf8Output", {"convert", kSquare, "@out\xff.kvk"}, Output::File, 0, "", "out\xff.kvk"},
    {"ControlCharacters", {"show", "@esc\x1b]0;x\a.kvk"}, Output::File, 0, "esc\\x1b]0;x\\x07.kvk"},
    {"Fifo", {"show", "@fifo.kvk"}, Output::File, 1, "fifo.kvk: It is not a regular file."},
    {"Larger", {"show", "@big.kvk"}, Output::File, 1, "big.kvk: It is larger than 64 MiB."},
    {"FullDevice", {"show", kSquare}, Output::FullDevice, 1, "output: No space left on device"},
    {"ClosedPipe", {"show", kSquare}, Output::ClosedPipe, 1, "output: Broken pipe"},
    {"WriteProtected", {"convert", kSquare, "@ro.kvk"}, Output::File, 1, "write-protected"},
    {"Forced", {"convert", "--force", kSquare, "@ro.kvk"}, Output::File, 0, "", "ro.kvk"},
};
INSTANTIATE_TEST_SUITE_P(Cases, CliProgram, ::testing::ValuesIn(kProgramCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CliConvert, ASamplesCsvIsReadAsAStream)
{
    TempDir dir;
    writeWholeFile(dir.file("zeros.csv"), "");  // 64 MiB without a line end
    std::filesystem::resize_file(dir.file("zeros.csv"), kMaxInputBytes);
    const long before = peakMegabytes();
    std::string error;
    EXPECT_TRUE(readSamplesCsvFile(dir.file("zeros.csv"), error).has_value());
    EXPECT_LT(peakMegabytes() - before, 16);
}

TEST(CliHelp, DescribesTheToolAndEachCommand)
{
    const CliRun help = cli({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* word : {"show FILE", "convert IN OUT", "plot IN OUT", "--ppc X"}) {
        EXPECT_TRUE(help.out.contains(QString::fromUtf8(word))) << word;
    }
    const CliRun convert = cli({"convert", "--help"});
    EXPECT_EQ(convert.status, 0);
    EXPECT_TRUE(convert.out.contains(QStringLiteral("--fundamental HZ")));
    const CliRun version = cli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("korvalin-cli 1.")));
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
