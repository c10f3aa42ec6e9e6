#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class SettingsStore;

/**
 * How the number column reads, with its stored value. A stored value of no mode shows
 * harmonic numbers and is kept as it was.
 */
enum class DisplayMode : int { Harmonics = 0, Hertz50 = 1, Hertz60 = 2 };
/** Whether each harmonic is a cosine or a sine; stored as 1 or 0. */
enum class WaveBasis : int { Sine = 0, Cosine = 1 };
/** Which period a harmonic's phase is measured in; stored as 1 or 0. */
enum class PhaseReference : int { Fundamental = 0, Harmonic = 1 };

/**
 * The most cycles the sample buffer holds and the resolution search covers. The limits of
 * every entered value are Design's (design/EntryLimits.h); this one is needed below it.
 */
inline constexpr int kMaxCycles = 12;
inline constexpr int kMinCycles = 1;
inline constexpr int kDefaultDisplayCycles = kMaxCycles;
inline constexpr int kDefaultFftCycles = 1;
inline constexpr float kDefaultPpc = 128.0F;

/** The six waveform settings. */
struct WaveSettings {
    int displayCycles = kDefaultDisplayCycles;  ///< cycles shown in the waveform chart
    int fftCycles = kDefaultFftCycles;          ///< cycles in the FFT window
    WaveBasis basis = WaveBasis::Cosine;
    PhaseReference phaseReference = PhaseReference::Harmonic;
    DisplayMode displayMode = DisplayMode::Harmonics;
    float ppc = kDefaultPpc;  ///< samples per fundamental cycle

    bool operator==(const WaveSettings&) const = default;
};

/** A stored flag: nonzero means set. */
[[nodiscard]] constexpr WaveBasis basisFromFlag(int flag)
{
    return flag != 0 ? WaveBasis::Cosine : WaveBasis::Sine;
}
[[nodiscard]] constexpr PhaseReference referenceFromFlag(int flag)
{
    return flag != 0 ? PhaseReference::Harmonic : PhaseReference::Fundamental;
}
/** The stored value of a setting kept as an enum. */
template <typename Enum>
[[nodiscard]] constexpr int storedValue(Enum value)
{
    return static_cast<int>(value);
}

/** "0x%8.8lx" of the float's 32 bits: 128.0 gives "0x43000000". */
[[nodiscard]] std::string formatPpcBits(float ppc);
/** The float whose bits "0x%lx" reads from text, or none when the text does not parse. */
[[nodiscard]] std::optional<float> parsePpcBits(std::string_view text);

/** Whether a display mode shows frequencies (50 or 60 Hz) rather than harmonic numbers. */
[[nodiscard]] bool showsHertz(DisplayMode mode);
/** The number-column multiplier (1, 50 or 60) of a display mode. */
[[nodiscard]] float frequencyMultiplierFor(DisplayMode mode);
/** The number-column heading ("Harmonic" or "Frequency") of a display mode. */
[[nodiscard]] std::string_view numberHeadingFor(DisplayMode mode);

/**
 * The persisted and the active copy of the settings, and the values derived from
 * the display mode.
 */
class SettingsModel {
public:
    WaveSettings preferences;
    WaveSettings activeSettings;

    /** Reads both copies from the store as stored; Design keeps them within its limits. */
    void loadSettings(const SettingsStore& store);
    /** Writes the persisted copy to the store (the active copy is never persisted). */
    void storeSettings(SettingsStore& store) const;
    /** Derives the multiplier and heading from a display mode. */
    void applyDisplayMode(DisplayMode mode);

    [[nodiscard]] float frequencyMultiplier() const { return m_frequencyMultiplier; }
    [[nodiscard]] std::string_view numberHeading() const { return m_numberHeading; }

private:
    float m_frequencyMultiplier = 1.0F;
    std::string_view m_numberHeading = "Harmonic";
};
