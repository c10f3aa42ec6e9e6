#include "settings/RecentFiles.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/SettingsStore.h"
#include "support/TestSupport.h"

namespace {

TEST(RecentFilesList, MostRecentFirstOnceEachAtMostEightExistingOnly)
{
    TempDir dir;
    MemorySettingsStore store;
    RecentFiles recent;
    for (int i = 0; i < 10; ++i) {
        writeWholeFile(dir.file(std::to_string(i)), "");
        recent.add(dir.file(std::to_string(i)), store);
    }
    recent.add(dir.file("5"), store);
    recent.add("two\nlines", store);
    std::filesystem::remove(dir.file("8"));
    RecentFiles reloaded;
    reloaded.load(store);
    std::string names;
    for (const std::string& path : reloaded.existing()) {
        names += std::filesystem::path(path).filename().string();
    }
    EXPECT_EQ(names, "5976432");
}

}  // namespace
