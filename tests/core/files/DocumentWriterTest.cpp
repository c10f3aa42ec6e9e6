#include "files/DocumentWriter.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <utility>

#include <gtest/gtest.h>

#include "files/SameFile.h"
#include "files/SaveSignals.h"
#include "support/TestSupport.h"

namespace {

/** When not 0, the next close() closes and then reports this error, as NFS may. */
int nextCloseFails = 0;

/** Every permission bit a file had while the program changed its mode or wrote it. */
mode_t bitsSeen = 0;

void noteBits(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        bitsSeen |= st.st_mode & 07777;
    }
}

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

// This program's fchmod: the real one, noting the bits the file had until then.
extern "C" int fchmod(int fd, mode_t mode)
{
    noteBits(fd);
    return static_cast<int>(::syscall(SYS_fchmod, fd, mode));
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
    const SaveResult result = ::saveFileAtomically(target, "new", c.faults);
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
    {"RealCloseFails", Before::File, "Input/output error.", {}, Failure::Write, EIO},
    {"ReplaceFails", Before::LinkToFile, "Invalid cross-device link.", {Step::Replace, EXDEV}},
    {"CreateFails", Before::File, "Permission denied.", {Step::create, EACCES}, Failure::Open},
    {"MissingFolder", Before::MissingFolder, "No such file or directory.", {}, Failure::Open},
    {"Fifo", Before::Special, kNotRegular, {}, Failure::Open, 0, Special::Fifo},
    {"LinkToFifo", Before::Special, kNotRegular, {}, Failure::Open, 0, Special::LinkToFifo},
    {"Folder", Before::Special, "Is a directory.", {}, Failure::Open, 0, Special::Folder},
};
INSTANTIATE_TEST_SUITE_P(Cases, SaveFileAtomically, ::testing::ValuesIn(kSaveCases),
                         [](const auto& info) { return std::string(info.param.name); });

constexpr uid_t kOtherUser = 65534;  // nobody

/** Runs part in a child process, as kOtherUser when asked; its exit status, 128 + a signal. */
int inChild(const std::function<int()>& part, bool asOtherUser = true)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(!asOtherUser || (::setresgid(kOtherUser, kOtherUser, kOtherUser) == 0 &&
                                 ::setresuid(kOtherUser, kOtherUser, kOtherUser) == 0)
                    ? part()
                    : 99);
    }
    int wait = 0;
    ::waitpid(child, &wait, 0);
    return WIFEXITED(wait) ? WEXITSTATUS(wait) : 128 + WTERMSIG(wait);
}

// In a shared folder a link is followed only where the kernel's protection would follow it,
// whatever that protection is set to.
TEST(SaveThroughALink, FollowsOnlyLinksTheKernelWouldFollowInASharedFolder)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs a superuser to give a link to another user";
    }
    const struct {
        mode_t folderMode;
        uid_t folderOwner, linkOwner;
        bool dangling, followed;
    } cases[] = {{01777, 0, kOtherUser, false, false},
                 {01777, 0, kOtherUser, true, false},
                 {01777, 0, 0, false, true},
                 {01777, kOtherUser, kOtherUser, true, true},
                 {0777, 0, kOtherUser, false, true} /* not sticky */,
                 {01775, 0, kOtherUser, false, true}};
    for (const auto& c : cases) {
        TempDir dir;
        const std::string secret = dir.file("secret.conf"), link = dir.file("shared/out.kvk");
        writeWholeFile(secret, "secret");
        fs::create_directory(dir.file("shared"));
        ::chmod(dir.file("shared").c_str(), c.folderMode);
        ::chown(dir.file("shared").c_str(), c.folderOwner, 0);
        fs::create_symlink(c.dangling ? dir.file("made.kvk") : secret, link);
        ::lchown(link.c_str(), c.linkOwner, 0);
        const SaveResult result = ::saveFileAtomically(link, "new");
        SCOPED_TRACE(std::to_string(c.folderMode) + " " + std::to_string(c.linkOwner));
        EXPECT_EQ(result.error.ends_with("belongs to another user: it is not followed."),
                  !c.followed)
            << result.error;
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(readWholeFile(secret), !c.dangling && c.followed ? "new" : "secret");
        EXPECT_EQ(fs::exists(dir.file("made.kvk")), c.dangling && c.followed);
    }
}

