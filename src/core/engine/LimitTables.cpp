#include "engine/LimitTables.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>

#include "engine/PowerQuality.h"
#include "numbers/NumberText.h"

namespace {

constexpr double kPercent = 100.0;
constexpr double kMilli = 1e-3;

std::vector<OrderLimit> listed(std::initializer_list<OrderLimit> limits)
{
    return std::vector<OrderLimit>(limits);
}

LimitMask tableOf(std::string name, std::string title, std::vector<OrderLimit> orders,
                  std::optional<ThdLimit> thd = std::nullopt, LimitUnit unit = LimitUnit::Percent)
{
    LimitMask mask;
    mask.name = std::move(name);
    mask.title = std::move(title);
    mask.orders = std::move(orders);
    mask.thd = thd;
    mask.unit = unit;
    return mask;
}

/** EN 50160 and IEC 61000-2-2: 95 % of each week's 10-minute values within the limits. */
const StatisticRule kWeeklyTenMinutes{Statistic::P95, Aggregation::TenMinutes,
                                      StatisticPeriod::Week, 1.0};

/** IEEE 519-2014, 5.1: also each day's 99th percentile of 3 s values below 1.5 x the limits. */
const std::vector<StatisticRule> kIeee519VoltageRules{
    kWeeklyTenMinutes, {Statistic::P99, Aggregation::Short, StatisticPeriod::Day, 1.5}};

/**
 * IEEE 519-2014, 5.2: each week's 95th percentile of 10-minute values within the limits, its
 * 99th below 1.5 x, and each day's 99th percentile of 3 s values below 2 x.
 */
const std::vector<StatisticRule> kIeee519CurrentRules{
    kWeeklyTenMinutes,
    {Statistic::P99, Aggregation::TenMinutes, StatisticPeriod::Week, 1.5},
    {Statistic::P99, Aggregation::Short, StatisticPeriod::Day, 2.0}};

void sortByOrder(LimitMask& mask)
{
    std::sort(mask.orders.begin(), mask.orders.end(),
              [](const OrderLimit& a, const OrderLimit& b) { return a.order < b.order; });
}

/** EN 50160:2010, table 1: voltage harmonics of public supply networks. */
LimitMask en50160()
{
    LimitMask mask =
        tableOf("en50160", "EN 50160",
                listed({{2, 2},    {3, 5},    {4, 1},    {5, 6},    {6, 0.5},  {7, 5},
                        {8, 0.5},  {9, 1.5},  {10, 0.5}, {11, 3.5}, {12, 0.5}, {13, 3},
                        {14, 0.5}, {15, 0.5}, {16, 0.5}, {17, 2},   {18, 0.5}, {19, 1.5},
                        {20, 0.5}, {21, 0.5}, {22, 0.5}, {23, 1.5}, {24, 0.5}, {25, 1.5}}),
                ThdLimit{8, kThdOrdersIec});
    mask.recordingRules = {kWeeklyTenMinutes};
    return mask;
}

/**
 * IEC 61000-2-2:2002, table 1: compatibility levels of low-voltage public networks; beyond
 * the listed orders, its formulas.
 */
LimitMask iec61000_2_2()
{
    LimitMask mask = tableOf("iec61000-2-2", "IEC 61000-2-2", {}, ThdLimit{8, kThdOrdersIec});
    for (int h = 2; h <= kHighestOrder; ++h) {
        const double order = h;
        std::optional<double> limit;
        if (h % 2 == 0) {
            const double listedEven[] = {0, 0, 2, 0, 1, 0, 0.5, 0, 0.5};
            limit = h < 10 ? listedEven[h] : 0.25 * (10.0 / order) + 0.25;
        } else if (h % 3 == 0) {
            if (h <= 21) {
                limit = h == 3 ? 5.0 : h == 9 ? 1.5 : h == 15 ? 0.4 : 0.3;
            } else if (h >= 27 && h <= 45) {
                limit = 0.2;
            }
        } else if (h <= 13) {
            limit = h == 5 ? 6.0 : h == 7 ? 5.0 : h == 11 ? 3.5 : 3.0;
        } else if (h >= 17 && h <= 49) {
            limit = 2.27 * (17.0 / order) - 0.27;
        }
        if (limit) {
            mask.orders.push_back({order, *limit});
        }
    }
    mask.recordingRules = {kWeeklyTenMinutes};
    return mask;
}

/** IEEE 519-2014, table 1: voltage distortion limits by bus voltage. */
LimitMask ieee519(const char* name, const char* level, double eachOrder, double thd)
{
    LimitMask mask =
        tableOf(name, std::string("IEEE 519 (") + level + ')', {}, ThdLimit{thd, kThdOrdersIeee});
    for (int h = 2; h <= kHighestOrder; ++h) {
        mask.orders.push_back({static_cast<double>(h), eachOrder});
    }
    mask.recordingRules = kIeee519VoltageRules;
    return mask;
}

/** IEC 61000-3-2:2018, table 1: class A equipment's limits in amperes. */
LimitMask iec61000_3_2_classA()
{
    LimitMask mask = tableOf("iec61000-3-2-a", "IEC 61000-3-2 Class A",
                             listed({{2, 1.08},
                                     {3, 2.30},
                                     {4, 0.43},
                                     {5, 1.14},
                                     {6, 0.30},
                                     {7, 0.77},
                                     {9, 0.40},
                                     {11, 0.33},
                                     {13, 0.21}}),
                             std::nullopt, LimitUnit::Amperes);
    constexpr int kHighestOdd = 39;
    constexpr int kHighestEven = 40;
    for (int h = 8; h <= kHighestEven; h += 2) {
        mask.orders.push_back({static_cast<double>(h), 0.23 * 8.0 / h});
    }
    for (int h = 15; h <= kHighestOdd; h += 2) {
        mask.orders.push_back({static_cast<double>(h), 0.15 * 15.0 / h});
    }
    sortByOrder(mask);
    mask.disregardsSmallLines = true;
    return mask;
}

/** IEC 61000-3-2:2018, 7.2: class B is class A times 1.5. */
LimitMask iec61000_3_2_classB()
{
    constexpr double kClassBFactor = 1.5;
    LimitMask mask = iec61000_3_2_classA();
    mask.name = "iec61000-3-2-b";
    mask.title = "IEC 61000-3-2 Class B";
    for (OrderLimit& limit : mask.orders) {
        limit.limit *= kClassBFactor;
    }
    return mask;
}

constexpr int kFirstCommonOdd = 11;  // class C's odd orders from here take one limit
constexpr int kLastOddOrder = 39;

/**
 * IEC 61000-3-2:2018, table 2: class C (lighting above 25 W) in percent of the fundamental;
 * h3 is 30 lambda, lambda the circuit power factor (1 in the bare table).
 */
LimitMask iec61000_3_2_classC(double powerFactor)
{
    constexpr double kThirdPerLambda = 30.0;
    constexpr double kCommonOdd = 3.0;
    LimitMask mask =
        tableOf("iec61000-3-2-c", "IEC 61000-3-2 Class C",
                listed({{2, 2}, {3, kThirdPerLambda * powerFactor}, {5, 10}, {7, 7}, {9, 5}}));
    for (int h = kFirstCommonOdd; h <= kLastOddOrder; h += 2) {
        mask.orders.push_back({static_cast<double>(h), kCommonOdd});
    }
    mask.disregardsSmallLines = true;
    return mask;
}

/** IEC 61000-3-2:2018, table 3: class D (75 to 600 W) in mA per watt. */
LimitMask iec61000_3_2_classDPerWatt()
{
    constexpr int kFirstByFormula = 13;
    constexpr double kFormulaMilliampsPerWatt = 3.85;  // divided by the order
    LimitMask mask = tableOf("iec61000-3-2-d", "IEC 61000-3-2 Class D",
                             listed({{3, 3.4}, {5, 1.9}, {7, 1.0}, {9, 0.5}, {11, 0.35}}),
                             std::nullopt, LimitUnit::Amperes);
    for (int h = kFirstByFormula; h <= kLastOddOrder; h += 2) {
        mask.orders.push_back({static_cast<double>(h), kFormulaMilliampsPerWatt / h});
    }
    mask.disregardsSmallLines = true;
    return mask;
}

/** Class D in amperes for a power in W: each limit at most the class A one. */
LimitMask iec61000_3_2_classD(double power)
{
    LimitMask mask = iec61000_3_2_classDPerWatt();
    const LimitMask classA = iec61000_3_2_classA();
    for (OrderLimit& limit : mask.orders) {
        limit.limit *= power * kMilli;
        const auto a = std::find_if(classA.orders.begin(), classA.orders.end(),
                                    [&](const OrderLimit& l) { return l.order == limit.order; });
        limit.limit = std::min(limit.limit, a->limit);
    }
    return mask;
}

/** IEEE 519's current distortion limits of one short-circuit ratio row, % of I_L. */
struct DemandRow {
    double belowRatio;  ///< the row holds ratios below this (and from the previous row's)
    std::array<double, 5> byBand;
    double tdd;
};

/** IEEE 519-2014 and -2022, table 2 (120 V to 69 kV): odd orders by band, the TDD. */
constexpr std::array<DemandRow, 5> kDemandRows = {{
    {20, {4.0, 2.0, 1.5, 0.6, 0.3}, 5},
    {50, {7.0, 3.5, 2.5, 1.0, 0.5}, 8},
    {100, {10.0, 4.5, 4.0, 1.5, 0.7}, 12},
    {1000, {12.0, 5.5, 5.0, 2.0, 1.0}, 15},
    {std::numeric_limits<double>::infinity(), {15.0, 7.0, 6.0, 2.5, 1.4}, 20},
}};
/** The first order of each band after the first: 3-11, 11-17, 17-23, 23-35, 35-50. */
constexpr std::array<int, 4> kBandStarts = {11, 17, 23, 35};
constexpr int kEdition2014 = 2014;
constexpr int kEdition2022 = 2022;

/** The share of the odd limit an even order gets: 2014 a quarter, 2022 half to h6, then all. */
double evenShare(int edition, int h)
{
    constexpr double kEvenShare2014 = 0.25;
    constexpr double kLowEvenShare2022 = 0.5;
    constexpr int kLastLowEven2022 = 6;
    if (edition == kEdition2014) {
        return kEvenShare2014;
    }
    return h <= kLastLowEven2022 ? kLowEvenShare2022 : 1.0;
}

LimitMask ieee519Current(double iscIl, int edition)
{
    const DemandRow& row = *std::find_if(kDemandRows.begin(), kDemandRows.end(),
                                         [&](const DemandRow& r) { return iscIl < r.belowRatio; });
    LimitMask mask =
        tableOf("ieee519-current",
                "IEEE 519-" + formatInt(edition) + " current (ISC/IL " + formatGeneral(iscIl) + ")",
                {}, ThdLimit{row.tdd, kThdOrdersIeee, true}, LimitUnit::PercentOfDemand);
    for (int h = 2; h <= kHighestOrder; ++h) {
        const auto band =
            std::upper_bound(kBandStarts.begin(), kBandStarts.end(), h) - kBandStarts.begin();
        const double odd = row.byBand[static_cast<std::size_t>(band)];
        mask.orders.push_back(
            {static_cast<double>(h), h % 2 != 0 ? odd : odd * evenShare(edition, h)});
    }
    mask.recordingRules = kIeee519CurrentRules;
    return mask;
}

/** A parameter's range, inclusive unless said. */
struct ParameterRange {
    double low;
    double high;
    bool aboveLow;  ///< low itself is outside
    const char* unit;
};

ParameterRange rangeOf(MaskParameter parameter)
{
    switch (parameter) {
    case MaskParameter::FundamentalRms:
        return {kMinFundamentalRms, kMaxFundamentalRms, false, " A"};
    case MaskParameter::PowerFactor:
        return {0.0, 1.0, true, ""};
    case MaskParameter::Power:
        return {kLeastClassDPower, kMostClassDPower, false, " W"};
    case MaskParameter::IscIl:
    case MaskParameter::DemandCurrent:
        break;
    case MaskParameter::Edition:
        return {kEdition2014, kEdition2022, false, ""};
    }
    return {0.0, std::numeric_limits<double>::infinity(), true,
            parameter == MaskParameter::DemandCurrent ? " A" : ""};
}

std::optional<double> valueOf(const MaskParameters& parameters, MaskParameter parameter)
{
    switch (parameter) {
    case MaskParameter::FundamentalRms:
        return parameters.fundamentalRms;
    case MaskParameter::PowerFactor:
        return parameters.powerFactor;
    case MaskParameter::Power:
        return parameters.power;
    case MaskParameter::IscIl:
        return parameters.iscIl;
    case MaskParameter::DemandCurrent:
        return parameters.demandCurrent;
    case MaskParameter::Edition:
        break;
    }
    return parameters.edition ? std::optional<double>(*parameters.edition) : std::nullopt;
}

constexpr std::array<MaskParameter, 6> kAllParameters = {
    MaskParameter::FundamentalRms, MaskParameter::PowerFactor,   MaskParameter::Power,
    MaskParameter::IscIl,          MaskParameter::DemandCurrent, MaskParameter::Edition};

using Parameters = std::vector<MaskParameter>;

/** The table of one built-in mask from its parameters, in its own unit. */
using TableMaker = std::function<LimitMask(const MaskParameters&)>;

struct MaskEntry {
    BuiltInMask shown;
    TableMaker make;
};

/** A table that takes its parameters only to scale it into percent. */
MaskEntry fixedEntry(const LimitMask& table, Parameters parameters = {})
{
    return {{table.name, table.title, std::move(parameters), table, "", ""},
            [table](const MaskParameters&) { return table; }};
}

std::vector<MaskEntry> makeEntries()
{
    const Parameters current = {MaskParameter::FundamentalRms};
    MaskEntry classC{{"",
                      "",
                      {MaskParameter::FundamentalRms, MaskParameter::PowerFactor},
                      iec61000_3_2_classC(1.0),
                      "h3 is 30 x the power factor %",
                      ""},
                     [](const MaskParameters& p) { return iec61000_3_2_classC(*p.powerFactor); }};
    MaskEntry classD{{"",
                      "",
                      {MaskParameter::FundamentalRms, MaskParameter::Power},
                      iec61000_3_2_classDPerWatt(),
                      "times the power, each at most the class A limit in A",
                      "mA/W"},
                     [](const MaskParameters& p) { return iec61000_3_2_classD(*p.power); }};
    MaskEntry demand{
        {"",
         "",
         {MaskParameter::FundamentalRms, MaskParameter::IscIl, MaskParameter::DemandCurrent,
          MaskParameter::Edition},
         ieee519Current(1.0, kEdition2014),
         "for ISC/IL below 20; 20-50: 7/3.5/2.5/1/0.5, TDD 8; 50-100: 10/4.5/4/1.5/0.7, TDD 12; "
         "100-1000: 12/5.5/5/2/1, TDD 15; 1000 and above: 15/7/6/2.5/1.4, TDD 20 (odd orders "
         "to 11, 17, 23, 35, 50); even orders a quarter of the odd (edition 2014) or half to h6 "
         "and all above (2022)",
         ""},
        [](const MaskParameters& p) {
            return ieee519Current(*p.iscIl, p.edition.value_or(kEdition2014));
        }};
    for (MaskEntry* entry : {&classC, &classD, &demand}) {
        entry->shown.name = entry->shown.table.name;
        entry->shown.title = entry->shown.table.title;
    }
    demand.shown.title = "IEEE 519 current (120 V to 69 kV)";
    return {fixedEntry(en50160()),
            fixedEntry(iec61000_2_2()),
            fixedEntry(ieee519("ieee519-1kv", "\u2264 1 kV", 5, 8)),
            fixedEntry(ieee519("ieee519-69kv", "\u2264 69 kV", 3, 5)),
            fixedEntry(ieee519("ieee519-161kv", "\u2264 161 kV", 1.5, 2.5)),
            fixedEntry(ieee519("ieee519-hv", "> 161 kV", 1, 1.5)),
            fixedEntry(iec61000_3_2_classA(), current),
            fixedEntry(iec61000_3_2_classB(), current),
            classC,
            classD,
            demand};
}

const std::vector<MaskEntry>& maskEntries()
{
    static const std::vector<MaskEntry> entries = makeEntries();
    return entries;
}

std::string rangeText(MaskParameter parameter)
{
    if (parameter == MaskParameter::Edition) {
        return "2014 or 2022";
    }
    const ParameterRange range = rangeOf(parameter);
    if (std::isinf(range.high)) {
        return "above 0" + std::string(range.unit);
    }
    return (range.aboveLow ? "above " : "from ") + formatGeneral(range.low) +
           (range.aboveLow ? " and at most " : " to ") + formatGeneral(range.high) + range.unit;
}

bool inRange(MaskParameter parameter, double value)
{
    if (parameter == MaskParameter::Edition) {
        return value == kEdition2014 || value == kEdition2022;
    }
    const ParameterRange range = rangeOf(parameter);
    return (range.aboveLow ? value > range.low : value >= range.low) && value <= range.high;
}

/** Why the parameters do not fit the mask: one it lacks, one out of range, one it does not take. */
std::string parameterError(const BuiltInMask& mask, const MaskParameters& parameters)
{
    const auto takes = [&](MaskParameter p) {
        return std::find(mask.parameters.begin(), mask.parameters.end(), p) !=
               mask.parameters.end();
    };
    for (const MaskParameter parameter : kAllParameters) {
        const std::optional<double> value = valueOf(parameters, parameter);
        if (!takes(parameter)) {
            if (value) {
                return mask.title + " does not take " + parameterName(parameter) + ".";
            }
            continue;
        }
        if (parameter == MaskParameter::FundamentalRms && value && *value > kMaxFundamentalRms) {
            return "IEC 61000-3-2 covers equipment of up to 16 A a phase: a fundamental current "
                   "of " +
                   formatGeneral(*value) + " A is beyond its scope.";
        }
        if (value ? !inRange(parameter, *value) : parameter != MaskParameter::Edition) {
            return mask.title + " needs " + parameterName(parameter) + ", " + rangeText(parameter) +
                   ".";
        }
    }
    return {};
}

/** The table in percent of the fundamental, with what prints it in its own unit. */
LimitMask inPercent(LimitMask mask, const MaskParameters& parameters)
{
    if (mask.unit == LimitUnit::Percent) {
        mask.fundamentalRms = parameters.fundamentalRms;
        return mask;
    }
    mask.fundamentalRms = parameters.fundamentalRms;
    mask.demandCurrent = parameters.demandCurrent;
    const double toPercent = mask.unit == LimitUnit::Amperes
                                 ? kPercent / *parameters.fundamentalRms
                                 : *parameters.demandCurrent / *parameters.fundamentalRms;
    for (OrderLimit& order : mask.orders) {
        order.limit *= toPercent;
    }
    if (mask.thd) {
        mask.thd->limit *= toPercent;
    }
    return mask;
}

}  // namespace

