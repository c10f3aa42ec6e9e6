#include "files/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <istream>

namespace {

std::string systemReason(int error)
{
    return std::string(std::strerror(error)) + '.';
}

/** Why a file with these attributes is not read, or empty when it may be. */
std::string refusal(const struct stat& st, std::uint64_t cap)
{
    if (S_ISDIR(st.st_mode)) {
        return systemReason(EISDIR);
    }
    if (!S_ISREG(st.st_mode)) {
        return "It is not a regular file.";
    }
    if (static_cast<std::uint64_t>(st.st_size) > cap) {
        return tooLargeReason();
    }
    // Unreadable by its own bits, whoever asks (even a superuser).
    if ((st.st_mode & S_IRUSR) == 0) {
        return systemReason(EACCES);
    }
    return {};
}

}  // namespace

InputFile::Opening InputFile::open(const std::string& path, std::uint64_t cap)
{
    // Looked at before opening too: merely opening some devices has effects (a tape rewinds).
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {std::nullopt, systemReason(errno)};
    }
    if (std::string reason = refusal(st, cap); !reason.empty()) {
        return {std::nullopt, std::move(reason)};
    }
    // O_NONBLOCK: whatever took the name's place meanwhile, open() returns at once.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) {
        return {std::nullopt, systemReason(errno)};
    }
    if (::fstat(fd.get(), &st) != 0) {
        return {std::nullopt, systemReason(errno)};
    }
    if (std::string reason = refusal(st, cap); !reason.empty()) {
        return {std::nullopt, std::move(reason)};
    }
    return {InputFile(std::move(fd), static_cast<std::uint64_t>(st.st_size), cap), {}};
}

std::size_t InputFile::read(std::span<char> buffer)
{
    if (m_end.error != 0 || m_end.stoppedAtCap || m_end.cancelled) {
        return 0;
    }
    if (m_progress && m_size > 0 &&
        !m_progress(static_cast<double>(std::min(m_taken, m_size)) / static_cast<double>(m_size))) {
        m_end.cancelled = true;
        return 0;
    }
    const std::uint64_t room = m_cap - m_taken;
    if (room == 0) {
        m_end.stoppedAtCap = hasMore();
        m_end.changedSize = m_taken != m_size;
        return 0;
    }
    const std::size_t wanted =
        room < buffer.size() ? static_cast<std::size_t>(room) : buffer.size();
    ssize_t got = 0;
    do {
        got = ::read(m_fd.get(), buffer.data(), wanted);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        m_end.error = errno;
        return 0;
    }
    m_taken += static_cast<std::uint64_t>(got);
    // Truncated or grown meanwhile: the bytes read may be no state the file ever had.
    m_end.changedSize = got == 0 && m_taken != m_size;
    return static_cast<std::size_t>(got);
}

bool InputFile::hasMore()
{
    char probe = 0;
    ssize_t got = 0;
    do {
        got = ::read(m_fd.get(), &probe, 1);
    } while (got < 0 && errno == EINTR);
    return got > 0;
}

std::string inputCapText()
{
    constexpr int kMebibyteBits = 20;
    return std::to_string(kMaxInputBytes >> kMebibyteBits) + " MiB";
}

std::string tooLargeReason()
{
    return "It is larger than " + inputCapText() + ".";
}

std::string ReadEnd::failure() const
{
    if (error != 0) {
        return systemReason(error);
    }
    if (stoppedAtCap) {
        return tooLargeReason();
    }
    if (cancelled) {
        return kCancelledReason;
    }
    return changedSize ? "It changed while it was read." : "";
}

ReadEnd readStreamChunks(std::istream& in, const std::function<void(std::string_view)>& take)
{
    std::string chunk(kReadChunk, '\0');
    std::uint64_t taken = 0;
    ReadEnd end;
    while (in) {
        // One byte more than the cap allows: it tells a stream at the cap from a longer one.
        const std::uint64_t room = kMaxInputBytes + 1 - taken;
        in.read(chunk.data(),
                static_cast<std::streamsize>(std::min<std::uint64_t>(room, chunk.size())));
        const auto got = static_cast<std::size_t>(in.gcount());
        taken += got;
        if (taken > kMaxInputBytes) {
            end.stoppedAtCap = true;
            take(std::string_view(chunk.data(), got - 1));
            return end;
        }
        take(std::string_view(chunk.data(), got));
    }
    if (in.bad()) {
        end.error = EIO;  // a stream keeps no reason
    }
    return end;
}

void LineSplitter::take(std::string_view bytes, const std::function<void(std::string_view)>& line)
{
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        const std::string_view part = bytes.substr(0, end);
        m_line.append(part.substr(0, m_maxLength - std::min(m_maxLength, m_line.size())));
        m_pending = true;
        if (end == std::string_view::npos) {
            return;
        }
        endLine(line);
        bytes.remove_prefix(end + 1);
    }
}

void LineSplitter::finish(const std::function<void(std::string_view)>& line)
{
    if (m_pending) {
        endLine(line);
    }
}

void LineSplitter::endLine(const std::function<void(std::string_view)>& line)
{
    if (!m_line.empty() && m_line.back() == '\r') {
        m_line.pop_back();
    }
    line(m_line);
    m_line.clear();
    m_pending = false;
}

ReadEnd readLines(InputFile& file, std::size_t maxLength,
                  const std::function<void(std::string_view)>& take)
{
    std::string chunk(kReadChunk, '\0');
    LineSplitter lines(maxLength);
    for (std::size_t got; (got = file.read(chunk)) > 0;) {
        lines.take(std::string_view(chunk.data(), got), take);
    }
    lines.finish(take);
    return file.end();
}
