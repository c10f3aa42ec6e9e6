#include "engine/LimitCheck.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "engine/HarmonicGroups.h"
#include "engine/PowerQuality.h"
#include "engine/Resolution.h"
#include "numbers/Checked.h"
#include "numbers/NumberText.h"

namespace {

constexpr double kPercent = 100.0;
/** How far above its limit a level still counts as equal to it: far above transform noise. */
constexpr double kEqualTolerance = 1e-9;
/** How a level or limit is written: two decimals, more where two would not tell them apart. */
constexpr int kVerdictDecimals = 2;
constexpr int kMostDecimals = 12;
constexpr int kShareDecimals = 0;
constexpr int kAmpereShareDecimals = 1;  // the percent beside amperes
constexpr int kAmpereDecimals = 3;       // to the milliampere, as class A's limits go
/** The synthesis is exact to 1e-9 %: a level below it is rounding, and reads as none. */
constexpr double kRoundingLevel = 1e-9;
/** IEC 61000-3-2, 6.2: lines below 0.6 % of the input current or 5 mA are disregarded. */
constexpr double kDisregardedShare = 0.006;
constexpr double kDisregardedCurrent = 0.005;
/** A constant's mean square is its level squared, a sinusoid's half its amplitude squared. */
constexpr double kDcPowerWeight = 2.0;

constexpr int kNameWidth = 8;
constexpr int kValueWidth = 10;

/** The window bin of an order, none for one that has no index. */
std::optional<std::size_t> binOf(double order, int cycles)
{
    return order < 0.0 ? std::nullopt : checkedCount<std::size_t>(std::nearbyint(order * cycles));
}

/** The subgroup holding order in an IEC window; none past every index. */
std::optional<Subgroup> subgroupOf(double order, int cycles)
{
    const std::optional<std::size_t> bin = binOf(order, cycles);
    return bin ? std::optional(subgroupHolding(*bin, cycles)) : std::nullopt;
}

std::optional<double> withoutRounding(std::optional<double> level)
{
    return level && *level < kRoundingLevel ? std::optional(0.0) : level;
}

std::optional<double> levelAt(const CheckMeasurement& measured, double order)
{
    if (measured.kind == CheckMeasure::Display) {
        return withoutRounding(lineAtOrder(measured.lines, measured.cycles, order));
    }
    const std::optional<Subgroup> subgroup = subgroupOf(order, measured.cycles);
    return withoutRounding(subgroup ? subgroupLevel(measured.lines, measured.cycles, *subgroup)
                                    : std::nullopt);
}

std::optional<double> thdLevel(const CheckMeasurement& measured, int highestOrder)
{
    if (measured.kind == CheckMeasure::Iec) {
        return withoutRounding(subgroupDistortion(measured.lines, measured.cycles, highestOrder));
    }
    const auto lastBin =
        static_cast<std::size_t>(highestOrder) * static_cast<std::size_t>(measured.cycles);
    if (lastBin >= measured.lines.size()) {
        return std::nullopt;
    }
    return withoutRounding(thdToOrder(measured.lines, measured.cycles, highestOrder));
}

LimitStatus statusOf(double level, double limit)
{
    // A line designed at its limit comes out of the transform a few ulps either side of it.
    return level <= limit * (1.0 + kEqualTolerance) ? LimitStatus::Pass : LimitStatus::Over;
}

}  // namespace

std::string fixedText(double value, int decimals)
{
    std::string text = formatFixed(value, decimals);
    if (text.starts_with('-') && text.find_first_not_of("-0.") == std::string::npos) {
        text.erase(0, 1);
    }
    return text;
}

namespace {

std::string percentText(double value)
{
    return fixedText(value, kVerdictDecimals) + " %";
}

std::string hertzText(double order, double fundamentalHz)
{
    return formatCompact(order * fundamentalHz, kVerdictDecimals) + " Hz";
}

/** Where a mask's limits count: their lines, or measured as an analyser, their subgroups. */
class Coverage {
public:
    Coverage(const LimitMask& mask, const CheckMeasurement& measured) : m_measured(measured)
    {
        for (const OrderLimit& limit : mask.orders) {
            if (const std::optional<Subgroup> subgroup = subgroupOf(limit.order, measured.cycles)) {
                m_subgroups.push_back(*subgroup);
            }
            m_orders.push_back(limit.order);
        }
    }

