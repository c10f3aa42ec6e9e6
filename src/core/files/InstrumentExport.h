#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/HarmonicTable.h"
#include "engine/Synthesis.h"
#include "engine/TimeSynthesis.h"
#include "files/DocumentWriter.h"
#include "settings/SettingsRegistry.h"
#include "settings/WaveSettings.h"

class SettingsStore;

// Exports for instruments: a waveform at a fixed number of points per cycle, and the
// harmonic table in the basis and phase reference an instrument expects.

inline constexpr int kMinExportPoints = 8;
inline constexpr int kMaxExportPoints = 1048576;
inline constexpr int kMinExportCycles = 1;
inline constexpr int kMaxExportCycles = 1000;
inline constexpr int kMinCodeBits = 8;
inline constexpr int kMaxCodeBits = 24;
inline constexpr double kMinExportVolts = 1e-6;
inline constexpr double kMaxExportVolts = 1e6;

/** What a sample's value is. */
enum class SampleScale { Percent, Normalized, Volts, Codes };
/** Which level of the whole waveform the volts set. */
enum class VoltsLevel { Rms, Peak };
/** .txt (one value a line) or .csv (settings comment, index,value). */
enum class SampleLayout { Text, Csv };

/** One waveform export: points per cycle, cycles, scale and layout. */
struct WaveformExport {
    int points = setting::exportPoints.fallback;
    int cycles = setting::exportCycles.fallback;
    SampleScale scale = static_cast<SampleScale>(setting::exportScale.fallback);
    VoltsLevel level = static_cast<VoltsLevel>(setting::exportLevel.fallback);
    double volts = 1.0;  // as setting::exportVolts reads
    int bits = setting::exportBits.fallback;
    SampleLayout layout = static_cast<SampleLayout>(setting::exportLayout.fallback);
};

/** A waveform's peak |sample| and RMS, in percent. */
struct SampleLevels {
    double peak = 0.0;
    double rms = 0.0;
};

/** Fills out with samples first to first + out.size() - 1, in percent. */
using SampleSource = std::function<void(std::int64_t first, std::span<double> out)>;

/**
 * The levels of total samples of source, made block by block into block (its size the
 * block's), the first pass of every export that scales to them; none when progress (told the
 * samples measured so far after each block) returns false.
 */
[[nodiscard]] std::optional<SampleLevels> measureLevels(
    const SampleSource& source, std::int64_t total, std::span<double> block,
    const std::function<bool(std::int64_t)>& progress = {});

/** The scale named percent, normalized, volts or codes; none for any other name. */
[[nodiscard]] std::optional<SampleScale> sampleScaleNamed(std::string_view name);

/** Why the request is out of its limits, as one sentence; empty when it is not. */
[[nodiscard]] std::string waveformExportRefusal(const WaveformExport& request);

/**
 * Why an instrument playing the design at points per cycle would alias it: its highest order
 * lies at or above half the points. Empty when every order lies below.
 */
[[nodiscard]] std::string aliasingRefusal(std::span<const HarmonicEntry> entries, int points);

/**
 * The design at points per cycle: sample i at theta = 2 pi i / points, by the engine's time
 * synthesis (fractional numbers run on across cycles exactly as in time), in percent.
 */
class CycleSampler {
public:
    CycleSampler(std::span<const HarmonicEntry> entries, const SynthesisForm& form, int points)
        : m_time(entries, form, 1.0, points)
    {}
    /** Samples first to first + out.size() - 1; cheapest in order. */
    void fill(std::int64_t first, std::span<double> out) { m_time.fill(first, out); }

private:
    TimeSynthesizer m_time;
};

/** cycles x points samples of the design in percent, as CycleSampler makes them. */
[[nodiscard]] std::vector<double> sampleCycles(std::span<const HarmonicEntry> entries,
                                               const SynthesisForm& form, int points, int cycles);

/** The settings a .csv export's comment carries: its points as ppc, its cycles displayed. */
[[nodiscard]] WaveSettings exportedSettings(WaveSettings active, const WaveformExport& request);

/**
 * What a .csv export's first line says: the exported settings, which the readers apply, or
 * (when the readers would refuse those) the layout in words, a line they skip.
 */
enum class ExportComment { Settings, Layout };

/**
 * Writes the waveform to path through the atomic save: each sample scaled as the request
 * says (normalized: peak 1; volts: the whole waveform's RMS or peak; codes: the peak at
 * 2^(bits-1) - 1, rounded), after the comment and "index,value" for a .csv. A request out
 * of its limits, a flat waveform under any scale but percent, and a file the readers would
 * refuse for its size are refused with the reason.
 */
[[nodiscard]] SaveResult saveWaveform(const std::string& path,
                                      std::span<const HarmonicEntry> entries,
                                      const WaveSettings& active, const WaveformExport& request,
                                      ExportComment comment = ExportComment::Settings);

/** The series a harmonic table is written as. */
enum class TableBasis { Sine, Cosine };
/** Degrees of each harmonic's own cycle, or of the fundamental's (a harmonic n moves n x). */
enum class TableReference { Harmonic, Fundamental };

struct TableExport {
    TableBasis basis = TableBasis::Cosine;
    TableReference reference = TableReference::Harmonic;
    bool zeroFundamentalPhase = false;
};

/** One line of a harmonic table: order, magnitude in percent, phase in degrees. */
struct TableRow {
    float order;
    double percent;
    double degrees;
};

struct HarmonicTableText {
    std::vector<TableRow> rows;
    /** The waveform starts this many degrees of the fundamental later than the design's. */
    double shiftDegrees = 0.0;
    std::string refusal;  ///< when not empty, there is no table
};

/**
 * The design as one row per distinct order (entries with one number summed), magnitudes in
 * percent of a full-scale fundamental as the design has them, phases within -180 to 180 in
 * the basis and reference asked for; under the fundamental reference an order n gets its
 * phase / n. Each row rebuilds its part of the waveform by the table's formula, P cos(n theta
 * + phase) (or sin) under the harmonic reference, P cos(n (theta + phase)) under the
 * fundamental's: order 0 keeps its sign as 0 or 180 degrees (cosine), 90 or -90 (sine) under
 * the harmonic reference, and as a signed percent at 0 degrees under the fundamental's, where
 * no phase moves it. With zeroFundamentalPhase, time is shifted so that the fundamental
 * (order 1) is at 0 degrees; refused when there is none or its entries cancel.
 */
[[nodiscard]] HarmonicTableText harmonicTableRows(std::span<const HarmonicEntry> entries,
                                                  const SynthesisForm& form,
                                                  const TableExport& request);

/** "order,percent,degrees" and one line per row. */
[[nodiscard]] std::string harmonicTableCsv(std::span<const TableRow> rows);

/** Writes the table's CSV to path through the atomic save; a design without rows is written. */
[[nodiscard]] SaveResult saveHarmonicTable(const std::string& path,
                                           std::span<const HarmonicEntry> entries,
                                           const SynthesisForm& form, const TableExport& request);

/** The last export choices of the window, from the store (defaults where absent or damaged). */
[[nodiscard]] WaveformExport loadWaveformExport(const SettingsStore& store);
void storeWaveformExport(const WaveformExport& request, SettingsStore& store);
[[nodiscard]] TableExport loadTableExport(const SettingsStore& store);
void storeTableExport(const TableExport& request, SettingsStore& store);
