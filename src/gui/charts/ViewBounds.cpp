#include "charts/ViewBounds.h"

#include <algorithm>

AxisSpan boundedView(AxisSpan wanted, AxisSpan data, double narrowest)
{
    if (wanted.size() >= data.size()) {
        return data;
    }
    AxisSpan view = wanted;
    const double least = std::min(narrowest, data.size());
    if (view.size() < least) {
        const double middle = (view.lower + view.upper) / 2.0;
        view = {middle - least / 2.0, middle + least / 2.0};
    }
    const double size = view.size();
    if (view.lower < data.lower) {
        view = {data.lower, data.lower + size};
    } else if (view.upper > data.upper) {
        view = {data.upper - size, data.upper};
    }
    return view;
}
