#include "charts/ViewBounds.h"

#include <gtest/gtest.h>

namespace {

struct ViewCase {
    const char* name;
    AxisSpan wanted;
    AxisSpan data;
    double narrowest;
    AxisSpan shown;
};

// A spectrum of 65 bins as the chart lays it out, with half a bin of room at each end.
constexpr AxisSpan kBins{-0.5, 64.5};

const ViewCase kCases[] = {
    {"InsideStays", {10.0, 20.0}, kBins, 2.0, {10.0, 20.0}},
    {"PastTheStartSlidesBack", {-10.0, 30.0}, kBins, 2.0, {-0.5, 39.5}},
    {"WiderThanTheDataShowsAll", {-40.0, 235.0}, kBins, 2.0, kBins},
    {"WiderAtOneEndShowsAll", {-0.5, 80.0}, kBins, 2.0, kBins},
    {"NarrowerWidensAboutItsMiddle", {10.0, 10.5}, kBins, 2.0, {9.25, 11.25}},
    {"NarrowerAtTheEndWidensInside", {64.0, 64.5}, kBins, 4.0, {60.5, 64.5}},
    {"JustTheNarrowestStays", {0.0, 4.0}, {0.0, 127.0}, 4.0, {0.0, 4.0}},
    {"DataNarrowerThanTheNarrowestShowsAll", {0.0, 1.0}, {0.0, 2.0}, 4.0, {0.0, 2.0}},
};

class BoundedView : public testing::TestWithParam<ViewCase> {};

TEST_P(BoundedView, StaysInsideTheDataAndNoNarrowerThanAllowed)
{
    const ViewCase& c = GetParam();
    const AxisSpan shown = boundedView(c.wanted, c.data, c.narrowest);
    EXPECT_EQ(std::pair(shown.lower, shown.upper), std::pair(c.shown.lower, c.shown.upper));
}

INSTANTIATE_TEST_SUITE_P(Cases, BoundedView, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ViewCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
