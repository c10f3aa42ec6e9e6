#include "CliApp.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "FileNames.h"
#include "JsonText.h"
#include "WavWriter.h"
#include "drawing/ChartsDrawing.h"
#include "support/CaptureSupport.h"
#include "support/TestSupport.h"

namespace {

using namespace std::string_literals;

const std::string kSquare = KORVALIN_EXAMPLES "/square.kvk";

/** How a command runs: in process, or the real program (what it prints lost), with standard
 *  output to a closed pipe, reading /dev/zero, or on a terminal, stopped by SIGINT or SIGTERM
 *  once it shows progress. */
enum class Via { Memory, Program, ClosedPipe, Zeros, Interrupt, Terminate };

struct CliRun {
    int status = -1;
    QString err = {};
    QString out = {};
    std::string bytes = {};  ///< what went to standard output as bytes ("-") in process
};

CliRun cli(const std::vector<std::string>& arguments, const std::string& input = {})
{
    QStringList list{QStringLiteral("korvalin-cli")};
    for (const std::string& a : arguments) {
        list << argumentFromBytes(a);  // as main passes them
    }
    CliRun run;
    QTextStream out(&run.out), err(&run.err);
    std::istringstream standardInput(input);
    std::ostringstream standardOutput;
    // Nothing goes through a temporary file elsewhere: a full TMPDIR does not matter.
    const std::optional<QByteArray> temporaryFolder =
        qEnvironmentVariableIsSet("TMPDIR") ? std::optional(qgetenv("TMPDIR")) : std::nullopt;
    qputenv("TMPDIR", "/dev/full");
    run.status = runCli(list, out, err, standardInput, standardOutput);
    temporaryFolder ? qputenv("TMPDIR", *temporaryFolder) : qunsetenv("TMPDIR");
    run.bytes = standardOutput.str();
    return run;
}

/** The texts of the files a command may read, by name. */
const std::map<std::string, std::string>& inputTexts()
{
    static const std::string square = readWholeFile(kSquare);
    // 50 Hz with its 3rd and 5th; 50 Hz with a line between the 5th and 6th.
    static const ToneCapture tone{{{1, 100, 20}, {3, 20, 30}, {5, 10, -60}}, 50.0, 48000, 12000};
    static const ToneCapture inter{{{1, 100, 0}, {5.5, 5, 0}}, 50.0, 8000, 1800};
    // tone with its 5th inverted; 60 Hz alone, whose window of 12 cycles has no bin at 7.3.
    static const ToneCapture inverted{
        {{1, 100, 20}, {3, 20, 30}, {5, 10, 120}}, 50.0, 48000, 12000};
    static const ToneCapture sixty{{{1, 100, 0}}, 60.0, 48000, 11200};
    // A recording of 12 s: a phase with 4 % at h5 and a dip to half at 6 s, and a current.
    static const ToneCapture phase{{{1, 100, 0}, {5, 4, 0}}, 50.0, 4000, 48000, 0.5};
    static const ToneCapture current{{{1, 100, 120}, {3, 2, 0}}, 50.0, 4000, 48000, 0.2};
    static const std::string recording = [] {
        std::vector<double> dipped = synthesizeCapture(phase);
        std::transform(dipped.begin() + 24000, dipped.begin() + 24400, dipped.begin() + 24000,
                       [](double x) { return 0.5 * x; });
        return channelsWavBytes({dipped, synthesizeCapture(current)}, 4000, {WavForm::F32});
    }();
    static const std::map<std::string, std::string> texts = {
        {"sq.kvk", square},
        {"sq.kvw", cli({"convert", "--format", "kvw", kSquare, "-"}).bytes},
        {"dc.kvk", readWholeFile(KORVALIN_EXAMPLES "/dc-and-interharmonics.kvk")},
        {"f.kvk", ":2 3 1 1 100\n1 100 0\n"},
        {"one.kvk", "1 100 0\n"},
        {"third.kvk", "3 10 0\n"},
        {"two.kvk", "1 100 30\n2 50 10\n"},
        {"junk.kvk", "junk"},
        {"b\\d\xff\x1b]0;x\a.kvk", square},
        {"big.kvk", tableTooLargeToWrite()},
        {"set.csv", ";3 12 1 1 64\n0,1\n"},
        {"wide.csv", ";1 1 1 1 1024\n0,1\n"},
        {"nine.kvk", "1 100 0\n9 10 0\n"},
        {"quarter.csv", "1.25,1\n"},
        {"huge.csv", "777777777777777777771.7,3\n"},
        {"n\x1b]0;x\a\xe2\x80\xae\xff.kvk", square},
        {"n\x1b]0;x\a\xe2\x80\xae\xff.csv", "5,6\n"},
        {"n\x1b]0;x\a\xe2\x80\xae\xff.wav",
         wavBytes(synthesizeCapture(tone), tone.rate, {WavForm::F32})},
        {"ro.kvk", "old"},  // the ro.* write-protected
        {"ro.wav", "old"},
        {"design.kvk", ":10 12 1 1 128\n1 100 20\n3 20 30\n5 10 -60\n"},
        {"off.kvk", ":10 12 1 1 128\n1 100 20\n3 20.2 30\n5 10 -60\n"},
        {"cap.wav", wavBytes(synthesizeCapture(tone), tone.rate, {WavForm::F32})},
        {"notime.csv", captureCsv(synthesizeCapture(tone), tone.rate, false)},
        {"inter.wav", wavBytes(synthesizeCapture(inter), inter.rate, {WavForm::F32})},
        {"inverted.wav", wavBytes(synthesizeCapture(inverted), inverted.rate, {WavForm::F32})},
        {"sixty.wav", wavBytes(synthesizeCapture(sixty), sixty.rate, {WavForm::F32})},
        {"between.kvk", ":10 12 1 1 128\n1 100 0\n1.09 1 0\n7.3 2 0\n"},
        {"headed.csv", "Scope 1\n" + captureCsv(synthesizeCapture(tone), tone.rate, true)},
        {"rec.wav", recording},
        {"strict.csv", "5,3\nstat,max,3s\n"},
    };
    return texts;
}

/**
 * The commands of line (split at " ; "), each "@name" a file in dir, made there if it is an input
 * not there yet; "<name" puts that input's text on standard input.
 */
std::vector<std::vector<std::string>> commands(const std::string& line, const TempDir& dir,
                                               std::string& input)
{
    std::vector<std::vector<std::string>> list(1);
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        const std::string path = dir.file(word.substr(1));
        const auto text = inputTexts().find(word.substr(1));
        if (word[0] == '@' && text != inputTexts().end() && !std::filesystem::exists(path)) {
            writeWholeFile(path, text->second);
            if (word.starts_with("@ro.")) {
                std::filesystem::permissions(path, std::filesystem::perms::owner_read);
            }
        }
        if (word[0] == '<') {
            input = text->second;
        } else if (word == ";") {
            list.emplace_back();
        } else {
            list.back().push_back(word[0] == '@' ? path : word);
        }
    }
    return list;
}

