#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/StatisticRule.h"

/** One order's limit in percent of the fundamental (or in the table's own unit, before scaling). */
struct OrderLimit {
    double order = 0.0;
    double limit = 0.0;
};

/** A limit on the THD counted over the whole orders 2 to highestOrder. */
struct ThdLimit {
    double limit = 0.0;
    int highestOrder = 0;
    bool demand = false;  ///< a TDD: the harmonic current over the demand current I_L
};

/** The unit a table states its limits in, and so the unit its levels are printed in. */
enum class LimitUnit { Percent, Amperes, PercentOfDemand };

/** How a unit is written after a number: "%", "A", "% of I_L". */
[[nodiscard]] const char* unitSymbol(LimitUnit unit);

/** Limits a standard sets on a waveform's lines, in percent of the fundamental. */
struct LimitMask {
    std::string name;                ///< as the command line names it: "en50160"
    std::string title;               ///< as the window and verdicts name it: "EN 50160"
    std::vector<OrderLimit> orders;  ///< ascending, each order once
    std::optional<ThdLimit> thd;
    LimitUnit unit = LimitUnit::Percent;
    /** I1 in A, where the table needs it; the limits are then already scaled to percent. */
    std::optional<double> fundamentalRms;
    std::optional<double> demandCurrent;  ///< I_L in A, for a table in percent of it
    /** IEC 61000-3-2's rule: lines below 0.6 % of the input current or 5 mA are disregarded. */
    bool disregardsSmallLines = false;
    /**
     * How a recording is judged against it: every rule must hold; none for a table of
     * equipment emission, which judges equipment under test rather than a supply.
     */
    std::vector<StatisticRule> recordingRules;

    /** A level or limit in percent of the fundamental, in the table's own unit. */
    [[nodiscard]] double inUnit(double percent) const;
};

/** The highest order the standards' tables limit and IEC 61000-4-7 groups. */
inline constexpr int kHighestOrder = 50;

/**
 * The fundamental's RMS current that scales a mask in amperes: IEC 61000-3-2 covers equipment
 * of up to 16 A a phase, and below 10 mA its limits mean nothing.
 */
inline constexpr double kMinFundamentalRms = 0.01;
inline constexpr double kMaxFundamentalRms = 16.0;

/** The input power, in W, of the equipment IEC 61000-3-2's class D covers. */
inline constexpr double kLeastClassDPower = 75.0;
inline constexpr double kMostClassDPower = 600.0;

/** What a built-in table may need besides the design. */
struct MaskParameters {
    // Initialized, so that a parameter list may name only the members it sets.
    std::optional<double> fundamentalRms{};  ///< I1, A
    std::optional<double> powerFactor{};     ///< lambda, IEC 61000-3-2 class C
    std::optional<double> power{};           ///< W, IEC 61000-3-2 class D
    std::optional<double> iscIl{};           ///< short-circuit ratio, IEEE 519 current
    std::optional<double> demandCurrent{};   ///< I_L, A, IEEE 519 current
    std::optional<int> edition{};            ///< IEEE 519's year: 2014 or 2022

    bool operator==(const MaskParameters&) const = default;
};

/** A parameter of MaskParameters, with the range it takes. */
enum class MaskParameter { FundamentalRms, PowerFactor, Power, IscIl, DemandCurrent, Edition };

/** A built-in mask as menus and lists show it. */
struct BuiltInMask {
    std::string name;
    std::string title;
    std::vector<MaskParameter> parameters;  ///< those it needs (an edition may be left out)
    /** The table before its parameters: limits in its own unit, formulas where they depend. */
    LimitMask table;
    std::string formulas;   ///< how the parameters enter, for the list; empty when they do not
    std::string tableUnit;  ///< the bare table's unit where it is not the mask's ("mA/W")
};

/** The masks Korvalin knows, in menu order. */
[[nodiscard]] const std::vector<BuiltInMask>& builtInMasks();

/** The parameter's name as sentences use it: "the power factor". */
[[nodiscard]] std::string parameterName(MaskParameter parameter);

/** A mask ready to check against, or why there is none. */
struct MaskChoice {
    std::optional<LimitMask> mask;
    std::string error;
};

/**
 * The built-in mask of that name with its parameters applied, in percent of the fundamental;
 * a parameter it needs and lacks, one out of its range or one it does not take is refused.
 */
[[nodiscard]] MaskChoice builtInMask(std::string_view name, const MaskParameters& parameters);
