#include "files/WaveshapeFile.h"

#include <cmath>
#include <vector>

#include "engine/HarmonicTable.h"
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
    const auto binMagnitude = [bins](int k) {
        return std::sqrt(bins[2 * k] * bins[2 * k] + bins[2 * k + 1] * bins[2 * k + 1]);
    };
    const double reference = binMagnitude(fundamentalBin);
    if (!(reference > 0.0) || !std::isfinite(reference)) {
        return;  // a silent waveshape has no scale: no entries rather than infinities
    }
    const double scale = 100.0 / reference;
    const double radiansToDegrees = 180.0 / pi();
    for (int k = 0; k < n / 2; ++k) {
        double magnitude = scale * binMagnitude(k);
        if (k == 0) {
            magnitude *= 0.5;
        }
        const int phase =
            roundHalfAway(std::atan2(bins[2 * k + 1], bins[2 * k]) * radiansToDegrees);
        if (magnitude > 0.01 && std::isfinite(magnitude)) {
            target.harmonics().addHarmonic(
                static_cast<float>(static_cast<double>(k) / fundamentalBin),
                static_cast<float>(magnitude), phase);
        }
    }
}
