#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "design/Design.h"
#include "files/CoefficientFile.h"
#include "files/DocumentReader.h"
#include "files/InputFile.h"
#include "files/WaveshapeFile.h"
#include "support/TestSupport.h"

static void PrintTo(const HarmonicEntry& e, std::ostream* os)
{
    *os << '{' << e.number << ", " << e.magnitude << ", " << e.phase << '}';
}

namespace {

using Entries = std::vector<HarmonicEntry>;

ReadSummary read(ReaderProbe& probe, const std::string& text, DocumentKind kind)
{
    std::istringstream in(text);
    return ReadDocumentLines(in, kind, probe);
}

ReadSummary load(Design& design, const std::string& text,
                 DocumentKind kind = DocumentKind::Coefficients)
{
    std::istringstream in(text);
    return design.open(in, kind);
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

// --- Line dispatch -------------------------------------------------------------------------

TEST(DocumentReaderLines, CoefficientLinesWithEitherLineEnd)
{
    ReaderProbe ws;
    const ReadSummary summary = read(ws, ":2 6 0 0 100\r\n3 50 10\n;comment\r\n!1\r\n\r\n\n1 100 0",
                                     DocumentKind::Coefficients);
    EXPECT_EQ(summary.settingsLinesApplied, 1);
    EXPECT_FALSE(summary.readError);
    // The last line has no line end and still counts.
    EXPECT_EQ(ws.table.entries(), (Entries{{1, 100, 0}, {3, 50, 10}}));
    EXPECT_EQ(ws.active.ppc, 100.0F);
}

TEST(DocumentReaderLines, OnlyTheFirstCharacterDecidesTheKind)
{
    ReaderProbe ws;
    const ReadSummary summary =
        read(ws, " :2 6 0 0 100\r\n! 5\r\n; 7\r\n:3 4\r\n8,\t10\r\n", DocumentKind::Waveshape);
    EXPECT_EQ(summary.settingsLinesApplied, 1);
    // The blank-led line is samples; the marker and the comment add none.
    ASSERT_EQ(summary.samplesRead, 6U);
    const double expected[] = {6.0, 0.0, 0.0, 100.0, 8.0, 10.0};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(ws.samples[i], expected[i]) << i;
    }
    EXPECT_EQ(ws.active.fftCycles, 3);
    EXPECT_EQ(ws.active.displayCycles, 4);
}

TEST(DocumentReaderLines, LongHarmonicLineIsReadWhole)
{
    ReaderProbe ws;
    read(ws, std::string(300, ' ') + "3 50 10\r\n" + std::string(254, ' ') + "4 60 20\r\n",
         DocumentKind::Coefficients);
    EXPECT_EQ(ws.table.entries(), (Entries{{3, 50, 10}, {4, 60, 20}}));
}

TEST(DocumentReaderLines, PendingSettingsBelongToOneFile)
{
    ReaderProbe ws;
    read(ws, ":0 6 1 1 128\r\n", DocumentKind::Coefficients);
    read(ws, ":2 6\r\n", DocumentKind::Coefficients);
    EXPECT_EQ(ws.active.cosine, 0);  // not taken from the other file
}

TEST(DocumentReaderLines, SettingsLineLimitsLaterEntriesOnly)
{
    Design ws;  // 512 slots: 60 fits; under 655 slots (ppc 100) it does not
    load(ws, "60 1 0\r\n:1 12 1 1 100\r\n60 2 0\r\n50 3 0\r\n");
    EXPECT_EQ(ws.table().entries(), (Entries{{50, 3, 0}, {60, 1, 0}}));
}

// --- LoadDocument --------------------------------------------------------------------------

TEST(DocumentReaderLoad, SelectsFirstRowAndAppliesItToEqualNumbers)
{
    Design ws;
    ws.add(7.0F, 1.0F, 1);
    load(ws, "5 30 40\r\n2 10 5\r\n2 20 7\r\n2 25 9\r\n");
    EXPECT_EQ(ws.table().entries(), (Entries{{2, 10, 5}, {2, 10, 5}, {2, 10, 5}, {5, 30, 40}}));
    EXPECT_EQ(ws.table().selectedRow(), 0);
    EXPECT_EQ(ws.table().selectedNumber(), 2.0F);
    EXPECT_EQ(ws.table().lastAddedNumber(), 1.0F);
}

TEST(DocumentReaderLoad, EmptyResultSelectsNothing)
{
    Design ws;
    ws.add(1.0F, 100.0F, 0);
    EXPECT_EQ(load(ws, "; nothing here\r\nx y z\r\n").settingsLinesApplied, 0);
    EXPECT_EQ(ws.table().count(), 0);
    EXPECT_EQ(ws.table().selectedRow(), -1);
    EXPECT_EQ(ws.table().lastAddedNumber(), 1.0F);
}

TEST(DocumentReaderLoad, CoefficientRoundTripKeepsEveryEntry)
{
    WaveSettings s;
    s.fftCycles = 3;
    s.ppc = 100.5F;
    HarmonicTable table;
    const Entries entries{
        {0, 12.5F, 0}, {1, 100, -180}, {1.5F, 0, 90}, {2, 33.33F, 45}, {3, 250.75F, -1}};
    for (const HarmonicEntry& e : entries) {
        table.AddHarmonic(e.number, e.magnitude, e.phase);
    }
    Design ws;
    load(ws, WriteCoefficientFile(s, table));
    EXPECT_EQ(ws.table().entries(), entries);
    EXPECT_EQ(ws.active(), s);
}

TEST(DocumentReaderLoad, FileWithoutSettingsLineKeepsEarlierSettings)
{
    Design ws;
    load(ws, ":2 6 0 0 100\r\n1 100 0\r\n");
    const WaveSettings before = ws.active();
    ASSERT_EQ(before.ppc, 100.0F);
    EXPECT_EQ(load(ws, "1 100 0\r\n3 10 0\r\n").settingsLinesApplied, 0);
    EXPECT_EQ(ws.active(), before);
    EXPECT_EQ(ws.table().slotsPerHarmonic(), 655);
    EXPECT_EQ(ws.table().count(), 2);
}

TEST(DocumentReaderLoad, WaveshapeSamplesMissingFromTheFileAreZero)
{
    Design ws;
    WaveSettings s;
    s.fftCycles = 2;  // N = 256, but the file holds one cycle of 128 samples
    s.displayCycles = 1;
    HarmonicTable table;
    table.AddHarmonic(1.0F, 100.0F, 0);
    ws.openSamples([](FftBuffer& samples) {  // left from an earlier run
        samples.fill(7.0);
        return samples.size();
    });
    EXPECT_EQ(load(ws, WriteWaveshapeFile(s, table), DocumentKind::Waveshape).samplesRead, 128U);
    ASSERT_GT(ws.table().count(), 0);
    EXPECT_FALSE(ws.table().FindHarmonic(0.0F).has_value());  // one whole cycle has no mean
    EXPECT_EQ(ws.table().FindHarmonic(1.0F)->magnitude, 100.0F);
}

// --- LoadDocumentFile ----------------------------------------------------------------------

TEST(DocumentReaderFile, RefusedFilesLeaveTheDesignAloneAndSayWhy)
{
    using Make = void (*)(const std::string&);
    const std::pair<Make, const char*> cases[] = {
        {[](const std::string&) {}, "No such file or directory."},
        {[](const std::string& p) {
             writeWholeFile(p, "1 100 0\n");
             std::filesystem::permissions(p, std::filesystem::perms::none);  // even for root
         },
         "Permission denied."},
        {[](const std::string& p) {
             writeWholeFile(p, "");
             std::filesystem::resize_file(p, kMaxInputBytes + 1);
         },
         "It is larger than 64 MiB."},
        {[](const std::string& p) {
             writeWholeFile(p, "");
             std::filesystem::resize_file(p, kMaxInputBytes);
         },
         nullptr},
        {[](const std::string& p) { makeSpecial(Special::Fifo, p); }, "It is not a regular file."},
        {[](const std::string& p) { makeSpecial(Special::Socket, p); },
         "It is not a regular file."},
        {[](const std::string& p) { makeSpecial(Special::LinkToFifo, p); },
         "It is not a regular file."},
        {[](const std::string& p) { makeSpecial(Special::Folder, p); }, "Is a directory."},
    };
    for (const auto& [make, reason] : cases) {
        TempDir dir;
        make(dir.file("in.kvk"));
        Design ws;
        ws.add(3.0F, 40.0F, 10);
        const LoadResult result = ws.open(dir.file("in.kvk"));
        EXPECT_EQ(result.error, reason ? reason : "");
        EXPECT_EQ(result.opened, reason == nullptr);
        EXPECT_EQ(ws.table().count(), reason ? 1 : 0);  // a file of zero bytes holds no entry
    }
}

TEST(DocumentReaderFile, ReadingStopsAtTheCapWhenTheFileGrows)
{
    TempDir dir;
    writeWholeFile(dir.file("grows.kvk"), "1 100 0\n");
    InputFile::Opening opening = InputFile::open(dir.file("grows.kvk"));
    ASSERT_TRUE(opening.file);
    std::filesystem::resize_file(dir.file("grows.kvk"), kMaxInputBytes + 10);  // meanwhile
    std::string buffer(1 << 20, '\0');
    std::uint64_t total = 0;
    for (std::size_t got; (got = opening.file->read(buffer)) > 0;) {
        total += got;
    }
    EXPECT_EQ(total, kMaxInputBytes);
    EXPECT_TRUE(opening.file->end().stoppedAtCap);
}

TEST(DocumentReaderFile, KindFollowsTheName)
{
    TempDir dir;
    HarmonicTable table;
    table.AddHarmonic(1.0F, 100.0F, 0);
    table.AddHarmonic(2.0F, 50.0F, 30);
    const std::string text = WriteWaveshapeFile(WaveSettings{}, table);
    writeWholeFile(dir.file("a.kvw"), text);
    writeWholeFile(dir.file("a.KVW"), text);

    Design ws;
    LoadResult result = ws.open(dir.file("a.kvw"));
    ASSERT_TRUE(result.opened);
    EXPECT_EQ(result.summary.samplesRead, 1536U);
    ASSERT_EQ(ws.table().count(), 2);
    EXPECT_EQ(ws.table().entry(1).phase, 30);

    result = ws.open(dir.file("a.KVW"));
    ASSERT_TRUE(result.opened);
    EXPECT_EQ(result.summary.samplesRead, 0U);
    EXPECT_EQ(ws.table().count(), 0);  // sample lines are no harmonic lines
}

// --- Locale --------------------------------------------------------------------------------

class DocumentReaderLocale : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
            GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
        }
    }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_F(DocumentReaderLocale, FilesUseAFullStopUnderADecimalCommaLocale)
{
    ASSERT_EQ(std::localeconv()->decimal_point, std::string(","));
    HarmonicTable table;
    table.AddHarmonic(1.0F, 100.0F, 0);
    table.AddHarmonic(2.5F, 33.33F, 0);
    EXPECT_EQ(WriteCoefficientFile(WaveSettings{}, table),
              ":1 12 1 1 128.000000\r\n1 100.000000 0\r\n2.5 33.330002 0\r\n");
    const std::string wave = WriteWaveshapeFile(WaveSettings{}, table);
    EXPECT_EQ(wave.substr(0, 26), ":1 12 1 1 128.000000\r\n!1\r\n");
    for (std::size_t at = wave.find(','); at != std::string::npos; at = wave.find(',', at + 1)) {
        ASSERT_EQ(wave[at + 1], ' ') << "decimal comma at " << at;  // separators only
    }

    TempDir dir;
    writeWholeFile(dir.file("d.kvk"), ":1 12 1 1 100.5\r\n1.5 12.25 0\r\n");
    Design ws;
    ASSERT_TRUE(ws.open(dir.file("d.kvk")).opened);
    EXPECT_EQ(ws.active().ppc, 100.5F);
    EXPECT_EQ(ws.table().entries(), (Entries{{1.5F, 12.25F, 0}}));
    ReaderProbe probe;
    SampleReader reader;
    ReadSampleLine("1.5, -0.25", reader, probe.samples);
    ASSERT_EQ(reader.count, 2U);
    EXPECT_EQ(probe.samples[0], 1.5);
    EXPECT_EQ(probe.samples[1], -0.25);
}
