#include "files/MaskFile.h"

#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

// A word names a built-in mask, a misspelt one too (refused as a name, never looked for as a
// file); a path or a name with an extension is a file, which takes no parameters.
TEST(MaskFile, AWordNamesABuiltInMaskAndAFileTakesNoParameters)
{
    const std::pair<const char*, bool> names[] = {
        {"en50160", true},   {"en50161", true}, {"mine.csv", false},
        {"dir/mask", false}, {"./mask", false}, {"", true},
    };
    for (const auto& [text, builtIn] : names) {
        EXPECT_EQ(namesBuiltInMask(text), builtIn) << text;
    }
    const TempDir dir;
    const std::string path = dir.file("mine.csv");
    writeWholeFile(path, "5,10\n");
    EXPECT_TRUE(chooseMask(path, {}).mask);
    const MaskChoice refused = chooseMask(path, {.power = 100.0});
    EXPECT_FALSE(refused.mask);
    EXPECT_EQ(refused.error, "a mask file takes no parameters: its limits are in percent");
}

}  // namespace
