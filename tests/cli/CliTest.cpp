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
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "FileNames.h"
#include "JsonText.h"
#include "WavWriter.h"
#include "files/InputFile.h"
#include "support/CaptureSupport.h"
#include "support/TestSupport.h"

namespace {

using namespace std::string_literals;

const std::string kSquare = KORVALIN_EXAMPLES "/square.kvk";
const std::string kDc = KORVALIN_EXAMPLES "/dc-and-interharmonics.kvk";

/**
 * How a command runs: in process, or the real program with standard output to a full device or
 * a closed pipe, or to /dev/null: as another user, reading /dev/zero, under a small limit of
 * file size or of memory, or on a terminal, stopped by SIGINT or SIGTERM once it shows progress.
 */
enum class Via {
    Memory,
    FullDevice,
    ClosedPipe,
    OtherUser,
    Zeros,
    FileSizeLimit,
    MemoryLimit,
    Interrupt,
    Terminate
};
constexpr const char* kViaNames[] = {
    "",           "_full_device",     "_closed_pipe",  "_other_user",
    "_zeros",     "_file_size_limit", "_memory_limit", "_interrupted",
    "_terminated"};

constexpr uid_t kOtherUser = 65534;  // nobody

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryLimitWorks = false;  // the sanitizer's shadow memory needs terabytes
#else
constexpr bool kMemoryLimitWorks = true;
#endif

/** In the child, before the program starts: what via asks of its surroundings. */
void prepareChild(Via via, int closedPipe)
{
    const int nowhere = ::open("/dev/null", O_RDWR);
    ::dup2(via == Via::ClosedPipe   ? closedPipe
           : via == Via::FullDevice ? ::open("/dev/full", O_WRONLY)
                                    : nowhere,
           STDOUT_FILENO);
    ::dup2(via == Via::Zeros ? ::open("/dev/zero", O_RDONLY) : nowhere, STDIN_FILENO);
    const auto limit = [](int resource, rlim_t bytes) {
        const rlimit value{bytes, bytes};
        ::setrlimit(resource, &value);
    };
    if (via == Via::FileSizeLimit) {
        limit(RLIMIT_FSIZE, 10 << 10);
    }
    if (via == Via::MemoryLimit) {
        limit(RLIMIT_AS, rlim_t{300} << 20);
    }
    if (via == Via::OtherUser && (::setresgid(kOtherUser, kOtherUser, kOtherUser) != 0 ||
                                  ::setresuid(kOtherUser, kOtherUser, kOtherUser) != 0)) {
        ::_exit(126);
    }
}

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
    static const std::map<std::string, std::string> texts = {
        {"sq.kvk", square},
        {"sq.kvw", cli({"convert", "--format", "kvw", kSquare, "-"}).bytes},
        {"dc.kvk", readWholeFile(kDc)},
        {"f.kvk", ":2 3 1 1 100\n1 100 0\n"},
        {"one.kvk", "1 100 0\n"},
        {"junk.kvk", "junk"},
        {"b\\d\xff\x1b]0;x\a.kvk", square},
        {"big.kvk", tableTooLargeToWrite()},
        {"zeros.csv", ""},  // made 64 MiB without a line end
        {"bad.csv", "# mine\n3,5\nfive,5\n"},
        {"quarter.csv", "1.25,1\n"},
        {"ro.kvk", "old"},  // the ro.* write-protected
        {"ro.wav", "old"},
        {"ro.csv", "old"},
        {"roots.kvk", "old"},
    };
    return texts;
}

/** Makes the input called name in dir, if it is one and not there yet. */
void makeInput(const std::string& name, const TempDir& dir)
{
    namespace fs = std::filesystem;
    const std::string path = dir.file(name);
    const auto text = inputTexts().find(name);
    if (fs::exists(fs::symlink_status(path))) {
        return;
    }
    if (name == "fifo.kvk") {
        makeSpecial(Special::Fifo, path);
    } else if (name == "mem.kvk") {
        fs::create_symlink("/proc/self/mem", path);
    } else if (text != inputTexts().end()) {
        writeWholeFile(path, text->second);
    }
    if (name == "zeros.csv") {
        fs::resize_file(path, kMaxInputBytes);
    }
    if (name.starts_with("ro.")) {
        fs::permissions(path, fs::perms::owner_read);
    }
}

/** The words of line, each "@name" a file in dir, made there if it is an input. */
std::vector<std::string> words(const std::string& line, const TempDir& dir)
{
    std::vector<std::string> list;
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        if (word[0] == '@') {
            makeInput(word.substr(1), dir);
        }
        list.push_back(word[0] == '@' ? dir.file(word.substr(1)) : word);
    }
    return list;
}

