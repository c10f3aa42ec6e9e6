#pragma once

#include "settings/WaveSettings.h"

/**
 * What the x axes are measured in, as plain values of the active settings: the waveform in
 * cycles (milliseconds with a fundamental frequency), the spectrum in harmonic numbers (Hz).
 */
struct ChartAxes {
    double samplesPerCycle = 128.0;  ///< ppc: samples in one fundamental cycle
    int fftCycles = 1;               ///< cycles in the FFT window: bins per harmonic
    double fundamentalHz = 0.0;      ///< 50 or 60 in frequency mode; 0: cycles and harmonics

    bool operator==(const ChartAxes&) const = default;
};

/** The axes the charts of these settings are drawn with. */
[[nodiscard]] inline ChartAxes chartAxesFor(const WaveSettings& active)
{
    const DisplayMode mode = active.displayMode;
    return ChartAxes{active.ppc, active.fftCycles,
                     showsHertz(mode) ? frequencyMultiplierFor(mode) : 0.0};
}
