#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "FuzzChecks.h"
#include "engine/CaptureAnalysis.h"
#include "files/CaptureFile.h"

/** The rate a text capture without times is given. */
inline constexpr double kFuzzRate = 8000.0;

/**
 * The input as a file in memory, under a name with the extension a reader goes by: a link
 * in the temporary folder to the descriptor, made once per process.
 */
class FuzzFile {
public:
    FuzzFile(const std::uint8_t* data, std::size_t size, const std::string& extension)
    {
        static const Link link(extension);
        require(::ftruncate(link.fd, 0) == 0 &&
                ::pwrite(link.fd, data, size, 0) == static_cast<ssize_t>(size));
        m_path = link.path;
    }
    [[nodiscard]] const std::string& path() const { return m_path; }

private:
    /** The descriptor and the link to it, both gone when the process ends. */
    struct Link {
        explicit Link(const std::string& extension)
            : fd(::memfd_create("fuzz-capture", MFD_CLOEXEC)),
              path("/tmp/korvalin-fuzz-" + std::to_string(::getpid()) + "." + extension)
        {
            ::unlink(path.c_str());
            require(fd >= 0 &&
                    ::symlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path.c_str()) == 0);
        }
        ~Link()
        {
            ::unlink(path.c_str());
            ::close(fd);
        }
        Link(const Link&) = delete;
        Link& operator=(const Link&) = delete;

        int fd;
        std::string path;
    };

    std::string m_path;
};

/** What a capture read must satisfy, and what its analysis must, when it gives one. */
inline void checkCapture(const CaptureReading& reading)
{
    if (!reading.capture) {
        require(!reading.error.empty() && !reading.cancelled);
        return;
    }
    const CaptureSignal& capture = *reading.capture;
    require(!capture.samples.empty() && capture.samples.size() <= kMaxCaptureFrames);
    // Samples may be anything a float holds: the analysis refuses what is not finite.
    require(capture.rate > 0.0 && std::isfinite(capture.rate));
    const Outcome<CaptureAnalysis> analysis = analyzeCapture(capture, {});
    if (!analysis.ok()) {
        require(!analysis.error.empty());
        return;
    }
    const CaptureAnalysis& a = *analysis.value;
    require(a.fundamental > 0.0 && a.fundamental < a.rate / 2.0);
    for (const CaptureLine& line : a.lines) {
        require(std::isfinite(line.magnitude) && std::isfinite(line.phase) && line.order >= 0.0);
    }
}