const char* unitSymbol(LimitUnit unit)
{
    switch (unit) {
    case LimitUnit::Percent:
        break;
    case LimitUnit::Amperes:
        return "A";
    case LimitUnit::PercentOfDemand:
        return "% of I_L";
    }
    return "%";
}

double LimitMask::inUnit(double percent) const
{
    switch (unit) {
    case LimitUnit::Percent:
        break;
    case LimitUnit::Amperes:
        return percent / kPercent * fundamentalRms.value_or(0.0);
    case LimitUnit::PercentOfDemand:
        return percent * fundamentalRms.value_or(0.0) / demandCurrent.value_or(1.0);
    }
    return percent;
}

const std::vector<BuiltInMask>& builtInMasks()
{
    static const std::vector<BuiltInMask> masks = [] {
        std::vector<BuiltInMask> shown;
        for (const MaskEntry& entry : maskEntries()) {
            shown.push_back(entry.shown);
        }
        return shown;
    }();
    return masks;
}

std::string parameterName(MaskParameter parameter)
{
    switch (parameter) {
    case MaskParameter::FundamentalRms:
        return "the fundamental's RMS current";
    case MaskParameter::PowerFactor:
        return "the power factor";
    case MaskParameter::Power:
        return "the power";
    case MaskParameter::IscIl:
        return "the short-circuit ratio ISC/IL";
    case MaskParameter::DemandCurrent:
        return "the demand current I_L";
    case MaskParameter::Edition:
        break;
    }
    return "the edition";
}

MaskChoice builtInMask(std::string_view name, const MaskParameters& parameters)
{
    const auto& entries = maskEntries();
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const MaskEntry& entry) {
        return entry.shown.name == name;
    });
    if (found == entries.end()) {
        return {std::nullopt, "there is no built-in limit mask called '" + std::string(name) + "'"};
    }
    if (std::string error = parameterError(found->shown, parameters); !error.empty()) {
        return {std::nullopt, std::move(error)};
    }
    return {inPercent(found->make(parameters), parameters), {}};
}
