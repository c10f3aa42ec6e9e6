#include "files/DocumentWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>

#include "files/CoefficientFile.h"
#include "files/FileDescriptor.h"
#include "files/SaveSignals.h"
#include "files/WaveshapeFile.h"

std::string documentText(DocumentKind kind, const WaveSettings& active, const HarmonicTable& table)
{
    return kind == DocumentKind::Waveshape ? writeWaveshapeFile(active, table)
                                           : writeCoefficientFile(active, table);
}

std::string documentSizeRefusal(std::size_t size)
{
    return size > kMaxInputBytes
               ? "It would be larger than " + inputCapText() + ", more than Korvalin reads back."
               : "";
}

namespace {

using Step = SaveFaults::Step;

std::string systemReason(int error)
{
    return std::string(std::strerror(error)) + '.';
}

/** Whether the kernel's protection of shared folders would let this process follow link. */
bool mayFollow(const std::filesystem::path& link, const struct stat& linkStat)
{
    const std::filesystem::path parent = link.has_parent_path() ? link.parent_path() : ".";
    struct stat folder {};
    if (::stat(parent.c_str(), &folder) != 0) {
        return false;
    }
    // A sticky folder anyone may write to (/tmp): a link there may be anyone's trap.
    const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return !shared || linkStat.st_uid == ::geteuid() || linkStat.st_uid == folder.st_uid;
}

/**
 * The file a save replaces: path itself, or the file its chain of links ends at, followed
 * only where the kernel would follow it whatever it is set to; none with the reason.
 */
std::optional<std::filesystem::path> followLinks(std::filesystem::path path, std::string& reason)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno == ENOENT) {
                return path;
            }
            reason = systemReason(errno);
            return std::nullopt;
        }
        if (!S_ISLNK(st.st_mode)) {
            return path;
        }
        if (!mayFollow(path, st)) {
            reason = "The symbolic link " + path.string() +
                     " in a shared folder belongs to another user: it is not followed.";
            return std::nullopt;
        }
        std::error_code ec;
        const std::filesystem::path target = std::filesystem::read_symlink(path, ec);
        if (ec) {
            reason = systemReason(ec.value());
            return std::nullopt;
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    reason = systemReason(ELOOP);
    return std::nullopt;
}

/** ".NAME.korvalin-XXXXXX": whose it is, to anyone who finds one left by a power cut. */
std::string temporaryName(const std::filesystem::path& target, unsigned long long tag)
{
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    // Short enough for any folder, whatever the length of the target's own name.
    // (Appended, not "." + name: GCC 12 warns falsely about the insert at the front.)
    std::string name(1, '.');
    name += target.filename().string().substr(0, 200);
    name += ".korvalin-";
    for (int i = 0; i < 6; ++i, tag /= sizeof kLetters - 1) {
        name += kLetters[tag % (sizeof kLetters - 1)];
    }
    return name;
}

