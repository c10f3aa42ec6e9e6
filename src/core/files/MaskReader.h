#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/LimitTables.h"

/** The longest line a mask may have; no limit needs more. */
inline constexpr std::size_t kLongestMaskLine = 1024;

/**
 * Reads a user's mask line by line (a line without its end of line): lines
 * "order,limit_percent", at most one "thd,LIMIT,HIGHEST_ORDER" ("thd" in any case), at most
 * one "stat,STATISTIC,AGGREGATION" (the statistic a recording is judged by; "stat,p95,10min"
 * over the whole recording when there is none), '#' comments and blank lines. As spreadsheets write
 * CSV, a UTF-8 byte-order mark and one header line before the first limit, none of whose fields is
 * a number, are passed over. The first other malformed line, or the first that repeats an order, is
 * refused with its number.
 */
class MaskReader {
public:
    explicit MaskReader(std::string title);
    void takeLine(std::string_view line);
    /** The mask, its orders ascending, or the error; once, after the last line. */
    [[nodiscard]] MaskChoice finish();

private:
    /** Whether line is the one header line a mask may start with. */
    [[nodiscard]] bool isHeader(std::string_view line);

    LimitMask m_mask;
    std::vector<int> m_lines;  ///< the line each of m_mask.orders was listed on
    int m_lineNumber = 0;
    bool m_headerAllowed = true;  ///< until the first meaningful line
    int m_errorLine = 0;
    std::string m_error;  ///< of the first malformed line
};

/** A whole mask text read by MaskReader, its lines ended by LF or CR LF. */
[[nodiscard]] MaskChoice parseMask(std::string_view text, std::string title);
