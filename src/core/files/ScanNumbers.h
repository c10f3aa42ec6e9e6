#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

/**
 * A cursor over one line that converts numbers as scanf's "%d", "%f" and "%lf" do in the
 * C locale (a full stop as decimal point, whatever the user's locale), without scanf's
 * undefined behavior on overflow.
 */
class LineScanner {
public:
    explicit LineScanner(std::string_view text) : m_text(text) {}

    /** Skips white space, as a blank in a scanf format does. */
    void skipSpace();
    /** "%d": an int; none when nothing converts or the value does not fit in 32 bits. */
    [[nodiscard]] std::optional<int> scanInt();
    /** "%f": a float (out-of-range values become infinities or zeros, as strtof gives). */
    [[nodiscard]] std::optional<float> scanFloat();
    /** "%lf": a double. */
    [[nodiscard]] std::optional<double> scanDouble();
    /** A number at the position itself (no white space skipped): "%lf" without the skip. */
    [[nodiscard]] std::optional<double> convertDoubleHere();

    [[nodiscard]] std::size_t position() const { return m_pos; }
    void setPosition(std::size_t pos) { m_pos = pos; }
    [[nodiscard]] bool atEnd() const { return m_pos >= m_text.size(); }
    [[nodiscard]] char peek() const { return m_text[m_pos]; }
    [[nodiscard]] std::string_view rest() const { return m_text.substr(m_pos); }

private:
    template <typename T>
    std::optional<T> convertHere();

    std::string_view m_text;
    std::size_t m_pos = 0;
};

/** White space as the C locale's isspace sees it. */
[[nodiscard]] constexpr bool isScanSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