/** What a running program has written to fd so far, waiting until it holds text. */
std::string readUntil(int fd, const std::string& text)
{
    std::string seen;
    char chunk[256];
    pollfd wait{fd, POLLIN, 0};
    for (ssize_t got = 1; got > 0 && seen.find(text) == std::string::npos;) {
        got = ::poll(&wait, 1, 30000) > 0 ? ::read(fd, chunk, sizeof chunk) : 0;
        seen.append(chunk, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    }
    return seen;
}

/** Runs the real korvalin-cli, arguments as raw bytes as a shell passes them; what it says on
 *  standard output is lost. */
CliRun program(const TempDir& dir, std::vector<std::string> arguments, Via via)
{
    arguments.insert(arguments.begin(), KORVALIN_CLI);
    std::vector<char*> argv(arguments.size() + 1, nullptr);
    std::transform(arguments.begin(), arguments.end(), argv.begin(),
                   [](std::string& a) { return a.data(); });
    int ends[2] = {-1, -1};
    if (via == Via::ClosedPipe && ::pipe(ends) == 0) {
        ::close(ends[0]);  // no one will ever read
    }
    const bool stopped = via == Via::Interrupt || via == Via::Terminate;
    int terminal = -1, follower = -1;
    ::openpty(&terminal, &follower, nullptr, nullptr, nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(stopped ? follower : ::creat(dir.file("stderr").c_str(), 0644), STDERR_FILENO);
        const int nowhere = ::open("/dev/null", O_RDWR);
        ::dup2(via == Via::Zeros ? ::open("/dev/zero", O_RDONLY) : nowhere, STDIN_FILENO);
        ::dup2(via == Via::ClosedPipe ? ends[1] : nowhere, STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(ends[1]);
    ::close(follower);
    std::string said = stopped ? readUntil(terminal, " %") : "";
    ::kill(child, !stopped ? 0 : via == Via::Interrupt ? SIGINT : SIGTERM);  // 0 sends none
    int wait = 0;
    ::waitpid(child, &wait, 0);
    said += stopped ? readUntil(terminal, "written") : readWholeFile(dir.file("stderr"));
    ::close(terminal);
    return {WIFEXITED(wait) ? WEXITSTATUS(wait) : 128 + WTERMSIG(wait),
            QString::fromStdString(said)};
}

/** A WAV as read back: its size and hash (libstdc++'s, fixed), its header, where its greatest
 * sample is and how many are at full scale. */
std::string wavFacts(const std::string& bytes, const TempDir& dir)
{
    const std::string path = dir.file("facts.wav");
    writeWholeFile(path, bytes);
    SF_INFO info{};
    SNDFILE* wav = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(wav, samples.data(), info.frames);
    sf_close(wav);
    const auto greatest = std::max_element(samples.begin(), samples.end());
    const auto full = std::count_if(samples.begin(), samples.end(),
                                    [](float x) { return std::fabs(x) > 0.9999F; });
    return QString::asprintf(
               "%zu bytes %016llx, %d channel, %d Hz, %lld frames, format %x, peak at %td, "
               "%td at full scale\n",
               bytes.size(), static_cast<unsigned long long>(std::hash<std::string>{}(bytes)),
               info.channels, info.samplerate, static_cast<long long>(info.frames), info.format,
               greatest - samples.begin(), full)
        .toStdString();
}

/** Whether text holds the pieces of said in order ("…" between them), "$" said's end its end. */
bool saysInOrder(const std::string& text, const std::string& said)
{
    std::size_t at = 0;
    for (std::size_t from = 0; from <= said.size();) {
        const std::size_t gap = std::min(said.find("…", from), said.size());
        at = text.find(said.substr(from, gap - from), at);
        if (at == std::string::npos) {
            return false;
        }
        at += gap - from;
        from = gap + std::string("…").size();
    }
    return true;
}

/** A command line (see commands; after the first, in-process runs or "cat FILE" read back what
 *  it made), its status, and what it and they said ("@" the row's folder; see saysInOrder). */
struct Row {
    const char* line;
    int status;
    std::string said;
    Via via = Via::Memory;  ///< how the first command runs
};

class Cli : public testing::TestWithParam<Row> {};

TEST_P(Cli, EndsWithItsStatusAndSaysWhatItShould)
{
    const Row& row = GetParam();
    TempDir dir;
    std::string input;
    const auto runs = commands(row.line, dir, input);
    const std::string out = runs[0].empty() ? "" : runs[0].back();  // OUT, if any
    std::string all;
    int status = -1;
    for (const std::vector<std::string>& arguments : runs) {
        const bool first = status == -1;
        const CliRun run = !first && arguments[0] == "cat"
                               ? CliRun{0, {}, {}, readWholeFile(arguments[1])}
                           : !first || row.via == Via::Memory ? cli(arguments, input)
                                                              : program(dir, arguments, row.via);
        status = first ? run.status : status;
        // A WAV it made or streamed is described, before its standard error.
        const std::string made =
            run.bytes.starts_with("RIFF") ? wavFacts(run.bytes, dir)
            : first && run.status == 0 && run.bytes.empty() && out.ends_with(".wav")
                ? wavFacts(readWholeFile(out), dir)
                : run.bytes;
        all += run.out.toStdString() + made + run.err.toStdString();
        // A closed pipe is told once.
        EXPECT_TRUE(!first || row.via != Via::ClosedPipe || run.err.count(u'\n') == 1) << all;
    }
    std::string said = row.said;
    for (std::size_t at = said.find('@'); at != std::string::npos; at = said.find('@', at + 1)) {
        said.replace(at, 1, dir.file(""));
    }
    EXPECT_EQ(status, row.status) << all;
    EXPECT_TRUE(saysInOrder(all + '$', said)) << all;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().filename().string().find(".korvalin-"), std::string::npos);
    }
}

// A signal stops a long recording's analysis once it shows progress: the status of the
// signal, what the report covers, and no trend file at all.
TEST(CliRecording, StopsOnASignalWithAPartialReportAndNoHalfWrittenTrend)
{
    TempDir dir;
    const std::string wav = dir.file("long.wav");
    ASSERT_EQ(
        cli({"convert", "--normalize", "--rate", "8000", "--seconds", "3600", kSquare, wav}).status,
        0);
    const std::string trend = dir.file("trend.csv");
    const CliRun run = program(
        dir, {"analyse", "--all-windows", "--trend", "thd", "-o", trend, wav}, Via::Interrupt);
    EXPECT_EQ(run.status, 130) << run.err.toStdString();
    EXPECT_TRUE(saysInOrder(run.err.toStdString(),
                            "analysing …stopped by SIGINT; the report covers the …read; "
                            "…trend.csv was not written"))
        << run.err.toStdString();
    EXPECT_FALSE(std::filesystem::exists(trend));
}

const Row kRows[] = {
    {"--help ; convert --help", 0,
     "convert IN OUT…Usage: korvalin-cli convert [options] IN OUT\n…--fundamental HZ"},
    // A usage mistake is told in one line, with status 2; an unknown option as typed, a file
    // name that starts with a dash goes after "--".
    {"; frobnicate x ; show ; show -dash.kvk ; spectrum -- -dash.kvk ; show --size 1x1 x", 2,
     "no command given…unknown command 'frobnicate'…show takes FILE... (see 'korvalin-cli "
     "--help')\nkorvalin-cli…'-dash.kvk'; a file name that starts with - goes after --…cannot "
     "open -dash.kvk: …--size does not apply to show"},
    // A capture is judged by --check alone: a mask named otherwise would be ignored.
    {"analyse --limits en50160 x.wav ; analyse --measure display x.wav ; analyse --power 80 x.wav",
     2, "--limits does not apply to analyse…--measure does not apply…parameters need --check"},
    {"show --sine --cosine x ; show --ppc 24.9 x ; plot x y.bmp ; check --limits en50160 - ; show "
     "--format kvk - - ; show --format kvk x ; convert --seconds 1 x y.wav",
     2,
     "--sine and --cosine exclude…--ppc must be a number from 25 to 512 (got '24.9')…not 'y.bmp'"
     "…- needs --format…read only once…--format applies only to -…--seconds needs --rate"},
    // Exports for instruments: their options go together, and name the files they write.
    {"convert --normalize x y.kvk ; convert --points 8 --scale volts x y.csv ; convert --points 8 "
     "x y.kvk ; convert --table --points 8 x y.csv",
     2,
     "apply to a .wav output…needs --rms V or --peak V…--points writes OUT.csv or OUT.txt, not "
     "'y.kvk'…--points and --table exclude"},
    {"convert --points 8 --cycles 2 --scale volts --peak 2 @f.kvk @w.txt ; cat @w.txt ; convert "
     "--points 8 --scale volts --rms 1 @f.kvk @w.csv ; cat @w.csv ; convert --points 8 --scale "
     "codes --bits 24 @f.kvk @c.csv ; cat @c.csv",
     0,
     "2.000000000\n1.414213562\n0.000000000\n…\n1.414213562\n2.000000000\n1.414213562\n…"
     "# 8 points per cycle, 1 "
     "cycle\nindex,value\n0,1.414213562\n1,1.000000000\n…index,value\n0,8388607\n"
     "1,5931641\n2,0\n"},
    {"convert --table --basis sine --reference fundamental --zero-fundamental-phase @two.kvk "
     "@t.csv ; cat @t.csv",
     0, "order,percent,degrees\n1,100,0\n2,50,-70\n$"},
    // What the design refuses, in the CLI's words (the ranges' edges are tested at the design).
    {"new --ppc 25 --harmonic 12.5:10:0 y ; new --preset square --harmonic 3:1:0 y", 2,
     "the number must be from 0 to 12.4996…already specified"},
    {"show @dc.kvk", 0,
     "13.64%   Odd: 11.66%   Even: 0.00%   DC: 5.00%   Inter: 5.00%\nPeak: 126.20%   RMS: 71.45%…"
     "11.58%   THD40: 11.66%   THD50: 11.66%   K-factor: 1.170\n$"},
    // One compact JSON object a line for each file read, 32-bit values in their own shortest
    // form, a figure shown as 0.00 exactly 0; entries between the FFT bins named.
    {"show --json @dc.kvk @nope.kvk @sq.kvk", 1,
     "{\"analysed\":true,\"figures\":{\"dc\":5.0…,\"even\":0,…\"file\":\"@dc.kvk\",…"
     "\"settings\":{\"cosine\":true,\"displayCycles\":12,\"fftCycles\":2,…\"ppc\":128},"
     "…\"rms\":71.45…1536}}\n{…\"magnitude\":33.333332,…}}\n…open @nope.kvk: No such file…\n$"},
    {"show --json --fft-cycles 3 @dc.kvk", 0,
     "\"resolution\":\"1.50 and 1 more lie between FFT bins: set FFT cycles to 2 to"},
    // Options beat the file's settings line.
    {"show --display-cycles 1 --fft-cycles 3 --ppc 100.5 --sine --fundamental-reference @dc.kvk", 0,
     "1 display cycle, 3 FFT cycles, 100.5 samples per cycle, sine, fundamental phase"},
    {"show @junk.kvk ; new --format kvk -", 0,
     "junk.kvk: no valid content; the table is empty…:1 12 1 1 128.000000\r\n1 100.000000 0\r\n$"},
    {"new --preset square --order 9 --harmonic 2:5:45 @n.kvk ; show @n.kvk", 0,
     "5.00     45\n3.00            33.33    -90\n…\n9.00            11.11    -90\n\n"},
    // A CSV holds the settings line, then the displayed samples; read back under them.
    {"convert @f.kvk @f.csv ; cat @f.csv ; show @f.csv", 0,
     ";2 3 1 1 100.000000\nindex,value\n0,100.0…(samples)\nSettings:  3 display cycles, 2 FFT…"
     "Phase\n1.00           100.00      0\n\n"},
    {"show --format csv -", 1, "cannot open -: It is larger than 64 MiB.\n$", Via::Zeros},
    {"show --format csv - <set.csv", 0, "- (samples)\nSettings:  12 display cycles, 3 FFT cycles"},
    // An instrument would alias what lies at half the points; an export's comment reads back as
    // its layout or is skipped, and a settings line refused is told.
    {"convert --points 18 @nine.kvk @a.csv ; convert --points 1024 @nine.kvk @a.csv ; show "
     "@a.csv ; convert --points 256 @nine.kvk @b.csv ; show @b.csv ; show @wide.csv",
     1,
     "order 9 lies at or above half the points: an instrument would alias it. --force writes…"
     "@a.csv (samples)\nSettings:  12 display cycles, 1 FFT cycle, 128 samples…@b.csv "
     "(samples)\nSettings:  1 display cycle, 1 FFT cycle, 256 samples…@wide.csv: a settings line "
     "lies outside the Preferences limits and was not applied; read under 12 display"},
    {"convert --format kvk - - <sq.kvk", 0, readWholeFile(kSquare)},
    // Without OUT to standard output; bin 3 of three FFT cycles is the fundamental.
    {"spectrum --fft-cycles 3 --ppc 512 @sq.kvk", 0, "\n3,1,100.000000,-90.00\n"},
    {"spectrum --format kvw - - <sq.kvw", 0, "\n3,3,33.33"},
    // A WAV on standard output is the file's bytes; without --rate it holds the displayed
    // samples at ppc x the fundamental, with --rate the design at t = i / rate: 50 Hz, a sine,
    // is greatest a quarter period in. 81 frames of 24 bits need a pad byte.
    {"convert --fundamental 60 @sq.kvk @a.wav ; convert --format wav --fundamental 60 @sq.kvk -", 0,
     "6224 bytes 94a40c20e0a70bd8, 1 channel, 7680 Hz…6224 bytes 94a40c20e0a70bd8"},
    {"convert --bits 24 --rate 8000 --seconds 0.010125 --sine @f.kvk @a.wav", 0,
     "288 bytes bf4c2a1ea611fe4c, 1 channel, 8000 Hz, 81 frames, format 10003, peak at 40,"},
    // Integer samples are clipped, not wrapped; normalized, each period's peak is full scale.
    {"convert --bits 16 @dc.kvk @a.wav ; convert --normalize --bits 16 @dc.kvk @a.wav ; cat @a.wav",
     0,
     "peak at 0, 318 at full scale\n…warning: …126.20 %, exceeds full scale; 318 of 1536…"
     "peak at 1, 6 at full scale\n$"},
    {"plot --size 640x480 --format png @sq.kvk -", 0, "IHDR\0\0\x02\x80\0\0\x01\xe0"s},
    {"plot @sq.kvk @t.pdf ; cat @t.pdf", 0, "charts written to …%PDF-"},
    // The mask drawn as the window draws it: the square's lines over EN 50160 in red.
    {"plot --limits en50160 --format svg @sq.kvk -", 0, "<svg…stroke=\"#cb0b0b\""},
    // Each file against a mask; status 3 when one is over, 1 when one cannot be read.
    {"check --limits en50160 @sq.kvk", 3,
     "Measured:  IEC 61000-4-7: 10 cycles of 50 Hz…h5           20.00      6.00    -14.00       "
     "333   over\n…13 exceeded: h3 33.33 % > 5 %"},
    // Measured as an analyser measures: interharmonics and DC named, each on its own line.
    {"check --fundamental 60 --limits en50160 @dc.kvk", 3,
     "12 cycles of 60 Hz…\nDC 5.00 %: EN 50160 sets no limit\norder 1.5 (90 Hz): 4.00 % in the "
     "interharmonic "
     "subgroup 1-2: EN 50160 sets no limit\norder 2.5 (150 Hz): 3.00 %"},
    {"check --limits ieee519-1kv @one.kvk @sq.kvk", 3,
     "IEEE 519 (\u2264 1 kV): pass, every level below 1 % of its limit\n\nFile:"},
    {"check --json --limits ieee519-1kv @dc.kvk", 3,
     "\"measurement\":\"IEC 61000-4-7: 10…\"notes\":[\"DC 5.00 %…\"orders\":[{\"level\":0,"
     "\"levelPercent\":0,\"limit\":5,\"margin\":5,\"order\":2,\"resolvingCycles\":null,\"status\":"
     "\"pass\",\"unit\":\"%\"}…\"passed\":false,\"refusal\":null,\"thd\":{"},
    {"check --measure display --limits @quarter.csv @dc.kvk", 3,
     "Measured:  the display's FFT window: 2 cycles…1 unresolved: h1.25 needs FFT cycles 4"},
    {"check --limits iec61000-3-2-a --fundamental-rms 2 @one.kvk", 0,
     "h3           0.000     2.300     2.300         0      0.00   disregarded"},
    {"check --limits en50161 @one.kvk ; check @one.kvk ; check --limits @none.csv @one.kvk", 2,
     "no built-in limit mask called 'en50161'…check needs --limits…cannot read mask"},
    {"check --list", 0,
     "iec61000-3-2-a: IEC 61000-3-2 Class A\n  needs the fundamental's RMS current\n  h2      "
     "     1.080 A\n…iec61000-3-2-d: IEC 61000-3-2 Class D\n…  needs the power\n  limits as "
     "listed, times the power, each at most the class A limit in A\n  h3           3.400 mA/W"},
    // A failure on standard output is told once with its reason, where it happens or at the end;
    // a WAV is streamed: its failure at once.
    {"convert --format kvk @sq.kvk -", 1, "cannot write standard output: Broken pipe.\n$",
     Via::ClosedPipe},
    {"convert --format wav --rate 384000 --seconds 600 @sq.kvk -", 1,
     "korvalin-cli: cannot write standard output: Broken pipe\n$", Via::ClosedPipe},
    // Names byte for byte (the real program reads this one), controls printed escaped.
    {"show @b\\d\xff\x1b]0;x\a.kvk", 1, "output: Broken pipe.\n$", Via::ClosedPipe},
    {"show --\x1b]0;x\a ; show @b\\d\xff\x1b]0;x\a.kvk ; convert @sq.kvk @out\xff.kvk ; show "
     "@out\xff.kvk",
     2,
     "unknown option '--\\x1b]0;x\\x07'…b\\\\d\\xff\\x1b]0;x\\x07.kvk (…out\\xff.kvk "
     "(coefficients)"},
    // A write-protected OUT is replaced only with --force, a WAV too.
    {"convert @sq.kvk @ro.kvk ; convert @sq.kvk @ro.wav", 1,
     "ro.kvk: It is write-protected (--force replaces it).\n…ro.wav: It is write-protected"},
    {"convert --force @sq.kvk @ro.kvk ; show @ro.kvk ; convert --force @sq.kvk @ro.wav ; cat "
     "@ro.wav",
     0, "ro.kvk (coefficients)\nSettings:  12…1 channel, 6400 Hz"},
    // An input that cannot be read is named as typed, and OUT stays as it was.
    {"convert @nope.kvk @sq.kvk ; show @sq.kvk", 1, "open @nope.kvk: No such file…33.33    -90\n"},
    // A signal stops a long WAV once it shows progress: one line, the signal's status, no file.
    {"convert --rate 384000 --seconds 3600 @sq.kvk @long.wav ; show @long.wav", 130,
     "writing …stopped by SIGINT; …long.wav was not written…No such file", Via::Interrupt},
    {"convert --rate 384000 --seconds 3600 @sq.kvk @long.wav ; show @long.wav", 143,
     "writing …stopped by SIGTERM; …long.wav was not written…No such file", Via::Terminate},
    // The real program draws through the library it loads for pictures alone.
    {"plot @sq.kvk @p.svg ; cat @p.svg", 0, "<svg…stroke", Via::Program},
    // No output that the readers would refuse.
    {"convert @big.kvk @big2.kvk ; show @big2.kvk", 1,
     "big2.kvk: It would be larger than 64 MiB, more than Korvalin reads back.\n…No such file"},
    // analyse: a capture's lines, against a design; status 3 beyond the tolerance.
    {"analyse @cap.wav ; analyse --fundamental 50 --cycles 12 @cap.wav", 0,
     "50.000000 Hz (estimated)\nWindow:      10 cycles from 0.0007 s at 960.00 points per cycle "
     "(48000 Hz)…"
     "\n3.00          20.0000        30.00\n…50.000000 Hz\nWindow:      12 cycles"},
    {"analyse --json --compare @off.kvk @cap.wav ; analyse --compare @design.kvk --tolerance 0.05 "
     "@cap.wav",
     3,
     "\"largestVectorDifference\":0.19…\"tolerance\":0.1,…\"within\":false…Within the "
     "tolerance of 0.05"},
    // The verdict on vector differences, or on magnitudes alone; orders between the window's
    // bins are never compared, and fail the comparison.
    {"analyse --compare @design.kvk --tolerance 0.01 @inverted.wav ; analyse --compare "
     "@design.kvk --tolerance 0.01 --magnitude-only @inverted.wav",
     3,
     "Vector diff\n…\n5.00          10.0000      10.0000       0.0000   …   20.0000\n…Beyond the "
     "tolerance of 0.01 percentage points\n…Within the tolerance of 0.01 percentage points "
     "(magnitudes only)\n"},
    {"analyse --compare @between.kvk @sixty.wav ; analyse --json --compare @between.kvk "
     "@sixty.wav",
     3,
     "\n1.09           1.0000   unresolved: cannot be resolved within 12 cycles\n7.30           "
     "2.0000   unresolved: needs 10 cycles\n…Beyond the tolerance of 0.1 percentage points: 2 "
     "orders of the design unresolved\n…{\"cyclesNeeded\":null,…\"resolved\":false}…"
     "{\"cyclesNeeded\":10,…\"resolved\":false}…\"unresolved\":2,"},
    // Where the window starts and the nominal searched near, as asked and as chosen; a line
    // stronger than the fundamental is warned of.
    {"analyse --start 0.05 @cap.wav ; analyse --json --nominal auto @cap.wav ; analyse --nominal "
     "150 @cap.wav ; analyse --json --nominal 150 @cap.wav",
     0,
     "Nominal:     50 Hz\nFundamental: 50.000000 Hz (estimated)\nWindow:      10 cycles from "
     "0.0500 s at…\"nominal\":null,…\"windowStart\":0.00066666…Nominal:     150 Hz\nFundamental: "
     "1…\nWarning:     the line of order 0.30 "
     "is…\"nominal\":150,…\"strongerLine\":{\"magnitude\":"},
    {"analyse --start -1 @cap.wav ; analyse --nominal 0 @cap.wav", 2,
     "--start must be a time from 0 s to the capture's length (got '-1')…--nominal must be auto or "
     "a frequency from 0.1 to 10000 Hz (got '0')"},
    {"analyse @headed.csv ; analyse --json @headed.csv ; analyse --help", 0,
     "Capture:     @headed.csv\nSkipped 2 header lines\nNominal:     50 Hz\nFundamental: "
     "50.000000…\"skippedLines\":2"
     "…\n  --json                    one compact JSON object: \"file\"…\"skippedLines\"…--rate HZ"
     "                 the capture's sample rate, 1 to 1e+09 Hz…--start SECONDS…--nominal "
     "50|60|400|HZ|auto\n…within 15 % of HZ, 0.1 to\n…--magnitude-only"},
    {"analyse --groups @inter.wav", 0,
     "\n5                  0.0000         3.5355         5.0000\n"},
    {"analyse @notime.csv ; analyse --rate 48000 @notime.csv", 1,
     "the sample rate must be given. Give --rate.…(48000 Hz)"},
    {"analyze --channel 2 @cap.wav", 1, "channel 2 is not one of them"},
    {"analyse -o @made.kvk @cap.wav ; show @made.kvk", 0,
     "to @made.kvk\n…512 samples per cycle…3.00            20.00     30\n"},
    {"analyse --tolerance 0.1 @cap.wav ; analyse --fundamental 0 @cap.wav ; analyse - ; analyse "
     "--magnitude-only @cap.wav ; analyse --floor 0.1 @cap.wav ; analyse --floor 11 -o @f.kvk "
     "@cap.wav",
     2,
     "--tolerance needs --compare…--fundamental must be auto or a frequency from 0.1 to 10000 Hz "
     "(got '0')…analyse reads a capture…--magnitude-only needs --compare…--floor needs --compare "
     "or -o…--floor must be a level from 0 to 10 % (got '11')"},
    // An output is never one of the inputs; analyse writes what its extension says, or "-".
    {"convert @sq.kvk @sq.kvk ; analyse --compare @design.kvk -o @design.kvk @cap.wav ; show "
     "@sq.kvk",
     1,
     "write @sq.kvk: It is the same file as the input @sq.kvk, which writing it would destroy;…"
     "write @design.kvk: It is the same file as the input @design.kvk…\n5.00            20.00"},
    {"analyse -o @an.csv @cap.wav ; analyse -o - @cap.wav ; analyse --json --format kvk -o - "
     "@cap.wav ; analyse --rate 1e300 @notime.csv",
     2,
     "analyse writes kvk, kvw, not '@an.csv'…- needs --format…--json and -o - would both…--rate "
     "must be a sample rate from 1 to 1e+09 Hz (got '1e300')"},
    {"analyse --format kvw @cap.wav -o -", 0, ":10 12 1 1 512.000000\r\n!1\r\n 116.289782,"},
    // Every window of a recording: flags with their times, statistics, a mask's verdict by them.
    {"analyse --all-windows --channel all --aggregate 3s @rec.wav", 0,
     "Recording: @rec.wav, 2 channels at 4000.000 Hz; 12.000 s analysed\nWindows: 10 cycles, 128 "
     "points per cycle; fundamental 50.000 to 50.000 Hz…Channel 1: 60 windows, 1 flagged; "
     "reference 0.354; 4 150/180-cycle values, 1 flagged, 0 partial\n  flagged 6.000 to 6.200: "
     "dip, one-cycle RMS down to 50.0 % (1 window)\n  Statistics of 150/180-cycle values (3 "
     "unflagged)…h5            4.000      4.000      4.000      4.000 %\n\nChannel 2: 60 "
     "windows, 0 flagged; reference 0.141…h3            2.000"},
    {"analyse --all-windows --check @strict.csv @rec.wav ; analyse --all-windows --channel 2 "
     "--check en50160 @rec.wav",
     3,
     "strict.csv by the maximum of 150/180-cycle values of the recording: FAIL (1 of 1 period "
     "failed; the worst from 0.000, 3 values)\n    strict.csv: 1 exceeded: h5 4.00 % > 3 %…EN "
     "50160 by the 95th percentile of 10-minute values of each week: pass (0 of 1 period "
     "failed; the worst from 0.000, 1 values; the recording is 12.000 s of a week)\n    EN "
     "50160: pass, closest h3 at 40 % of its limit"},
    {"analyse --all-windows --aggregate 3s --trend 5,thd -o @trend.csv @rec.wav ; cat @trend.csv",
     0,
     "time,channel,order,value\n0.000,1,h5,4.000\n0.000,1,thd,4.000\n3.000,1,h5,3.999\n3.000,1,"
     "thd,4.000\n6.000,1,h5,\n6.000,1,thd,\n9.000,1,h5,4.000\n9.000,1,thd,4.000\n$"},
    {"analyse --all-windows --json --aggregate 2h @rec.wav ; analyse --all-windows --csv @rec.wav",
     0,
     "{\"aggregation\":\"2h\",\"channel\":1,\"end\":12,…\"partial\":true,…{\"summary\":{…"
     "\"stopped\":false}}\n…start,end,channel,windows,flagged,partial,level,thd,h2,…"
     "0.000,12.000,1,60,1,1,0.352,"},
    {"analyse --all-windows --trend 5 -o @trend.png @rec.wav ; cat @trend.png", 0, "\x89PNG"},
    // On clock marks: the 10-minute mark 2 s in starts a window and a 150/180-cycle group.
    {"analyse --all-windows --start-time 2026-12-01T09:59:58Z --aggregate 3s --trend thd "
     "--format csv -o - @rec.wav",
     0,
     "time,channel,order,value\n2026-12-01T10:00:00.000Z,1,thd,4.000\n2026-12-01T10:00:03.000Z,1,"
     "thd,\n2026-12-01T10:00:06.000Z,1,thd,4.000\n$"},
    {"analyse --trend thd @rec.wav ; analyse --all-windows --compare @design.kvk @rec.wav ; "
     "analyse --all-windows --trend thd @rec.wav ; analyse --all-windows -o @t.kvk @rec.wav ; "
     "analyse --all-windows --aggregate 1h @rec.wav ; analyse --channel all @rec.wav ; analyse "
     "--all-windows --check iec61000-3-2-a --fundamental-rms 1 @rec.wav",
     2,
     "--trend needs --all-windows…--compare concerns a single window, not --all-windows…--trend "
     "needs -o TREND.csv…analyse writes csv, png, svg, pdf, not '@t.kvk'…--aggregate must be "
     "200ms, 3s, 10min or 2h…--channel all needs --all-windows…IEC 61000-3-2 Class A limits "
     "equipment under test"},
    // The current scales a mask in amperes only, within class A's scope; orders past any
    // index are unresolved, never read off another line.
    {"check --limits iec61000-3-2-a --fundamental-rms 1e-320 @one.kvk ; check --limits en50160 "
     "--fundamental-rms 2 @one.kvk ; check --limits iec61000-3-2-b --fundamental-rms 16.01 "
     "@one.kvk "
     "; check --limits iec61000-3-2-d --fundamental-rms 1 @one.kvk ; check --limits "
     "ieee519-current --edition 2019 @one.kvk",
     2,
     "Class A needs the fundamental's RMS current, from 0.01 to 16 A…EN 50160 does not take the "
     "fundamental's RMS current…covers equipment of up to 16 A a phase…needs the power, from 75 "
     "to 600 W…--edition must be 2014 or 2022 (got '2019')"},
    {"check --limits en50160 @third.kvk", 3,
     "EN 50160: There is no fundamental to refer the limits to.\n$"},
    {"check --limits @huge.csv @one.kvk", 3,
     "1 unresolved: h7.778e+20 lies above the highest order analysed"},
};

INSTANTIATE_TEST_SUITE_P(Runs, Cli, testing::ValuesIn(kRows));

// Text from outside as it is printed: what a terminal would act on, or would show other than
// it is, escaped; every other character as it is.
TEST(PrintedText, EscapesControlsFormatControlsAndBytesThatAreNoUtf8)
{
    const std::pair<const char*, const char*> cases[] = {
        {"\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xb5", "\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xb5"},
        {"a\\b\x1b[31m\a\t\x7f", "a\\\\b\\x1b[31m\\x07\\x09\\x7f"},
        {"\xc2\x85\xc2\x9b", "\\xc2\\x85\\xc2\\x9b"},
        {"\xff\xc0\xaf\xed\xa0\x80", "\\xff\\xc0\\xaf\\xed\\xa0\\x80"},
        {"evil\xe2\x80\xaegpj.kvk", "evil\\u202egpj.kvk"},
        {"\xe2\x81\xa6\xe2\x80\x8b\xef\xbb\xbf\xc2\xad\xe2\x80\xa8",
         "\\u2066\\u200b\\ufeff\\u00ad\\u2028"},
        {"\xf3\xa0\x80\x81", "\\U000e0001"},
    };
    for (const auto& [text, printed] : cases) {
        EXPECT_EQ(printableName(argumentFromBytes(text)).toStdString(), printed) << text;
    }
}

// Past 4 GiB only an RF64 is valid; its header is libsndfile's, the PEAK chunk (with the
// time of writing in it) turned into JUNK.
TEST(CliWav, Rf64HeaderIsLibsndfilesWithoutItsTime)
{
    TempDir dir;
    const std::int64_t frames = 81;  // odd, so that 24-bit data needs its pad byte
    for (const auto& [encoding, subtype] : {std::pair{WavEncoding::Pcm16, SF_FORMAT_PCM_16},
                                            {WavEncoding::Pcm24, SF_FORMAT_PCM_24},
                                            {WavEncoding::Float32, SF_FORMAT_FLOAT}}) {
        SF_INFO info{0, 8000, 1, SF_FORMAT_RF64 | subtype, 0, 0};
        SNDFILE* file = sf_open(dir.file("rf.wav").c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr);
        // As the writer before asked (in an RF64 it brings the chunk in, oddly).
        sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
        const std::vector<double> samples(frames, 0.5);
        sf_writef_double(file, samples.data(), frames);
        sf_close(file);
        std::string bytes = readWholeFile(dir.file("rf.wav"));
        if (const std::size_t peak = bytes.find("PEAK"); peak != std::string::npos) {
            bytes.replace(peak, 4, "JUNK");
            std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(peak) + 8, 16, '\0');
        }
        const std::string header = wavHeader(encoding, 8000, frames, WavContainer::Rf64);
        EXPECT_EQ(bytes.substr(0, header.size()), header) << subtype;
    }
    EXPECT_EQ(containerFor(WavEncoding::Float32, std::int64_t{1} << 30), WavContainer::Rf64);
    EXPECT_EQ(containerFor(WavEncoding::Pcm24, std::int64_t{1} << 30), WavContainer::Wav);
}