/** What a running program has written to fd so far, waiting until it holds text. */
std::string readUntil(int fd, const std::string& text)
{
    std::string seen;
    char chunk[256];
    while (seen.find(text) == std::string::npos) {
        pollfd wait{fd, POLLIN, 0};
        if (::poll(&wait, 1, 30000) <= 0) {
            break;
        }
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        seen.append(chunk, static_cast<std::size_t>(got));
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
    int terminal = -1;
    int follower = -1;
    if (stopped) {
        ::openpty(&terminal, &follower, nullptr, nullptr, nullptr);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(stopped ? follower : ::creat(dir.file("stderr").c_str(), 0644), STDERR_FILENO);
        prepareChild(via, ends[1]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(ends[1]);
    ::close(follower);
    std::string said = stopped ? readUntil(terminal, " %") : "";
    if (stopped) {
        ::kill(child, via == Via::Interrupt ? SIGINT : SIGTERM);
    }
    int wait = 0;
    ::waitpid(child, &wait, 0);
    said += stopped ? readUntil(terminal, "written") : readWholeFile(dir.file("stderr"));
    ::close(terminal);
    return {WIFEXITED(wait) ? WEXITSTATUS(wait) : 128 + WTERMSIG(wait),
            QString::fromStdString(said)};
}

/** FNV-1a of bytes: a fingerprint of an output. */
std::uint64_t fingerprint(const std::string& bytes)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char byte : bytes) {
        hash = (hash ^ static_cast<unsigned char>(byte)) * 0x100000001b3ULL;
    }
    return hash;
}

/** A WAV as read back: its size and fingerprint, its header, where its greatest sample is and
 *  how many are at full scale. */
std::string wavFacts(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* wav = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<float> samples(static_cast<std::size_t>(info.frames));
    sf_readf_float(wav, samples.data(), info.frames);
    sf_close(wav);
    const auto greatest = std::max_element(samples.begin(), samples.end());
    const auto full = std::count_if(samples.begin(), samples.end(),
                                    [](float x) { return std::fabs(x) > 0.9999F; });
    const std::string bytes = readWholeFile(path);
    char text[200];
    std::snprintf(text, sizeof text,
                  "%zu bytes %016llx, %d channel, %d Hz, %lld frames, format %x, peak at %td, "
                  "%td at full scale\n",
                  bytes.size(), static_cast<unsigned long long>(fingerprint(bytes)), info.channels,
                  info.samplerate, static_cast<long long>(info.frames), info.format,
                  greatest - samples.begin(), full);
    return text;
}

/** Whether text holds no control character but line ends, no format control (bidi) and no
 *  surrogate (no row prints a character beyond the first plane). */
bool isPrintable(const QString& text)
{
    return std::none_of(text.begin(), text.end(), [](QChar c) {
        const QChar::Category kind = c.category();
        return (kind == QChar::Other_Control && c != u'\n') || kind == QChar::Other_Format ||
               kind == QChar::Other_Surrogate;
    });
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

/**
 * One run: its arguments ("@name" a file in the row's own folder, made there if it is an input;
 * after " ; " the in-process runs that read back what it made), its status, and what it said
 * in all it and the read-backs wrote.
 */
struct Row {
    const char* line;
    int status;
    std::string said;        ///< "@" the row's folder; see saysInOrder
    Via via = Via::Memory;   ///< how the first command runs
    std::string input = {};  ///< its standard input: text, or "@name" an input's text
    unsigned keptBits = 0;   ///< if set: the mode OUT has after the row
};

void PrintTo(const Row& row, std::ostream* os)
{
    *os << row.line;
}

class Cli : public testing::TestWithParam<Row> {};

TEST_P(Cli, EndsWithItsStatusAndSaysWhatItShould)
{
    const Row& row = GetParam();
    if (row.via == Via::OtherUser && ::geteuid() != 0) {
        GTEST_SKIP() << "a run as another user needs a superuser";
    }
    if (row.via == Via::MemoryLimit && !kMemoryLimitWorks) {
        GTEST_SKIP() << "the memory limit does not work under the sanitizer";
    }
    TempDir dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);  // for another user
    std::vector<std::vector<std::string>> commands(1);
    for (std::string& word : words(row.line, dir)) {
        if (word == ";") {
            commands.emplace_back();
        } else {
            commands.back().push_back(std::move(word));
        }
    }
    const std::string input =
        row.input.starts_with('@') ? inputTexts().at(row.input.substr(1)) : row.input;
    const std::string out = commands[0].empty() ? "" : commands[0].back();  // OUT, if any
    std::string all;
    int status = -1;
    for (const std::vector<std::string>& arguments : commands) {
        const bool first = status == -1;
        const CliRun run = !first || row.via == Via::Memory ? cli(arguments, first ? input : "")
                                                            : program(dir, arguments, row.via);
        status = first ? run.status : status;
        // A WAV it made or streamed is described, before its standard error.
        if (run.bytes.starts_with("RIFF")) {
            writeWholeFile(dir.file("streamed.wav"), run.bytes);
        }
        const std::string made = run.bytes.starts_with("RIFF") ? wavFacts(dir.file("streamed.wav"))
                                 : first && run.status == 0 && out.ends_with(".wav") ? wavFacts(out)
                                                                                     : run.bytes;
        all += run.out.toStdString() + made + run.err.toStdString();
        const bool terminal = row.via == Via::Interrupt || row.via == Via::Terminate;
        EXPECT_TRUE((first && terminal) || isPrintable(run.err)) << all;
        // A failing device or pipe is told once.
        EXPECT_TRUE((row.via != Via::FullDevice && row.via != Via::ClosedPipe) || !first ||
                    run.err.count(u'\n') == 1)
            << all;
    }
    all += '$';
    std::string said = row.said;
    if (const std::size_t folder = said.find('@'); folder != std::string::npos) {
        said.replace(folder, 1, dir.file(""));
    }
    EXPECT_EQ(status, row.status) << all;
    EXPECT_TRUE(saysInOrder(all, said)) << all;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().filename().string().find(".korvalin-"), std::string::npos);
    }
    // A replaced file keeps its bits, whoever replaced it.
    struct stat st {};
    EXPECT_TRUE(row.keptBits == 0 ||
                (::stat(out.c_str(), &st) == 0 && (st.st_mode & 07777) == row.keptBits));
}

