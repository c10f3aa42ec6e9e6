#pragma once

/** A stretch of a chart's x axis, in sample or bin indices. */
struct AxisSpan {
    double lower = 0.0;
    double upper = 0.0;

    [[nodiscard]] double size() const { return upper - lower; }
    bool operator==(const AxisSpan&) const = default;
};

/**
 * The view a chart shows for the view asked for: inside data (a view past an edge slides
 * back to it), no wider than data, and at least narrowest wide (or all of data, where it is
 * narrower), widened about its middle.
 */
[[nodiscard]] AxisSpan boundedView(AxisSpan wanted, AxisSpan data, double narrowest);
