#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/WaveSettings.h"

class DocumentTarget;
class HarmonicTable;

/** Line end of every written line: CR LF, which every reader of the formats takes. */
inline constexpr std::string_view kLineEnd = "\r\n";

/**
 * The settings that one file's settings lines build up; a line converts into it field by
 * field whether or not it is then applied.
 */
struct PendingSettings {
    std::optional<int> fftCycles;
    std::optional<int> displayCycles;
    int cosine = 0;
    int phaseReference = 0;
    float ppc = kDefaultPpc;
};

/** ":%d %d %d %d %f" of fftCycles, displayCycles, cosine, phaseReference, ppc, with line end. */
[[nodiscard]] std::string settingsLineText(const WaveSettings& settings);

/** The settings line's five values after ';', with "\n": the first line of a samples CSV. */
[[nodiscard]] std::string settingsCommentText(const WaveSettings& settings);

/** The whole coefficient file: the settings line, then "%g %f %d" per entry in table order. */
[[nodiscard]] std::string writeCoefficientFile(const WaveSettings& active,
                                               const HarmonicTable& table);

/**
 * Parses a settings line (starting with ':') into pending and, when it holds both cycle
 * counts, hands the target new active settings: cycle counts, ppc and the flags (low 8
 * bits, then 0 or 1). Returns whether the target took them.
 */
bool applySettingsLine(std::string_view line, PendingSettings& pending, DocumentTarget& target);

/**
 * Parses "%f %f %d"; adds the entry when 0 <= number < 256 and the magnitude is finite and
 * not negative, with the phase brought into -180 to 180. Returns whether it was accepted
 * (the table's slot limit may still drop it).
 */
bool readHarmonicLine(std::string_view line, HarmonicTable& table);

/** Brings a phase into -180 to 180 without overflow: -181 gives 179, 540 gives 180. */
[[nodiscard]] int normalizePhase(int phase);
