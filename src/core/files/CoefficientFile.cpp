#include "files/CoefficientFile.h"

#include <cmath>
#include <cstdint>

#include "engine/HarmonicTable.h"
#include "files/DocumentTarget.h"
#include "files/ScanNumbers.h"
#include "numbers/NumberText.h"

std::string settingsLineText(const WaveSettings& settings)
{
    std::string line = ":";
    line += formatInt(settings.fftCycles);
    line += ' ';
    line += formatInt(settings.displayCycles);
    line += ' ';
    line += formatInt(storedValue(settings.basis));
    line += ' ';
    line += formatInt(storedValue(settings.phaseReference));
    line += ' ';
    line += formatFixed(static_cast<double>(settings.ppc), 6);
    line += kLineEnd;
    return line;
}

std::string settingsCommentText(const WaveSettings& settings)
{
    std::string line = settingsLineText(settings);
    line.front() = ';';
    line.resize(line.size() - kLineEnd.size());
    return line + '\n';
}

std::string writeCoefficientFile(const WaveSettings& active, const HarmonicTable& table)
{
    std::string text = settingsLineText(active);
    for (const HarmonicEntry& e : table.entries()) {
        text += formatGeneral(static_cast<double>(e.number));
        text += ' ';
        text += formatFixed(static_cast<double>(e.magnitude), 6);
        text += ' ';
        text += formatInt(e.phase);
        text += kLineEnd;
    }
    return text;
}

namespace {

/** Flags keep their low 8 bits, as stored, and are then normalized to 0 or 1. */
int flagFromFile(int value)
{
    return (static_cast<unsigned>(value) & 0xffU) != 0 ? 1 : 0;
}

}  // namespace

bool applySettingsLine(std::string_view line, PendingSettings& pending, DocumentTarget& target)
{
    LineScanner scan(line);
    if (scan.atEnd() || scan.peek() != ':') {
        return false;
    }
    scan.setPosition(1);
    // scanf stops at the first field that does not convert; each converted one counts.
    std::optional<int> fields[4];
    int converted = 0;
    while (converted < 4 && (fields[converted] = scan.scanInt())) {
        ++converted;
    }
    const std::optional<float> ppc = converted == 4 ? scan.scanFloat() : std::nullopt;
    if (fields[0]) {
        pending.fftCycles = fields[0];
    }
    if (fields[1]) {
        pending.displayCycles = fields[1];
    }
    if (fields[2]) {
        pending.cosine = *fields[2];
    }
    pending.phaseReference = fields[3].value_or(0);
    pending.ppc = ppc.value_or(kDefaultPpc);

    if (!pending.fftCycles || !pending.displayCycles) {
        return false;
    }
    WaveSettings active = target.activeSettings();
    active.fftCycles = *pending.fftCycles;
    active.displayCycles = *pending.displayCycles;
    active.ppc = pending.ppc;
    active.basis = basisFromFlag(flagFromFile(pending.cosine));
    active.phaseReference = referenceFromFlag(flagFromFile(pending.phaseReference));
    return target.takeActiveSettings(active);  // the target refuses counts or ppc out of limits
}

int normalizePhase(int phase)
{
    // Unsigned 32-bit arithmetic, so that no value overflows on the way.
    auto p = static_cast<std::uint32_t>(phase);
    if (phase < -180) {
        p += 360U * ((179U - p) / 360U);
    } else if (phase > 180) {
        p -= 360U * ((p + 179U) / 360U);
    }
    return static_cast<int>(p);
}

bool readHarmonicLine(std::string_view line, HarmonicTable& table)
{
    LineScanner scan(line);
    const auto number = scan.scanFloat();
    if (!number) {
        return false;
    }
    const auto magnitude = scan.scanFloat();
    if (!magnitude) {
        return false;
    }
    const auto phase = scan.scanInt();
    if (!phase) {
        return false;
    }
    // Every entry the writer writes comes back: DC terms, 0 % entries and the >100 %
    // entries of an analyzed waveshape. "!(x >= 0)" also refuses NaN.
    if (!(*number >= 0.0F && *number < 256.0F) || !(*magnitude >= 0.0F) ||
        !std::isfinite(*magnitude)) {
        return false;
    }
    // + 0.0F turns a negative zero into zero, so it never shows as "-0.00".
    table.addHarmonic(*number + 0.0F, *magnitude + 0.0F, normalizePhase(*phase));
    return true;
}
