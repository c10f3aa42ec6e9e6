#include "files/TextFrames.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "files/ScanNumbers.h"

namespace {

bool isFieldSeparator(char c)
{
    return c == ',' || c == ';' || isScanSpace(c);
}

/**
 * The numbers of one line (at most mostFields are looked for) into numbers; false when a
 * token is no number. first: the text of the first.
 */
bool lineNumbers(std::string_view line, std::size_t mostFields, std::vector<double>& numbers,
                 std::string_view& first)
{
    numbers.clear();
    LineScanner scan(line);
    while (numbers.size() < mostFields) {
        while (!scan.atEnd() && isFieldSeparator(scan.peek())) {
            scan.setPosition(scan.position() + 1);
        }
        if (scan.atEnd()) {
            return true;
        }
        const std::size_t start = scan.position();
        const std::optional<double> value = scan.convertDoubleHere();
        if (!value || (!scan.atEnd() && !isFieldSeparator(scan.peek()))) {
            return false;
        }
        if (numbers.empty()) {
            first = line.substr(start, scan.position() - start);
        }
        numbers.push_back(*value);
    }
    return true;
}

/** The digits a number was written with: "2.0833e-05" has 5 significant digits and its last
 *  one is in the 9th decimal place. */
struct PrintedDigits {
    int decimals = 0;     ///< place of the last digit; negative for "15e3"
    int significant = 0;  ///< from the first digit that is not 0
};

PrintedDigits printedDigits(std::string_view number)
{
    constexpr int kDecimalBase = 10;
    PrintedDigits digits;
    bool fraction = false;
    std::size_t at = 0;
    for (; at < number.size(); ++at) {
        const char c = number[at];
        if (c == '.') {
            fraction = true;
        } else if (c >= '0' && c <= '9') {
            digits.decimals += fraction ? 1 : 0;
            digits.significant += digits.significant > 0 || c != '0' ? 1 : 0;
        } else if (c == 'e' || c == 'E') {
            break;
        }
    }
    int exponent = 0;
    bool negative = false;
    for (++at; at < number.size(); ++at) {
        const char c = number[at];
        negative = negative || c == '-';
        if (c >= '0' && c <= '9') {
            exponent = std::min(exponent * kDecimalBase + (c - '0'), kMostExponent);
        }
    }
    digits.decimals += negative ? exponent : -exponent;
    return digits;
}

double powerOfTen(int exponent)
{
    return std::pow(10.0, exponent);
}

/** Whether time is a float's value as written to the digits it has: a float32 time column. */
bool writtenFromFloat(double time, int decimals)
{
    // A decimal text has no exact double; the slack covers that conversion.
    constexpr double kConversionSlack = 1.0 + 1e-6;
    const double halfUnit = 0.5 * powerOfTen(-decimals) * kConversionSlack;
    return std::fabs(time - static_cast<double>(static_cast<float>(time))) <= halfUnit;
}

/** Half a float32 ulp at value: how far a float time may lie from the time it stands for. */
double halfFloatUlp(double value)
{
    constexpr int kFloatFractionBits =
        std::numeric_limits<float>::digits;  // 24, the hidden bit too
    return std::ldexp(1.0, std::ilogb(static_cast<float>(value)) - kFloatFractionBits);
}

}  // namespace

std::string TimeColumn::take(double time, std::string_view text, std::size_t line)
{
    const PrintedDigits digits = printedDigits(text);
    m_decimals = std::max(m_decimals, digits.decimals);
    m_significant = std::max(m_significant, digits.significant);
    m_fromFloat = m_fromFloat && writtenFromFloat(time, digits.decimals);
    ++m_count;
    if (m_count == 1) {
        m_first = time;
    } else {
        const double step = time - m_last;
        if (!(step > 0.0)) {
            return "does not come later than the line before.";
        }
        if (m_count == 2 || step < m_smallest) {
            m_smallest = step;
            m_smallestLine = line;
        }
        if (m_count == 2 || step > m_largest) {
            m_largest = step;
            m_largestLine = line;
        }
    }
    m_last = time;
    return {};
}

double TimeColumn::rate() const
{
    return m_count < 2 ? 0.0 : static_cast<double>(m_count - 1) / (m_last - m_first);
}

std::size_t TimeColumn::unevenLine() const
{
    if (m_count < 3) {
        return 0;
    }
    const double steps = static_cast<double>(m_count - 1);
    const double mean = (m_last - m_first) / steps;
    const double rounding = 2.0 * timeError() * (1.0 + 1.0 / steps);
    const double allowed = std::max(kEvenSpacing * mean, rounding < 0.5 * mean ? rounding : 0.0);
    const double over = m_largest - mean;
    const double under = mean - m_smallest;
    if (std::max(over, under) <= allowed) {
        return 0;
    }
    return over >= under ? m_largestLine : m_smallestLine;
}

