#pragma once

#include <optional>
#include <span>
#include <string>

#include "engine/HarmonicTable.h"

/** Whether number (a harmonic order) makes whole periods in cycles cycles: it has a bin. */
[[nodiscard]] bool liesOnBin(double number, int cycles);

/** The fewest FFT cycles, at most kMaxCycles, that give number a bin; none if none do. */
[[nodiscard]] std::optional<int> fewestCyclesResolving(double number);

/**
 * Names the entries that lie between the bins of an FFT window of fftCycles cycles (number x
 * fftCycles not whole), whose energy the figures then count under other bins, and the
 * smallest window of at most 12 cycles that puts every entry on a bin: "2.50 lies between FFT
 * bins: set FFT cycles to 2 to measure it". Empty when every entry lies on a bin.
 */
[[nodiscard]] std::string resolutionHint(std::span<const HarmonicEntry> entries, int fftCycles);
