#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "design/EntryLimits.h"
#include "engine/HarmonicTable.h"
#include "settings/WaveSettings.h"

class Design;

/** The textbook waveforms a design can start from. */
enum class Preset { Square, Triangle, Sawtooth };

/** The preset called name ("square", "triangle", "sawtooth"), or none. */
[[nodiscard]] std::optional<Preset> presetNamed(std::string_view name);

/** The lowest order a preset is made to: the fundamental alone. */
inline constexpr int kMinPresetOrder = 1;
/** Harmonics up to this order make a preset unless another is asked for. */
inline constexpr int kDefaultPresetOrder = 63;
/** The highest whole harmonic the table takes at any ppc: the last below the slot limit. */
inline constexpr int kMaxPresetOrder =
    static_cast<int>(kEnteredPpcRange.maximum) * kSlotLimit / kSlotGrid - 1;

/**
 * The preset's Fourier series up to harmonic order, in number order, for cosine harmonics
 * with harmonic phase reference. All three are sine series (a cosine at -90 degrees), so
 * each starts its cycle at zero, rising:
 * square: odd n, 100 / n %, -90 degrees;
 * triangle: odd n, 100 / n^2 %, -90 degrees for n = 1, 5, 9, ... and 90 for n = 3, 7, 11, ...
 * (the sine series' alternating signs);
 * sawtooth: every n, 100 / n %, -90 degrees.
 */
[[nodiscard]] std::vector<HarmonicEntry> presetEntries(Preset preset, int order);

/** The settings with the form the presets' phases are meant for: cosine, harmonic reference. */
[[nodiscard]] WaveSettings presetForm(WaveSettings settings);

/**
 * Replaces the design's table by the preset through Design::add, so entries beyond the
 * slot limit of the active ppc are left out as addHarmonic leaves them. Settings stay.
 */
void putPreset(Design& design, Preset preset, int order);
