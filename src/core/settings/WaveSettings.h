#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class SettingsStore;

/** The six waveform settings. The flags are ints, as stored; nonzero means set. */
struct WaveSettings {
    int displayCycles = 12;  ///< cycles shown in the waveform chart, 1 to 12
    int fftCycles = 1;       ///< cycles in the FFT window, 1 to 12
    int cosine = 1;          ///< nonzero: harmonics are cosines; zero: sines
    int phaseReference = 1;  ///< nonzero: phase in the harmonic's own period
    int harmIndex = 0;       ///< 1: 50 Hz display, 2: 60 Hz display, else harmonic numbers
    float ppc = 128.0F;      ///< samples per fundamental cycle, above 24 and at most 512

    bool operator==(const WaveSettings&) const = default;
};

namespace settings_names {
inline constexpr std::string_view displayCycles = "Display Cycles";
inline constexpr std::string_view fftCycles = "FFT Cycles";
inline constexpr std::string_view cosine = "Cosine";
inline constexpr std::string_view phaseReference = "PhaseReference";
inline constexpr std::string_view harmIndex = "HarmIndex";
inline constexpr std::string_view ppc = "Ppc";
inline constexpr std::string_view wisdom = "Wisdom";
inline constexpr std::string_view optimized = "Optimized";
/** The spectrum chart's scale: "Linear" or "dB". */
inline constexpr std::string_view spectrumScale = "Spectrum Scale";
/** The main window's size, place and state: QWidget::saveGeometry's bytes in base64. */
inline constexpr std::string_view windowGeometry = "Window Geometry";
}  // namespace settings_names

inline constexpr int kMinCycles = 1;
inline constexpr int kMaxCycles = 12;
inline constexpr float kDefaultPpc = 128.0F;
/** Samples per cycle that a user may enter; stores and files may hold any above 24. */
inline constexpr float kMinEnteredPpc = 25.0F;
inline constexpr float kMaxPpc = 512.0F;

/** Whether a samples-per-cycle value may be taken from a store or a file: 24 < ppc <= 512. */
[[nodiscard]] bool isAcceptedPpc(float ppc);
/** Whether a cycle count lies within 1 to 12. */
[[nodiscard]] bool isAcceptedCycles(int cycles);

/** "0x%8.8lx" of the float's 32 bits: 128.0 gives "0x43000000". */
[[nodiscard]] std::string formatPpcBits(float ppc);
/** The float whose bits "0x%lx" reads from text, or none when the text does not parse. */
[[nodiscard]] std::optional<float> parsePpcBits(std::string_view text);

/** Table slots per harmonic: trunc(65536 / ppc) in single precision. */
[[nodiscard]] int slotsPerHarmonicFor(float ppc);

/** The number-column multiplier (1, 50 or 60) of a display mode. */
[[nodiscard]] float frequencyMultiplierFor(int harmIndex);
/** The number-column heading ("Harmonic" or "Frequency") of a display mode. */
[[nodiscard]] std::string_view numberHeadingFor(int harmIndex);

/**
 * The persisted and the active copy of the settings, and the values derived from
 * the display mode.
 */
class SettingsModel {
public:
    WaveSettings preferences;
    WaveSettings activeSettings;

    /** Reads both copies from the store; damaged values fall back to their defaults. */
    void LoadSettings(const SettingsStore& store);
    /** Writes the persisted copy to the store (the active copy is never persisted). */
    void StoreSettings(SettingsStore& store) const;
    /** Derives the multiplier and heading from a display mode. */
    void ApplyDisplayMode(int harmIndex);

    [[nodiscard]] float frequencyMultiplier() const { return m_frequencyMultiplier; }
    [[nodiscard]] std::string_view numberHeading() const { return m_numberHeading; }

private:
    float m_frequencyMultiplier = 1.0F;
    std::string_view m_numberHeading = "Harmonic";
};