/** A new file beside the one it will replace, removed again unless kept. */
class TempFile {
public:
    /**
     * Creates it with mode (less the umask) by the creating call itself, so that it is never
     * readable by more users than the file it replaces; invalid() with errno if not.
     */
    TempFile(const std::filesystem::path& target, mode_t mode)
    {
        static std::atomic<unsigned> counter = 0;
        const auto seed = static_cast<unsigned long long>(
                              std::chrono::steady_clock::now().time_since_epoch().count()) ^
                          (static_cast<unsigned long long>(::getpid()) << 32U);
        for (int attempt = 0; attempt < 100 && !m_fd.valid(); ++attempt) {
            m_path = target.parent_path() /
                     temporaryName(target, (seed + ++counter) * 0x9e3779b97f4a7c15ULL);
            // O_EXCL: never a file or link that someone put there.
            m_fd = FileDescriptor(
                ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
            if (!m_fd.valid() && errno != EEXIST) {
                break;
            }
        }
        if (!m_fd.valid()) {
            m_path.clear();
            return;
        }
        m_removedOnSignal.emplace(m_path.string());
    }
    ~TempFile()
    {
        if (!m_path.empty()) {
            ::unlink(m_path.c_str());
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    [[nodiscard]] bool valid() const { return m_fd.valid(); }
    [[nodiscard]] int fd() const { return m_fd.get(); }
    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }
    int close() { return m_fd.close(); }
    /** It has become the target: nothing to remove. */
    void keep()
    {
        m_path.clear();
        m_removedOnSignal.reset();
    }

private:
    FileDescriptor m_fd;
    std::filesystem::path m_path;
    std::optional<RemovedOnSignal> m_removedOnSignal;
};

/**
 * The new file takes over the permission bits (the umask may have narrowed them), and where
 * allowed the owner, of the old.
 */
void takeOverAttributes(int fd, const struct stat& old)
{
    ::fchmod(fd, old.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO));
    struct stat now {};
    if (::fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
        // Allowed to a superuser saving someone's file; others save files as their own.
        [[maybe_unused]] const int ignored = ::fchown(fd, old.st_uid, old.st_gid);
    }
}

/** The replacement survives a power cut once its folder entry is on the device too. */
void syncFolder(const std::filesystem::path& folder)
{
    const FileDescriptor fd(
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) {
        ::fsync(fd.get());
    }
}

}  // namespace

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t done = ::write(fd, bytes.data(), bytes.size());
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            if (done == 0) {
                errno = EIO;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(done));
    }
    return true;
}

SaveResult saveFileAtomically(const std::string& path, std::string_view bytes,
                              const SaveFaults& faults)
{
    return saveFileAtomically(
        path, [bytes](int fd, std::string& /*error*/) { return writeAll(fd, bytes); }, faults);
}

SaveResult saveFileAtomically(const std::string& path, const SaveWriter& write,
                              const SaveFaults& faults)
{
    // A fault made by a test stands in for the system call, which then does not happen.
    const auto fault = [&faults](Step step) {
        if (faults.failAt != step) {
            return false;
        }
        errno = faults.failWith;
        return true;
    };
    const auto failed = [](SaveResult::Failure failure, int error) {
        return SaveResult{failure, systemReason(error)};
    };
    std::string refusal;
    const std::optional<std::filesystem::path> target = followLinks(path, refusal);
    if (!target) {
        return {SaveResult::Failure::Open, refusal};
    }
    struct stat old {};
    const bool exists = ::stat(target->c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) {
        return failed(SaveResult::Failure::Open, EISDIR);
    }
    if (exists && !S_ISREG(old.st_mode)) {
        return {SaveResult::Failure::Open, "It is not a regular file."};
    }

    constexpr mode_t kPermissionBits = S_IRWXU | S_IRWXG | S_IRWXO;
    TempFile temp(*target, exists ? old.st_mode & kPermissionBits : 0666);
    if (fault(Step::create) || !temp.valid()) {
        return failed(SaveResult::Failure::Open, errno);
    }
    if (exists) {
        takeOverAttributes(temp.fd(), old);
    }
    std::string reason;
    if (fault(Step::Write) || !write(temp.fd(), reason)) {
        return reason.empty() ? failed(SaveResult::Failure::Write, errno)
                              : SaveResult{SaveResult::Failure::Write, reason};
    }
    // The device may only now report that it is full: fsync and close say so.
    if (fault(Step::Sync) || ::fsync(temp.fd()) != 0) {
        return failed(SaveResult::Failure::Write, errno);
    }
    if (fault(Step::Close) || temp.close() != 0) {
        return failed(SaveResult::Failure::Write, errno);
    }
    if (fault(Step::Replace) || ::rename(temp.path().c_str(), target->c_str()) != 0) {
        return failed(SaveResult::Failure::Write, errno);
    }
    temp.keep();
    syncFolder(target->parent_path());
    return {};
}

bool isWriteProtected(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    // The owner's bit counts even for a superuser, as a read-only attribute would.
    return (st.st_mode & S_IWUSR) == 0 ||
           ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0;
}
