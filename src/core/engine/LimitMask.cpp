#include "engine/LimitMask.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>

#include "engine/PowerQuality.h"
#include "engine/Resolution.h"
#include "numbers/Checked.h"
#include "numbers/NumberText.h"
#include "settings/WaveSettings.h"

namespace {

constexpr double kPercent = 100.0;
/** How far above its limit a level still counts as equal to it: far above transform noise. */
constexpr double kEqualTolerance = 1e-9;

/** How a limit or level is written in a verdict: two decimals at most, no trailing zeros. */
constexpr int kVerdictDecimals = 2;

std::vector<OrderLimit> listed(std::initializer_list<OrderLimit> limits)
{
    return std::vector<OrderLimit>(limits);
}

LimitMask en50160()
{
    return {"en50160", "EN 50160",
            listed({{2, 2},    {3, 5},    {4, 1},    {5, 6},    {6, 0.5},  {7, 5},
                    {8, 0.5},  {9, 1.5},  {10, 0.5}, {11, 3.5}, {12, 0.5}, {13, 3},
                    {14, 0.5}, {15, 0.5}, {16, 0.5}, {17, 2},   {18, 0.5}, {19, 1.5},
                    {20, 0.5}, {21, 0.5}, {22, 0.5}, {23, 1.5}, {24, 0.5}, {25, 1.5}}),
            ThdLimit{8, kThdOrdersIec}, false};
}

/** Compatibility levels of low-voltage public networks; beyond the listed orders, formulas. */
LimitMask iec61000_2_2()
{
    constexpr int kHighestOrder = 50;
    LimitMask mask{"iec61000-2-2", "IEC 61000-2-2", {}, ThdLimit{8, kThdOrdersIec}, false};
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
    return mask;
}

LimitMask ieee519(const char* name, const char* level, double eachOrder, double thd)
{
    constexpr int kHighestOrder = 50;
    LimitMask mask{
        name, std::string("IEEE 519 (") + level + ')', {}, ThdLimit{thd, kThdOrdersIeee}, false};
    for (int h = 2; h <= kHighestOrder; ++h) {
        mask.orders.push_back({static_cast<double>(h), eachOrder});
    }
    return mask;
}

/** Class A equipment's limits in amperes. */
LimitMask iec61000_3_2_classA()
{
    LimitMask mask{"iec61000-3-2-a", "IEC 61000-3-2 Class A",
                   listed({{2, 1.08},
                           {3, 2.30},
                           {4, 0.43},
                           {5, 1.14},
                           {6, 0.30},
                           {7, 0.77},
                           {9, 0.40},
                           {11, 0.33},
                           {13, 0.21}}),
                   std::nullopt, true};
    constexpr int kHighestOdd = 39;
    constexpr int kHighestEven = 40;
    for (int h = 8; h <= kHighestEven; h += 2) {
        mask.orders.push_back({static_cast<double>(h), 0.23 * 8.0 / h});
    }
    for (int h = 15; h <= kHighestOdd; h += 2) {
        mask.orders.push_back({static_cast<double>(h), 0.15 * 15.0 / h});
    }
    std::sort(mask.orders.begin(), mask.orders.end(),
              [](const OrderLimit& a, const OrderLimit& b) { return a.order < b.order; });
    return mask;
}

std::vector<LimitMask> makeBuiltInMasks()
{
    return {en50160(),
            iec61000_2_2(),
            ieee519("ieee519-1kv", "\u2264 1 kV", 5, 8),
            ieee519("ieee519-69kv", "\u2264 69 kV", 3, 5),
            ieee519("ieee519-161kv", "\u2264 161 kV", 1.5, 2.5),
            ieee519("ieee519-hv", "> 161 kV", 1, 1.5),
            iec61000_3_2_classA()};
}

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

/** The whole field as a finite number, or none. */
std::optional<double> numberField(std::string_view field)
{
    field = trimmed(field);
    double value = 0.0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (field.empty() || error != std::errc() || end != field.data() + field.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> fields(std::string_view line)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t comma = line.find(','); comma != std::string_view::npos;
         comma = line.find(',', start)) {
        parts.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    parts.push_back(line.substr(start));
    return parts;
}

/** Reads one meaningful line into mask; an error sentence when it cannot. */
std::string readMaskLine(std::string_view line, LimitMask& mask)
{
    const std::vector<std::string_view> parts = fields(line);
    if (trimmed(parts[0]) == "thd") {
        const std::optional<double> limit =
            parts.size() == 3 ? numberField(parts[1]) : std::nullopt;
        const std::optional<double> highest =
            parts.size() == 3 ? numberField(parts[2]) : std::nullopt;
        const std::optional<int> highestOrder =
            highest ? checkedCount<int>(*highest) : std::nullopt;
        if (!limit || !highestOrder || *limit < 0.0 || *highestOrder < 2 ||
            *highest != *highestOrder) {
            return "expected thd,LIMIT,HIGHEST_ORDER with a limit of 0 or more and a whole "
                   "highest order of 2 or more";
        }
        if (mask.thd) {
            return "a second thd line";
        }
        mask.thd = ThdLimit{*limit, *highestOrder};
        return {};
    }
    const std::optional<double> order = parts.size() == 2 ? numberField(parts[0]) : std::nullopt;
    const std::optional<double> limit = parts.size() == 2 ? numberField(parts[1]) : std::nullopt;
    if (!order || !limit || *order < 0.0 || *limit < 0.0) {
        return "expected order,limit_percent with numbers of 0 or more";
    }
    mask.orders.push_back({*order, *limit});
    return {};
}

/** An order listed on more than one line, named at the first line that repeats one. */
struct RepeatedOrder {
    double order = 0.0;
    int line = 0;
};

/**
 * The repeat that comes first in the file, or none. Sorted rather than compared pairwise, so
 * that a mask of many lines is read in n log n; indexes keep the sort's memory small.
 */
std::optional<RepeatedOrder> firstRepeat(const std::vector<OrderLimit>& orders,
                                         const std::vector<int>& lines)
{
    std::vector<std::uint32_t> byOrder(orders.size());
    std::iota(byOrder.begin(), byOrder.end(), 0U);
    // Lines rise with the index, so equal orders stay in file order.
    std::stable_sort(byOrder.begin(), byOrder.end(), [&](std::uint32_t a, std::uint32_t b) {
        return orders[a].order < orders[b].order;
    });
    std::optional<RepeatedOrder> first;
    for (std::size_t i = 1; i < byOrder.size(); ++i) {
        const std::uint32_t at = byOrder[i];
        if (orders[at].order == orders[byOrder[i - 1]].order &&
            (!first || lines[at] < first->line)) {
            first = RepeatedOrder{orders[at].order, lines[at]};
        }
    }
    return first;
}

MaskChoice lineError(int line, const std::string& error)
{
    return {std::nullopt, "line " + formatInt(line) + ": " + error};
}

/** The first repeated order as an error, else the error of the line that stopped reading. */
MaskChoice firstError(const LimitMask& mask, const std::vector<int>& lines, int stoppedAt,
                      const std::string& stoppedFor)
{
    if (const std::optional<RepeatedOrder> repeat = firstRepeat(mask.orders, lines)) {
        return lineError(repeat->line,
                         "order " + formatGeneral(repeat->order) + " is listed twice");
    }
    return stoppedFor.empty() ? MaskChoice{} : lineError(stoppedAt, stoppedFor);
}

LimitStatus statusOf(double level, double limit)
{
    // A line designed at its limit comes out of the transform a few ulps either side of it.
    return level <= limit * (1.0 + kEqualTolerance) ? LimitStatus::Pass : LimitStatus::Over;
}

std::string verdictNumber(double value)
{
    return formatCompact(value, kVerdictDecimals);
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
        if (shareOfLimit(order.level, order.limit) > share) {
            share = shareOfLimit(order.level, order.limit);
            name = orderName(order.order);
        }
    }
    if (check.thd && shareOfLimit(check.thd->level, check.thd->limit.limit) > share) {
        share = shareOfLimit(check.thd->level, check.thd->limit.limit);
        name = thdName(check.thd->limit.highestOrder);
    }
    if (share < 0.0) {
        return "pass";
    }
    return "pass, closest " + name + " at " + formatFixed(share, 0) + " % of its limit";
}

}  // namespace

