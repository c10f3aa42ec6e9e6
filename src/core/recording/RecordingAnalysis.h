#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/CaptureAnalysis.h"
#include "files/InputFile.h"
#include "recording/IntervalAggregator.h"
#include "recording/RecordingCheck.h"

/** What a long recording's analysis is asked for; what is not given is chosen from it. */
struct RecordingRequest {
    std::optional<double> rate{};                       ///< Hz, overriding the file's
    std::optional<int> channel{};                       ///< from 1; none: every channel
    Aggregation aggregation = Aggregation::TenMinutes;  ///< of the statistics and the trend
    /** The reference of the dip and swell flags; none: each channel's median window RMS. */
    std::optional<double> nominalVoltage{};
    /** Seconds since 1970 (UTC) of the first sample: intervals start on clock marks. */
    std::optional<double> startTime{};
    std::optional<double> fundamental{};  ///< Hz to start tracking from; none: estimated
    std::optional<double> nominal{};      ///< Hz the estimate searches near
    bool wholeBand = false;
    std::optional<LimitMask> mask{};  ///< judged by its recording rules
    double tenMinutes = 600.0;        ///< the 10-minute interval in seconds; shorter in tests
    /** Told how far the analysis is (0 to 1); false stops it, and what was read is reported. */
    ReadProgress progress{};
    /** Each interval of the chosen aggregation as it closes, every channel. */
    std::function<void(const IntervalValues&)> onInterval{};
};

/** Why a window was flagged, the worst first. */
enum class FlagKind { Interruption, Dip, Swell, NoFundamental };

/** As reports name it: "interruption", "dip", "swell", "no fundamental". */
[[nodiscard]] const char* flagName(FlagKind kind);

/** Flagged windows in a row. */
struct FlaggedSpan {
    double start = 0.0;  ///< seconds into the recording
    double end = 0.0;
    FlagKind kind = FlagKind::Dip;
    /** The lowest (interruption, dip) or highest (swell) one-cycle RMS, percent of reference. */
    double extreme = 0.0;
    std::size_t windows = 0;
};

struct QuantityStatistics {
    double max = 0.0;
    double p95 = 0.0;
    double p99 = 0.0;
    double mean = 0.0;
    std::size_t count = 0;
};

/** One channel of a recording, analysed. */
struct ChannelSummary {
    int channel = 0;          ///< from 1
    double reference = 0.0;   ///< the flags' reference RMS, in the recording's unit
    std::size_t windows = 0;  ///< analysed
    std::size_t flaggedWindows = 0;
    std::vector<FlaggedSpan> flagged;  ///< at most kMostListedSpans
    std::size_t unlistedSpans = 0;     ///< flagged spans beyond the list
    std::size_t intervals = 0;         ///< of the chosen aggregation
    std::size_t flaggedIntervals = 0;
    std::size_t partialIntervals = 0;
    std::vector<QuantityStatistics> statistics;  ///< quantity::kCount, of unflagged intervals
    std::vector<RuleVerdict> verdicts;           ///< one per rule of the mask

    [[nodiscard]] bool passed() const;
};

/** Flagged spans listed per channel; more are counted. */
inline constexpr std::size_t kMostListedSpans = 1000;
/** Below this share of the reference a one-cycle RMS is an interruption; dips and swells. */
inline constexpr double kInterruptionShare = 0.05;
inline constexpr double kDipShare = 0.9;
inline constexpr double kSwellShare = 1.1;

/** A recording analysed window by window. */
struct RecordingAnalysis {
    double rate = 0.0;
    int fileChannels = 0;
    int cycles = 0;                 ///< per window
    int pointsPerCycle = 0;         ///< of the resampled windows
    double flatOrder = 0.0;         ///< orders above it lie beyond the recording's flat band
    double firstFundamental = 0.0;  ///< Hz, where tracking started
    double leastFundamental = 0.0;  ///< Hz, of the measured windows
    double mostFundamental = 0.0;
    double seconds = 0.0;         ///< analysed
    bool stopped = false;         ///< the progress stopped it: what was read is reported
    bool referenceGiven = false;  ///< the flags' reference was the nominal voltage given
    Aggregation aggregation = Aggregation::TenMinutes;
    std::optional<double> startTime;
    int checkThdOrders = 0;
    std::optional<LimitMask> mask;
    std::size_t skippedLines = 0;  ///< header lines of a text recording
    std::vector<ChannelSummary> channels;

    /** Every channel passed every rule of the mask. */
    [[nodiscard]] bool passed() const;
};

/**
 * Whether a value's statistics are worth a row of a report: the level and THDs always, a
 * subgroup when it reaches the noise floor inside the recording's flat band.
 */
[[nodiscard]] bool isWorthShowing(std::size_t index, const QuantityStatistics& statistics,
                                  const RecordingAnalysis& analysis);

/**
 * Analyses every window of a recording streamed from path: consecutive 10-cycle windows (12
 * for a 60 Hz supply) from its first sample, each at the fundamental tracked on the first
 * analysed channel from window to window, resampled, transformed and grouped; flagged where a
 * one-cycle RMS leaves 90 to 110 % of the reference or the fundamental cannot be measured;
 * aggregated to 150/180-cycle, 10-minute and 2-hour values; and with the statistics of the
 * request's aggregation and the mask's verdicts. Without a nominal voltage the file is read
 * twice: first for each channel's median window RMS.
 */
[[nodiscard]] Outcome<RecordingAnalysis> analyzeRecording(const std::string& path,
                                                          const RecordingRequest& request);
