#include "files/MaskReader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <numeric>

#include "numbers/Checked.h"
#include "numbers/NumberText.h"

namespace {

/** The UTF-8 byte-order mark that spreadsheets put before a CSV file's first line. */
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

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

/** Whether field is word (lower case) in any case, blanks around it aside. */
bool isWordField(std::string_view field, std::string_view word)
{
    field = trimmed(field);
    return std::equal(field.begin(), field.end(), word.begin(), word.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

bool isThdField(std::string_view field)
{
    return isWordField(field, "thd");
}

constexpr std::string_view kStatWord = "stat";

/** Reads "stat,STATISTIC,AGGREGATION": the statistic a recording is judged by. */
std::string readStatisticLine(const std::vector<std::string_view>& parts, LimitMask& mask)
{
    const std::optional<Statistic> statistic =
        parts.size() == 3 ? statisticNamed(trimmed(parts[1])) : std::nullopt;
    const std::optional<Aggregation> aggregation =
        parts.size() == 3 ? aggregationNamed(trimmed(parts[2])) : std::nullopt;
    if (!statistic || !aggregation) {
        return "expected stat,STATISTIC,AGGREGATION with a statistic of max, p95, p99 or mean "
               "and an aggregation of 200ms, 3s, 10min or 2h";
    }
    if (!mask.recordingRules.empty()) {
        return "a second stat line";
    }
    mask.recordingRules = {{*statistic, *aggregation, StatisticPeriod::Whole, 1.0}};
    return {};
}

/** Reads one meaningful line into mask; an error sentence when it cannot. */
std::string readMaskLine(std::string_view line, LimitMask& mask)
{
    const std::vector<std::string_view> parts = fields(line);
    if (isWordField(parts[0], kStatWord)) {
        return readStatisticLine(parts, mask);
    }
    if (isThdField(parts[0])) {
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

}  // namespace

MaskReader::MaskReader(std::string title)
{
    m_mask.title = std::move(title);
}

bool MaskReader::isHeader(std::string_view line)
{
    if (!m_headerAllowed) {
        return false;
    }
    m_headerAllowed = false;
    const std::vector<std::string_view> parts = fields(line);
    return !isThdField(parts[0]) && !isWordField(parts[0], kStatWord) &&
           std::none_of(parts.begin(), parts.end(),
                        [](auto field) { return numberField(field).has_value(); });
}

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
    if (m_lineNumber == 1 && line.starts_with(kByteOrderMark)) {
        line.remove_prefix(kByteOrderMark.size());
    }
    line = trimmed(line.substr(0, line.find('#')));
    if (line.empty() || isHeader(line)) {
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
    if (m_mask.recordingRules.empty()) {
        m_mask.recordingRules = {StatisticRule{}};
    }
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
