#pragma once

#include <cmath>
#include <cstddef>

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

/** The least power of two times least that reaches value, but at most most. */
[[nodiscard]] inline int powerOfTwoReaching(double value, int least, int most)
{
    int power = least;
    while (power < value && power < most) {
        power *= 2;
    }
    return power;
}

/**
 * A carrier turned by repeated rotation is set exactly again every so many samples, so its
 * rounding stays negligible over any span.
 */
inline constexpr std::size_t kExactCarrierEvery = 1024;

/** The 0th-order modified Bessel function of the first kind (Kaiser windows), by its series. */
[[nodiscard]] inline double besselI0(double x)
{
    constexpr double kConverged = 1e-17;
    double sum = 1.0;
    double term = 1.0;
    const double quarter = x * x * 0.25;
    for (int k = 1; term > kConverged * sum; ++k) {
        term *= quarter / (static_cast<double>(k) * k);
        sum += term;
    }
    return sum;
}
