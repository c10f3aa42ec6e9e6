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

#include <gtest/gtest.h>

#include "Outputs.h"
#include "app/WaveSettings.h"
#include "engine/HarmonicTable.h"
#include "engine/Workspace.h"
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
};

CliRun cli(std::initializer_list<std::string> arguments)
{
    QStringList list{QStringLiteral("korvalin-cli")};
    for (const std::string& a : arguments) {
        list << QString::fromStdString(a);
    }
    CliRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = runCli(list, out, err);
    return run;
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

TEST(CliShow, JsonCarriesTheSameContentAsNumbers)
{
    const CliRun run = cli({"show", "--json", example("dc-and-interharmonics.kvk")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonObject root = QJsonDocument::fromJson(run.out.toUtf8()).object();
    EXPECT_EQ(root.value(QStringLiteral("settings"))
                  .toObject()
                  .value(QStringLiteral("fftCycles"))
                  .toInt(),
              2);
    const QJsonArray harmonics = root.value(QStringLiteral("harmonics")).toArray();
    ASSERT_EQ(harmonics.size(), 6);
    EXPECT_EQ(harmonics.at(2).toObject().value(QStringLiteral("number")).toDouble(), 1.5);
    EXPECT_EQ(harmonics.at(2).toObject().value(QStringLiteral("phase")).toInt(), 30);
    const QJsonObject figures = root.value(QStringLiteral("figures")).toObject();
    EXPECT_NEAR(figures.value(QStringLiteral("dc")).toDouble(), 5.0, 1e-9);
    EXPECT_NEAR(figures.value(QStringLiteral("inter")).toDouble(), 5.0, 1e-9);  // hypot(4, 3)
    EXPECT_NEAR(figures.value(QStringLiteral("odd")).toDouble(), std::hypot(10.0, 6.0), 1e-9);
    const QJsonObject waveform = root.value(QStringLiteral("waveform")).toObject();
    EXPECT_EQ(waveform.value(QStringLiteral("samples")).toInt(), 1536);
    EXPECT_GT(waveform.value(QStringLiteral("crestFactor")).toDouble(), 1.0);
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
    Workspace ws;
    ASSERT_TRUE(LoadDocumentFile(example("square.kvk"), ws).opened);
    ASSERT_EQ(ws.table.count(), 32);
    const bool same = readWholeFile(dir.file("out.kvw")) ==
                      WriteWaveshapeFile(ws.settings.activeSettings, ws.table);
    EXPECT_TRUE(same);
    EXPECT_EQ(readWholeFile(dir.file("out.kvk")), readWholeFile(example("square.kvk")));
}

TEST(CliConvert, CsvAndWavCarryTheDisplayedSamples)
{
    TempDir dir;
    writeWholeFile(dir.file("f.kvk"), "1 100 0\n");
    ASSERT_EQ(cli({"convert", dir.file("f.kvk"), dir.file("f.csv")}).status, 0);
    const std::string csv = readWholeFile(dir.file("f.csv"));
    EXPECT_EQ(csv.rfind("index,value\n0,100.000000\n1,99.879546\n", 0), 0U);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1537);

    ASSERT_EQ(cli({"convert", "--fundamental", "60", dir.file("f.kvk"), dir.file("f.wav")}).status,
              0);
    SF_INFO info{};
    SNDFILE* wav = sf_open(dir.file("f.wav").c_str(), SFM_READ, &info);
    ASSERT_NE(wav, nullptr);
    EXPECT_EQ(info.samplerate, 128 * 60);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.frames, 1536);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    std::vector<float> samples(1536);
    EXPECT_EQ(sf_readf_float(wav, samples.data(), 1536), 1536);
    sf_close(wav);
    EXPECT_FLOAT_EQ(samples[0], 1.0F);
    EXPECT_NEAR(samples[32], 0.0F, 1e-6F);
    EXPECT_FLOAT_EQ(samples[64], -1.0F);

    // The CSV reads back as waveshape samples into the same design.
    const CliRun back = cli({"show", "--json", dir.file("f.csv")});
    ASSERT_EQ(back.status, 0) << back.err.toStdString();
    const QJsonArray harmonics = QJsonDocument::fromJson(back.out.toUtf8())
                                     .object()
                                     .value(QStringLiteral("harmonics"))
                                     .toArray();
    ASSERT_EQ(harmonics.size(), 1);
    EXPECT_EQ(harmonics.at(0).toObject().value(QStringLiteral("magnitude")).toDouble(), 100.0);
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
    const CliRun bmp = cli({"plot", example("triangle.kvk"), dir.file("t.bmp")});
    EXPECT_EQ(bmp.status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("t.bmp")));
}

TEST(CliErrors, UsageMistakesExitTwoWithOneLine)
{
    struct Case {
        std::initializer_list<std::string> arguments;
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
    Workspace ws;
    EXPECT_TRUE(LoadSamplesCsvFile(dir.file("zeros.csv"), ws).opened);
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
