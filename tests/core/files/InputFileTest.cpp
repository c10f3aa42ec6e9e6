#include "files/InputFile.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

/** The readers' cap, stated here as the documentation states it. */
constexpr std::uint64_t kSixtyFourMiB = 64ULL * 1024 * 1024;

namespace fs = std::filesystem;

// Files from anywhere: what cannot be read is refused, before or while reading, with its reason.
TEST(InputFile, RefusesWhatCannotBeReadAndSaysWhy)
{
    using Make = std::function<void(const std::string&)>;
    const auto file = [](std::uintmax_t size, fs::perms perms = fs::perms::owner_read) -> Make {
        return [=](const std::string& p) {
            writeWholeFile(p, "");
            fs::resize_file(p, size);
            fs::permissions(p, perms);  // none: unreadable even for root
        };
    };
    const auto special = [](Special kind) -> Make {
        return [kind](const std::string& p) { makeSpecial(kind, p); };
    };
    const char* const notRegular = "It is not a regular file.";
    const std::pair<Make, const char*> cases[] = {
        {[](const std::string&) {}, "No such file or directory."},
        {file(8, fs::perms::none), "Permission denied."},
        {file(kSixtyFourMiB + 1), "It is larger than 64 MiB."},
        {file(kSixtyFourMiB), nullptr},
        {special(Special::Fifo), notRegular},
        {special(Special::LinkToFifo), notRegular},
        {special(Special::Folder), "Is a directory."},
        // Regular to stat, but every read fails.
        {[](const std::string& p) { fs::create_symlink("/proc/self/mem", p); },
         "Input/output error."},
    };
    for (const auto& [make, reason] : cases) {
        TempDir dir;
        make(dir.file("in.kvk"));
        InputFile::Opening opening = InputFile::open(dir.file("in.kvk"));
        std::string said = opening.error;
        if (opening.file) {
            said = readLines(*opening.file, kReadChunk, [](std::string_view) {}).failure();
        }
        EXPECT_EQ(said, reason ? reason : "");
    }
}

// A file that grows after it was opened is read up to the cap and no further.
TEST(InputFile, StopsAtTheCapWhenTheFileGrowsWhileRead)
{
    TempDir dir;
    const std::string path = dir.file("in.txt");
    writeWholeFile(path, "12345");
    InputFile::Opening opening = InputFile::open(path, 5);
    ASSERT_TRUE(opening.file) << opening.error;
    std::ofstream(path, std::ios::app) << "6";
    std::array<char, 16> buffer{};
    std::size_t taken = 0;
    while (const std::size_t got = opening.file->read(buffer)) {
        taken += got;
    }
    EXPECT_EQ(taken, 5U);
    EXPECT_TRUE(opening.file->end().stoppedAtCap);
}

}  // namespace
