#include "JsonText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

double shortestFloat(float value)
{
    char digits[32];
    const auto written = std::to_chars(digits, digits + sizeof digits, value);
    double nearest = static_cast<double>(value);
    std::from_chars(digits, written.ptr, nearest);
    return nearest;
}

namespace {

void appendInteger(std::string& out, std::int64_t value)
{
    char text[24];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

/**
 * Appends a finite value's shortest round-trip digits (T's own) in Qt's "g" layout: the
 * decimal form unless the exponent form (at least two exponent digits) is shorter.
 */
template <typename T>
void appendShortest(std::string& out, T value)
{
    char text[48];
    const char* const end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::scientific).ptr;
    const char* at = text;
    if (*at == '-') {
        out += '-';
        ++at;
    }
    char digits[24];
    int count = 0;
    for (; *at != 'e'; ++at) {
        if (*at != '.') {
            digits[count++] = *at;
        }
    }
    ++at;
    if (*at == '+') {
        ++at;  // from_chars takes no plus sign
    }
    int exponent = 0;
    std::from_chars(at, end, exponent);
    const int point = exponent + 1;  // the decimal point's place after the first digit

    // What the exponent form adds ("e", its sign, two digits) against what the decimal
    // form adds (its point, zeros up to the point).
    int bias = 4;
    if (count > 1 && count <= point) {
        ++bias;  // the decimal form has no point, the exponent form has one
    } else if (count == 1 && point <= 0) {
        --bias;  // the other way round
    }
    const bool decimal = point <= 0 ? 1 - point <= bias : point <= count || point <= count + bias;
    if (!decimal) {
        out += digits[0];
        if (count > 1) {
            out += '.';
            out.append(digits + 1, static_cast<std::size_t>(count - 1));
        }
        out += exponent < 0 ? "e-" : "e+";
        if (std::abs(exponent) < 10) {
            out += '0';
        }
        appendInteger(out, std::abs(exponent));
    } else if (point <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-point), '0');
        out.append(digits, static_cast<std::size_t>(count));
    } else if (point >= count) {
        out.append(digits, static_cast<std::size_t>(count));
        out.append(static_cast<std::size_t>(point - count), '0');
    } else {
        out.append(digits, static_cast<std::size_t>(point));
        out += '.';
        out.append(digits + point, static_cast<std::size_t>(count - point));
    }
}

}  // namespace

void appendJsonNumber(std::string& out, double value)
{
    if (!std::isfinite(value)) {
        out += "null";
    } else if (std::fabs(value) <= 0x1p53 && value == std::trunc(value)) {
        appendInteger(out, static_cast<std::int64_t>(value));  // -0 too, as "0"
    } else {
        appendShortest(out, value);
    }
}

void appendJsonFloat(std::string& out, float value)
{
    if (!(std::fabs(value) < 0x1p24F)) {
        // Whole numbers from 2^24 up, whose shortest form may not be their value, and the
        // values that are no number: rare enough for the detour.
        appendJsonNumber(out, shortestFloat(value));
    } else if (value == std::trunc(value)) {
        appendInteger(out, static_cast<std::int64_t>(value));
    } else {
        // A fraction's shortest float digits are those of the double nearest to them.
        appendShortest(out, value);
    }
}

void appendJsonString(std::string& out, std::string_view text)
{
    static constexpr char kHexDigits[] = "0123456789abcdef";
    constexpr unsigned char kFirstPrintable = 0x20;
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < kFirstPrintable) {
            out += "\\u00";
            out += kHexDigits[byte >> 4];
            out += kHexDigits[byte & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}
