#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>

/** How each WAV sample is stored. */
enum class WavEncoding { Pcm16, Pcm24, Float32 };

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

/** A mono WAV to write: frames samples from source at rate samples per second. */
struct WavRequest {
    SampleBlocks source;
    std::int64_t frames = 0;
    int rate = 0;
    WavEncoding encoding = WavEncoding::Float32;
    bool normalize = false;  ///< the peak is scaled to full scale (a first pass finds it)
};

/** How the samples met full scale (100 % is 1.0). */
struct WavLevels {
    double peak = 0.0;         ///< largest |sample| in percent, before any normalising
    std::int64_t clipped = 0;  ///< samples written beyond full scale
};

/** The outcome of a WAV write: the levels, or the reason it failed. */
struct WavResult {
    std::optional<WavLevels> levels;
    std::string error;
};

/**
 * Writes the WAV block by block in bounded memory, without a PEAK chunk (so two runs give
 * the same bytes), as RF64 only when it would outgrow a WAV's 4 GiB. A path is written
 * through a temporary file beside it and replaced only when everything was written.
 */
[[nodiscard]] WavResult writeWavFile(const WavRequest& request, const std::string& path);

/**
 * As writeWavFile, to a stream (standard output), by way of a temporary file; a stream that
 * fails gives no levels and an empty error.
 */
[[nodiscard]] WavResult writeWavStream(const WavRequest& request, std::ostream& out);
