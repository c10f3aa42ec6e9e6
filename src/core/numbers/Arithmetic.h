#pragma once

#include <cmath>

/** π as the program computes it: acos(-1). */
[[nodiscard]] inline double pi()
{
    static const double value = std::acos(-1.0);
    return value;
}

/** To the nearest integer, halves away from zero (add 0.5 when positive, else subtract). */
[[nodiscard]] inline int roundHalfAway(double value)
{
    return static_cast<int>(value > 0.0 ? value + 0.5 : value - 0.5);
}
