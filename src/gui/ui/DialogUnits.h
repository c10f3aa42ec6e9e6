#pragma once

#include <QRect>
#include <QSize>

class QFont;
class QWidget;

/**
 * Dialog units of a font, converted as the original platform does: horizontally by a
 * quarter of the average width of the 52 letters, vertically by an eighth of the font's
 * height. Forms keep their template rectangles in dialog units, so texts fit any font.
 */
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

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
 * Places every child of form that carries a "dialogRect" property at its converted
 * rectangle, and sizes content (form itself when null) from form's "dialogSize".
 */
void placeFromDialogUnits(QWidget* form, QWidget* content = nullptr);
