#pragma once

#include <cstddef>
#include <string>

// Locale-independent number texts, equal to printf's in the C locale. Qt sets the C
// library's locale from the environment, so printf itself would write "1,50" under a
// decimal-comma locale, and files must always use a full stop.

/** printf("%.<precision>f", value). */
[[nodiscard]] std::string formatFixed(double value, int precision);
/** printf("%<width>.<precision>f", value): right-aligned, widened when longer. */
[[nodiscard]] std::string formatFixed(double value, int width, int precision);
/** printf("%g", value): six significant digits, trailing zeros dropped. */
[[nodiscard]] std::string formatGeneral(double value);
/**
 * A number for a message, never longer than kCompactWidth characters: fixed with up to
 * `decimals` decimals, trailing zeros dropped, when that fits ("49.999998", "48000"), else
 * scientific with four significant digits at most ("1e+300", "-1.235e+15").
 */
[[nodiscard]] std::string formatCompact(double value, int decimals);
inline constexpr std::size_t kCompactWidth = 12;
/** printf("%d", value). */
[[nodiscard]] std::string formatInt(int value);
/** Appends printf("%.<precision>f", value) to out without a temporary string. */
void appendFixed(std::string& out, double value, int width, int precision);
