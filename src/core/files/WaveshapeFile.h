#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "settings/WaveSettings.h"

class DocumentTarget;
class FftBuffer;
class HarmonicTable;

/** Sample lines per cycle block: trunc(ppc x 0.25), four samples a line. */
[[nodiscard]] int sampleLinesPerBlock(float ppc);

/**
 * The whole waveshape file: the settings line, then per displayed cycle a "!%d" marker and
 * its sample lines "%11.6lf, %11.6lf, %11.6lf, %11.6lf". The flags count as set only when 1.
 */
[[nodiscard]] std::string writeWaveshapeFile(const WaveSettings& active,
                                             const HarmonicTable& table);

/** Counts the samples one waveshape file has put into the sample buffer. */
struct SampleReader {
    std::size_t count = 0;
};

/**
 * Appends the numbers of one sample line to the buffer (up to its size): numbers separated
 * by any mix of blanks, tabs and commas; tokens that are not finite numbers are skipped.
 */
void readSampleLine(std::string_view line, SampleReader& reader, FftBuffer& buffer);

/**
 * Transforms the first trunc(fftCycles x ppc) samples with a one-shot plan and adds one
 * entry per bin above 0.01 % of the fundamental bin (the last bin excepted). A silent
 * fundamental bin, or no plan, adds nothing.
 */
void analyzeWaveshape(DocumentTarget& target);
