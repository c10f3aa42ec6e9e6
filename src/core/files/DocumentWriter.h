#pragma once

#include <cerrno>
#include <functional>
#include <string>
#include <string_view>

#include "files/DocumentReader.h"
#include "settings/WaveSettings.h"

class HarmonicTable;

/** The text Save As writes: a waveshape file for DocumentKind::Waveshape, else coefficients. */
[[nodiscard]] std::string documentText(DocumentKind kind, const WaveSettings& active,
                                       const HarmonicTable& table);

/**
 * Why a document (.kvk, .kvw, samples .csv) of size bytes is not written: the readers would
 * refuse it. Empty when it may be written.
 */
[[nodiscard]] std::string documentSizeRefusal(std::size_t size);

/** Why a save ends when its content does not fit in memory. */
inline constexpr const char* kNoMemoryToWrite = "Not enough memory to write it.";

/** How a save went. */
struct SaveResult {
    enum class Failure { None, Open, Write };
    Failure failure = Failure::None;
    std::string error;  ///< the reason as one sentence, when it failed

    [[nodiscard]] bool ok() const { return failure == Failure::None; }
};

/** Faults a test can make happen inside a save, where no real disk can be made to fail. */
struct SaveFaults {
    enum class Step { None, create, Write, Sync, Close, Replace };
    Step failAt = Step::None;  ///< this step fails as the system would fail it ...
    int failWith = ENOSPC;     ///< ... with this error
};

/**
 * Writes bytes to path through a new file beside it, flushed to the device and checked, and
 * replaces path only then: a failed save leaves the old file as it was and no new file behind.
 * A symbolic link is followed and stays, where the kernel would follow it (in a sticky folder
 * that anyone may write to, only a link of this user or of the folder's owner); the file it
 * ends at is replaced, with its permission bits (and, where allowed, its owner). The new file
 * ".NAME.korvalin-XXXXXX" is never readable by more users than the old. Anything there that
 * is not a regular file (a device, FIFO, socket or folder) is refused. Open failures are
 * those before a byte was written.
 */
[[nodiscard]] SaveResult saveFileAtomically(const std::string& path, std::string_view bytes,
                                            const SaveFaults& faults = {});

/**
 * Writes the content onto the new file's descriptor; false (with errno, or a sentence in
 * error) when it could not. For content too large to hold in memory.
 */
using SaveWriter = std::function<bool(int fd, std::string& error)>;

/** Writes all of bytes to fd, again after an interruption; false with errno when it cannot. */
[[nodiscard]] bool writeAll(int fd, std::string_view bytes);

/** saveFileAtomically with the content written by write, in the same steps. */
[[nodiscard]] SaveResult saveFileAtomically(const std::string& path, const SaveWriter& write,
                                            const SaveFaults& faults = {});

/**
 * Whether path (after symbolic links) is an existing file that this user may not write, or
 * whose owner's write bit is off: the one test of both front ends before replacing a file.
 */
[[nodiscard]] bool isWriteProtected(const std::string& path);
