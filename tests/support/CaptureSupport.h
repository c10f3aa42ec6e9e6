#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/CaptureAnalysis.h"

/** One line of a synthesized capture: order, percent of the fundamental, cosine phase. */
struct ToneLine {
    double order = 1.0;
    double percent = 100.0;
    double degrees = 0.0;
};

/** What a test capture holds. */
struct ToneCapture {
    std::vector<ToneLine> lines;
    double fundamental = 50.0;
    double rate = 48000.0;
    std::size_t count = 0;   ///< samples
    double amplitude = 0.4;  ///< of the fundamental, full scale 1
    double noise = 0.0;      ///< RMS of added Gaussian noise, full scale 1
    std::uint32_t seed = 1;
};

/** The samples: sum of amplitude x percent / 100 x cos(2 pi order f t + phase), plus noise. */
[[nodiscard]] std::vector<double> synthesizeCapture(const ToneCapture& capture);

/** cycles of the lines at rate, as a capture file would hold them (amplitude 0.4). */
[[nodiscard]] CaptureSignal toneSignal(const std::vector<ToneLine>& lines, double fundamental,
                                       double rate, double cycles, double noise = 0.0);

/** WAV sample forms: unsigned 8-bit, signed 16, 24, 32-bit, 32-bit float. */
enum class WavForm { U8, S16, S24, S32, F32 };

/** How the WAV's header is laid out. */
struct WavLayout {
    WavForm form = WavForm::S16;
    int channels = 1;         ///< the samples go to the last channel, the others hold zeros
    bool extensible = false;  ///< WAVE_FORMAT_EXTENSIBLE header
    bool extraChunk = false;  ///< a JUNK chunk before the data
};

/** The bytes of a WAV file of the samples. */
[[nodiscard]] std::string wavBytes(const std::vector<double>& samples, double rate,
                                   const WavLayout& layout);

/** The same of several channels, one vector of samples each (layout.channels is not read). */
[[nodiscard]] std::string channelsWavBytes(const std::vector<std::vector<double>>& channels,
                                           double rate, const WavLayout& layout);

/** A text capture: "time,value" lines (after a heading) when withTime, else one value a line. */
[[nodiscard]] std::string captureCsv(const std::vector<double>& samples, double rate,
                                     bool withTime);