// Another user who opens the new file while it is written would keep reading it: it never
// has wider bits than it will end with, and its name says whose it is. A superuser's save
// leaves the file its owner's.
TEST(SaveFileAtomically, TheNewFileIsNeverWiderThanTheOldAndNamedAsKorvalins)
{
    for (const mode_t mask : {mode_t{022}, mode_t{077}}) {
        for (const mode_t old : {mode_t{0600}, mode_t{0640}, mode_t{0444}, mode_t{0}}) {
            SCOPED_TRACE(std::to_string(old) + " " + std::to_string(mask));
            TempDir dir;
            const std::string target = dir.file("t.kvk");
            if (old != 0) {
                writeWholeFile(target, "old");
                ::chmod(target.c_str(), old);
                [[maybe_unused]] const int owned = ::chown(target.c_str(), kOtherUser, 0);
            }
            const mode_t before = ::umask(mask);
            bitsSeen = 0;
            std::string names;
            const SaveResult result = ::saveFileAtomically(target, [&](int fd, std::string&) {
                noteBits(fd);
                for (const auto& entry : fs::directory_iterator(dir.path())) {
                    names += entry.path().filename() == "t.kvk" ? "" : entry.path().filename();
                }
                return true;
            });
            ::umask(before);
            const mode_t final = old != 0 ? old : 0666 & ~mask;
            struct stat st {};
            ::stat(target.c_str(), &st);
            EXPECT_TRUE(result.ok());
            EXPECT_EQ(bitsSeen & ~final, 0U);
            const std::string prefix = ".t.kvk.korvalin-";  // then six letters or digits
            EXPECT_TRUE(names.size() == prefix.size() + 6 && names.starts_with(prefix) &&
                        std::all_of(names.begin() + prefix.size(), names.end(),
                                    [](unsigned char c) { return std::isalnum(c) != 0; }))
                << names;
            EXPECT_EQ(st.st_mode & 07777, final);
            EXPECT_EQ(st.st_uid, old != 0 && ::geteuid() == 0 ? kOtherUser : ::geteuid());
        }
    }
}

// Write protection is whether this user may write the file, not its owner's bit alone.
TEST(IsWriteProtected, WhenThisUserMayNotWriteTheFileOrItsOwnBitsSayNo)
{
    const struct {
        uid_t owner;
        mode_t mode;
        bool forOwner, forOther;
    } cases[] = {
        {0, 0644, false, true},           {0, 0666, false, false},        {0, 0444, true, true},
        {kOtherUser, 0644, false, false}, {kOtherUser, 0400, true, true},
    };
    const bool root = ::geteuid() == 0;
    TempDir dir;
    fs::permissions(dir.path(), fs::perms(0755));
    EXPECT_FALSE(isWriteProtected(dir.file("missing.kvk")));
    EXPECT_FALSE(isWriteProtected(dir.path()));
    for (const auto& c : cases) {
        const std::string path = dir.file("f" + std::to_string(c.owner) + std::to_string(c.mode));
        writeWholeFile(path, "x");
        ::chmod(path.c_str(), c.mode);
        if (root) {
            ::chown(path.c_str(), c.owner, c.owner);
        }
        EXPECT_EQ(isWriteProtected(path), c.forOwner) << path;
        if (root) {
            EXPECT_EQ(inChild([&] { return isWriteProtected(path) ? 1 : 0; }),
                      c.owner == kOtherUser ? c.forOwner : c.forOther)
                << path;
        }
    }
    if (!root) {
        GTEST_SKIP() << "needs a superuser to ask as another user";
    }
}

// A save that a signal or a resource limit ends leaves nothing but the old file behind.
TEST(SaveFileAtomically, NoNewFileOutlivesASignalOrTheFileSizeLimit)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGXFSZ}) {
        SCOPED_TRACE(signal);
        TempDir dir;
        writeWholeFile(dir.file("t.kvk"), "old");
        const int status = inChild(
            [&] {
                prepareProcessForSaves();
                const rlimit limit{1024, 1024};
                ::setrlimit(RLIMIT_FSIZE, &limit);
                const auto raise = [signal](int, std::string&) { return std::raise(signal) == 0; };
                const SaveResult result =
                    signal == SIGXFSZ
                        ? ::saveFileAtomically(dir.file("t.kvk"), std::string(4096, 'x'))
                        : ::saveFileAtomically(dir.file("t.kvk"), raise);
                return result.error == "File too large." ? 0 : 1;
            },
            false);
        EXPECT_EQ(status, signal == SIGXFSZ ? 0 : 128 + signal);
        EXPECT_EQ(filesIn(dir), 1U);
        EXPECT_EQ(readWholeFile(dir.file("t.kvk")), "old");
    }
}

// An output that is an input by any name (itself, a link to it, a hard link) would destroy
// what is being read; another file, or one not there yet, is fine.
TEST(SameFile, AnOutputThatIsAnInputByAnyNameIsRefused)
{
    const TempDir dir;
    writeWholeFile(dir.file("in"), "capture");
    writeWholeFile(dir.file("other"), "other");
    std::filesystem::create_symlink(dir.file("in"), dir.file("soft"));
    std::filesystem::create_hard_link(dir.file("in"), dir.file("hard"));
    const struct {
        const char* output;
        bool refused;
    } cases[] = {{"in", true}, {"soft", true}, {"hard", true}, {"other", false}, {"new", false}};
    for (const auto& c : cases) {
        const std::vector<std::string> inputs = {dir.file("other.kvk"), dir.file("soft")};
        const std::string refusal = sameFileRefusal(dir.file(c.output), inputs);
        EXPECT_EQ(!refusal.empty(), c.refused) << c.output << ": " << refusal;
    }
}

}  // namespace
