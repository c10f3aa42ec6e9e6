#include "ui/FormUnits.h"

#include <algorithm>

#include <QAbstractButton>
#include <QFontMetrics>
#include <QLabel>
#include <QVariant>
#include <QWidget>

namespace {

/** a x b / c, rounded half away from zero, without overflow in between. */
int scaledRounded(int a, int b, int c)
{
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

FormUnits::FormUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (letters / 26 + 1) / 2;
    m_baseY = metrics.height();
}

int FormUnits::toPixelsX(int du) const
{
    return scaledRounded(du, m_baseX, 4);
}

int FormUnits::toPixelsY(int du) const
{
    return scaledRounded(du, m_baseY, 8);
}

QRect FormUnits::toPixels(const QRect& du) const
{
    const int left = toPixelsX(du.x());
    const int top = toPixelsY(du.y());
    const int right = toPixelsX(du.x() + du.width());
    const int bottom = toPixelsY(du.y() + du.height());
    return QRect(left, top, right - left, bottom - top);
}

QSize FormUnits::toPixels(const QSize& du) const
{
    return QSize(toPixelsX(du.width()), toPixelsY(du.height()));
}

namespace {

bool showsOneLineOfText(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return !label->wordWrap() && !label->text().isEmpty() && !label->text().contains(u'\n');
    }
    return qobject_cast<const QAbstractButton*>(widget) != nullptr;
}

/**
 * A text control whose text is wider than its converted box (fonts differ in their
 * proportions) grows to the right, up to the next control on its row, so no text is cut.
 */
void widenToFitText(QWidget* control, const QList<QWidget*>& siblings)
{
    const int needed = control->sizeHint().width();
    if (!showsOneLineOfText(control) || needed <= control->width()) {
        return;
    }
    const QRect box = control->geometry();
    int limit = control->parentWidget() ? control->parentWidget()->width() : box.x() + needed;
    for (const QWidget* other : siblings) {
        const QRect o = other->geometry();
        if (other != control && other->parentWidget() == control->parentWidget() &&
            o.left() >= box.right() && o.top() < box.bottom() && o.bottom() > box.top()) {
            limit = std::min(limit, o.left() - 1);
        }
    }
    control->resize(std::max(box.width(), std::min(needed, limit - box.x())), box.height());
}

/** The same for a word-wrapped text that needs more lines: it grows down to the next control. */
void deepenToFitText(QWidget* control, const QList<QWidget*>& siblings)
{
    const auto* label = qobject_cast<const QLabel*>(control);
    if (!label || !label->wordWrap()) {
        return;
    }
    const QRect box = control->geometry();
    const int needed = label->heightForWidth(box.width());
    if (needed <= box.height()) {
        return;
    }
    int limit = control->parentWidget() ? control->parentWidget()->height() : box.y() + needed;
    for (const QWidget* other : siblings) {
        const QRect o = other->geometry();
        if (other != control && o.top() >= box.bottom() && o.left() < box.right() &&
            o.right() > box.left()) {
            limit = std::min(limit, o.top() - 1);
        }
    }
    control->resize(box.width(), std::max(box.height(), std::min(needed, limit - box.y())));
}

}  // namespace

void placeFromFormUnits(QWidget* form, QWidget* content)
{
    const FormUnits units(form->font());
    const QList<QWidget*> children = form->findChildren<QWidget*>();
    QList<QWidget*> placed;
    for (QWidget* child : children) {
        const QVariant rect = child->property("formRect");
        if (rect.isValid()) {
            child->setGeometry(units.toPixels(rect.toRect()));
            placed.push_back(child);
        }
    }
    const QVariant size = form->property("formSize");
    if (size.isValid()) {
        QWidget* target = content ? content : form;
        const QSize pixels = units.toPixels(size.toSize());
        target->setMinimumSize(0, 0);
        target->resize(pixels);
        if (!content) {
            form->resize(pixels);
        }
    }
    for (QWidget* child : placed) {
        widenToFitText(child, placed);
        deepenToFitText(child, placed);
    }
}
