#include "files/DocumentWriter.h"

#include <sys/mount.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include <gtest/gtest.h>

#include "engine/HarmonicTable.h"
#include "files/WaveshapeFile.h"
#include "support/TestSupport.h"

namespace {

/** When not 0, the next close() closes and then reports this error, as NFS may. */
int nextCloseFails = 0;

}  // namespace

// This program's close: the real one, except that it can be made to fail after closing.
extern "C" int close(int fd)
{
    const auto done = static_cast<int>(::syscall(SYS_close, fd));
    if (done == 0 && nextCloseFails != 0) {
        errno = std::exchange(nextCloseFails, 0);
        return -1;
    }
    return done;
}

namespace {

namespace fs = std::filesystem;

std::size_t filesIn(const TempDir& dir)
{
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()));
}

using Step = SaveFaults::Step;
using Failure = SaveResult::Failure;
enum class Before { Nothing, File, LinkToFile, Special, MissingFolder };

struct SaveCase {
    const char* name;
    Before before;
    const char* reason = nullptr;  // nullptr: saved
    SaveFaults faults = {};
    Failure failure = Failure::Write;
    int closeFails = 0;               // a real close reports this
    Special special = Special::Fifo;  // when before is Special
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
        fs::permissions(file, fs::perms(0640));
    }
    if (c.before == Before::LinkToFile) {
        fs::create_symlink("real.kvk", target);
    }
    if (c.before == Before::Special) {
        makeSpecial(c.special, target);
    }
    const auto kindBefore = fs::symlink_status(target).type();
    const std::size_t filesBefore = filesIn(dir);

    nextCloseFails = c.closeFails;
    const SaveResult result = ::SaveFileAtomically(target, "new", c.faults);
    nextCloseFails = 0;
    EXPECT_EQ(result.error, c.reason ? c.reason : "");
    EXPECT_EQ(result.failure, c.reason ? c.failure : Failure::None);
    EXPECT_EQ(fs::symlink_status(target).type(),
              c.reason || c.before != Before::Nothing ? kindBefore : fs::file_type::regular);
    EXPECT_EQ(filesIn(dir), filesBefore + (!c.reason && c.before == Before::Nothing ? 1 : 0));
    if (c.before == Before::File || c.before == Before::LinkToFile) {
        EXPECT_EQ(readWholeFile(file), c.reason ? "old" : "new");
        EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));
    }
}

const std::string kLongestName = std::string(251, 'n') + ".kvk";
const char* const kNotRegular = "It is not a regular file.";
const SaveCase kSaveCases[] = {
    {"NewFile", Before::Nothing},
    {"ThroughALinkThatStays", Before::LinkToFile},
    {"OldFileWithTheLongestName", Before::File, nullptr, {}, {}, 0, {}, kLongestName.c_str()},
    {"FullDevice", Before::File, "No space left on device.", {Step::Write, ENOSPC}},
    {"FlushFails", Before::File, "Input/output error.", {Step::Sync, EIO}},
    {"CloseFails", Before::File, "Disk quota exceeded.", {Step::Close, EDQUOT}},
    {"RealCloseFails", Before::File, "Input/output error.", {}, Failure::Write, EIO},
    {"ReplaceFails", Before::LinkToFile, "Invalid cross-device link.", {Step::Replace, EXDEV}},
    {"CreateFails", Before::File, "Permission denied.", {Step::Create, EACCES}, Failure::Open},
    {"MissingFolder", Before::MissingFolder, "No such file or directory.", {}, Failure::Open},
    {"Fifo", Before::Special, kNotRegular, {}, Failure::Open, 0, Special::Fifo},
    {"Socket", Before::Special, kNotRegular, {}, Failure::Open, 0, Special::Socket},
    {"LinkToFifo", Before::Special, kNotRegular, {}, Failure::Open, 0, Special::LinkToFifo},
    {"Folder", Before::Special, "Is a directory.", {}, Failure::Open, 0, Special::Folder},
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
        const fs::path& path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{dir.path()};
    writeWholeFile(dir.file("old.kvk"), "old");
    writeWholeFile(dir.file("fill"), std::string(64 << 10, 'x'));  // as much as fits
    for (const std::size_t size : {100, 40000}) {  // in the page cache, and beyond it
        const SaveResult result = ::SaveFileAtomically(dir.file("old.kvk"), std::string(size, 'n'));
        EXPECT_EQ(result.error, "No space left on device.") << size;
        EXPECT_EQ(readWholeFile(dir.file("old.kvk")), "old");
        EXPECT_EQ(filesIn(dir), 2U);
    }
}

TEST(DocumentText, ChoosesTheFormatByKind)
{
    const HarmonicTable table = tableOf({{1, 100, 0}});
    EXPECT_EQ(DocumentText(DocumentKind::Coefficients, WaveSettings{}, table),
              ":1 12 1 1 128.000000\r\n1 100.000000 0\r\n");
    EXPECT_EQ(DocumentText(DocumentKind::Waveshape, WaveSettings{}, table),
              WriteWaveshapeFile(WaveSettings{}, table));
}

}  // namespace
