#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

/** UTF-8's byte-order mark, which some programs put before the first line. */
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
/** Leading lines that are no numbers and are skipped: a scope's name, units, settings. */
inline constexpr std::size_t kMostHeaderLines = 8;
/** The most a time column's steps may differ from their mean, relative to it, however finely
 *  its times are written. */
inline constexpr double kEvenSpacing = 1e-6;
/** Longer lines hold no number anyone wrote; the rest of such a line is dropped. */
inline constexpr std::size_t kLongestTextLine = 1024;
/** The most an exponent of a time is read as: far beyond any double, and no int overflow. */
inline constexpr int kMostExponent = 9999;

/**
 * A time column: the steps, and the digits the times were written with, for the check at the
 * end that they are evenly spaced.
 */
class TimeColumn {
public:
    /** The reason the time cannot follow, or empty. */
    std::string take(double time, std::string_view text, std::size_t line);

    /** Samples per second by the mean step so far; 0 before the second time. */
    [[nodiscard]] double rate() const;

    /**
     * The line whose step is further from the mean step than the times' rounding allows, or
     * 0. A time written to half a unit of its last digit (and, from a float, to half an ulp
     * before that) makes a step off by up to twice that, and the mean step off by that over
     * the steps; 1e-6 of the mean is allowed whatever the digits. Where that rounding is not
     * below half a step, a missing line would look the same, and only 1e-6 is allowed.
     */
    [[nodiscard]] std::size_t unevenLine() const;

private:
    /** How far a time may lie from the one it stands for. */
    [[nodiscard]] double timeError() const;

    std::size_t m_count = 0;
    double m_first = 0.0;
    double m_last = 0.0;
    double m_smallest = 0.0;  ///< step
    double m_largest = 0.0;
    std::size_t m_smallestLine = 0;
    std::size_t m_largestLine = 0;
    int m_decimals = -kMostExponent;
    int m_significant = 0;
    bool m_fromFloat = true;  ///< every time so far is a float as written
};

/**
 * Takes the lines of a text capture one by one into frames: one value a line, or a time and
 * 1 to mostChannels values (comma, semicolon, tab or blanks between). Up to kMostHeaderLines
 * leading lines that are no numbers are headings, a UTF-8 byte-order mark is dropped, and
 * empty lines and lines from ';' or '#' are skipped. The first line that does not fit stops
 * the reading with its number in the error.
 */
class TextFrames {
public:
    /** timed: a time column is read as times (a given rate makes it mere text). */
    TextFrames(bool timed, std::size_t mostChannels);

    void take(std::string_view line);

    /** The values taken and not yet drained, frame after frame, channels() to a frame. */
    [[nodiscard]] std::vector<float>& values() { return m_values; }
    /** Values a frame: 0 before the first. */
    [[nodiscard]] std::size_t channels() const;
    [[nodiscard]] bool hasTimes() const { return m_timed && m_columns > 1; }
    [[nodiscard]] const TimeColumn& times() const { return m_times; }
    [[nodiscard]] std::size_t frames() const { return m_frames; }
    [[nodiscard]] std::size_t headerLines() const { return m_headerLines; }
    [[nodiscard]] const std::string& error() const { return m_error; }

    /** After the last line: the times' even spacing checked; the error, or empty. */
    std::string finish();

private:
    static bool looksLikeDecimalCommas(std::string_view line);
    void fail(const std::string& why);
    [[nodiscard]] std::string shapeRefusal() const;

    std::vector<float> m_values;
    std::vector<double> m_numbers;  ///< of the line at hand
    TimeColumn m_times;
    std::size_t m_mostChannels = 1;
    std::size_t m_columns = 0;
    std::size_t m_frames = 0;
    std::size_t m_line = 0;
    std::size_t m_headerLines = 0;
    std::string m_error;
    bool m_timed = true;
    bool m_commaDecimals = true;  ///< every line so far reads as decimal commas
};
