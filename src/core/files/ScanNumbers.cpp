#include "files/ScanNumbers.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

/**
 * Whether an out-of-range decimal text overflowed (rather than underflowed): its decimal
 * exponent, from the digits' place and any explicit exponent, is positive. Out-of-range
 * values lie beyond 1e308 or below 1e-320, so this rough estimate cannot err.
 */
bool overflowed(std::string_view text)
{
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        ++i;
    }
    std::int64_t place = 0;  // decimal exponent of the first significant digit, plus one
    bool seenSignificant = false;
    bool afterPoint = false;
    for (; i < text.size() && (isDigit(text[i]) || text[i] == '.'); ++i) {
        if (text[i] == '.') {
            afterPoint = true;
        } else if (!seenSignificant && text[i] == '0') {
            if (afterPoint) {
                --place;
            }
        } else {
            seenSignificant = true;
            if (!afterPoint) {
                ++place;
            }
        }
    }
    std::int64_t exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        const bool negative = i < text.size() && text[i] == '-';
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
            ++i;
        }
        for (; i < text.size() && isDigit(text[i]); ++i) {
            if (exponent < 1'000'000'000) {
                exponent = exponent * 10 + (text[i] - '0');
            }
        }
        if (negative) {
            exponent = -exponent;
        }
    }
    return place + exponent > 0;
}

}  // namespace

void LineScanner::skipSpace()
{
    while (m_pos < m_text.size() && isScanSpace(m_text[m_pos])) {
        ++m_pos;
    }
}

std::optional<int> LineScanner::scanInt()
{
    skipSpace();
    std::size_t pos = m_pos;
    if (pos < m_text.size() && m_text[pos] == '+') {
        ++pos;
        if (pos < m_text.size() && m_text[pos] == '-') {
            return std::nullopt;
        }
    }
    const char* begin = m_text.data() + pos;
    const char* end = m_text.data() + m_text.size();
    int value = 0;
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr == begin) {
        return std::nullopt;
    }
    m_pos = static_cast<std::size_t>(result.ptr - m_text.data());
    return value;
}

template <typename T>
std::optional<T> LineScanner::convertHere()
{
    std::size_t pos = m_pos;
    bool negative = false;
    if (pos < m_text.size() && m_text[pos] == '+') {
        ++pos;  // from_chars takes no plus sign
        if (pos < m_text.size() && m_text[pos] == '-') {
            return std::nullopt;
        }
    } else if (pos < m_text.size() && m_text[pos] == '-') {
        negative = true;
    }
    const char* begin = m_text.data() + pos;
    const char* end = m_text.data() + m_text.size();
    T value{};
    const auto result = std::from_chars(begin, end, value, std::chars_format::general);
    if (result.ptr == begin) {
        return std::nullopt;
    }
    if (result.ec == std::errc::result_out_of_range) {
        const std::string_view text(begin, static_cast<std::size_t>(result.ptr - begin));
        value = overflowed(text) ? std::numeric_limits<T>::infinity() : T(0);
        if (negative) {
            value = -value;
        }
    } else if (result.ec != std::errc()) {
        return std::nullopt;
    }
    m_pos = static_cast<std::size_t>(result.ptr - m_text.data());
    return value;
}

std::optional<float> LineScanner::scanFloat()
{
    skipSpace();
    return convertHere<float>();
}

std::optional<double> LineScanner::scanDouble()
{
    skipSpace();
    return convertHere<double>();
}

std::optional<double> LineScanner::convertDoubleHere()
{
    return convertHere<double>();
}