// A name goes as it is printed; where that is not the name itself, its bytes go beside it.
TEST(CliJson, NamesAFileAsPrintedWithItsBytesWhereTheyDiffer)
{
    TempDir dir;
    for (const auto& [command, input] :
         {std::pair{"show", "sq.kvk"}, std::pair{"analyse", "cap.wav"}}) {
        const std::string extension = std::string(input).substr(std::string(input).find('.'));
        const std::string name = dir.file("b\\d\x1b\xe2\x80\xae\xff" + extension);
        writeWholeFile(name, inputTexts().at(input));
        const QJsonObject json =
            QJsonDocument::fromJson(cli({command, "--json", name}).out.toUtf8()).object();
        EXPECT_EQ(json[u"file"].toString().toStdString(),
                  dir.file("b\\\\d\\x1b\\u202e\\xff" + extension));
        EXPECT_EQ(json[u"fileBytes"].toString().toLatin1(),
                  QByteArray::fromStdString(name).toBase64())
            << command;
    }
}

// Every command prints a name from outside escaped: no byte of it acts on a terminal.
TEST(CliNames, EveryCommandPrintsThemEscaped)
{
    const std::string n = "@n\x1b]0;x\a\xe2\x80\xae\xff";
    const std::string lines[] = {
        "show " + n + ".kvk",
        "check --limits " + n + ".csv " + n + ".kvk",
        "convert " + n + ".kvk " + n + ".kvk",
        "new @nope/" + n.substr(1) + ".kvk",
        "spectrum " + n + ".kvk " + n + ".kvk",
        "plot " + n + ".kvk " + n + ".png",
        "analyse " + n + ".wav -o " + n + ".kvw",
        "analyse " + n + ".kvk",
    };
    for (const std::string& line : lines) {
        TempDir dir;
        std::string input;
        const CliRun run = cli(commands(line, dir, input).front());
        const QString said = run.out + run.err;
        EXPECT_TRUE(said.contains(QStringLiteral("n\\x1b]0;x\\x07\\u202e\\xff"))) << line;
        for (const QChar c : said) {
            EXPECT_TRUE(c.isPrint() || c == u'\n')
                << line << ": U+" << std::hex << static_cast<int>(c.unicode());
        }
    }
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

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    usePictureDrawing(&chartsDrawing());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