    [[nodiscard]] bool covers(double order) const
    {
        if (m_measured.kind == CheckMeasure::Display) {
            return std::find(m_orders.begin(), m_orders.end(), order) != m_orders.end();
        }
        const std::optional<Subgroup> held = subgroupOf(order, m_measured.cycles);
        return held &&
               std::find(m_subgroups.begin(), m_subgroups.end(), *held) != m_subgroups.end();
    }

private:
    const CheckMeasurement& m_measured;
    std::vector<Subgroup> m_subgroups;
    std::vector<double> m_orders;
};

/** Where an entry between whole orders is counted, and whether the mask limits it. */
CheckNote entryNote(const Coverage& coverage, const CheckMeasurement& measured, double order)
{
    CheckNote note{CheckNote::Kind::Leakage, order};
    if (!liesOnBin(order, measured.cycles)) {
        return note;
    }
    const std::optional<double> level = levelAt(measured, order);
    note.kind = level ? CheckNote::Kind::Entry : CheckNote::Kind::AboveWindow;
    note.level = level.value_or(0.0);
    if (level && measured.kind == CheckMeasure::Iec) {
        note.subgroup = subgroupOf(order, measured.cycles);
    }
    note.covered = coverage.covers(order);
    return note;
}

void addEntryNotes(const LimitMask& mask, const CheckMeasurement& measured, MaskCheck& check)
{
    std::vector<double> orders = measured.entryOrders;
    std::sort(orders.begin(), orders.end());
    orders.erase(std::unique(orders.begin(), orders.end()), orders.end());
    const Coverage coverage(mask, measured);
    for (const double order : orders) {
        if (order == 0.0) {
            if (!coverage.covers(0.0)) {
                check.notes.push_back({CheckNote::Kind::Dc, 0.0, measured.lines.front()});
            }
        } else if (fewestCyclesResolving(order) != 1) {
            check.notes.push_back(entryNote(coverage, measured, order));
        }
    }
}

/** The input current in A: the fundamental's scaled by the whole RMS of the lines. */
double inputCurrent(const LimitMask& mask, const CheckMeasurement& measured)
{
    double squares = 0.0;
    for (const double line : measured.lines) {
        squares += line * line;
    }
    squares += (kDcPowerWeight - 1.0) * measured.lines.front() * measured.lines.front();
    return mask.fundamentalRms.value_or(0.0) * std::sqrt(squares) / kPercent;
}

void disregardSmallLines(const LimitMask& mask, const CheckMeasurement& measured, MaskCheck& check)
{
    if (!mask.disregardsSmallLines || !mask.fundamentalRms) {
        return;
    }
    const double input = inputCurrent(mask, measured);
    const double threshold = std::max(kDisregardedShare * input, kDisregardedCurrent);
    int disregarded = 0;
    for (OrderCheck& order : check.orders) {
        const double amperes = order.level / kPercent * *mask.fundamentalRms;
        if (order.status != LimitStatus::Unresolved && amperes < threshold) {
            order.status = LimitStatus::Disregarded;
            ++disregarded;
        }
    }
    if (disregarded > 0) {
        check.notes.push_back(
            {CheckNote::Kind::Disregarded, static_cast<double>(disregarded), input});
    }
}

std::string windowText(const MaskCheck& check)
{
    return (check.kind == CheckMeasure::Display ? "the display's " : "the ") +
           formatInt(check.cycles) + "-cycle window";
}

/** A note on an entry off the window's lines: measured with its leakage, or how to resolve it. */
std::string leakageText(const MaskCheck& check, const std::string& name, double order)
{
    const std::string lead = name + " falls between the lines of " + windowText(check);
    if (check.kind == CheckMeasure::Iec) {
        return lead +
               ": measured with its leakage into the subgroups around it, as an analyser "
               "measures it";
    }
    const std::optional<int> cycles = fewestCyclesResolving(order);
    return lead + ": its leakage counts under the orders around it; " +
           (cycles ? "FFT cycles " + formatInt(*cycles) + " resolve it"
                   : "no FFT window up to " + formatInt(kMaxCycles) + " cycles resolves it");
}

std::string subgroupText(const Subgroup& subgroup)
{
    return subgroup.interharmonic ? " in the interharmonic subgroup " + formatInt(subgroup.order) +
                                        '-' + formatInt(subgroup.order + 1)
                                  : " in the harmonic subgroup of h" + formatInt(subgroup.order);
}

/** A level or limit in the check's unit with its unit's sign. */
std::string unitText(const MaskCheck& check, double valueInUnit, int decimals, bool compact)
{
    return (compact ? formatCompact(valueInUnit, decimals) : fixedText(valueInUnit, decimals)) +
           ' ' + unitSymbol(check.units.unit);
}

std::string unresolvedText(const OrderCheck& order)
{
    const std::string name = orderName(order.order);
    if (order.resolvingCycles) {
        return name + " needs FFT cycles " + formatInt(*order.resolvingCycles);
    }
    if (!fewestCyclesResolving(order.order)) {
        return name + " cannot be resolved within " + formatInt(kMaxCycles) + " FFT cycles";
    }
    return name + " lies above the highest order analysed";
}

std::string closestText(const MaskCheck& check)
{
    std::string name;
    double share = -1.0;
    for (const OrderCheck& order : check.orders) {
        if (order.status == LimitStatus::Pass && shareOfLimit(order.level, order.limit) > share) {
            share = shareOfLimit(order.level, order.limit);
            name = orderName(order.order);
        }
    }
    if (check.thd && shareOfLimit(check.thd->level, check.thd->limit.limit) > share) {
        share = shareOfLimit(check.thd->level, check.thd->limit.limit);
        name = thdName(check.thd->limit);
    }
    if (share < 0.0) {
        return "pass";
    }
    if (formatFixed(share, kShareDecimals) == "0") {
        return "pass, every level below 1 % of its limit";
    }
    return "pass, closest " + name + " at " + formatFixed(share, kShareDecimals) +
           " % of its limit";
}

/** Characters on screen: UTF-8 continuation bytes take no column. */
std::size_t columnsOf(const std::string& text)
{
    constexpr unsigned char kContinuationMask = 0xC0;
    constexpr unsigned char kContinuation = 0x80;
    std::size_t columns = 0;
    for (const char c : text) {
        columns += (static_cast<unsigned char>(c) & kContinuationMask) != kContinuation ? 1 : 0;
    }
    return columns;
}

void appendLeft(std::string& line, const std::string& text, int width)
{
    line += text;
    const std::size_t columns = columnsOf(text);
    line.append(columns < static_cast<std::size_t>(width) ? width - columns : 1, ' ');
}

/** Right-aligned in its column, and never run into the column before it. */
void appendRight(std::string& line, const std::string& text)
{
    line.append(text.size() < kValueWidth ? kValueWidth - text.size() : 1, ' ');
    line += text;
}

/** One line of the table, in the mask's unit; level and margin absent when not measured. */
void appendRow(std::string& text, const MaskCheck& check, const std::string& name, double level,
               double limit, LimitStatus status)
{
    const bool amperes = check.units.unit == LimitUnit::Amperes;
    const double levelInUnit = check.units.inUnit(level);
    const double limitInUnit = check.units.inUnit(limit);
    const int fewest = amperes ? kAmpereDecimals : kVerdictDecimals;
    const int decimals =
        status == LimitStatus::Over ? decimalsTelling(levelInUnit, limitInUnit, fewest) : fewest;
    appendLeft(text, name, kNameWidth);
    const bool measured = status != LimitStatus::Unresolved;
    const double margin = limitInUnit - levelInUnit;
    appendRight(text, measured ? fixedText(levelInUnit, decimals) : "-");
    appendRight(text, fixedText(limitInUnit, decimals));
    appendRight(text, measured ? fixedText(margin, decimals) : "-");
    appendRight(text, measured ? formatFixed(shareOfLimit(level, limit), kShareDecimals) : "-");
    if (amperes) {
        appendRight(text, measured ? fixedText(level, kVerdictDecimals) : "-");
    }
    text += "   ";
    text += statusName(status);
    text += '\n';
}

}  // namespace

