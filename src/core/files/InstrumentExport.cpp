#include "files/InstrumentExport.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <complex>

#include "files/CoefficientFile.h"
#include "files/InputFile.h"
#include "numbers/Arithmetic.h"
#include "numbers/NumberText.h"
#include "settings/SettingsRegistry.h"
#include "settings/SettingsStore.h"

namespace {

/** Samples made and written at a time: memory follows the block, not the waveform. */
constexpr std::int64_t kBlock = 65536;
constexpr int kPercentDecimals = 6;  // as the displayed samples' CSV has them
constexpr int kScaledDecimals = 9;
/** Table percent and degrees: enough digits to resynthesize within 1e-9 of the peak. */
constexpr int kTableDecimals = 10;

const auto& kScaleNames = setting::exportScale.names;

std::int64_t largestCode(int bits)
{
    return (std::int64_t{1} << (bits - 1)) - 1;
}

/** Percent to the request's scale. */
double factorFor(const WaveformExport& request, const SampleLevels& levels)
{
    switch (request.scale) {
    case SampleScale::Percent:
        return 1.0;
    case SampleScale::Normalized:
        return 1.0 / levels.peak;
    case SampleScale::Volts:
        return request.volts / (request.level == VoltsLevel::Rms ? levels.rms : levels.peak);
    case SampleScale::Codes:
        return static_cast<double>(largestCode(request.bits)) / levels.peak;
    }
    return 1.0;
}

/** The shortest line a sample can have ("0\n", "0,0.000000\n"): a quick bound on the size. */
std::uint64_t shortestLine(const WaveformExport& request)
{
    const int decimals = request.scale == SampleScale::Percent ? kPercentDecimals : kScaledDecimals;
    const std::uint64_t value = request.scale == SampleScale::Codes ? 1 : 2 + decimals;
    return value + (request.layout == SampleLayout::Csv ? 3 : 1);
}

template <typename Integer>
void appendInteger(std::string& out, Integer value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void appendSample(std::string& out, double percent, const WaveformExport& request, double factor)
{
    if (request.scale == SampleScale::Codes) {
        const std::int64_t most = largestCode(request.bits);
        appendInteger(out, std::clamp<std::int64_t>(std::llround(percent * factor), -most, most));
    } else if (request.scale == SampleScale::Percent) {
        appendFixed(out, percent, 0, kPercentDecimals);
    } else {
        appendFixed(out, percent * factor, 0, kScaledDecimals);
    }
}

/** Fixed decimals without trailing zeros, and never "-0". */
void appendTrimmed(std::string& out, double value)
{
    std::string text = formatFixed(value, kTableDecimals);
    while (text.back() == '0') {
        text.pop_back();
    }
    if (text.back() == '.') {
        text.pop_back();
    }
    out += text == "-0" ? "0" : text;
}

/** Degrees within -180 to 180. */
double wrapDegrees(double degrees)
{
    degrees = std::remainder(degrees, 360.0);
    return degrees == -180.0 ? 180.0 : degrees;
}

double toDegrees(double radians)
{
    return radians * 180.0 / pi();
}

/**
 * Order-1 entries whose sum is below this share of their magnitudes cancel: what is left is
 * rounding, and its phase means nothing.
 */
constexpr double kCancelled = 1e-9;

/** The magnitudes of the design's order-1 entries, summed. */
double fundamentalSum(std::span<const HarmonicEntry> entries)
{
    double sum = 0.0;
    for (const HarmonicEntry& entry : entries) {
        sum += entry.number == 1.0F ? std::fabs(entry.magnitude) : 0.0;
    }
    return sum;
}

/** The first line of a .csv export. */
std::string commentText(const WaveSettings& active, const WaveformExport& request,
                        ExportComment comment)
{
    if (comment == ExportComment::Settings) {
        return settingsCommentText(exportedSettings(active, request));
    }
    return "# " + formatInt(request.points) + " points per cycle, " + formatInt(request.cycles) +
           (request.cycles == 1 ? " cycle\n" : " cycles\n");
}

}  // namespace

WaveSettings exportedSettings(WaveSettings active, const WaveformExport& request)
{
    active.ppc = static_cast<float>(request.points);
    active.displayCycles = request.cycles;
    active.fftCycles = std::min(active.fftCycles, request.cycles);
    return active;
}

std::optional<SampleLevels> measureLevels(const SampleSource& source, std::int64_t total,
                                          std::span<double> block,
                                          const std::function<bool(std::int64_t)>& progress)
{
    SampleLevels levels;
    double squares = 0.0;
    const auto blockSize = static_cast<std::int64_t>(block.size());
    for (std::int64_t first = 0; first < total; first += blockSize) {
        const auto count = static_cast<std::size_t>(std::min(blockSize, total - first));
        source(first, block.first(count));
        for (const double x : block.first(count)) {
            levels.peak = std::max(levels.peak, std::fabs(x));
            squares += x * x;
        }
        if (progress && !progress(first + static_cast<std::int64_t>(count))) {
            return std::nullopt;
        }
    }
    levels.rms = total > 0 ? std::sqrt(squares / static_cast<double>(total)) : 0.0;
    return levels;
}

std::string waveformExportRefusal(const WaveformExport& request)
{
    constexpr int kVoltsDecimals = 6;  // the smallest volts, 1e-6, in full
    const auto outside = [](const char* what, const std::string& low, const std::string& high) {
        return std::string("The ") + what + " must be from " + low + " to " + high + ".";
    };
    if (request.points < kMinExportPoints || request.points > kMaxExportPoints) {
        return outside("points per cycle", formatInt(kMinExportPoints),
                       formatInt(kMaxExportPoints));
    }
    if (request.cycles < kMinExportCycles || request.cycles > kMaxExportCycles) {
        return outside("cycles", formatInt(kMinExportCycles), formatInt(kMaxExportCycles));
    }
    if (request.scale == SampleScale::Volts &&
        !(request.volts >= kMinExportVolts && request.volts <= kMaxExportVolts)) {
        return outside("volts", formatFixed(kMinExportVolts, kVoltsDecimals),
                       formatFixed(kMaxExportVolts, 0));
    }
    if (request.scale == SampleScale::Codes &&
        (request.bits < kMinCodeBits || request.bits > kMaxCodeBits)) {
        return outside("bits", formatInt(kMinCodeBits), formatInt(kMaxCodeBits));
    }
    return {};
}

std::string aliasingRefusal(std::span<const HarmonicEntry> entries, int points)
{
    float highest = 0.0F;
    for (const HarmonicEntry& entry : entries) {
        if (entry.magnitude != 0.0F) {
            highest = std::max(highest, entry.number);
        }
    }
    if (2.0 * highest < points) {
        return {};
    }
    return "At " + formatInt(points) + " points per cycle the design's order " +
           formatCompact(highest, kTableDecimals) +
           " lies at or above half the points: an instrument would alias it.";
}

std::vector<double> sampleCycles(std::span<const HarmonicEntry> entries, const SynthesisForm& form,
                                 int points, int cycles)
{
    std::vector<double> samples(static_cast<std::size_t>(points) *
                                static_cast<std::size_t>(cycles));
    CycleSampler(entries, form, points).fill(0, samples);
    return samples;
}

SaveResult saveWaveform(const std::string& path, std::span<const HarmonicEntry> entries,
                        const WaveSettings& active, const WaveformExport& request,
                        ExportComment comment)
{
    if (std::string refusal = waveformExportRefusal(request); !refusal.empty()) {
        return {SaveResult::Failure::Open, std::move(refusal)};
    }
    const std::int64_t total = std::int64_t{request.points} * request.cycles;
    const bool csv = request.layout == SampleLayout::Csv;
    const std::uint64_t shortest = static_cast<std::uint64_t>(total) * shortestLine(request);
    if (shortest > kMaxInputBytes) {
        return {SaveResult::Failure::Write, documentSizeRefusal(shortest)};
    }
    CycleSampler sampler(entries, synthesisFormOf(active), request.points);
    std::vector<double> block(static_cast<std::size_t>(std::min(total, kBlock)));
    SampleLevels levels;
    if (request.scale != SampleScale::Percent) {
        levels = *measureLevels(
            [&sampler](std::int64_t first, std::span<double> out) { sampler.fill(first, out); },
            total, block);
        if (levels.peak == 0.0) {
            return {SaveResult::Failure::Write, "The waveform is 0 throughout: nothing to scale."};
        }
    }
    const double factor = factorFor(request, levels);
    return saveFileAtomically(path, [&](int fd, std::string& error) {
        std::string text;
        if (csv) {
            text = commentText(active, request, comment) + "index,value\n";
        }
        std::uint64_t written = 0;
        for (std::int64_t first = 0; first < total; first += kBlock) {
            const auto count = static_cast<std::size_t>(std::min(kBlock, total - first));
            sampler.fill(first, std::span(block.data(), count));
            for (std::size_t i = 0; i < count; ++i) {
                if (csv) {
                    appendInteger(text, first + static_cast<std::int64_t>(i));
                    text += ',';
                }
                appendSample(text, block[i], request, factor);
                text += '\n';
            }
            written += text.size();
            if (written > kMaxInputBytes) {
                error = documentSizeRefusal(written);
                return false;
            }
            if (!writeAll(fd, text)) {
                return false;
            }
            text.clear();
        }
        return true;
    });
}

HarmonicTableText harmonicTableRows(std::span<const HarmonicEntry> entries,
                                    const SynthesisForm& form, const TableExport& request)
{
    HarmonicTableText table;
    std::vector<NumberPhasor> phasors = phasorsByNumber(entries, form);
    const bool sine = request.basis == TableBasis::Sine;
    // m cos(a) = m sin(a + 90 degrees): a sine's phase is a quarter ahead of the cosine's.
    const double quarter = sine ? 90.0 : 0.0;
    if (request.zeroFundamentalPhase) {
        const auto fundamental = std::find_if(
            phasors.begin(), phasors.end(), [](const NumberPhasor& p) { return p.number == 1.0F; });
        if (fundamental == phasors.end() ||
            std::abs(fundamental->phasor) <= kCancelled * fundamentalSum(entries)) {
            table.refusal = "The design has no fundamental to set to 0 degrees.";
            return table;
        }
        // x(theta + shift) moves order n by n x shift; the fundamental's phase becomes 0.
        table.shiftDegrees = wrapDegrees(-toDegrees(std::arg(fundamental->phasor)) - quarter);
        const double shift = table.shiftDegrees * pi() / 180.0;
        for (NumberPhasor& p : phasors) {
            p.phasor *= std::polar(1.0, static_cast<double>(p.number) * shift);
        }
    }
    for (const NumberPhasor& p : phasors) {
        TableRow row{p.number, std::abs(p.phasor), 0.0};
        if (p.number == 0.0F) {
            // A constant: only its real part is in the waveform, its sign the phase.
            const double level = p.phasor.real();
            row.percent = std::fabs(level);
            row.degrees = sine ? (level < 0.0 ? -90.0 : 90.0) : (level < 0.0 ? 180.0 : 0.0);
            if (request.reference == TableReference::Fundamental) {
                row.percent = level;  // n (theta + phase) is 0 for any phase
                row.degrees = 0.0;
            }
        } else if (row.percent > 0.0) {
            row.degrees = wrapDegrees(toDegrees(std::arg(p.phasor)) + quarter);
            if (request.reference == TableReference::Fundamental) {
                row.degrees /= static_cast<double>(p.number);
            }
        }
        table.rows.push_back(row);
    }
    return table;
}

std::string harmonicTableCsv(std::span<const TableRow> rows)
{
    std::string text = "order,percent,degrees\n";
    for (const TableRow& row : rows) {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, row.order);
        text.append(buffer, result.ptr);  // the shortest text that reads back as the float
        text += ',';
        appendTrimmed(text, row.percent);
        text += ',';
        appendTrimmed(text, row.degrees);
        text += '\n';
    }
    return text;
}