const std::vector<LimitMask>& builtInMasks()
{
    static const std::vector<LimitMask> masks = makeBuiltInMasks();
    return masks;
}

MaskChoice builtInMask(std::string_view name, std::optional<double> fundamentalRms)
{
    const auto& masks = builtInMasks();
    const auto found = std::find_if(masks.begin(), masks.end(),
                                    [&](const LimitMask& mask) { return mask.name == name; });
    if (found == masks.end()) {
        return {std::nullopt, "there is no built-in limit mask called '" + std::string(name) + "'"};
    }
    LimitMask mask = *found;
    if (!mask.inAmperes) {
        return {std::move(mask), {}};
    }
    if (!fundamentalRms || !(*fundamentalRms >= kMinFundamentalRms) ||
        !(*fundamentalRms <= kMaxFundamentalRms)) {
        return {std::nullopt, mask.title +
                                  " limits currents in amperes: it needs the fundamental's RMS "
                                  "current, from " +
                                  formatGeneral(kMinFundamentalRms) + " to " +
                                  formatGeneral(kMaxFundamentalRms) + " A"};
    }
    for (OrderLimit& order : mask.orders) {
        order.limit = order.limit / *fundamentalRms * kPercent;
    }
    mask.inAmperes = false;
    return {std::move(mask), {}};
}

