#pragma once

#include <string>
#include <string_view>

// Numbers of korvalin-cli's JSON written straight into text, byte for byte as QJsonDocument
// writes the same values, so that a table of millions of entries needs no document.

/** The double nearest to the float's shortest round-trip decimal form: 11.111111f as 11.111111. */
[[nodiscard]] double shortestFloat(float value);

/**
 * Appends value as QJsonDocument writes a double: whole numbers up to 2^53 as integers,
 * others in the shorter of the decimal and exponent forms of their shortest round-trip
 * digits, "null" for infinities and NaN.
 */
void appendJsonNumber(std::string& out, double value);

/** Appends what appendJsonNumber appends for shortestFloat(value), without that detour. */
void appendJsonFloat(std::string& out, float value);

/**
 * Appends text as a JSON string: quotes and backslashes escaped, control characters as
 * \u00XX. The text must be UTF-8 already (Korvalin's own texts are).
 */
void appendJsonString(std::string& out, std::string_view text);
