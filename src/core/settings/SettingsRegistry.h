#pragma once

#include <array>
#include <cstddef>
#include <limits>
#include <span>
#include <string>
#include <string_view>

#include "settings/WaveSettings.h"

class SettingsStore;

// Every value the settings keep, with its key as stored, its type, its default and, where a
// stored value may be out of bounds, its range. Keys never change: a settings file written by
// an earlier release loads as it was written.

/** An integer; a stored value outside minimum..maximum reads as the default. */
struct IntSetting {
    std::string_view key;
    int fallback;
    int minimum = std::numeric_limits<int>::min();
    int maximum = std::numeric_limits<int>::max();
};

/** A text, stored as it is. */
struct TextSetting {
    std::string_view key;
    std::string_view fallback;
};

/**
 * One of a few names, stored as the name; read as its position in names (the order of the
 * enum it stands for), an unknown name as the default's.
 */
template <std::size_t N>
struct ChoiceSetting {
    std::string_view key;
    std::array<std::string_view, N> names;
    std::size_t fallback;
};

[[nodiscard]] int readSetting(const SettingsStore& store, const IntSetting& setting);
void writeSetting(SettingsStore& store, const IntSetting& setting, int value);
[[nodiscard]] std::string readSetting(const SettingsStore& store, const TextSetting& setting);
void writeSetting(SettingsStore& store, const TextSetting& setting, std::string_view value);
[[nodiscard]] std::size_t readChoiceIndex(const SettingsStore& store, std::string_view key,
                                          std::span<const std::string_view> names,
                                          std::size_t fallback);

/** The stored choice as its enum. */
template <typename Enum, std::size_t N>
[[nodiscard]] Enum readSetting(const SettingsStore& store, const ChoiceSetting<N>& setting)
{
    return static_cast<Enum>(readChoiceIndex(store, setting.key, setting.names, setting.fallback));
}

template <typename Enum, std::size_t N>
void writeSetting(SettingsStore& store, const ChoiceSetting<N>& setting, Enum value)
{
    writeSetting(store, TextSetting{setting.key, {}},
                 setting.names[static_cast<std::size_t>(value)]);
}

/** How the spectrum's values are drawn: percent of the fundamental, or dB relative to it. */
enum class SpectrumScale { Linear, Decibel };

namespace setting {

// The waveform settings (WaveSettings); flags are nonzero when set.
inline constexpr IntSetting displayCycles{"Display Cycles", kDefaultDisplayCycles, kMinCycles,
                                          kMaxCycles};
inline constexpr IntSetting fftCycles{"FFT Cycles", kDefaultFftCycles, kMinCycles, kMaxCycles};
inline constexpr IntSetting cosine{"Cosine", storedValue(WaveBasis::Cosine)};
inline constexpr IntSetting phaseReference{"PhaseReference", storedValue(PhaseReference::Harmonic)};
/** The display mode's stored value; one of no mode is kept as it is. */
inline constexpr IntSetting displayMode{"HarmIndex", storedValue(DisplayMode::Harmonics)};
/** The ppc's float bits, "0x%8.8lx". */
inline constexpr TextSetting ppc{"Ppc", ""};

// The program's own state.
/** FFTW's wisdom text. */
inline constexpr TextSetting wisdom{"Wisdom", ""};
/** 1 once the first run's plans were measured. */
inline constexpr IntSetting optimized{"Optimized", 0};
inline constexpr ChoiceSetting<2> spectrumScale{"Spectrum Scale", {"Linear", "dB"}, 0};
/** The main window's size, place and state: QWidget::saveGeometry's bytes in base64. */
inline constexpr TextSetting windowGeometry{"Window Geometry", ""};
/** The last files opened or saved, a line each, the most recent first. */
inline constexpr TextSetting recentFiles{"Recent Files", ""};

// The limit mask.
/** "" (none), a built-in mask's name, or "file" for the mask file below. */
inline constexpr TextSetting limitMask{"Limit Mask", ""};
/** The fundamental's RMS current a built-in mask was given, in A; "" when none. */
inline constexpr TextSetting limitMaskCurrent{"Limit Mask Current", ""};
inline constexpr TextSetting limitMaskFile{"Limit Mask File", ""};

// The exports for instruments, as last used; checked as a whole when read.
inline constexpr IntSetting exportPoints{"Export Points", 1024};
inline constexpr IntSetting exportCycles{"Export Cycles", 1};
/** In SampleScale's order; the names are also the command line's. */
inline constexpr ChoiceSetting<4> exportScale{
    "Export Scale", {"percent", "normalized", "volts", "codes"}, 0};
/** In VoltsLevel's order. */
inline constexpr ChoiceSetting<2> exportLevel{"Export Level", {"rms", "peak"}, 0};
/** The shortest text that reads back as the volts. */
inline constexpr TextSetting exportVolts{"Export Volts", "1"};
inline constexpr IntSetting exportBits{"Export Bits", 16};
/** In SampleLayout's order. */
inline constexpr ChoiceSetting<2> exportLayout{"Export Format", {"txt", "csv"}, 1};
/** Flags: cosine basis, the harmonic's own phase reference, the fundamental's phase at 0. */
inline constexpr IntSetting tableBasis{"Table Basis", 1};
inline constexpr IntSetting tableReference{"Table Reference", 1};
inline constexpr IntSetting tableZeroPhase{"Table Zero Phase", 0};

}  // namespace setting
