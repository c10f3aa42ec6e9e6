#include "recording/RecordingAnalysis.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <span>

#include "engine/HarmonicGroups.h"
#include "files/RecordingFile.h"
#include "numbers/Arithmetic.h"
#include "recording/Quantities.h"
#include "recording/WindowMeasurer.h"

namespace {

/** The fundamental is looked for in at most the start of a recording. */
constexpr double kStartSeconds = 30.0;
constexpr std::size_t kMostStartFrames = std::size_t{1} << 22;
constexpr std::size_t kReadFrames = std::size_t{1} << 14;
/** Points per cycle of a window: to order 64 at least, so every subgroup to h50 fits. */
constexpr int kLeastWindowPpc = 128;
/** ... and at most: a faster recording is low-passed to the window's band first. */
constexpr int kMostWindowPpc = 512;
/** The band kept below the window's own when low-passing: images stay above order 50. */
constexpr double kDownsampleMargin = 0.9;
/** The resampler is flat to this share of the band it keeps. */
constexpr double kFlatShare = 0.88;
/** The share of the progress the first reading (the reference RMS) takes. */
constexpr double kFirstPassShare = 0.2;
constexpr double kMedian = 50.0;
constexpr double kPercent = 100.0;
/** Windows between progress reports. */
constexpr std::size_t kProgressEvery = 64;

using Failure = Outcome<RecordingAnalysis>;

/**
 * The analysed channels of a recording streamed into buffers that hold the frames from
 * base(), continued beyond both ends so that the resampler reads every tap of the first and
 * last window: by whole cycles of the fundamental (a steady signal goes on as it was), or
 * mirrored where the recording holds less than a cycle.
 */
class ChannelStream {
public:
    ChannelStream(std::unique_ptr<RecordingReader> reader, std::vector<int> channels)
        : m_reader(std::move(reader)), m_channels(std::move(channels)), m_buffers(m_channels.size())
    {}

    /** Continues the recording pad samples before its first, cycle samples a cycle. */
    void padStart(std::size_t pad, std::size_t cycle)
    {
        fill(static_cast<std::int64_t>(std::max(pad, cycle)) + 1);  // ends bare, if it ends
        m_pad = pad;
        m_cycle = cycle;
        const auto first = static_cast<std::size_t>(-m_base);
        const std::size_t real = m_buffers.front().size() - first;
        if (real == 0) {
            m_pad = 0;  // nothing to continue: no window will be read
            return;
        }
        for (std::vector<float>& buffer : m_buffers) {
            std::vector<float> front(pad);
            for (std::size_t k = 1; k <= pad; ++k) {
                front[pad - k] = buffer[first + continuation(k, real)];
            }
            buffer.insert(buffer.begin(), front.begin(), front.end());
        }
        m_base -= static_cast<std::int64_t>(pad);
        if (m_ended) {
            padEnd();  // a recording read whole already: its end was left bare
        }
    }

    /** Reads until the buffers hold the frames before until, or the file ends. */
    void fill(std::int64_t until)
    {
        while (!m_ended && m_end < until) {
            const std::size_t got = m_reader->read(kReadFrames, m_block);
            if (got == 0) {
                m_ended = true;
                padEnd();
                break;
            }
            for (std::size_t i = 0; i < m_channels.size(); ++i) {
                const std::vector<float>& in = m_block[static_cast<std::size_t>(m_channels[i])];
                m_buffers[i].insert(m_buffers[i].end(), in.begin(), in.end());
            }
            for (std::vector<float>& in : m_block) {
                in.clear();
            }
            m_end += static_cast<std::int64_t>(got);
        }
    }

    [[nodiscard]] std::span<const float> samples(std::size_t i) const { return m_buffers[i]; }
    [[nodiscard]] std::int64_t base() const { return m_base; }
    /** Frames of the file read: the real ones end here. */
    [[nodiscard]] std::int64_t end() const { return m_end; }
    [[nodiscard]] const RecordingReader& reader() const { return *m_reader; }

