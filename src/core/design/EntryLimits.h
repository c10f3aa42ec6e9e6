#pragma once

#include <optional>

#include "settings/WaveSettings.h"

/**
 * Every limit an entered or loaded value must keep. The dialogs and the command-line tool
 * read their ranges from here; Design refuses what breaks them and says which field.
 */

/** A closed range of entered values; a NaN lies outside every range. */
template <typename T>
struct EntryRange {
    T minimum;
    T maximum;

    [[nodiscard]] constexpr bool contains(T value) const
    {
        return value >= minimum && value <= maximum;
    }
};

/** Cycles in the waveform chart and in the FFT window (the buffer holds kMaxCycles). */
inline constexpr EntryRange<int> kCyclesRange{kMinCycles, kMaxCycles};
/** Samples per cycle that a user may enter. */
inline constexpr EntryRange<float> kEnteredPpcRange{25.0F, 512.0F};
/** A store or a file may hold any ppc above this, up to the entered maximum. */
inline constexpr float kAcceptedPpcAbove = 24.0F;
/** The lowest harmonic number; the highest follows the slot limit (Design::numberRange). */
inline constexpr float kMinHarmonicNumber = 0.0F;
/** Magnitude in percent of the fundamental. */
inline constexpr EntryRange<float> kMagnitudeRange{0.0F, 100.0F};
/** Phase in degrees. */
inline constexpr EntryRange<int> kPhaseRange{-180, 180};

/** Whether a samples-per-cycle value may be taken from a store or a file: 24 < ppc <= 512. */
[[nodiscard]] constexpr bool isAcceptedPpc(float ppc)
{
    // Written so that a NaN fails.
    return ppc > kAcceptedPpcAbove && ppc <= kEnteredPpcRange.maximum;
}

/** Whether settings from a store or a file may be taken: both cycle counts and ppc. */
[[nodiscard]] constexpr bool isAcceptedForm(const WaveSettings& settings)
{
    return kCyclesRange.contains(settings.displayCycles) &&
           kCyclesRange.contains(settings.fftCycles) && isAcceptedPpc(settings.ppc);
}

/** Loaded settings with a ppc outside its limits replaced by the default. */
[[nodiscard]] WaveSettings withinLimits(WaveSettings loaded);

/** The fields an entry is checked in, in the order the dialogs check them. */
enum class EntryField { FftCycles, DisplayCycles, Ppc, Number, Magnitude, Phase };

/**
 * Why Design refused an entry: the field at fault and the range it must lie in, or that
 * the number is in the table already.
 */
struct EntryRefusal {
    EntryField field = EntryField::Number;
    double minimum = 0.0;
    double maximum = 0.0;
    bool present = false;  ///< the harmonic number is taken (no range is broken)
};

/** A command's answer to an entry: taken (true), or the first field it refused. */
struct EntryCheck {
    std::optional<EntryRefusal> refusal;

    explicit operator bool() const { return !refusal; }
};

/** The refusal when value lies outside range, else none. */
template <typename T>
[[nodiscard]] std::optional<EntryRefusal> refusalOutside(EntryField field, EntryRange<T> range,
                                                         T value)
{
    if (range.contains(value)) {
        return std::nullopt;
    }
    return EntryRefusal{field, static_cast<double>(range.minimum),
                        static_cast<double>(range.maximum), false};
}
