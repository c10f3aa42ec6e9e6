#include "design/MaskSelection.h"

#include <gtest/gtest.h>

#include "files/MaskFile.h"
#include "settings/SettingsStore.h"
#include "support/TestSupport.h"

// A remembered mask file is not read at load, which would hold up the start for a large one:
// its choice awaits the file, is stored back as it was, and is settled by the mask read later.
TEST(MaskSelection, ARememberedMaskFileAwaitsItsReading)
{
    const TempDir dir;
    const std::string path = dir.file("mask.csv");
    writeWholeFile(path, "5,10\n");
    MemorySettingsStore stored;
    stored.writeString(settings_names::limitMask, "file");
    stored.writeString(settings_names::limitMaskFile, path);
    MaskSelection selection;
    selection.load(stored);
    ASSERT_TRUE(selection.awaitsFile());
    MemorySettingsStore again;
    selection.store(again);
    EXPECT_EQ(again.readString(settings_names::limitMask, ""), "file");
    EXPECT_EQ(again.readString(settings_names::limitMaskFile, ""), path);

    const MaskSource remembered = selection.source();
    EXPECT_EQ(selection.choose(remembered, {std::nullopt, "It is gone."}), "It is gone.");
    EXPECT_TRUE(selection.awaitsFile());
    EXPECT_EQ(selection.choose(remembered, readMaskFile(path)), "");
    EXPECT_FALSE(selection.awaitsFile());
    EXPECT_EQ(selection.mask()->title, "mask.csv");
}
