#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "design/Design.h"
#include "files/CoefficientFile.h"
#include "files/DocumentReader.h"
#include "files/InputFile.h"
#include "files/WaveshapeFile.h"
#include "support/TestSupport.h"

namespace {

/** The readers' cap, stated here as the documentation states it. */
constexpr std::uint64_t kSixtyFourMiB = 64ULL * 1024 * 1024;

using Entries = std::vector<HarmonicEntry>;
namespace fs = std::filesystem;

ReadSummary read(ReaderProbe& probe, const std::string& text, DocumentKind kind)
{
    std::istringstream in(text);
    return readDocumentLines(in, kind, probe);
}

}  // namespace

TEST(DocumentReaderKind, OnlyALowerCaseKvwExtensionIsAWaveshape)
{
    EXPECT_EQ(documentKindFor("a.kvw"), DocumentKind::Waveshape);
    EXPECT_EQ(documentKindFor("/home/u/x.y/a.b.kvw"), DocumentKind::Waveshape);
    for (const char* path : {"a.KVW", "a.Kvw", "a.kvk", "a.txt", "noext", "dir.kvw/file",
                             "a.kvw.txt", "a.kvwx", "akvw", ""}) {
        EXPECT_EQ(documentKindFor(path), DocumentKind::Coefficients) << path;
    }
}

TEST(DocumentReaderLines, TheFirstCharacterDecidesWhatALineIs)
{
    // Either line end, empty lines, and a last line without one.
    ReaderProbe coefficients;
    read(coefficients, ":2 6 0 0 100\r\n3 50 10\n;c\r\n!1\r\n\r\n\n1 100 0",
         DocumentKind::Coefficients);
    EXPECT_EQ(coefficients.table.entries(), (Entries{{1, 100, 0}, {3, 50, 10}}));

    // A blank-led line is samples; a marker or a comment adds none.
    ReaderProbe wave;
    const ReadSummary summary =
        read(wave, " :2 6 0 0 100\r\n! 5\r\n; 7\r\n:3 4\r\n8,\t10\r\n", DocumentKind::Waveshape);
    EXPECT_EQ(summary.settingsLinesApplied, 1);
    ASSERT_EQ(summary.samplesRead, 6U);
    EXPECT_EQ(std::vector(wave.samples.data(), wave.samples.data() + 6),
              (std::vector<double>{6, 0, 0, 100, 8, 10}));
    EXPECT_EQ(wave.active.fftCycles, 3);
}

TEST(DocumentReaderLines, PendingSettingsBelongToOneFile)
{
    ReaderProbe probe;
    read(probe, ":0 6 1 1 128\r\n", DocumentKind::Coefficients);
    read(probe, ":2 6\r\n", DocumentKind::Coefficients);
    EXPECT_EQ(probe.active.basis, WaveBasis::Sine);  // not taken from the other file
}

TEST(DocumentReaderLines, SettingsLineLimitsLaterEntriesOnly)
{
    Design design;  // 512 slots: 60 fits; under 655 slots (ppc 100) it does not
    std::istringstream in("60 1 0\r\n:1 12 1 1 100\r\n60 2 0\r\n50 3 0\r\n");
    design.open(in, DocumentKind::Coefficients);
    EXPECT_EQ(design.table().entries(), (Entries{{50, 3, 0}, {60, 1, 0}}));
}

// The table and the sample buffer are emptied first (a waveshape's missing samples are zero);
// the first row read is selected (not 5, the last read) and its values go to the entries
// with its number; settings without a settings line stay.
TEST(DocumentReaderLoad, SelectsTheFirstRowAndAppliesItToEqualNumbers)
{
    ReaderProbe probe;
    probe.active.ppc = 100.0F;
    probe.table.addHarmonic(7.0F, 1.0F, 1);
    probe.samples.fill(7.0);
    std::istringstream in("2 10 5\r\n2 20 7\r\n2 25 9\r\n5 30 40\r\n");
    EXPECT_EQ(loadDocument(in, DocumentKind::Coefficients, probe).settingsLinesApplied, 0);
    EXPECT_EQ(probe.table.entries(), (Entries{{2, 10, 5}, {2, 10, 5}, {2, 10, 5}, {5, 30, 40}}));
    EXPECT_EQ(probe.table.selectedRow(), 0);
    EXPECT_EQ(probe.table.selectedNumber(), 2.0F);
    EXPECT_EQ(probe.table.lastAddedNumber(), 1.0F);
    EXPECT_EQ(probe.active.ppc, 100.0F);
    EXPECT_EQ(probe.samples[kSampleBufferSize - 1], 0.0);
}

// The writers and the reader agree under a decimal comma too (the C locale's parsing has its
// own tests).
TEST(DocumentRoundTrip, EveryWrittenEntryAndSettingComesBackUnderADecimalComma)
{
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    }
    const WaveSettings s{
        12, 3, WaveBasis::Cosine, PhaseReference::Harmonic, DisplayMode::Harmonics, 100.5F};
    const HarmonicTable table =
        tableOf({{0, 12.5F, 0}, {1, 100, -180}, {1.5F, 0, 90}, {2, 33.33F, 45}, {3, 250.75F, -1}});
    ReaderProbe probe;
    read(probe, writeCoefficientFile(s, table), DocumentKind::Coefficients);
    EXPECT_EQ(probe.table.entries(), table.entries());
    EXPECT_EQ(probe.active, s);
    // 12 blocks of 25 lines of four samples.
    EXPECT_EQ(read(probe, writeWaveshapeFile(s, table), DocumentKind::Waveshape).samplesRead,
              1200U);
    std::setlocale(LC_ALL, "C");
}

