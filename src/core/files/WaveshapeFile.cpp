#include "files/WaveshapeFile.h"

#include <cmath>
#include <vector>

#include "engine/HarmonicTable.h"
#include "engine/Recalculate.h"
#include "engine/Synthesis.h"
#include "fft/FftBuffer.h"
#include "files/CoefficientFile.h"
#include "files/DocumentTarget.h"
#include "files/ScanNumbers.h"
#include "numbers/Arithmetic.h"
#include "numbers/NumberText.h"

int sampleLinesPerBlock(float ppc)
{
    return static_cast<int>(static_cast<double>(ppc) * 0.25);
}

std::string writeWaveshapeFile(const WaveSettings& active, const HarmonicTable& table)
{
    const int linesPerBlock = sampleLinesPerBlock(active.ppc);
    const int blocks = active.displayCycles;
    std::vector<double> samples(static_cast<std::size_t>(std::max(blocks, 0)) *
                                static_cast<std::size_t>(std::max(linesPerBlock, 0)) * 4);
    const SynthesisForm form = synthesisFormOf(active);
    synthesizeDirect(table.entries(), form, samples);

    std::string text = settingsLineText(active);
    text.reserve(text.size() + samples.size() * 13 + static_cast<std::size_t>(blocks) * 6);
    std::size_t next = 0;
    for (int block = 1; block <= blocks; ++block) {
        text += '!';
        text += formatInt(block);
        text += kLineEnd;
        for (int line = 0; line < linesPerBlock; ++line) {
            for (int column = 0; column < 4; ++column) {
                if (column > 0) {
                    text += ", ";
                }
                appendFixed(text, samples[next++], 11, 6);
            }
            text += kLineEnd;
        }
    }
    return text;
}

namespace {

bool isSampleSeparator(char c)
{
    return c == ',' || isScanSpace(c);
}

}  // namespace

void readSampleLine(std::string_view line, SampleReader& reader, FftBuffer& buffer)
{
    LineScanner scan(line);
    while (reader.count < buffer.size()) {
        while (!scan.atEnd() && isSampleSeparator(scan.peek())) {
            scan.setPosition(scan.position() + 1);
        }
        if (scan.atEnd()) {
            return;
        }
        const std::size_t start = scan.position();
        const auto value = scan.convertDoubleHere();
        if (!value) {
            // Not a number: skip the token, so that no input can stall the reader.
            std::size_t pos = start;
            while (pos < line.size() && !isSampleSeparator(line[pos])) {
                ++pos;
            }
            scan.setPosition(pos);
        } else if (std::isfinite(*value)) {
            buffer[reader.count++] = *value;
        }
    }
}

void analyzeWaveshape(DocumentTarget& target)
{
    const WaveSettings& active = target.activeSettings();
    FftBuffer& samples = target.sampleBuffer();
    // No + 0.5 here, unlike the recalculation's transform size.
    const int n = static_cast<int>(active.fftCycles * static_cast<double>(active.ppc));
    const int fundamentalBin = active.fftCycles;
    if (n <= 0 || static_cast<std::size_t>(2 * (n / 2 + 1)) > samples.size() ||
        fundamentalBin > n / 2) {
        return;
    }
    FftPlan plan = target.waveshapePlan(n);
    if (plan.empty()) {
        return;
    }
    plan.executeForwardInPlace(samples);
    plan.reset();

    const double* bins = samples.data();
    const double reference = std::sqrt(bins[2 * fundamentalBin] * bins[2 * fundamentalBin] +
                                       bins[2 * fundamentalBin + 1] * bins[2 * fundamentalBin + 1]);
    if (!(reference > 0.0) || !std::isfinite(reference)) {
        return;  // a silent waveshape has no scale: no entries rather than infinities
    }
    // The bin at half the sampling rate is no entry.
    std::vector<double> lines;
    linesInPercentOf(bins, n / 2, reference, false, lines);
    forEachListedLine(lines, [&](int k, double magnitude) {
        if (std::isfinite(magnitude)) {
            target.harmonics().addHarmonic(
                static_cast<float>(static_cast<double>(k) / fundamentalBin),
                static_cast<float>(magnitude), roundHalfAway(binPhaseDegrees(bins, k)));
        }
    });
}
