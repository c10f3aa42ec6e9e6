#pragma once

#include <cmath>
#include <concepts>
#include <limits>
#include <optional>

/**
 * A number from outside (a file, an option, a mask) as an index or a count of type T, its
 * fraction dropped; none when it does not fit: NaN, infinite, negative, or at or above T's
 * range. Converting such a double with static_cast is undefined behavior, so every value
 * that did not come from Korvalin itself goes through here before it indexes anything.
 */
template <std::integral T>
[[nodiscard]] constexpr std::optional<T> checkedCount(double value)
{
    // 2^digits is exact as a double, and every double below it converts to T.
    const double end = std::ldexp(1.0, std::numeric_limits<T>::digits);
    if (!(value >= 0.0 && value < end)) {
        return std::nullopt;
    }
    return static_cast<T>(value);
}
