// Files from anywhere: damaged, binary, enormous. Nothing may crash, hang or grow without
// bound, and the table comes out as the reading rules say.

#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "design/Design.h"
#include "engine/Recalculate.h"
#include "files/DocumentReader.h"
#include "support/TestSupport.h"

namespace {

/** Peak resident memory of this process so far, in MiB. */
long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

TEST(HostileInput, BinaryFilesAreReadWithoutHarm)
{
    TempDir dir;
    std::mt19937 random(7);
    std::string bytes(1 << 20, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random());
    }
    for (const char* name : {"noise.kvk", "noise.kvw"}) {
        writeWholeFile(dir.file(name), bytes);
        Design ws(PlanRigor::Estimate);
        const LoadResult loaded = ws.open(dir.file(name));
        ASSERT_TRUE(loaded.opened);
        for (const HarmonicEntry& e : ws.table().entries()) {
            ASSERT_TRUE(std::isfinite(e.number) && std::isfinite(e.magnitude));
            ASSERT_GE(e.phase, -180);
            ASSERT_LE(e.phase, 180);
        }
        EXPECT_TRUE(std::isfinite(ws.recalculate(true).peak));
    }
}

TEST(HostileInput, OneEnormousLineIsReadInBoundedTimeAndMemory)
{
    TempDir dir;
    const std::string path = dir.file("huge.kvw");
    {
        std::ofstream out(path, std::ios::binary);
        out << ":1 12 1 1 128\n";
        const std::string chunk = [] {
            std::string c;
            for (int i = 0; i < 4096; ++i) {
                c += "12.5, ";
            }
            return c;
        }();
        for (std::size_t written = 0; written < (60U << 20); written += chunk.size()) {
            out << chunk;
        }
        out << "\n";
    }
    const long before = peakMegabytes();
    Design ws;
    const LoadResult loaded = ws.open(path);
    ASSERT_TRUE(loaded.opened);
    EXPECT_EQ(loaded.summary.samplesRead, 65536U);
    ASSERT_EQ(ws.table().count(), 0);  // a constant has no fundamental: nothing to scale by
    const long peak = peakMegabytes();
    std::printf("peak resident memory %ld MiB (before the read: %ld MiB)\n", peak, before);
    EXPECT_LT(peak - before, 64);

    // The same line in a coefficient file: only its first three numbers count.
    std::filesystem::rename(path, dir.file("huge.kvk"));
    Design coefficients;
    ASSERT_TRUE(coefficients.open(dir.file("huge.kvk")).opened);
    EXPECT_EQ(coefficients.table().count(), 0);  // "12.5, 12.5," does not parse as a line
}

TEST(HostileInput, LongSampleLinesAreReadWithoutSplittingANumber)
{
    // Far longer than one read of the file: every number must still come through whole.
    std::string line = "0";
    for (int i = 1; i < 70000; ++i) {
        line += (i % 3 == 0 ? "," : i % 3 == 1 ? "  " : "\t") + std::to_string(i) + ".25";
    }
    std::istringstream in(":1 12 1 1 128\n" + line + "\n");
    ReaderProbe ws;
    const ReadSummary summary = ReadDocumentLines(in, DocumentKind::Waveshape, ws);
    ASSERT_EQ(summary.samplesRead, 65536U);
    EXPECT_EQ(ws.samples[0], 0.0);
    for (std::size_t i = 1; i < 65536; ++i) {
        ASSERT_EQ(ws.samples[i], static_cast<double>(i) + 0.25) << i;
    }
}

TEST(HostileInput, ATokenBeyondAMebibyteIsSkippedAndReadingGoesOn)
{
    std::istringstream in(std::string(":1 12 1 1 128\n1 ") + std::string(3 << 20, '7') +
                          " 2, 3\n4\n");
    ReaderProbe ws;
    const ReadSummary summary = ReadDocumentLines(in, DocumentKind::Waveshape, ws);
    ASSERT_EQ(summary.samplesRead, 4U);
    EXPECT_EQ(ws.samples[0], 1.0);
    EXPECT_EQ(ws.samples[1], 2.0);
    EXPECT_EQ(ws.samples[2], 3.0);
    EXPECT_EQ(ws.samples[3], 4.0);
}

TEST(HostileInput, TenMillionSampleLinesKeepTheFirst65536)
{
    TempDir dir;
    const std::string path = dir.file("long.kvw");
    {
        std::ofstream out(path, std::ios::binary);
        out << ":1 12 1 1 128\n";
        std::string block;
        for (int i = 0; i < 128; ++i) {
            block += i % 2 == 0 ? "100\n" : "-100\n";
        }
        for (int i = 0; i < 10'000'000 / 128; ++i) {
            out << block;
        }
    }
    const long before = peakMegabytes();
    Design ws;
    const LoadResult loaded = ws.open(path);
    ASSERT_TRUE(loaded.opened);
    EXPECT_EQ(loaded.summary.samplesRead, 65536U);
    // Alternating samples are a wave at the top bin, which the analysis never enters.
    EXPECT_EQ(ws.table().count(), 0);
    std::printf("peak resident memory %ld MiB (before the read: %ld MiB)\n", peakMegabytes(),
                before);
    EXPECT_LT(peakMegabytes() - before, 64);
}

}  // namespace
