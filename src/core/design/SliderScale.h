#pragma once

/**
 * The two sliders' scales. Magnitude: tenths of a percent, 0 to 1000, the position
 * truncated in single precision as the value is held; phase: degrees + 180, 0 to 360.
 */
inline constexpr int kMagnitudePositions = 1000;
inline constexpr int kPhasePositions = 360;

[[nodiscard]] constexpr int magnitudePosition(float magnitude)
{
    const float tenths = magnitude * 10.0F;
    if (!(tenths > 0.0F)) {
        return 0;
    }
    return tenths > 1000.0F ? kMagnitudePositions : static_cast<int>(tenths);
}

/** position x 0.1 in double precision, held as a float. */
[[nodiscard]] constexpr float magnitudeAtPosition(int position)
{
    return static_cast<float>(position * 0.1);
}

[[nodiscard]] constexpr int phasePosition(int phase)
{
    return phase + 180;
}

[[nodiscard]] constexpr int phaseAtPosition(int position)
{
    return position - 180;
}