MaskReader::MaskReader(std::string title) : m_mask{"", std::move(title), {}, std::nullopt, false} {}

void MaskReader::takeLine(std::string_view line)
{
    ++m_lineNumber;
    if (!m_error.empty()) {
        return;
    }
    if (line.size() > kLongestMaskLine) {
        m_error = "longer than " + formatInt(static_cast<int>(kLongestMaskLine)) + " characters";
        m_errorLine = m_lineNumber;
        return;
    }
    line = trimmed(line.substr(0, line.find('#')));
    if (line.empty()) {
        return;
    }
    m_error = readMaskLine(line, m_mask);
    if (!m_error.empty()) {
        m_errorLine = m_lineNumber;
        return;
    }
    m_lines.resize(m_mask.orders.size(), m_lineNumber);
}

MaskChoice MaskReader::finish()
{
    if (MaskChoice error = firstError(m_mask, m_lines, m_errorLine, m_error);
        !error.error.empty()) {
        return error;
    }
    m_lines = {};
    if (m_mask.orders.empty() && !m_mask.thd) {
        return {std::nullopt, "the mask lists no limit"};
    }
    std::sort(m_mask.orders.begin(), m_mask.orders.end(),
              [](const OrderLimit& a, const OrderLimit& b) { return a.order < b.order; });
    return {std::move(m_mask), {}};
}

MaskChoice parseMask(std::string_view text, std::string title)
{
    MaskReader reader(std::move(title));
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);  // as a file's lines are read
        }
        reader.takeLine(line);
    }
    return reader.finish();
}

int MaskCheck::count(LimitStatus status) const
{
    const auto matching = std::count_if(orders.begin(), orders.end(), [&](const OrderCheck& order) {
        return order.status == status;
    });
    return static_cast<int>(matching) + (thd && thd->status == status ? 1 : 0);
}

bool MaskCheck::passed() const
{
    return count(LimitStatus::Over) == 0 && count(LimitStatus::Unresolved) == 0;
}

MaskCheck checkMask(const LimitMask& mask, std::span<const double> spectrum, int fftCycles)
{
    MaskCheck check{mask.title, {}, std::nullopt};
    for (const OrderLimit& limit : mask.orders) {
        OrderCheck order{limit.order, 0.0, limit.limit, LimitStatus::Unresolved, std::nullopt};
        if (const std::optional<double> level = lineAtOrder(spectrum, fftCycles, limit.order)) {
            order.level = *level;
            order.status = statusOf(*level, limit.limit);
        } else if (!liesOnBin(limit.order, fftCycles)) {
            order.resolvingCycles = fewestCyclesResolving(limit.order);
        }
        check.orders.push_back(order);
    }
    if (mask.thd) {
        const auto lastBin =
            static_cast<std::size_t>(mask.thd->highestOrder) * static_cast<std::size_t>(fftCycles);
        ThdCheck thd{*mask.thd, thdToOrder(spectrum, fftCycles, mask.thd->highestOrder),
                     LimitStatus::Unresolved};
        if (lastBin < spectrum.size()) {
            thd.status = statusOf(thd.level, mask.thd->limit);
        }
        check.thd = thd;
    }
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
    return 'h' + verdictNumber(order);
}

std::string thdName(int highestOrder)
{
    static const char* const kSubscriptDigits[] = {"\u2080", "\u2081", "\u2082", "\u2083",
                                                   "\u2084", "\u2085", "\u2086", "\u2087",
                                                   "\u2088", "\u2089"};
    std::string name = "THD";
    for (const char digit : formatInt(highestOrder)) {
        name += kSubscriptDigits[digit - '0'];
    }
    return name;
}

std::string verdictLine(const MaskCheck& check)
{
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
                    formatFixed(order.level, kVerdictDecimals) + " % > " +
                    verdictNumber(order.limit) + " %";
        } else if (order.status == LimitStatus::Unresolved) {
            line += separator + unresolvedText(order);
        } else {
            continue;
        }
        separator = ", ";
    }
    if (check.thd && check.thd->status == LimitStatus::Over) {
        line += separator + thdName(check.thd->limit.highestOrder) + ' ' +
                formatFixed(check.thd->level, kVerdictDecimals) + " % > " +
                verdictNumber(check.thd->limit.limit) + " %";
    } else if (check.thd && check.thd->status == LimitStatus::Unresolved) {
        line += separator + thdName(check.thd->limit.highestOrder) +
                " reaches above the highest order analysed";
    }
    return line;
}