SaveResult saveHarmonicTable(const std::string& path, std::span<const HarmonicEntry> entries,
                             const SynthesisForm& form, const TableExport& request)
{
    HarmonicTableText table = harmonicTableRows(entries, form, request);
    if (!table.refusal.empty()) {
        return {SaveResult::Failure::Write, std::move(table.refusal)};
    }
    return saveFileAtomically(path, harmonicTableCsv(table.rows));
}

std::optional<SampleScale> sampleScaleNamed(std::string_view name)
{
    const auto found = std::find(kScaleNames.begin(), kScaleNames.end(), name);
    return found == kScaleNames.end()
               ? std::nullopt
               : std::optional(static_cast<SampleScale>(found - kScaleNames.begin()));
}

WaveformExport loadWaveformExport(const SettingsStore& store)
{
    WaveformExport request;
    request.points = readSetting(store, setting::exportPoints);
    request.cycles = readSetting(store, setting::exportCycles);
    request.scale = readSetting<SampleScale>(store, setting::exportScale);
    request.level = readSetting<VoltsLevel>(store, setting::exportLevel);
    const std::string volts = readSetting(store, setting::exportVolts);
    std::from_chars(volts.data(), volts.data() + volts.size(), request.volts);
    request.bits = readSetting(store, setting::exportBits);
    request.layout = readSetting<SampleLayout>(store, setting::exportLayout);
    // A damaged value anywhere: the defaults, which are within every limit.
    for (const SampleScale scale : {SampleScale::Volts, SampleScale::Codes}) {
        WaveformExport checked = request;
        checked.scale = scale;
        if (!waveformExportRefusal(checked).empty()) {
            return {};
        }
    }
    return request;
}