/**
 * Half a unit of the last digit the column is written with. A fixed-decimals column
 * ("%.10f") has that at its most decimals; a column of significant digits ("%.10g") at its
 * largest time with the most digits. Times that are all float values add half a float ulp
 * of the largest.
 */
double TimeColumn::timeError() const
{
    const double largest = std::max(std::fabs(m_first), std::fabs(m_last));
    const int magnitude = static_cast<int>(std::floor(std::log10(largest)));
    const double unit =
        std::max(powerOfTen(-m_decimals), powerOfTen(magnitude - m_significant + 1));
    return 0.5 * unit + (m_fromFloat ? halfFloatUlp(largest) : 0.0);
}

TextFrames::TextFrames(bool timed, std::size_t mostChannels)
    : m_mostChannels(std::max<std::size_t>(1, mostChannels)), m_timed(timed)
{}

std::size_t TextFrames::channels() const
{
    return m_columns > 1 ? m_columns - 1 : m_columns;
}

std::string TextFrames::shapeRefusal() const
{
    return m_mostChannels == 1 ? "is not one value or a time,value pair."
                               : "is not one value or a time and 1 to " +
                                     std::to_string(m_mostChannels) + " values.";
}

void TextFrames::take(std::string_view line)
{
    ++m_line;
    if (!m_error.empty()) {
        return;
    }
    if (m_line == 1 && line.starts_with(kByteOrderMark)) {
        line.remove_prefix(kByteOrderMark.size());
    }
    const auto first = std::find_if_not(line.begin(), line.end(), isScanSpace);
    if (first == line.end() || *first == ';' || *first == '#') {
        return;
    }
    m_commaDecimals = m_commaDecimals && looksLikeDecimalCommas(line);
    std::string_view timeText;
    // One field more than a frame may have, so that a line with too many is told.
    const bool numbers = lineNumbers(line, m_mostChannels + 2, m_numbers, timeText);
    if (!numbers && m_columns == 0 && m_headerLines < kMostHeaderLines) {
        ++m_headerLines;  // a heading such as "time,value", a unit line such as "s,V"
        return;
    }
    if (!numbers || m_numbers.empty() || m_numbers.size() > m_mostChannels + 1) {
        fail(shapeRefusal());
        return;
    }
    if (m_columns == 0) {
        m_columns = m_numbers.size();
    } else if (m_numbers.size() != m_columns) {
        fail("has " + std::to_string(m_numbers.size()) + " values; the first had " +
             std::to_string(m_columns) + ".");
        return;
    }
    for (const double value : m_numbers) {
        if (!std::isfinite(value)) {
            fail("holds a number that is not finite.");
            return;
        }
        if (!std::isfinite(static_cast<float>(value))) {
            fail("holds a number beyond single precision.");
            return;
        }
    }
    if (hasTimes()) {
        if (std::string why = m_times.take(m_numbers.front(), timeText, m_line); !why.empty()) {
            fail(why);
            return;
        }
    }
    for (std::size_t c = m_columns > 1 ? 1 : 0; c < m_columns; ++c) {
        m_values.push_back(static_cast<float>(m_numbers[c]));
    }
    ++m_frames;
}

std::string TextFrames::finish()
{
    if (m_error.empty() && hasTimes()) {
        if (const std::size_t line = m_times.unevenLine(); line > 0) {
            m_line = line;
            fail("breaks the even spacing of the time column.");
        }
    }
    return m_error;
}

/** A digit, a comma and a digit, and no full stop: "0,039" or "0,001;1,5". */
bool TextFrames::looksLikeDecimalCommas(std::string_view line)
{
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (line.find('.') != std::string_view::npos) {
        return false;
    }
    for (std::size_t at = line.find(','); at != std::string_view::npos;
         at = line.find(',', at + 1)) {
        if (at > 0 && at + 1 < line.size() && digit(line[at - 1]) && digit(line[at + 1])) {
            return true;
        }
    }
    return false;
}

void TextFrames::fail(const std::string& why)
{
    m_error = "Line " + std::to_string(m_line) + ' ' + why;
    if (m_commaDecimals) {
        m_error +=
            " Its numbers seem to be written with decimal commas (as in 0,039): "
            "write them with decimal points.";
    }
}
