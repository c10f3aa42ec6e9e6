#pragma once

#include <QRect>

#include <optional>

/**
 * The harmonic list's column as the window grows taller: the list takes all the client
 * height above the default, and every control under it in its column moves down by as
 * much, so their order and spacing stay as drawn. The defaults hold at the default height
 * and below.
 */
struct ListColumn {
    QRect list;         ///< the list's default rectangle
    int defaultHeight;  ///< the client height the default rectangles are drawn for

    /**
     * Where a control whose default rectangle is control stands at clientHeight, or none
     * when it lies outside the column under the list (the rule leaves it alone).
     */
    [[nodiscard]] std::optional<QRect> place(const QRect& control, int clientHeight) const;
};