// What was read of a file that changed meanwhile does not count: the design stays as it was.
TEST(DocumentReaderFile, AFileThatChangesWhileReadIsRefused)
{
    const std::string text = "1 100 0\n3 50 0\n";
    const std::pair<std::uintmax_t, const char*> cases[] = {
        {text.size(), nullptr},
        {4, "It changed while it was read."},
        {100, "It changed while it was read."},
        {kSixtyFourMiB + 10, "It is larger than 64 MiB."},
    };
    for (const auto& [size, reason] : cases) {
        TempDir dir;
        writeWholeFile(dir.file("t.kvk"), text);
        Design design;
        design.add(3.0F, 40.0F, 10);
        OpenedDocument document = openDocumentFile(dir.file("t.kvk"));
        ASSERT_TRUE(document.opened());
        fs::resize_file(dir.file("t.kvk"), size);  // meanwhile
        EXPECT_EQ(design.open(document, {}).failure, reason ? reason : "") << size;
        const Entries expected = reason ? Entries{{3, 40, 10}} : Entries{{1, 100, 0}, {3, 50, 0}};
        EXPECT_EQ(design.table().entries(), expected) << size;
    }
}

// A file within the cap may still not fit in memory: the open fails and changes nothing.
TEST(DocumentReaderFile, WithoutMemoryForTheTableTheDesignStaysAsItWas)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory cannot live under an address-space limit";
#endif
    TempDir dir;
    writeWholeFile(dir.file("big.kvk"), tableTooLargeToWrite());
    Design design;
    design.add(3.0F, 40.0F, 10);
    const pid_t child = ::fork();
    if (child == 0) {
        std::ifstream statm("/proc/self/statm");
        rlim_t pages = 0;
        statm >> pages;  // what the process takes now, and 32 MiB more: short of the table
        const rlim_t bytes = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (32 << 20);
        const rlimit limit{bytes, bytes};
        ::setrlimit(RLIMIT_AS, &limit);
        const LoadResult result = design.open(dir.file("big.kvk"));
        ::_exit(result.error == kNoMemoryToRead && design.table().entries() == Entries{{3, 40, 10}}
                    ? 0
                    : 1);
    }
    int wait = 0;
    ::waitpid(child, &wait, 0);
    EXPECT_TRUE(WIFEXITED(wait) && WEXITSTATUS(wait) == 0) << wait;
}

// Files from anywhere: nothing may hang and no line may take memory without bound.
/** 120000 numbers i + 0.125, one separator after each: over a mebibyte, many reads long. */
class HostileSampleText : public ::testing::TestWithParam<const char*> {};

TEST_P(HostileSampleText, NoNumberIsSplitAndTheBufferKeepsTheFirst65536)
{
    std::string text;
    for (int i = 0; i < 120000; ++i) {
        text += std::to_string(i) + ".125" + GetParam();
    }
    ReaderProbe probe;
    ASSERT_EQ(read(probe, text, DocumentKind::Waveshape).samplesRead, 65536U);
    for (std::size_t i = 0; i < 65536; ++i) {
        ASSERT_EQ(probe.samples[i], static_cast<double>(i) + 0.125) << i;
    }
}

// Each separator of a sample line alone, and a line per number.
INSTANTIATE_TEST_SUITE_P(Separators, HostileSampleText,
                         ::testing::Values(",", "  ", "\t", "\v", "\f", "\r", "\n", "\r\n"));

TEST(HostileInput, ASampleTokenBeyondAMebibyteIsSkippedAndReadingGoesOn)
{
    // Leading zeros keep the token a finite number: only its length keeps it out.
    ReaderProbe probe;
    ASSERT_EQ(read(probe, "1 " + std::string(3 << 20, '0') + "7 2, 3\n4\n", DocumentKind::Waveshape)
                  .samplesRead,
              4U);
    EXPECT_EQ(std::vector(probe.samples.data(), probe.samples.data() + 4),
              (std::vector<double>{1, 2, 3, 4}));
}

TEST(HostileInput, AHarmonicLineIsReadUpToItsFirstMebibyte)
{
    // The phase's last digit is the one byte too many.
    ReaderProbe probe;
    read(probe, std::string((1U << 20) - 6, ' ') + "3 50 10\n", DocumentKind::Coefficients);
    EXPECT_EQ(probe.table.entries(), (std::vector<HarmonicEntry>{{3, 50, 1}}));
}

// Standard input has no size to look at first: every kind of document stops at the cap, also
// a stream without end.
TEST(HostileInput, AStreamEndsAtTheSameCapAsAFile)
{
    const char* const tooLarge = "It is larger than 64 MiB.";
    for (const auto kind : {DocumentKind::Coefficients, DocumentKind::Waveshape}) {
        for (const std::uint64_t size : {kSixtyFourMiB, kSixtyFourMiB + 1}) {
            std::istringstream in(std::string(size, '\0'));
            ReaderProbe probe;
            EXPECT_EQ(readDocumentLines(in, kind, probe).failure,
                      size > kSixtyFourMiB ? tooLarge : "");
        }
        std::ifstream zeros("/dev/zero", std::ios::binary);
        ReaderProbe probe;
        EXPECT_EQ(readDocumentLines(zeros, kind, probe).failure, tooLarge);
    }
}
