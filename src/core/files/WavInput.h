#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "files/FileDescriptor.h"

/** Whether the name ends in ".wav", in any case. */
[[nodiscard]] bool endsWithWav(const std::string& path);

/** Opens a regular file without blocking, as every reader does; the reason when it cannot. */
[[nodiscard]] FileDescriptor openRegular(const std::string& path, std::string& error);

/**
 * A WAV, RF64 or BW64 file open for reading: libsndfile decodes it through callbacks on a
 * descriptor that stays this object's own (libsndfile closes a descriptor it was given when
 * it cannot read it, whatever it was told).
 */
class WavInput {
public:
    /** The file at path, or null with the reason as one sentence in error. */
    [[nodiscard]] static std::unique_ptr<WavInput> open(const std::string& path,
                                                        std::string& error);
    ~WavInput();
    WavInput(const WavInput&) = delete;
    WavInput& operator=(const WavInput&) = delete;

    [[nodiscard]] int channels() const { return m_channels; }
    [[nodiscard]] int sampleRate() const { return m_sampleRate; }
    /** As the header says; a data chunk may hold fewer. */
    [[nodiscard]] std::int64_t frames() const { return m_frames; }
    [[nodiscard]] std::uint64_t bytes() const { return m_bytes; }
    /** Bytes of the file read so far. */
    [[nodiscard]] std::uint64_t position() const;

    /** Reads up to frames frames, channels() floats each, into out; 0 at the end. */
    [[nodiscard]] std::int64_t read(float* out, std::int64_t frames);

private:
    struct Sndfile;
    WavInput() = default;

    FileDescriptor m_fd;
    int m_descriptor = -1;  ///< libsndfile's user data: the address must stay put
    std::unique_ptr<Sndfile> m_file;
    int m_channels = 0;
    int m_sampleRate = 0;
    std::int64_t m_frames = 0;
    std::uint64_t m_bytes = 0;
};
