#include "ui/ListColumn.h"

#include <algorithm>

std::optional<QRect> ListColumn::place(const QRect& control, int clientHeight) const
{
    const int growth = std::max(0, clientHeight - defaultHeight);
    if (control == list) {
        return control.adjusted(0, 0, 0, growth);
    }
    const bool under = control.top() > list.bottom();
    const bool sharesColumn = control.left() <= list.right() && control.right() >= list.left();
    if (under && sharesColumn) {
        return control.translated(0, growth);
    }
    return std::nullopt;
}