/** A row's name for --gtest_filter: its words and how it runs, "-" as dash. */
std::string rowName(const testing::TestParamInfo<Row>& info)
{
    std::string name;
    std::istringstream in(info.param.line);
    for (std::string word; in >> word;) {
        word = word == "-" ? "dash" : word == "--" ? "dashes" : word == ";" ? "then" : word;
        for (const char c : "_" + word) {
            if (static_cast<unsigned char>(c) < 0x80 && std::isalnum(c) != 0) {
                name += c;
            } else if (!name.empty() && name.back() != '_') {
                name += '_';
            }
        }
    }
    name += kViaNames[static_cast<int>(info.param.via)];
    while (name.ends_with('_')) {
        name.pop_back();
    }
    return name.empty() ? "no_arguments" : name;
}

const Row kRows[] = {
    // Help: the whole list, and each command's own page.
    {"--help", 0, "convert IN OUT"},
    {"show --help", 0, "Usage: korvalin-cli show [options] FILE...\n"},
    {"convert --help", 0, "Usage: korvalin-cli convert [options] IN OUT\n…--fundamental HZ"},
    {"new --help", 0, "Usage: korvalin-cli new [options] OUT\n"},
    {"spectrum --help", 0, "Usage: korvalin-cli spectrum [options] IN [OUT.csv|-]\n"},
    {"plot --help", 0, "Usage: korvalin-cli plot [options] IN OUT\n"},
    {"check --help", 0, "Usage: korvalin-cli check [options] FILE...\n"},
    // A usage mistake is told in one line, with status 2.
    {"", 2, "no command given"},
    {"frobnicate x", 2, "unknown command 'frobnicate'"},
    {"show", 2, "korvalin-cli: show takes FILE... (see 'korvalin-cli --help')\n$"},
    // An unknown option as typed; a file name that starts with a dash goes after "--".
    {"show -dash.kvk", 2,
     "unknown option '-dash.kvk'; a file name that starts with - goes after --"},
    {"show -- -dash.kvk", 1, "cannot open -dash.kvk: "},
    {"show --size 10x10 x", 2, "option --size does not apply to show"},
    {"show --sine --cosine x", 2, "--sine and --cosine exclude"},
    {"plot x y.bmp", 2, "plot writes png, svg, pdf, not 'y.bmp'"},
    {"show -", 2, "- needs --format"},
    {"show --format kvk - -", 2, "can be read only once"},
    {"show --format kvk x", 2, "--format applies only to -"},
    {"convert --seconds 1 x y.wav", 2, "--seconds needs --rate"},
    {"convert --normalize x y.kvk", 2, "apply to a .wav output"},
    {"new --order 5 y", 2, "--order needs --preset"},
    // Exports for instruments: their options go together, and name the files they write.
    {"convert --points 7 x y.csv", 2, "--points must be an integer from 8 to 1048576"},
    {"convert --points 8 --cycles 1001 x y.csv", 2, "--cycles must be an integer from 1 to"},
    {"convert --cycles 2 x y.csv", 2, "--cycles needs --points"},
    {"convert --points 8 --scale volts x y.csv", 2, "--scale volts needs --rms V or --peak V"},
    {"convert --points 8 --peak 1 x y.csv", 2, "--peak needs --scale volts"},
    {"convert --points 8 --scale codes --bits 25 x y.txt", 2, "--bits must be an integer from 8"},
    {"convert --points 8 --bits 16 x y.txt", 2, "--bits with --points needs --scale codes"},
    {"convert --points 8 x y.kvk", 2, "--points writes OUT.csv or OUT.txt, not 'y.kvk'"},
    {"convert --table --points 8 x y.csv", 2, "--points and --table exclude each other"},
    {"convert --basis sine x y.csv", 2, "--basis needs --table"},
    {"convert --table x -", 2, "--table writes OUT.csv, not '-'"},
    {"show --points 8 x", 2, "option --points does not apply to show"},
    {"convert --points 64 --cycles 2 @f.kvk @w.csv ; show @w.csv", 0,
     "Settings:  2 display cycles, 2 FFT cycles, 64 samples per cycle…"
     "Phase\n1.00           100.00      0\n\n"},
    {"convert --points 64 @sq.kvk @ro.csv", 1, "ro.csv: It is write-protected (--force"},
    {"convert --points 1048576 --cycles 10 @sq.kvk @w.csv", 1,
     "w.csv: It would be larger than 64 MiB"},
    {"new --table --zero-fundamental-phase @t.csv", 0, ""},
    // What the design refuses, in the CLI's words (the ranges' edges are tested at the design).
    {"show --ppc 24.9 x", 2, "korvalin-cli: --ppc must be a number from 25 to 512 (got '24.9')"},
    {"new --ppc 100 --harmonic 50.5:10:0 y", 2, "the number must be from 0 to 49.9985"},
    {"new --preset square --harmonic 3:1:0 y", 2, "already specified"},
    {"show @dc.kvk", 0,
     "13.64%   Odd: 11.66%   Even: 0.00%   DC: 5.00%   Inter: 5.00%\n"
     "Peak: 126.20%   RMS: 71.45%   Crest factor: 1.766   Form factor: 1.147\n"
     "THD-R: 13.51%   THD40: 11.66%   THD50: 11.66%   K-factor: 1.170\n$"},
    // Entries between the FFT window's bins are named, in JSON too.
    {"show --json --fft-cycles 3 @dc.kvk", 0,
     "\"resolution\":\"1.50 and 1 more lie between FFT bins: "
     "set FFT cycles to 2 to measure them\",\"rows\":"},
    // Options beat the file's settings line.
    {"show --fft-cycles 3 --ppc 100.5 --sine --fundamental-reference @dc.kvk", 0,
     "3 FFT cycles, 100.5 samples per cycle, sine, fundamental phase"},
    // An input that cannot be read is named as typed, and makes the status 1.
    {"show --json @dc.kvk @nope.kvk @sq.kvk", 1, "cannot open @nope.kvk"},
    {"show @junk.kvk", 0, "junk.kvk: no valid content; the table is empty"},
    // new: the fundamental alone; a preset up to --order with one more entry.
    {"new --format kvk -", 0, ":1 12 1 1 128.000000\r\n1 100.000000 0\r\n$"},
    {"new --preset square --order 9 --harmonic 2:5:45 @n.kvk ; show @n.kvk", 0,
     "\n2.00             5.00     45\n3.00            33.33    -90\n…"
     "\n9.00            11.11    -90\n\n"},
    // A CSV holds the settings line, then the displayed samples; read back under them.
    {"convert --format csv @f.kvk -", 0, ";2 3 1 1 100.000000\nindex,value\n0,100.0"},
    {"convert @f.kvk @f.csv ; show @f.csv", 0,
     "(samples)\nSettings:  3 display cycles, 2 FFT cycles, 100 samples…"
     "Phase\n1.00           100.00      0\n\n"},
    {"show @zeros.csv", 0, "zeros.csv (samples)"},  // a 64 MiB line without its end
    {"show --format csv -", 0, "- (samples)\nSettings:  12 display cycles, 3 FFT cycles",
     Via::Memory, ";3 12 1 1 64\n0,1\n"},
    // Outputs as Save As writes them, by extension or --format.
    {"convert --format kvk - -", 0, readWholeFile(kSquare), Via::Memory, "@sq.kvk"},
    {"convert @sq.kvk @o.kvw ; show @o.kvw", 0,
     "Phase\n1.00           100.00    -90\n3.00            33.33    -90\n"},
    // Without OUT to standard output; bin 3 of three FFT cycles is the fundamental.
    {"spectrum --fft-cycles 3 --ppc 100 @sq.kvk", 0, "\n3,1,100.000000,-90.00\n"},
    {"spectrum --format kvw - -", 0, "\n3,3,33.33", Via::Memory, "@sq.kvw"},
    // A WAV on standard output is the file's bytes (kept to the byte as libsndfile wrote them).
    {"convert @sq.kvk @a.wav ; convert --format wav @sq.kvk -", 0,
     "6224 bytes 0ea2fcc966ef0da2, 1 channel, 6400 Hz…6224 bytes 0ea2fcc966ef0da2"},
    {"convert --bits 16 --rate 8000 --seconds 0.01 @sq.kvk @a.wav ; "
     "convert --format wav --bits 16 --rate 8000 --seconds 0.01 @sq.kvk -",
     0, "204 bytes b4c89d17651b77ab…204 bytes b4c89d17651b77ab"},
    {"convert --bits 24 --rate 8000 --seconds 0.010125 --sine @f.kvk @a.wav ; "
     "convert --format wav --bits 24 --rate 8000 --seconds 0.010125 --sine @f.kvk -",
     0, "288 bytes 70ede21554b5c2d8…288 bytes 70ede21554b5c2d8"},
    // A WAV holds the displayed samples at ppc x the fundamental, or with --rate the
    // design at t = i / rate: 50 Hz, a sine, is greatest a quarter period, 240 samples, in.
    {"convert --fundamental 60 @f.kvk @a.wav", 0,
     "1 channel, 6000 Hz, 300 frames, format 10006, peak at 0, 6 at full scale\n$"},
    {"convert --rate 48000 --seconds 0.5 --bits 24 --sine @f.kvk @a.wav", 0,
     "1 channel, 48000 Hz, 24000 frames, format 10003, peak at 240,"},
    // Integer samples are clipped, not wrapped; normalized, each period's peak is full scale.
    {"convert --bits 16 @dc.kvk @a.wav", 0,
     "format 10002, peak at 0, 318 at full scale\nkorvalin-cli: warning: …"
     "the peak, 126.20 %, exceeds full scale; 318 of 1536 samples"},
    {"convert --normalize --bits 16 @dc.kvk @a.wav ; "
     "convert --format wav --normalize --bits 16 @dc.kvk -",
     0,
     "3116 bytes a59ac098b368ac47, …format 10002, peak at 1, 6 at full scale\n3116 bytes "
     "a59ac098b368ac47"},
    {"plot --size 640x480 --format png @sq.kvk -", 0, "IHDR\0\0\x02\x80\0\0\x01\xe0"s},
    {"plot --format svg @sq.kvk -", 0, "<svg"},
    {"plot --format pdf @sq.kvk -", 0, "%PDF-"},
    {"plot @sq.kvk @t.svg", 0, "charts written to "},
    // The mask drawn as the window draws it: the square's lines over EN 50160 in red.
    {"plot --limits en50160 --format svg @sq.kvk -", 0, "stroke=\"#cb0b0b\""},
    // Each file against a mask; status 3 when one is over, 1 when one cannot be read.
    {"check --limits en50160 @sq.kvk", 3,
     "\nh5           20.00      6.00    -14.00       333   over\n…"
     "EN 50160: 13 exceeded: h3 33.33 % > 5 %, h5 20.00 % > 6 %"},
    {"check --limits ieee519-1kv @one.kvk @sq.kvk", 3,
     "IEEE 519 (\u2264 1 kV): pass, closest h2 at 0 % of its limit\n\nFile:"},
    {"check --json --limits ieee519-1kv @one.kvk", 0,
     "\"passed\":true,\"thd\":{\"highestOrder\":50"},
    {"check --limits @quarter.csv @dc.kvk", 3,
     "quarter.csv: 1 unresolved: h1.25 needs FFT cycles 4"},
    {"check --limits iec61000-3-2-a --fundamental-rms 2 @one.kvk", 0,
     "h3            0.00    115.00"},
    {"check --limits iec61000-3-2-a @one.kvk", 2, "needs the fundamental's RMS current"},
    {"check --limits en50161 @one.kvk", 2, "no built-in limit mask called 'en50161'"},
    {"check @one.kvk", 2, "check needs --limits"},
    {"check --list @one.kvk", 2, "check --list takes no FILE"},
    {"check --list", 0, "iec61000-3-2-a: IEC 61000-3-2 Class A\n  limits in A"},
    {"check --limits @bad.csv @one.kvk", 1, "bad.csv: line 3: expected order,limit_percent"},
    {"check --limits @none.csv @one.kvk", 1, "cannot read mask"},
    // A failure on standard output is told once.
    {"convert --format kvk @sq.kvk -", 1,
     "cannot write standard output: No space left on device.\n$", Via::FullDevice},
    {"plot --format png @sq.kvk -", 1, "cannot write standard output: No space", Via::FullDevice},
    {"spectrum @sq.kvk", 1, "cannot write standard output: No space", Via::FullDevice},
    {"show --json @sq.kvk", 1, "cannot write standard output: No space", Via::FullDevice},
    // A WAV to standard output is streamed: each failure once, with its reason, at once.
    {"convert --format wav @sq.kvk -", 1,
     "korvalin-cli: cannot write standard output: No space left on device\n$", Via::FullDevice},
    {"convert --format wav --rate 384000 --seconds 600 @sq.kvk -", 1,
     "korvalin-cli: cannot write standard output: Broken pipe\n$", Via::ClosedPipe},
    // Names byte for byte (the real program reads this one), controls printed escaped.
    {"show @b\\d\xff\x1b]0;x\a.kvk", 1, "output: No space left on device", Via::FullDevice},
    {"show @sq.kvk", 1, "output: Broken pipe.\n$", Via::ClosedPipe},
    {"show @b\\d\xff\x1b]0;x\a.kvk", 0, "b\\\\d\\xff\\x1b]0;x\\x07.kvk ("},
    {"convert @sq.kvk @out\xff.kvk ; show @out\xff.kvk", 0, "out\\xff.kvk (coefficients)"},
    {"plot @sq.kvk b.\x1b[31m", 2, "not 'b.\\x1b[31m'"},
    {"show --\x1b]0;x\a", 2, "unknown option '--\\x1b]0;x\\x07'"},
    {"convert @fifo.kvk @o.kvk", 1, "fifo.kvk: It is not a regular file."},
    // A write-protected OUT is replaced only with --force, by every command that offers it.
    {"convert @sq.kvk @ro.kvk", 1, "ro.kvk: It is write-protected"},
    {"convert @sq.kvk @ro.wav", 1, "ro.wav: It is write-protected"},
    {"spectrum @sq.kvk @ro.csv", 1, "ro.csv: It is write-protected (--force replaces it)."},
    {"convert --force @sq.kvk @ro.kvk ; show @ro.kvk", 0,
     "ro.kvk (coefficients)\nSettings:  12 display cycles, 1 FFT cycle", Via::Memory, "", 0400},
    {"convert --force @sq.kvk @ro.wav", 0, "1 channel, 6400 Hz"},
    {"spectrum --force @sq.kvk @ro.csv", 0, ""},
    // Another user may not write root's file: refused as a write-protected one.
    {"convert @sq.kvk @roots.kvk", 1, "roots.kvk: It is write-protected", Via::OtherUser},
    {"convert --force @sq.kvk @roots.kvk", 0, "", Via::OtherUser, "", 0644},
    // What was read when a read failed does not count, and nothing is written.
    {"convert @mem.kvk @sq.kvk ; show @sq.kvk", 1,
     "mem.kvk: Input/output error.\n…3.00            33.33    -90\n"},
    // A long WAV shows how far it is on a terminal, and a signal stops it: one line, the
    // signal's status, no file.
    {"convert --rate 384000 --seconds 3600 @sq.kvk @long.wav ; show @long.wav", 130,
     "writing …stopped by SIGINT; …long.wav was not written…No such file", Via::Interrupt},
    {"convert --rate 384000 --seconds 3600 @sq.kvk @long.wav ; show @long.wav", 143,
     "writing …stopped by SIGTERM; …long.wav was not written…No such file", Via::Terminate},
    // Standard input ends at the cap.
    {"show --format csv -", 1, "cannot open -: It is larger than 64 MiB.\n", Via::Zeros},
    // No output that the readers would refuse.
    {"convert @big.kvk @big2.kvk ; show @big2.kvk", 1,
     "big2.kvk: It would be larger than 64 MiB, more than Korvalin reads back.\n"
     "…No such file or directory."},
    // Resource limits fail the write (no temporary file left), not the program.
    {"convert @sq.kvk @fs.kvw", 1, "fs.kvw: File too large.\n$", Via::FileSizeLimit},
    {"convert --rate 48000 @sq.kvk @fs.wav", 1, "fs.wav: File too large", Via::FileSizeLimit},
    {"convert @big.kvk @mem2.kvk ; show @mem2.kvk", 1,
     ": Not enough memory to …No such file or directory.", Via::MemoryLimit},
};