    /** Lets go of the frames before frame, once they are many. */
    void dropBefore(std::int64_t frame)
    {
        const std::int64_t drop = frame - m_base;
        if (drop <= 0 || static_cast<std::size_t>(drop) < m_buffers.front().size() / 2) {
            return;
        }
        for (std::vector<float>& buffer : m_buffers) {
            buffer.erase(buffer.begin(), buffer.begin() + drop);
        }
        m_base = frame;
    }

private:
    void padEnd()
    {
        for (std::vector<float>& buffer : m_buffers) {
            const auto real = static_cast<std::size_t>(m_end - m_base);
            for (std::size_t k = 1; k <= m_pad && real > 0; ++k) {
                buffer.push_back(buffer[real - 1 - continuation(k, real)]);
            }
        }
    }

    /**
     * Which real sample, counted inward from an end (0 the end's own), stands k samples
     * beyond that end: whole cycles back, or the mirror image when fewer are held.
     */
    [[nodiscard]] std::size_t continuation(std::size_t k, std::size_t held) const
    {
        if (m_cycle > 0 && held > m_cycle) {
            const std::size_t cycles = (k + m_cycle - 1) / m_cycle;
            return cycles * m_cycle - k;
        }
        return held > 1 ? std::min(k, held - 1) : 0;
    }

