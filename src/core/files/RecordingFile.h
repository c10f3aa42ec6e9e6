#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

/** The most channels a text recording's lines may hold besides the time. */
inline constexpr std::size_t kMostTextChannels = 64;

/**
 * A recording streamed from its file in blocks of frames, whatever its length: a WAV (RF64
 * and BW64 too) of any channel count, or text lines of a time and one or more values (the
 * rate from the time column, which must be evenly spaced), or of one value (the rate must be
 * given). Memory stays that of one block.
 */
class RecordingReader {
public:
    struct Opening;
    /** Opens path; a given rate overrides the file's (a time column is then mere text). */
    [[nodiscard]] static Opening open(const std::string& path, std::optional<double> rate);

    virtual ~RecordingReader() = default;
    RecordingReader(const RecordingReader&) = delete;
    RecordingReader& operator=(const RecordingReader&) = delete;

    [[nodiscard]] double rate() const { return m_rate; }
    [[nodiscard]] int channels() const { return m_channels; }
    /** The frames the file holds, when its header says. */
    [[nodiscard]] std::optional<std::int64_t> frames() const { return m_frames; }

    /**
     * Appends up to most frames to each of channels (one vector a channel, resized to
     * channels()); 0 at the end or when reading fails (error() says why).
     */
    virtual std::size_t read(std::size_t most, std::vector<std::vector<float>>& channels) = 0;
    /** How much of the file is read, 0 to 1. */
    [[nodiscard]] virtual double done() const = 0;
    /** Why the reading failed, as one sentence; empty while it has not. */
    [[nodiscard]] const std::string& error() const { return m_error; }
    /** Header lines of a text recording that held no numbers. */
    [[nodiscard]] virtual std::size_t skippedLines() const { return 0; }

protected:
    RecordingReader() = default;

    double m_rate = 0.0;
    int m_channels = 0;
    std::optional<std::int64_t> m_frames;
    std::string m_error;
};

struct RecordingReader::Opening {
    std::unique_ptr<RecordingReader> reader;
    std::string error;
    bool needsRate = false;  ///< only the sample rate was missing
};
