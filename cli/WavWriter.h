#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>

/** How each WAV sample is stored. */
enum class WavEncoding { Pcm16, Pcm24, Float32 };

/** The sample rates --rate takes, and --seconds' bounds (without it: one second). */
inline constexpr int kMinWavRate = 8000;
inline constexpr int kMaxWavRate = 384000;
inline constexpr double kMaxWavSeconds = 3600.0;
inline constexpr double kDefaultWavSeconds = 1.0;

/** What a WAV output is asked to be. */
struct WavOptions {
    std::optional<int> rate;  ///< none: the displayed samples at ppc x the fundamental
    std::optional<double> seconds;
    WavEncoding encoding = WavEncoding::Float32;
    bool normalize = false;

    /** Whether any WAV option was given. */
    [[nodiscard]] bool any() const
    {
        return rate || seconds || encoding != WavEncoding::Float32 || normalize;
    }
};

/** Fills out with samples first to first + out.size() - 1, in percent of full scale. */
using SampleBlocks = std::function<void(std::int64_t first, std::span<double> out)>;

/** Told the samples made so far of all to make; false stops the write. */
using WavProgress = std::function<bool(std::int64_t done, std::int64_t total)>;

/** A mono WAV to write: frames samples from source at rate samples per second. */
struct WavRequest {
    SampleBlocks source;
    std::int64_t frames = 0;
    int rate = 0;
    WavEncoding encoding = WavEncoding::Float32;
    bool normalize = false;  ///< the peak is scaled to full scale (a first pass finds it)
    WavProgress progress;    ///< called after each block, when set
};

/** How the samples met full scale (100 % is 1.0). */
struct WavLevels {
    double peak = 0.0;         ///< largest |sample| in percent, before any normalizing
    std::int64_t clipped = 0;  ///< samples written beyond full scale
};

/** The outcome of a WAV write: the levels, or the reason it failed. */
struct WavResult {
    std::optional<WavLevels> levels;
    std::string error;
    bool stopped = false;  ///< progress asked to stop
};

/** Where a WAV's bytes go, in order: false with the reason (if any) when a write failed. */
using ByteSink = std::function<bool(std::string_view bytes, std::string& error)>;

/** Every byte to a file descriptor, or the system's reason. */
[[nodiscard]] ByteSink descriptorSink(int fd);

/**
 * Bytes to a stream. The process's own standard output (std::cout) is written through its
 * descriptor, so that a failure has the system's reason and no buffered rest to fail again.
 */
[[nodiscard]] ByteSink streamSink(std::ostream& out);

/** A WAV's sizes are 32 bits; beyond them only RF64 is a valid file. */
enum class WavContainer { Wav, Rf64 };

/** The container a WAV of frames samples needs. */
[[nodiscard]] WavContainer containerFor(WavEncoding encoding, std::int64_t frames);

/**
 * The header before the samples of a WAV of frames samples, as libsndfile writes it without
 * a PEAK chunk (in an RF64, where it cannot be left out, a JUNK chunk of zeros in its place).
 */
[[nodiscard]] std::string wavHeader(WavEncoding encoding, int rate, std::int64_t frames,
                                    WavContainer container);

/**
 * Writes the WAV in order, block by block in bounded memory: its length is known before
 * the first sample, so the header comes first and nothing is ever rewritten; the same
 * request gives the same bytes whatever the sink.
 */
[[nodiscard]] WavResult writeWav(const WavRequest& request, const ByteSink& sink);

/**
 * writeWav to a path through a temporary file beside it, replaced only when everything was
 * written.
 */
[[nodiscard]] WavResult writeWavFile(const WavRequest& request, const std::string& path);
