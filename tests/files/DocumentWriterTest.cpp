#include "files/DocumentWriter.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "engine/HarmonicTable.h"
#include "support/TestSupport.h"

namespace {

std::size_t filesIn(const TempDir& dir)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir.path()),
                                                  std::filesystem::directory_iterator()));
}

using Step = SaveFaults::Step;
enum class Before { Nothing, File, LinkToFile, Special, MissingFolder };

struct SaveCase {
    const char* name;
    Before before;
    Special special;  // when before is Special
    SaveFaults faults;
    const char* reason;  // nullptr: saved
    SaveResult::Failure failure = SaveResult::Failure::Write;
    const char* file = "t.kvk";
};

class SaveFileAtomically : public ::testing::TestWithParam<SaveCase> {};

// Whatever happens, what stood at the target is as it was unless the save succeeded, and no
// other file is left in the folder.
TEST_P(SaveFileAtomically, ReplacesOnlyARegularFileAndOnlyWhenAllWasWritten)
{
    const SaveCase& c = GetParam();
    TempDir dir;
    const std::string target =
        dir.file(c.before == Before::MissingFolder ? std::string("gone/") + c.file : c.file);
    const std::string file = c.before == Before::LinkToFile ? dir.file("real.kvk") : target;
    if (c.before == Before::File || c.before == Before::LinkToFile) {
        writeWholeFile(file, "old");
        std::filesystem::permissions(file, std::filesystem::perms(0640));
    }
    if (c.before == Before::LinkToFile) {
        std::filesystem::create_symlink("real.kvk", target);
    }
    if (c.before == Before::Special) {
        makeSpecial(c.special, target);
    }
    const auto kindBefore = std::filesystem::symlink_status(target).type();
    const std::size_t filesBefore = filesIn(dir);

    const SaveResult result = ::SaveFileAtomically(target, "new", c.faults);
    EXPECT_EQ(result.error, c.reason ? c.reason : "");
    EXPECT_EQ(result.failure, c.reason ? c.failure : SaveResult::Failure::None);
    EXPECT_EQ(
        std::filesystem::symlink_status(target).type(),
        c.reason || c.before != Before::Nothing ? kindBefore : std::filesystem::file_type::regular);
    EXPECT_EQ(filesIn(dir), filesBefore + (!c.reason && c.before == Before::Nothing ? 1 : 0));
    if (c.before == Before::File || c.before == Before::LinkToFile) {
        EXPECT_EQ(readWholeFile(file), c.reason ? "old" : "new");
        EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0640));
    }
}

const std::string kLongestName = std::string(251, 'n') + ".kvk";
const SaveCase kSaveCases[] = {
    {"NewFile", Before::Nothing, {}, {}, nullptr},
    {"LongestName", Before::File, {}, {}, nullptr, {}, kLongestName.c_str()},
    {"OldFileKeepsItsPermissions", Before::File, {}, {}, nullptr},
    {"ThroughALinkThatStays", Before::LinkToFile, {}, {}, nullptr},
    {"FullDevice", Before::File, {}, {Step::Write, ENOSPC}, "No space left on device."},
    {"FlushFails", Before::File, {}, {Step::Sync, EIO}, "Input/output error."},
    {"CloseFails", Before::File, {}, {Step::Close, EDQUOT}, "Disk quota exceeded."},
    {"ReplaceFails", Before::LinkToFile, {}, {Step::Replace, EXDEV}, "Invalid cross-device link."},
    {"CreateFails",
     Before::File,
     {},
     {Step::Create, EACCES},
     "Permission denied.",
     SaveResult::Failure::Open},
    {"MissingFolder",
     Before::MissingFolder,
     {},
     {},
     "No such file or directory.",
     SaveResult::Failure::Open},
    {"Fifo",
     Before::Special,
     Special::Fifo,
     {},
     "It is not a regular file.",
     SaveResult::Failure::Open},
    {"Socket",
     Before::Special,
     Special::Socket,
     {},
     "It is not a regular file.",
     SaveResult::Failure::Open},
    {"LinkToFifo",
     Before::Special,
     Special::LinkToFifo,
     {},
     "It is not a regular file.",
     SaveResult::Failure::Open},
    {"Folder", Before::Special, Special::Folder, {}, "Is a directory.", SaveResult::Failure::Open},
};
INSTANTIATE_TEST_SUITE_P(Cases, SaveFileAtomically, ::testing::ValuesIn(kSaveCases),
                         [](const auto& info) { return std::string(info.param.name); });

/** A real full device: a 64 KiB tmpfs, filled up (only as a superuser who may mount). */
TEST(SaveOnAFullDevice, KeepsTheOldFileAndSaysWhy)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs a superuser to mount a small tmpfs; covered by the fault cases";
    }
    TempDir dir;
    if (::mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    }
    struct Unmount {
        const std::filesystem::path& path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{dir.path()};
    writeWholeFile(dir.file("old.kvk"), "old");
    {
        std::ofstream fill(dir.file("fill"), std::ios::binary);
        const std::string block(4096, 'x');
        while (fill.write(block.data(), block.size())) {
        }
    }
    for (const std::size_t size : {100, 40000}) {  // in the page cache, and beyond it
        const SaveResult result = ::SaveFileAtomically(dir.file("old.kvk"), std::string(size, 'n'));
        EXPECT_EQ(result.error, "No space left on device.") << size;
        EXPECT_EQ(readWholeFile(dir.file("old.kvk")), "old");
        EXPECT_EQ(filesIn(dir), 2U);
    }
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
