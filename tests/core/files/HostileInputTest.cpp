// Files from anywhere: enormous lines and tokens. Nothing may hang, no line may take memory
// without bound, and the table comes out as the reading rules say. Damaged and binary files
// are the fuzz targets' work.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/DocumentReader.h"
#include "files/InputFile.h"
#include "support/TestSupport.h"

namespace {

ReadSummary read(ReaderProbe& probe, const std::string& text, DocumentKind kind)
{
    std::istringstream in(text);
    return readDocumentLines(in, kind, probe);
}

/** 120000 numbers i + 0.125, one separator after each: over a mebibyte, many reads long. */
class HostileSampleText : public ::testing::TestWithParam<const char*> {};

TEST_P(HostileSampleText, NoNumberIsSplitAndTheBufferKeepsTheFirst65536)
{
    std::string text;
    for (int i = 0; i < 120000; ++i) {
        text += std::to_string(i) + ".125" + GetParam();
    }
    ASSERT_GT(text.size(), 1U << 20);
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
    const TempDir dir;
    for (const std::uint64_t size : {kMaxInputBytes, kMaxInputBytes + 1}) {
        writeWholeFile(dir.file(std::to_string(size)), "");
        std::filesystem::resize_file(dir.file(std::to_string(size)), size);  // NUL bytes
    }
    const std::pair<std::string, const char*> cases[] = {
        {dir.file(std::to_string(kMaxInputBytes)), ""},
        {dir.file(std::to_string(kMaxInputBytes + 1)), "It is larger than 64 MiB."},
        {"/dev/zero", "It is larger than 64 MiB."},
    };
    for (const auto kind : {DocumentKind::Coefficients, DocumentKind::Waveshape}) {
        for (const auto& [path, reason] : cases) {
            std::ifstream in(path, std::ios::binary);
            ReaderProbe probe;
            EXPECT_EQ(readDocumentLines(in, kind, probe).failure, reason) << path;
        }
    }
}

}  // namespace