void storeWaveformExport(const WaveformExport& request, SettingsStore& store)
{
    writeSetting(store, setting::exportPoints, request.points);
    writeSetting(store, setting::exportCycles, request.cycles);
    writeSetting(store, setting::exportScale, request.scale);
    writeSetting(store, setting::exportLevel, request.level);
    char volts[32];
    const auto written = std::to_chars(volts, volts + sizeof volts, request.volts);
    writeSetting(store, setting::exportVolts, std::string_view(volts, written.ptr));
    writeSetting(store, setting::exportBits, request.bits);
    writeSetting(store, setting::exportLayout, request.layout);
}

TableExport loadTableExport(const SettingsStore& store)
{
    TableExport request;
    request.basis =
        readSetting(store, setting::tableBasis) == 0 ? TableBasis::Sine : TableBasis::Cosine;
    request.reference = readSetting(store, setting::tableReference) == 0
                            ? TableReference::Fundamental
                            : TableReference::Harmonic;
    request.zeroFundamentalPhase = readSetting(store, setting::tableZeroPhase) == 1;
    return request;
}

void storeTableExport(const TableExport& request, SettingsStore& store)
{
    writeSetting(store, setting::tableBasis, request.basis == TableBasis::Cosine ? 1 : 0);
    writeSetting(store, setting::tableReference,
                 request.reference == TableReference::Harmonic ? 1 : 0);
    writeSetting(store, setting::tableZeroPhase, request.zeroFundamentalPhase ? 1 : 0);
}
