#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/** One order's limit in percent of the fundamental (or in amperes, before scaling). */
struct OrderLimit {
    double order = 0.0;
    double limit = 0.0;
};

/** A limit on the THD counted over the whole orders 2 to highestOrder. */
struct ThdLimit {
    double limit = 0.0;
    int highestOrder = 0;
};

/** Limits a standard sets on a waveform's lines, in percent of the fundamental. */
struct LimitMask {
    std::string name;                ///< as the command line names it: "en50160"
    std::string title;               ///< as the window and verdicts name it: "EN 50160"
    std::vector<OrderLimit> orders;  ///< ascending, each order once
    std::optional<ThdLimit> thd;
    bool inAmperes = false;  ///< limits in A, turned into % by the fundamental's RMS current
};

/**
 * The fundamental's RMS current that scales a mask in amperes: class A covers equipment of up
 * to 16 A a phase, and below 10 mA its limits mean nothing.
 */
inline constexpr double kMinFundamentalRms = 0.01;
inline constexpr double kMaxFundamentalRms = 16.0;

/** The masks Korvalin knows, in menu order. */
[[nodiscard]] const std::vector<LimitMask>& builtInMasks();

/** A mask ready to check against, or why there is none. */
struct MaskChoice {
    std::optional<LimitMask> mask;
    std::string error;
};

/**
 * The built-in mask of that name; one in amperes is scaled to percent of the fundamental
 * by fundamentalRms (its RMS current in A), which it needs.
 */
[[nodiscard]] MaskChoice builtInMask(std::string_view name, std::optional<double> fundamentalRms);

/** The longest line a mask may have; no limit needs more. */
inline constexpr std::size_t kLongestMaskLine = 1024;

/**
 * Reads a user's mask line by line (a line without its end of line): lines
 * "order,limit_percent", at most one "thd,LIMIT,HIGHEST_ORDER", '#' comments and blank lines.
 * The first malformed line, or the first that repeats an order, is refused with its number.
 */
class MaskReader {
public:
    explicit MaskReader(std::string title);
    void takeLine(std::string_view line);
    /** The mask, its orders ascending, or the error; once, after the last line. */
    [[nodiscard]] MaskChoice finish();

private:
    LimitMask m_mask;
    std::vector<int> m_lines;  ///< the line each of m_mask.orders was listed on
    int m_lineNumber = 0;
    int m_errorLine = 0;
    std::string m_error;  ///< of the first malformed line
};

/** A whole mask text read by MaskReader, its lines ended by LF or CR LF. */
[[nodiscard]] MaskChoice parseMask(std::string_view text, std::string title);

/** How one limit fared. */
enum class LimitStatus { Pass, Over, Unresolved };

/** One order of a mask against the design's line there. */
struct OrderCheck {
    double order = 0.0;
    double level = 0.0;  ///< the line, in percent of the fundamental (0 when unresolved)
    double limit = 0.0;
    LimitStatus status = LimitStatus::Pass;
    /** The smallest FFT cycles up to 12 that resolve an unresolved order; none if none do. */
    std::optional<int> resolvingCycles;
};

/** The mask's THD limit against the design. */
struct ThdCheck {
    ThdLimit limit;
    double level = 0.0;
    LimitStatus status = LimitStatus::Pass;
};

/** A whole mask against one analysed spectrum. */
struct MaskCheck {
    std::string title;
    std::vector<OrderCheck> orders;
    std::optional<ThdCheck> thd;

    [[nodiscard]] int count(LimitStatus status) const;
    /** Every limit met and every order measured. */
    [[nodiscard]] bool passed() const;
};

/**
 * Checks spectrum (one line amplitude per bin in percent of the fundamental; bin k is order
 * k / fftCycles) against mask. An order off the bins, or above the last one, is unresolved:
 * an error, never a pass. A level equal to its limit passes.
 */
[[nodiscard]] MaskCheck checkMask(const LimitMask& mask, std::span<const double> spectrum,
                                  int fftCycles);

/** level / limit in percent; 0 for a zero limit met by a zero level, else infinite. */
[[nodiscard]] double shareOfLimit(double level, double limit);

/** An order as verdicts name it: "h5", "h2.5". */
[[nodiscard]] std::string orderName(double order);

/** "THD₄₀" for a THD counted to order 40. */
[[nodiscard]] std::string thdName(int highestOrder);

/**
 * The one line under the figures: "EN 50160: pass, closest h5 at 83 % of its limit", or
 * "EN 50160: 2 exceeded: h5 7.20 % > 6 %, THD₄₀ 9.10 % > 8 %".
 */
[[nodiscard]] std::string verdictLine(const MaskCheck& check);