    std::unique_ptr<RecordingReader> m_reader;
    std::vector<int> m_channels;  ///< of the file, from 0
    std::size_t m_pad = 0;        ///< samples continued beyond each end
    std::size_t m_cycle = 0;      ///< samples a cycle of the fundamental
    std::vector<std::vector<float>> m_buffers;
    std::vector<std::vector<float>> m_block;
    std::int64_t m_base = 0;
    std::int64_t m_end = 0;
    bool m_ended = false;
};

std::string channelRefusal(const RecordingReader& reader, const RecordingRequest& request)
{
    if (request.channel && (*request.channel < 1 || *request.channel > reader.channels())) {
        return "It has " + std::to_string(reader.channels()) +
               (reader.channels() == 1 ? " channel" : " channels") + "; channel " +
               std::to_string(*request.channel) + " is not one of them.";
    }
    return {};
}

std::vector<int> channelsOf(const RecordingReader& reader, const RecordingRequest& request)
{
    if (request.channel) {
        return {*request.channel - 1};
    }
    std::vector<int> all(static_cast<std::size_t>(reader.channels()));
    for (std::size_t c = 0; c < all.size(); ++c) {
        all[c] = static_cast<int>(c);
    }
    return all;
}

/** The fundamental to track from: given, or estimated on the start of the first channel. */
Outcome<double> startingFundamental(ChannelStream& stream, double rate,
                                    const RecordingRequest& request)
{
    if (request.fundamental) {
        return {*request.fundamental, {}};
    }
    const auto frames = static_cast<std::int64_t>(
        std::min<double>(kStartSeconds * rate, static_cast<double>(kMostStartFrames)));
    stream.fill(frames);
    const std::span<const float> all = stream.samples(0);
    const auto first = static_cast<std::size_t>(-stream.base());
    const auto count = static_cast<std::size_t>(std::min(stream.end(), frames));
    CaptureSignal start;
    start.rate = rate;
    start.samples.assign(all.begin() + static_cast<std::ptrdiff_t>(first),
                         all.begin() + static_cast<std::ptrdiff_t>(first + count));
    CaptureRequest capture;
    capture.nominal = request.nominal;
    capture.wholeBand = request.wholeBand;
    const Outcome<CaptureAnalysis> analysis = analyzeCapture(start, capture);
    if (!analysis.ok()) {
        return Outcome<double>::failure(analysis.error);
    }
    return {analysis.value->fundamental, {}};
}

WindowShape shapeFor(double rate, double fundamental, int checkThdOrders)
{
    WindowShape shape;
    shape.rate = rate;
    shape.cycles = iecWindowCycles(fundamental);
    const double capturePpc = rate / fundamental;
    const int ppc = powerOfTwoReaching(capturePpc, kLeastWindowPpc, kMostWindowPpc);
    shape.pointsPerCycle = ppc;
    shape.cutoff = capturePpc > ppc ? kDownsampleMargin * ppc / capturePpc : 1.0;
    shape.flatOrder = kFlatShare * shape.cutoff * capturePpc / 2.0;
    shape.checkThdOrders = checkThdOrders;
    return shape;
}

/** Each channel's median RMS of windows of the given length, read through the whole file. */
Outcome<std::vector<double>> medianWindowRms(const std::string& path,
                                             const RecordingRequest& request,
                                             const std::vector<int>& channels, std::size_t window,
                                             bool& stopped)
{
    RecordingReader::Opening opened = RecordingReader::open(path, request.rate);
    if (!opened.reader) {
        return Outcome<std::vector<double>>::failure(opened.error);
    }
    std::vector<ValueStatistics> rms(channels.size());
    std::vector<double> squares(channels.size(), 0.0);
    std::size_t filled = 0;
    std::vector<std::vector<float>> block;
    for (std::size_t got; (got = opened.reader->read(kReadFrames, block)) > 0;) {
        for (std::size_t f = 0; f < got; ++f) {
            for (std::size_t i = 0; i < channels.size(); ++i) {
                const float x = block[static_cast<std::size_t>(channels[i])][f];
                squares[i] += static_cast<double>(x) * x;
            }
            if (++filled == window) {
                for (std::size_t i = 0; i < channels.size(); ++i) {
                    rms[i].add(std::sqrt(squares[i] / static_cast<double>(window)));
                    squares[i] = 0.0;
                }
                filled = 0;
            }
        }
        for (std::vector<float>& in : block) {
            in.clear();
        }
        if (request.progress && !request.progress(kFirstPassShare * opened.reader->done())) {
            stopped = true;
            break;
        }
    }
    if (!opened.reader->error().empty()) {
        return Outcome<std::vector<double>>::failure(opened.reader->error());
    }
    std::vector<double> medians;
    for (const ValueStatistics& each : rms) {
        medians.push_back(each.percentile(kMedian));
    }
    return {std::move(medians), {}};
}

/** One channel's windows and flags as the analysis goes. */
struct ChannelState {
    ChannelSummary summary;
    std::unique_ptr<WindowMeasurer> measurer;
    std::unique_ptr<IntervalAggregator> aggregator;
    std::vector<ValueStatistics> statistics;
    std::vector<RuleTracker> trackers;
    std::optional<FlaggedSpan> open;  ///< the flagged span under way
};

std::optional<FlagKind> flagOf(bool measured, const CycleRms& rms, double reference)
{
    if (rms.least < kInterruptionShare * reference) {
        return FlagKind::Interruption;
    }
    if (rms.least < kDipShare * reference) {
        return FlagKind::Dip;
    }
    if (rms.most > kSwellShare * reference) {
        return FlagKind::Swell;
    }
    return measured ? std::nullopt : std::optional(FlagKind::NoFundamental);
}

double extremeOf(FlagKind kind, const CycleRms& rms, double reference)
{
    const double value = kind == FlagKind::Swell ? rms.most : rms.least;
    return reference > 0.0 ? kPercent * value / reference : 0.0;
}

void closeSpan(ChannelState& state)
{
    if (!state.open) {
        return;
    }
    if (state.summary.flagged.size() < kMostListedSpans) {
        state.summary.flagged.push_back(*state.open);
    } else {
        ++state.summary.unlistedSpans;
    }
    state.open.reset();
}

void noteFlag(ChannelState& state, std::optional<FlagKind> kind, const CycleRms& rms, double start,
              double end)
{
    if (!kind) {
        closeSpan(state);
        return;
    }
    ++state.summary.flaggedWindows;
    const double extreme = extremeOf(*kind, rms, state.summary.reference);
    if (!state.open) {
        state.open = FlaggedSpan{start, end, *kind, extreme, 0};
    }
    FlaggedSpan& span = *state.open;
    span.end = end;
    ++span.windows;
    if (*kind < span.kind) {
        span.kind = *kind;
        span.extreme = extreme;
    } else if (*kind == span.kind) {
        span.extreme = *kind == FlagKind::Swell ? std::max(span.extreme, extreme)
                                                : std::min(span.extreme, extreme);
    }
}

void takeInterval(ChannelState& state, const RecordingRequest& request,
                  const IntervalValues& interval)
{
    for (RuleTracker& tracker : state.trackers) {
        tracker.take(interval);
    }
    if (interval.aggregation != request.aggregation) {
        return;
    }
    ++state.summary.intervals;
    state.summary.flaggedIntervals += interval.flagged ? 1 : 0;
    state.summary.partialIntervals += interval.partial ? 1 : 0;
    if (!interval.flagged && interval.windows > 0) {
        for (std::size_t q = 0; q < quantity::kCount; ++q) {
            state.statistics[q].add(interval.values[q]);
        }
    }
    if (request.onInterval) {
        request.onInterval(interval);
    }
}

void summarize(ChannelState& state)
{
    closeSpan(state);
    for (const ValueStatistics& values : state.statistics) {
        state.summary.statistics.push_back({values.of(Statistic::Max), values.of(Statistic::P95),
                                            values.of(Statistic::P99), values.of(Statistic::Mean),
                                            values.count()});
    }
    for (RuleTracker& tracker : state.trackers) {
        state.summary.verdicts.push_back(tracker.finish());
    }
}

std::string maskRefusal(const RecordingRequest& request)
{
    if (request.mask && request.mask->recordingRules.empty()) {
        return request.mask->title +
               " limits equipment under test, not a supply: it sets no statistic a recording "
               "could be judged by.";
    }
    return {};
}

}  // namespace