int MaskCheck::count(LimitStatus status) const
{
    const auto matching = std::count_if(orders.begin(), orders.end(), [&](const OrderCheck& order) {
        return order.status == status;
    });
    return static_cast<int>(matching) + (thd && thd->status == status ? 1 : 0);
}

bool MaskCheck::passed() const
{
    return refusal.empty() && count(LimitStatus::Over) == 0 && count(LimitStatus::Unresolved) == 0;
}

MaskCheck checkLevels(const LimitMask& mask, std::string measurement,
                      const std::function<std::optional<double>(double order)>& levelAt,
                      std::optional<double> thd)
{
    MaskCheck check;
    check.title = mask.title;
    check.measurement = std::move(measurement);
    check.units = mask;
    check.units.orders.clear();
    for (const OrderLimit& limit : mask.orders) {
        OrderCheck order{limit.order, 0.0, limit.limit, LimitStatus::Unresolved, std::nullopt};
        if (const std::optional<double> level = levelAt(limit.order)) {
            order.level = *level;
            order.status = statusOf(*level, limit.limit);
        }
        check.orders.push_back(order);
    }
    if (mask.thd) {
        check.thd = ThdCheck{*mask.thd, thd.value_or(0.0),
                             thd ? statusOf(*thd, mask.thd->limit) : LimitStatus::Unresolved};
    }
    return check;
}

