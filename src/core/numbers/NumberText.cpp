#include "numbers/NumberText.h"

#include <charconv>
#include <cmath>

namespace {

// Large enough for any double in fixed notation with six decimals (309 integer digits).
constexpr std::size_t kBufferSize = 400;

std::size_t writeFixed(char* buffer, double value, int precision)
{
    if (!std::isfinite(value)) {
        // printf's texts for the values that have no digits.
        const char* text = std::isnan(value) ? (std::signbit(value) ? "-nan" : "nan")
                                             : (value < 0 ? "-inf" : "inf");
        std::size_t n = 0;
        for (; text[n] != '\0'; ++n) {
            buffer[n] = text[n];
        }
        return n;
    }
    const auto result =
        std::to_chars(buffer, buffer + kBufferSize, value, std::chars_format::fixed, precision);
    return static_cast<std::size_t>(result.ptr - buffer);
}

}  // namespace

void appendFixed(std::string& out, double value, int width, int precision)
{
    char buffer[kBufferSize];
    const std::size_t length = writeFixed(buffer, value, precision);
    if (length < static_cast<std::size_t>(width)) {
        out.append(static_cast<std::size_t>(width) - length, ' ');
    }
    out.append(buffer, length);
}

std::string formatFixed(double value, int precision)
{
    return formatFixed(value, 0, precision);
}

std::string formatFixed(double value, int width, int precision)
{
    std::string text;
    appendFixed(text, value, width, precision);
    return text;
}

std::string formatGeneral(double value)
{
    if (!std::isfinite(value)) {
        return formatFixed(value, 0);
    }
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return std::string(buffer, result.ptr);
}

namespace {

/** text without the zeros that end its fraction before position end, nor a bare point. */
std::string withoutTrailingZeros(const std::string& text, std::size_t end)
{
    std::size_t kept = end;
    while (kept > 0 && text[kept - 1] == '0') {
        --kept;
    }
    if (kept > 0 && text[kept - 1] == '.') {
        --kept;
    }
    return text.substr(0, kept) + text.substr(end);
}

}  // namespace

std::string formatCompact(double value, int decimals)
{
    for (int precision = decimals; precision >= 0; --precision) {
        const std::string text = formatFixed(value, precision);
        if (text.size() <= kCompactWidth) {
            return precision > 0 ? withoutTrailingZeros(text, text.size()) : text;
        }
    }
    // "-d.ddde+ddd" is at most 12 characters with four significant digits.
    constexpr int kScientificDigits = 3;
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::scientific, kScientificDigits);
    const std::string text(buffer, result.ptr);
    // Trailing zeros of the mantissa say nothing: "1.000e+300" reads as "1e+300".
    return withoutTrailingZeros(text, text.find('e'));
}

std::string formatInt(int value)
{
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}
