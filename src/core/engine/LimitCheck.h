#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/CheckMeasurement.h"
#include "engine/HarmonicGroups.h"
#include "engine/LimitTables.h"

/** How one limit fared; a disregarded line passes (IEC 61000-3-2's small lines). */
enum class LimitStatus { Pass, Over, Unresolved, Disregarded };

/** One order of a mask against the design's level there. */
struct OrderCheck {
    double order = 0.0;
    double level = 0.0;  ///< in percent of the fundamental (0 when unresolved)
    double limit = 0.0;
    LimitStatus status = LimitStatus::Pass;
    /** Measured in the display's window: the fewest FFT cycles up to 12 that resolve it. */
    std::optional<int> resolvingCycles;
};

/** The mask's THD (or TDD) limit against the design. */
struct ThdCheck {
    ThdLimit limit;
    double level = 0.0;
    LimitStatus status = LimitStatus::Pass;
};

/** What the limits do not cover, worded by noteText only when a report is written. */
struct CheckNote {
    enum class Kind { Dc, Entry, Leakage, AboveWindow, Disregarded };
    Kind kind = Kind::Entry;
    double order = 0.0;  ///< the entry's order; of Disregarded, how many orders
    double level = 0.0;  ///< percent of the fundamental; of Disregarded, the input current in A
    std::optional<Subgroup> subgroup{};  ///< where an analyser's measurement counts the entry
    bool covered = false;                ///< a limit of the mask covers it
};

/** A whole mask against one measured design. */
struct MaskCheck {
    std::string title;
    std::string measurement;  ///< how the design was measured, as the report's first line says
    LimitMask units;          ///< the mask's unit and currents, without its limits
    std::vector<OrderCheck> orders;
    std::optional<ThdCheck> thd;
    CheckMeasure kind = CheckMeasure::Iec;  ///< of the measurement
    int cycles = 0;                         ///< in its window
    double fundamentalHz = 0.0;
    /** What the limits do not cover: interharmonic entries, DC, leakage, disregarded lines. */
    std::vector<CheckNote> notes;
    std::string refusal;  ///< why nothing could be checked; empty when the check was made

    [[nodiscard]] int count(LimitStatus status) const;
    /** Every limit met and every order measured. */
    [[nodiscard]] bool passed() const;
};

/** One limit of a mask over a spectrum, where a chart draws it. */
struct LimitLine {
    double key = 0.0;    ///< the order's bin: order x FFT cycles
    double limit = 0.0;  ///< percent of the fundamental
    bool over = false;   ///< the line there exceeds its limit
};

/** The limits of a checked mask over a spectrum of fftCycles bins a harmonic. */
[[nodiscard]] std::vector<LimitLine> limitLines(const MaskCheck& check, int fftCycles);

/**
 * Checks a measured design against mask. Measured as IEC 61000-4-7 does, each order goes by
 * the subgroup that holds it and THD by the subgroups; in the display's window, each order by
 * its own line, and an order off the lines is unresolved: an error, never a pass. An order
 * above the window is unresolved either way; a level equal to its limit passes.
 */
[[nodiscard]] MaskCheck checkMask(const LimitMask& mask, const CheckMeasurement& measurement);

/**
 * Checks levels measured otherwise (a recording's statistics, in percent of the fundamental):
 * levelAt gives an order's level, none where it was not measured (unresolved), and thd the
 * THD to the mask's highest order.
 */
[[nodiscard]] MaskCheck checkLevels(
    const LimitMask& mask, std::string measurement,
    const std::function<std::optional<double>(double order)>& levelAt, std::optional<double> thd);

/** level / limit in percent; 0 for a zero limit met by a zero level, else infinite. */
[[nodiscard]] double shareOfLimit(double level, double limit);

/** A status as reports write it: "pass", "over", "disregarded", "unresolved". */
[[nodiscard]] const char* statusName(LimitStatus status);

/** An order as verdicts name it: "h5", "h2.5". */
[[nodiscard]] std::string orderName(double order);

/** "THD₄₀" for a THD counted to order 40, "TDD" for one against the demand current. */
[[nodiscard]] std::string thdName(const ThdLimit& limit);

/**
 * A level beside its limit as a failing line prints them, in the mask's unit: decimals enough
 * that the two never read alike ("0.461 % > 0.46 %"), amperes beside percent ("2.41 A
 * (24.1 %) > 2.3 A").
 */
[[nodiscard]] std::string exceededText(const MaskCheck& check, double level, double limit);

/**
 * The one line under the figures: "EN 50160: pass, closest h5 at 83 % of its limit", or
 * "EN 50160: 2 exceeded: h5 7.20 % > 6 %, THD₄₀ 9.10 % > 8 %".
 */
[[nodiscard]] std::string verdictLine(const MaskCheck& check);

/**
 * The whole report: the measurement, the mask, a table row per order and THD, the notes,
 * then the verdict line.
 */
[[nodiscard]] std::string checkReport(const MaskCheck& check);

/** Fixed decimals with no "-0.00": a value that rounds to zero is written unsigned. */
[[nodiscard]] std::string fixedText(double value, int decimals);

/** A note as the report words it: "DC 10.00 %: EN 50160 sets no limit". */
[[nodiscard]] std::string noteText(const MaskCheck& check, const CheckNote& note);

/** The decimals that tell level from limit apart in print, from fewest up. */
[[nodiscard]] int decimalsTelling(double level, double limit, int fewest);