INSTANTIATE_TEST_SUITE_P(Runs, Cli, testing::ValuesIn(kRows), rowName);

// Text from outside as it is printed: what a terminal would act on, or would show other than
// it is, escaped; every other character as it is.
TEST(PrintedText, EscapesControlsFormatControlsAndBytesThatAreNoUtf8)
{
    const std::pair<const char*, const char*> cases[] = {
        {"plain \xc3\xa9t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xb5.kvk",
         "plain \xc3\xa9t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xb5.kvk"},
        {"a\\b", "a\\\\b"},
        {"\x1b[31m\a\t\x7f", "\\x1b[31m\\x07\\x09\\x7f"},
        {"\xc2\x85\xc2\x9b", "\\xc2\\x85\\xc2\\x9b"},
        {"\xff\xc0\xaf\xed\xa0\x80", "\\xff\\xc0\\xaf\\xed\\xa0\\x80"},
        {"evil\xe2\x80\xaegpj.kvk", "evil\\u202egpj.kvk"},
        {"\xe2\x81\xa6\xe2\x80\x8b\xef\xbb\xbf\xc2\xad", "\\u2066\\u200b\\ufeff\\u00ad"},
        {"\xe2\x80\xa8\xe2\x80\xa9", "\\u2028\\u2029"},
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
        SF_INFO info{};
        info.samplerate = 8000;
        info.channels = 1;
        info.format = SF_FORMAT_RF64 | subtype;
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

/** A value by its dotted path ("1.rows.0.number"); an array gives its size, true 1. */
double jsonAt(QJsonValue value, const QString& path)
{
    for (const QString& key : path.split(u'.')) {
        value = key[0].isDigit() ? value[key.toInt()] : value[key];
    }
    return value.isArray() ? value.toArray().size() : value.toDouble(value.toBool());
}

TEST(CliShow, JsonLinesOneObjectPerReadableInputInArgumentOrder)
{
    const CliRun run = cli({"show", "--json", kDc, KORVALIN_EXAMPLES "/missing.kvk", kSquare});
    // One compact object a line: as lines of an array, they parse.
    const QString array = u'[' + run.out.trimmed().replace(u'\n', u',') + u']';
    const QJsonArray objects = QJsonDocument::fromJson(array.toUtf8()).array();
    ASSERT_EQ(objects.size(), 2) << run.out.toStdString();
    const QString expected = QStringLiteral(
        "0.settings.fftCycles=2 0.settings.ppc=128 0.settings.cosine=1 0.harmonics=6 "
        "0.harmonics.2.number=1.5 0.harmonics.2.phase=30 0.figures.total=13.64 0.figures.odd=11.66 "
        "0.figures.even=0 0.figures.dc=5 0.figures.inter=5 0.waveform.samples=1536 "
        "0.waveform.peak=126.20 0.waveform.rms=71.45 0.waveform.crestFactor=1.766 1.spectrum=65 "
        "1.rows=32 1.rows.1.number=3 1.quality.thdR=42.93 1.quality.thd40=47.03 "
        "1.quality.kFactor=26.104 1.quality.formFactor=1.009");
    for (const QString& entry : expected.split(u' ')) {
        const QStringList pair = entry.split(u'=');
        EXPECT_NEAR(jsonAt(objects, pair[0]), pair[1].toDouble(), 0.005) << entry.toStdString();
    }
    // 32-bit values in their own shortest form, not the double's digits.
    EXPECT_EQ(jsonAt(objects, QStringLiteral("1.rows.1.magnitude")), 33.333332);
    // A figure the text shows as 0.00 is 0 to a script too, not rounding noise.
    EXPECT_EQ(jsonAt(objects, QStringLiteral("0.figures.even")), 0.0);
    EXPECT_EQ(jsonAt(objects, QStringLiteral("1.figures.dc")), 0.0);
}

/** A command line ("@name": a file in the folder), its exit status and a text it prints. */
using CliCase = std::pair<const char*, std::pair<int, const char*>>;

/** Runs each line and checks its status and that its output or errors hold the text. */
void expectRuns(std::span<const CliCase> cases, const TempDir& dir)
{
    for (const auto& [line, expected] : cases) {
        SCOPED_TRACE(line);
        const CliRun run = cli(words(line, dir));
        EXPECT_EQ(run.status, expected.first) << run.err.toStdString();
        EXPECT_TRUE((run.out + run.err).contains(QString::fromUtf8(expected.second)))
            << (run.out + run.err).toStdString();
    }
}

TEST(CliAnalyse, ReadsAnalysesComparesAndWritesACaptureWithAStatusForEachOutcome)
{
    TempDir dir;
    const std::string design = ":10 12 1 1 128\n1 100 20\n3 20 30\n5 10 -60\n";
    writeWholeFile(dir.file("design.kvk"), design);
    writeWholeFile(dir.file("off.kvk"), ":10 12 1 1 128\n1 100 20\n3 20.2 30\n5 10 -60\n");
    ToneCapture tone{{{1, 100, 20}, {3, 20, 30}, {5, 10, -60}}, 50.0, 48000, 11520};
    const std::vector<double> samples = synthesizeCapture(tone);
    writeWholeFile(dir.file("cap.wav"), wavBytes(samples, tone.rate, {WavForm::F32}));
    writeWholeFile(dir.file("notime.csv"), captureCsv(samples, tone.rate, false));
    ToneCapture inter{{{1, 100, 0}, {5.5, 5, 0}}, 50.0, 8000, 1800};
    writeWholeFile(dir.file("inter.wav"),
                   wavBytes(synthesizeCapture(inter), inter.rate, {WavForm::F32}));
    const CliCase cases[] = {
        {"analyse @cap.wav",
         {0,
          "Fundamental: 50.000000 Hz (estimated)\nWindow:      10 cycles at "
          "960.00 points per cycle (48000 Hz), resampled to 1024"}},
        {"analyse @cap.wav", {0, "\n3.00          20.0000        30.00\n"}},
        {"analyse --fundamental 50 --cycles 4 @cap.wav",
         {0, "50.000000 Hz\nWindow:      4 cycles"}},
        {"analyse --compare @design.kvk --tolerance 0.05 @cap.wav",
         {0, "Within the tolerance of 0.05 percentage points"}},
        {"analyse --compare @off.kvk --tolerance 0.05 @cap.wav",
         {3, "Largest difference: 0.2000 percentage points"}},
        {"analyse --json --compare @off.kvk @cap.wav", {3, "\"tolerance\":0.1,\"within\":false"}},
        {"analyse --groups @inter.wav",
         {0, "\n5                  0.0000         3.5355         5.0000\n"}},
        {"analyse --groups --cycles 8 @cap.wav", {1, "Groups need a window of 10 or 12 cycles."}},
        {"analyse @notime.csv", {1, "the sample rate must be given. Give --rate."}},
        {"analyse --rate 48000 @notime.csv", {0, "(48000 Hz)"}},
        {"analyse --channel 2 @cap.wav", {1, "channel 2 is not one of them"}},
        {"analyse -o @made.kvk @cap.wav", {0, "Design written to "}},
        {"analyse @none.wav", {1, "cannot read "}},
        {"analyse --cycles 13 @cap.wav", {2, "--cycles must be an integer from 1 to 12"}},
        {"analyse --tolerance 0.1 @cap.wav", {2, "--tolerance needs --compare"}},
        {"analyse --compare @design.kvk --tolerance 0 @cap.wav",
         {2, "--tolerance must be a number above 0"}},
        {"analyse --fundamental 0 @cap.wav", {2, "--fundamental must be a number above 0"}},
        {"analyse --limits en50160 @cap.wav", {2, "option --limits does not apply to analyse"}},
        {"analyse -", {2, "analyse reads a capture file"}},
        {"show --cycles 3 @design.kvk", {2, "option --cycles does not apply to show"}},
    };
    expectRuns(cases, dir);
    EXPECT_EQ(readWholeFile(dir.file("made.kvk")).substr(0, 33),
              ":10 12 1 1 512.000000\r\n1 100.0000");
    EXPECT_NE(readWholeFile(dir.file("made.kvk")).find("\r\n3 20.000"), std::string::npos);
}

/** One JSON Lines object as a strict parser takes it: UTF-8 bytes, no lone surrogate. */
QJsonObject strictJsonLine(const QByteArray& line)
{
    const QString text = QString::fromUtf8(line);
    if (text.toUtf8() != line || !text.isValidUtf16()) {
        return {};
    }
    const QJsonObject object = QJsonDocument::fromJson(line).object();
    for (const QJsonValue& value : object) {
        if (value.isString() && !value.toString().isValidUtf16()) {
            return {};
        }
    }
    return object;
}

// A name goes as it is printed; where that is not the name itself, its bytes go beside it.
TEST(CliShow, JsonLinesAreValidJsonWhateverTheFileName)
{
    TempDir dir;
    const std::pair<std::string, std::string> cases[] = {
        {"plain.kvk", "plain.kvk"},
        {"b\\d\x1b\xe2\x80\xae.kvk", "b\\\\d\\x1b\\u202e.kvk"},
        {"out\xff.kvk", "out\\xff.kvk"},
        {"\xed\xa0\x80.kvk", "\\xed\\xa0\\x80.kvk"},
    };
    for (const auto& [name, file] : cases) {
        SCOPED_TRACE(file);
        writeWholeFile(dir.file(name), readWholeFile(kSquare));
        const CliRun run = cli({"show", "--json", dir.file(name)});
        const QJsonObject object = strictJsonLine(run.out.toUtf8().trimmed());
        EXPECT_EQ(object[QStringLiteral("file")].toString().toStdString(), dir.file(file));
        EXPECT_EQ(
            object[QStringLiteral("fileBytes")].toString().toStdString(),
            name == file ? "" : QByteArray::fromStdString(dir.file(name)).toBase64().toStdString());
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
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
