#include "files/DocumentWriter.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "engine/HarmonicTable.h"
#include "support/TestSupport.h"

namespace {

std::size_t filesIn(const TempDir& dir)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir.path()),
                                                  std::filesystem::directory_iterator()));
}

TEST(SaveFileAtomically, ReplacesTheFileOnlyWhenEverythingWasWritten)
{
    TempDir dir;
    const std::string target = dir.file("design.kvk");
    writeWholeFile(target, "old design");
    ASSERT_TRUE(SaveFileAtomically(target, "new design").ok());
    EXPECT_EQ(readWholeFile(target), "new design");

    const SaveResult full = SaveFileAtomically(target, "lost", {.failWrite = true});
    EXPECT_EQ(full.failure, SaveResult::Failure::Write);
    EXPECT_FALSE(full.error.empty());
    EXPECT_EQ(readWholeFile(target), "new design");

    const SaveResult crash = SaveFileAtomically(target, "half", {.stopBeforeReplace = true});
    EXPECT_FALSE(crash.ok());
    EXPECT_EQ(readWholeFile(target), "new design");
    EXPECT_EQ(filesIn(dir), 1U);  // no temporary file left behind
}

TEST(SaveFileAtomically, AFolderThatIsGoneOrAFolderInTheWayCannotBeOpened)
{
    TempDir dir;
    EXPECT_EQ(SaveFileAtomically(dir.file("gone/x.kvk"), "x").failure, SaveResult::Failure::Open);
    std::filesystem::create_directory(dir.file("folder.kvk"));
    EXPECT_EQ(SaveFileAtomically(dir.file("folder.kvk"), "x").failure, SaveResult::Failure::Open);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.kvk")));
}

TEST(DocumentText, ChoosesTheFormatByKind)
{
    HarmonicTable table;
    table.AddHarmonic(1.0F, 100.0F, 0);
    EXPECT_EQ(DocumentText(DocumentKind::Coefficients, WaveSettings{}, table),
              ":1 12 1 1 128.000000\r\n1 100.000000 0\r\n");
    EXPECT_EQ(DocumentText(DocumentKind::Waveshape, WaveSettings{}, table).substr(0, 27),
              ":1 12 1 1 128.000000\r\n!1\r\n ");
}

}  // namespace