MaskCheck checkMask(const LimitMask& mask, const CheckMeasurement& measured)
{
    MaskCheck check;
    check.title = mask.title;
    check.measurement = measured.description();
    check.kind = measured.kind;
    check.cycles = measured.cycles;
    check.fundamentalHz = measured.fundamentalHz;
    check.units = mask;
    check.units.orders.clear();
    if (!measured.hasFundamental || measured.lines.empty()) {
        check.refusal = "There is no fundamental to refer the limits to.";
        return check;
    }
    for (const OrderLimit& limit : mask.orders) {
        OrderCheck order{limit.order, 0.0, limit.limit, LimitStatus::Unresolved, std::nullopt};
        if (const std::optional<double> level = levelAt(measured, limit.order)) {
            order.level = *level;
            order.status = statusOf(*level, limit.limit);
        } else if (measured.kind == CheckMeasure::Display &&
                   !liesOnBin(limit.order, measured.cycles)) {
            order.resolvingCycles = fewestCyclesResolving(limit.order);
        }
        check.orders.push_back(order);
    }
    if (mask.thd) {
        const std::optional<double> level = thdLevel(measured, mask.thd->highestOrder);
        check.thd = ThdCheck{*mask.thd, level.value_or(0.0),
                             level ? statusOf(*level, mask.thd->limit) : LimitStatus::Unresolved};
    }
    addEntryNotes(mask, measured, check);
    disregardSmallLines(mask, measured, check);
    return check;
}

double shareOfLimit(double level, double limit)
{
    if (limit > 0.0) {
        return level / limit * kPercent;
    }
    return level > 0.0 ? std::numeric_limits<double>::infinity() : 0.0;
}

std::string orderName(double order)
{
    return 'h' + formatCompact(order, kVerdictDecimals);
}

const char* statusName(LimitStatus status)
{
    switch (status) {
    case LimitStatus::Pass:
        return "pass";
    case LimitStatus::Over:
        return "over";
    case LimitStatus::Disregarded:
        return "disregarded";
    case LimitStatus::Unresolved:
        break;
    }
    return "unresolved";
}

std::string thdName(const ThdLimit& limit)
{
    if (limit.demand) {
        return "TDD";
    }
    static const char* const kSubscriptDigits[] = {"\u2080", "\u2081", "\u2082", "\u2083",
                                                   "\u2084", "\u2085", "\u2086", "\u2087",
                                                   "\u2088", "\u2089"};
    std::string name = "THD";
    for (const char digit : formatInt(limit.highestOrder)) {
        name += kSubscriptDigits[digit - '0'];
    }
    return name;
}

int decimalsTelling(double level, double limit, int fewest)
{
    for (int decimals = fewest; decimals < kMostDecimals; ++decimals) {
        if (formatFixed(level, decimals) != formatFixed(limit, decimals)) {
            return decimals;
        }
    }
    return kMostDecimals;
}

std::string exceededText(const MaskCheck& check, double level, double limit)
{
    const double levelInUnit = check.units.inUnit(level);
    const double limitInUnit = check.units.inUnit(limit);
    const bool amperes = check.units.unit == LimitUnit::Amperes;
    const int decimals = decimalsTelling(levelInUnit, limitInUnit, kVerdictDecimals);
    std::string text = unitText(check, levelInUnit, decimals, false);
    if (amperes) {
        text += " (" + fixedText(level, kAmpereShareDecimals) + " %)";
    }
    return text + " > " + unitText(check, limitInUnit, decimals, !amperes);
}

