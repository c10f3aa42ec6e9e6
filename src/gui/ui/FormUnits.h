#pragma once

#include <QRect>
#include <QSize>

class QFont;
class QWidget;

/**
 * Form units of a font: horizontally a quarter of the average width of the 52 letters,
 * vertically an eighth of the font's height. Forms keep their rectangles in these units, so
 * texts fit any font.
 */
class FormUnits {
public:
    explicit FormUnits(const QFont& font);

    [[nodiscard]] int baseX() const { return m_baseX; }
    [[nodiscard]] int toPixelsX(int du) const;
    [[nodiscard]] int toPixelsY(int du) const;
    /** Converts the rectangle's edges, so adjacent rectangles stay adjacent. */
    [[nodiscard]] QRect toPixels(const QRect& du) const;
    [[nodiscard]] QSize toPixels(const QSize& du) const;

private:
    int m_baseX;
    int m_baseY;
};

/**
 * Places every child of form that carries a "formRect" property at its converted
 * rectangle, and sizes content (form itself when null) from form's "formSize".
 */
void placeFromFormUnits(QWidget* form, QWidget* content = nullptr);
