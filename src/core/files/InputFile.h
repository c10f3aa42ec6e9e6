#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "files/FileDescriptor.h"

/**
 * The largest file a reader takes whole: a full 65536-sample waveshape is about 1 MB.
 * Recordings are streamed and have no cap.
 */
inline constexpr std::uint64_t kMaxInputBytes = std::uint64_t{64} << 20;

/** Bytes read from a file at a time. */
inline constexpr std::size_t kReadChunk = 64 * 1024;

/** kMaxInputBytes as messages name it: "64 MiB". */
[[nodiscard]] std::string inputCapText();
/** Why a file or stream is not read: it would pass kMaxInputBytes. */
[[nodiscard]] std::string tooLargeReason();

/**
 * Told how much of a long reading is done (0 to 1) now and then, from the reading's thread;
 * it returns false to stop the reading there.
 */
using ReadProgress = std::function<bool(double done)>;

/** Why a reading stopped when its progress said to. */
inline constexpr const char* kCancelledReason = "The reading was cancelled.";

/** How reading an opened file ended, when not simply at its end. */
struct ReadEnd {
    int error = 0;              ///< errno of a failed read; what came before counts for nothing
    bool stoppedAtCap = false;  ///< the input went on past kMaxInputBytes
    bool changedSize = false;   ///< at its end the file's size was not that it was opened with
    bool cancelled = false;     ///< the progress stopped it

    /** Why what was read does not count, as one sentence; empty when it does. */
    [[nodiscard]] std::string failure() const;
};

/**
 * A file opened for reading: a regular file that its own permission bits let be read, no
 * larger than kMaxInputBytes. Opening never blocks: a FIFO, device or socket is refused
 * before a byte is read, and reading stops at the cap even if the file keeps growing.
 */
class InputFile {
public:
    struct Opening;
    /**
     * Opens path, or gives the reason it cannot be read as one sentence. A reader that
     * streams its input (a long recording) takes a cap of its own.
     */
    [[nodiscard]] static Opening open(const std::string& path, std::uint64_t cap = kMaxInputBytes);

    /** The size the file had when it was opened. */
    [[nodiscard]] std::uint64_t size() const { return m_size; }
    /** Fills the front of buffer; 0 at the end of the file, at the cap or after an error. */
    [[nodiscard]] std::size_t read(std::span<char> buffer);
    [[nodiscard]] const ReadEnd& end() const { return m_end; }
    /** Asked after each read; when it returns false, reading ends there, cancelled. */
    void setProgress(ReadProgress progress) { m_progress = std::move(progress); }

private:
    InputFile(FileDescriptor fd, std::uint64_t size, std::uint64_t cap)
        : m_fd(std::move(fd)), m_size(size), m_cap(cap)
    {}
    /** Whether the file holds a byte beyond the cap. */
    bool hasMore();

    FileDescriptor m_fd;
    std::uint64_t m_size = 0;
    std::uint64_t m_cap = kMaxInputBytes;
    std::uint64_t m_taken = 0;
    ReadEnd m_end;
    ReadProgress m_progress;
};

struct InputFile::Opening {
    std::optional<InputFile> file;
    std::string error;  ///< when there is no file: "It is not a regular file." and the like
};

/**
 * Reads a stream (standard input) in chunks as they come, up to kMaxInputBytes: beyond that
 * it stops with stoppedAtCap, so that an endless stream ends.
 */
ReadEnd readStreamChunks(std::istream& in, const std::function<void(std::string_view)>& take);

/**
 * Cuts text that comes in chunks into lines (LF or CR LF), each cut to its first maxLength
 * bytes, so that no line takes memory without bound.
 */
class LineSplitter {
public:
    explicit LineSplitter(std::size_t maxLength) : m_maxLength(maxLength) {}
    /** Hands each line that bytes ends to line; the rest waits for the next chunk. */
    void take(std::string_view bytes, const std::function<void(std::string_view)>& line);
    /** At the end of the text: the last line, when it has no end of line. */
    void finish(const std::function<void(std::string_view)>& line);

private:
    void endLine(const std::function<void(std::string_view)>& line);

    std::size_t m_maxLength;
    std::string m_line;
    bool m_pending = false;  ///< a line has begun and not yet ended
};

/**
 * Reads the rest of file line by line (LF or CR LF), handing each line to take cut to its
 * first maxLength bytes, so that no line takes memory without bound.
 */
ReadEnd readLines(InputFile& file, std::size_t maxLength,
                  const std::function<void(std::string_view)>& take);