const char* flagName(FlagKind kind)
{
    switch (kind) {
    case FlagKind::Interruption:
        return "interruption";
    case FlagKind::Dip:
        return "dip";
    case FlagKind::Swell:
        return "swell";
    case FlagKind::NoFundamental:
        return "no fundamental";
    }
    return "";
}

bool isWorthShowing(std::size_t index, const QuantityStatistics& statistics,
                    const RecordingAnalysis& analysis)
{
    if (!quantity::isReported(index, analysis.checkThdOrders)) {
        return false;
    }
    return index < quantity::kFirstHarmonic ||
           (statistics.max >= kDefaultNoiseFloor && quantity::orderOf(index) <= analysis.flatOrder);
}

bool ChannelSummary::passed() const
{
    return std::all_of(verdicts.begin(), verdicts.end(),
                       [](const RuleVerdict& verdict) { return verdict.passed(); });
}

bool RecordingAnalysis::passed() const
{
    return std::all_of(channels.begin(), channels.end(),
                       [](const ChannelSummary& channel) { return channel.passed(); });
}

Outcome<RecordingAnalysis> analyzeRecording(const std::string& path,
                                            const RecordingRequest& request)
{
    if (std::string why = maskRefusal(request); !why.empty()) {
        return Failure::failure(why);
    }
    RecordingReader::Opening opened = RecordingReader::open(path, request.rate);
    if (!opened.reader) {
        return Failure::failure(opened.error);
    }
    if (std::string why = channelRefusal(*opened.reader, request); !why.empty()) {
        return Failure::failure(why);
    }
    RecordingAnalysis analysis;
    analysis.rate = opened.reader->rate();
    analysis.fileChannels = opened.reader->channels();
    analysis.aggregation = request.aggregation;
    analysis.startTime = request.startTime;
    analysis.mask = request.mask;
    analysis.skippedLines = opened.reader->skippedLines();
    const std::vector<int> channels = channelsOf(*opened.reader, request);
    const int checkThdOrders = request.mask && request.mask->thd
                                   ? std::min(request.mask->thd->highestOrder, kHighestOrder)
                                   : quantity::kThdOrders;

    ChannelStream stream(std::move(opened.reader), channels);
    const Outcome<double> start = startingFundamental(stream, analysis.rate, request);
    if (!start.ok()) {
        return Failure::failure(start.error);
    }
    const double f0 = *start.value;
    if (!(f0 > 0.0) || !(analysis.rate / f0 > 2.0)) {
        return Failure::failure("The fundamental must lie between 0 Hz and half the sample rate.");
    }
    const WindowShape shape = shapeFor(analysis.rate, f0, checkThdOrders);
    analysis.cycles = shape.cycles;
    analysis.pointsPerCycle = shape.pointsPerCycle;
    analysis.flatOrder = shape.flatOrder;
    analysis.firstFundamental = f0;
    analysis.checkThdOrders = checkThdOrders;

    std::vector<double> references(channels.size(), request.nominalVoltage.value_or(0.0));
    analysis.referenceGiven = request.nominalVoltage.has_value();
    if (!request.nominalVoltage) {
        const auto window =
            static_cast<std::size_t>(std::max(1.0, std::round(shape.cycles * analysis.rate / f0)));
        Outcome<std::vector<double>> medians =
            medianWindowRms(path, request, channels, window, analysis.stopped);
        if (!medians.ok()) {
            return Failure::failure(medians.error);
        }
        references = std::move(*medians.value);
    }

    const IntervalMarks marks{request.tenMinutes, request.startTime.value_or(0.0)};
    std::vector<ChannelState> states(channels.size());
    for (std::size_t i = 0; i < channels.size(); ++i) {
        ChannelState& state = states[i];
        state.summary.channel = channels[i] + 1;
        state.summary.reference = references[i];
        state.measurer = std::make_unique<WindowMeasurer>(shape);
        state.statistics.resize(quantity::kCount);
        if (request.mask) {
            for (const StatisticRule& rule : request.mask->recordingRules) {
                state.trackers.emplace_back(*request.mask, rule, shape.flatOrder);
            }
        }
        state.aggregator = std::make_unique<IntervalAggregator>(
            state.summary.channel, marks, [&state, &request](const IntervalValues& interval) {
                takeInterval(state, request, interval);
            });
    }

    const auto reach = static_cast<std::int64_t>(states.front().measurer->reach());
    stream.padStart(static_cast<std::size_t>(reach) + 2,
                    static_cast<std::size_t>(std::lround(analysis.rate / f0)));
    std::vector<float> values(quantity::kCount);
    double at = 0.0;  // frames from the first sample
    double f = f0;
    analysis.leastFundamental = analysis.mostFundamental = f0;
    for (std::size_t count = 0; !analysis.stopped; ++count) {
        const double longest = shape.cycles * analysis.rate / f * (1.0 + kMostFundamentalMove);
        stream.fill(static_cast<std::int64_t>(std::ceil(at + longest)) + reach + 2);
        const double local = at - static_cast<double>(stream.base());
        const double real = static_cast<double>(stream.end());
        // A window may end up to a sample beyond the recording: its last point is a step before.
        const std::optional<double> tracked =
            at + shape.cycles * analysis.rate / f <= real + 1.0
                ? trackFundamental(stream.samples(0), local, f, shape)
                : std::nullopt;
        if (tracked) {
            f = *tracked;
        }
        const double length = shape.cycles * analysis.rate / f;
        if (at + length > real + 1.0) {
            break;  // not a whole window left
        }
        if (tracked) {
            analysis.leastFundamental = std::min(analysis.leastFundamental, f);
            analysis.mostFundamental = std::max(analysis.mostFundamental, f);
        }
        const double startSeconds = at / analysis.rate;
        const double endSeconds = (at + length) / analysis.rate;
        for (std::size_t i = 0; i < states.size(); ++i) {
            ChannelState& state = states[i];
            const std::span<const float> x = stream.samples(i);
            const bool measured = tracked && state.measurer->measure(x, local, f, values);
            const CycleRms rms = cycleRms(x, local, analysis.rate / f, shape.cycles);
            const std::optional<FlagKind> flag = flagOf(measured, rms, state.summary.reference);
            noteFlag(state, flag, rms, startSeconds, endSeconds);
            ++state.summary.windows;
            state.aggregator->addWindow(
                startSeconds, endSeconds,
                measured ? std::span<const float>(values) : std::span<const float>(),
                flag.has_value());
        }
        // A window that runs over a 10-minute mark ends its interval; the next starts on it.
        double next = at + length;
        const double mark =
            marks.tenMinuteStart(marks.tenMinuteIndex(startSeconds) + 1) * analysis.rate;
        if (mark > at && mark < next) {
            next = mark;
        }
        at = next;
        analysis.seconds = endSeconds;
        stream.dropBefore(static_cast<std::int64_t>(std::floor(at)) - reach - 2);
        if (request.progress && count % kProgressEvery == 0) {
            const double share =
                (request.nominalVoltage ? 0.0 : kFirstPassShare) +
                (request.nominalVoltage ? 1.0 : 1.0 - kFirstPassShare) * stream.reader().done();
            analysis.stopped = !request.progress(share);
        }
    }
    if (!stream.reader().error().empty()) {
        return Failure::failure(stream.reader().error());
    }
    for (ChannelState& state : states) {
        state.aggregator->finish(analysis.seconds);
        summarize(state);
        analysis.channels.push_back(std::move(state.summary));
    }
    return {std::move(analysis), {}};
}
