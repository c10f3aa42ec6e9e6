#pragma once

#include <complex>
#include <optional>
#include <string>
#include <vector>

#include "engine/Recalculate.h"

/** The start of a measured capture: samples in any unit at a rate. */
struct CaptureSignal {
    std::vector<float> samples;
    double rate = 0.0;  ///< samples per second
};

/** A value, or why there is none as one sentence. */
template <typename T>
struct Outcome {
    std::optional<T> value;
    std::string error;

    [[nodiscard]] bool ok() const { return value.has_value(); }
    [[nodiscard]] static Outcome failure(std::string why) { return {std::nullopt, std::move(why)}; }
};

/** What an analysis of a capture is asked for; what is not given is chosen from the capture. */
struct CaptureRequest {
    // Initialised, so that a request may name only the members it sets.
    std::optional<double> fundamental{};  ///< Hz; none: estimated
    std::optional<int> cycles{};          ///< 1 to 12; none: iecWindowCycles of the fundamental
    std::optional<double> start{};  ///< seconds into the capture; none: its first steady window
    /** Hz the fundamental is searched near; none: 50, 60 or 400 Hz by the capture's lines. */
    std::optional<double> nominal{};
    bool wholeBand = false;  ///< the strongest line of the whole band is the fundamental
};

/** A periodic signal's fundamental carries at least this share of its AC RMS. */
inline constexpr double kLeastFundamentalShare = 0.1;

/** The nominal frequencies a fundamental is looked for near, in Hz. */
inline constexpr double kNominals[] = {50.0, 60.0, 400.0};
/** How far from its nominal a fundamental may lie, relative. */
inline constexpr double kNominalReach = 0.15;

/** The most points per cycle a resampled window has. */
inline constexpr int kMaxWindowPpc = 65536;
/** The fewest, so that the analysed design has the points per cycle a design needs. */
inline constexpr int kMinWindowPpc = 32;
/** Captures with more points per cycle than this are refused (a fundamental far too low). */
inline constexpr double kMaxCapturePpc = 1 << 19;
/** The sample rates a capture may have, in Hz: from slow loggers to fast digitisers. */
inline constexpr double kMinCaptureRate = 1.0;
inline constexpr double kMaxCaptureRate = 1e9;

/** Why a capture's sample rate cannot be used, as one sentence; empty when it can. */
[[nodiscard]] std::string captureRateRefusal(double rate);

/** One line of the analysed window. */
struct CaptureLine {
    double order = 0.0;      ///< bin / cycles
    double magnitude = 0.0;  ///< percent of the fundamental
    double phase = 0.0;      ///< cosine phase in its own period, degrees, capture start at 0
};

/** How far below flat the resampler may pass a line before it is near the band edge. */
inline constexpr double kFlatBandDb = 0.1;

/** The analysis of a capture's window. */
struct CaptureAnalysis {
    double fundamental = 0.0;       ///< Hz
    bool estimated = false;         ///< the fundamental came from the capture
    double rate = 0.0;              ///< of the capture
    double windowStart = 0.0;       ///< seconds from the capture's first sample
    std::optional<double> nominal;  ///< Hz the estimate searched near; none: the whole band
    int cycles = 0;                 ///< in the window
    int pointsPerCycle = 0;         ///< of the resampled window
    /** The capture's band in orders: half its rate (or the window's, if lower). Above it a
     *  bin holds only images of lines below, so it is emptied and counts in no figure. */
    double bandOrder = 0.0;
    /** The order up to which the resampler is flat within kFlatBandDb. */
    double flatOrder = 0.0;
    /** Every bin as a line amplitude in percent of the fundamental, with its phase; DC halved. */
    std::vector<std::complex<double>> bins;
    /** The bins above 0.01 % inside the band, as a waveshape's analysis lists them. */
    std::vector<CaptureLine> lines;
    /** The spectrum, the five figures with texts and the power-quality figures. */
    RecalcResult result;

    /** The strongest line above the fundamental's 100 %, none when the fundamental leads. */
    [[nodiscard]] std::optional<CaptureLine> strongerLine() const;
    /** Whether the resampler passes line more than kFlatBandDb below its level. */
    [[nodiscard]] bool nearBandEdge(const CaptureLine& line) const
    {
        return line.order > flatOrder;
    }
    /** The whole orders the figures count: those inside the band. */
    [[nodiscard]] int ordersInBand() const;
};

/**
 * Lines below this level, in percent of the fundamental, are a capture's noise: a comparison
 * and the design a capture becomes leave them out, unless the design has the order.
 */
inline constexpr double kDefaultNoiseFloor = 0.05;
inline constexpr double kMinNoiseFloor = 0.0;
inline constexpr double kMaxNoiseFloor = 10.0;

/**
 * Takes a whole number of fundamental cycles from the window start (the first steady window
 * unless the request gives one), resamples them band-limited (windowed sinc) to a power of
 * two points per cycle, at least the capture's own and at most kMaxWindowPpc, and analyses
 * that window as a waveshape's samples are. Unless given, the fundamental is the line near
 * the nominal of a Hann-windowed spectrum, refined from its phase drift across the window
 * (and across seconds when the capture holds them) to about 1e-9 relative on a clean signal.
 */
[[nodiscard]] Outcome<CaptureAnalysis> analyzeCapture(const CaptureSignal& capture,
                                                      const CaptureRequest& request);