std::string verdictLine(const MaskCheck& check)
{
    if (!check.refusal.empty()) {
        return check.title + ": " + check.refusal;
    }
    const int over = check.count(LimitStatus::Over);
    const int unresolved = check.count(LimitStatus::Unresolved);
    if (over == 0 && unresolved == 0) {
        return check.title + ": " + closestText(check);
    }
    std::string line = check.title + ": ";
    if (over > 0) {
        line += formatInt(over) + " exceeded";
    }
    if (unresolved > 0) {
        line += (over > 0 ? ", " : "") + formatInt(unresolved) + " unresolved";
    }
    std::string separator = ": ";
    for (const OrderCheck& order : check.orders) {
        if (order.status == LimitStatus::Over) {
            line += separator + orderName(order.order) + ' ' +
                    exceededText(check, order.level, order.limit);
        } else if (order.status == LimitStatus::Unresolved) {
            line += separator + unresolvedText(order);
        } else {
            continue;
        }
        separator = ", ";
    }
    if (check.thd && check.thd->status == LimitStatus::Over) {
        line += separator + thdName(check.thd->limit) + ' ' +
                exceededText(check, check.thd->level, check.thd->limit.limit);
    } else if (check.thd && check.thd->status == LimitStatus::Unresolved) {
        line += separator + thdName(check.thd->limit) + " reaches above the highest order analysed";
    }
    return line;
}

std::string checkReport(const MaskCheck& check)
{
    std::string text = "Measured:  " + check.measurement + "\nMask:      " + check.title + "\n\n";
    if (!check.refusal.empty()) {
        return text + verdictLine(check) + '\n';
    }
    const std::string unit = std::string(" ") + unitSymbol(check.units.unit);
    appendLeft(text, "Order", kNameWidth);
    appendRight(text, "Level" + unit);
    appendRight(text, "Limit" + unit);
    appendRight(text, "Margin");
    text += "  % of limit";
    text += check.units.unit == LimitUnit::Amperes ? "   Level %\n" : "\n";
    for (const OrderCheck& order : check.orders) {
        appendRow(text, check, orderName(order.order), order.level, order.limit, order.status);
    }
    if (check.thd) {
        appendRow(text, check, thdName(check.thd->limit), check.thd->level, check.thd->limit.limit,
                  check.thd->status);
    }
    text += check.notes.empty() ? "" : "\n";
    for (const CheckNote& note : check.notes) {
        text += noteText(check, note) + '\n';
    }
    return text + '\n' + verdictLine(check) + '\n';
}

std::string noteText(const MaskCheck& check, const CheckNote& note)
{
    const std::string noLimit = ": " + check.title + " sets no limit";
    if (note.kind == CheckNote::Kind::Dc) {
        return "DC " + percentText(note.level) + noLimit;
    }
    if (note.kind == CheckNote::Kind::Disregarded) {
        return formatCompact(note.order, 0) + " of the orders lie below 0.6 % of the input " +
               "current (" + formatCompact(note.level, kAmpereDecimals) +
               " A) or 5 mA, whichever is greater, and are disregarded";
    }
    const std::string name = "order " + formatCompact(note.order, kVerdictDecimals) + " (" +
                             hertzText(note.order, check.fundamentalHz) + ")";
    if (note.kind == CheckNote::Kind::Leakage) {
        return leakageText(check, name, note.order);
    }
    if (note.kind == CheckNote::Kind::AboveWindow) {
        return name + " lies above the highest order analysed";
    }
    return name + ": " + percentText(note.level) +
           (note.subgroup ? subgroupText(*note.subgroup) : std::string()) +
           (note.covered ? ", within the limit checked above" : noLimit);
}

std::vector<LimitLine> limitLines(const MaskCheck& check, int fftCycles)
{
    std::vector<LimitLine> lines;
    lines.reserve(check.orders.size());
    for (const OrderCheck& order : check.orders) {
        lines.push_back({order.order * fftCycles, order.limit, order.status == LimitStatus::Over});
    }
    return lines;
}
