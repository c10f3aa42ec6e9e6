#include "charts/ViewBounds.h"

#include <gtest/gtest.h>

#include <ostream>

void PrintTo(const AxisSpan& span, std::ostream* out)
{
    *out << span.lower << ".." << span.upper;
}

namespace {

struct ViewCase {
    const char* name;
    AxisSpan wanted;
    AxisSpan data;
    double narrowest;
    AxisSpan shown;
};

void PrintTo(const ViewCase& c, std::ostream* out)
{
    *out << c.name;
}

// A spectrum of 65 bins as the chart lays it out, with half a bin of room at each end.
constexpr AxisSpan kBins{-0.5, 64.5};

const ViewCase kCases[] = {
    {"InsideStays", {10.0, 20.0}, kBins, 2.0, {10.0, 20.0}},
    {"AllOfItStays", kBins, kBins, 2.0, kBins},
    {"PastTheStartSlidesBack", {-10.0, 30.0}, kBins, 2.0, {-0.5, 39.5}},
    {"PastTheEndSlidesBack", {65.0, 105.0}, kBins, 2.0, {24.5, 64.5}},
    {"WiderThanTheDataShowsAll", {-40.0, 235.0}, kBins, 2.0, kBins},
    {"WiderAtOneEndShowsAll", {-0.5, 80.0}, kBins, 2.0, kBins},
    {"NarrowerWidensAboutItsMiddle", {10.0, 10.5}, kBins, 2.0, {9.25, 11.25}},
    {"NarrowerAtTheStartWidensInside", {-0.5, 0.0}, kBins, 2.0, {-0.5, 1.5}},
    {"NarrowerAtTheEndWidensInside", {64.0, 64.5}, kBins, 4.0, {60.5, 64.5}},
    {"JustTheNarrowestStays", {0.0, 4.0}, {0.0, 127.0}, 4.0, {0.0, 4.0}},
    {"DataNarrowerThanTheNarrowestShowsAll", {0.0, 1.0}, {0.0, 2.0}, 4.0, {0.0, 2.0}},
};

class BoundedView : public testing::TestWithParam<ViewCase> {};

TEST_P(BoundedView, StaysInsideTheDataAndNoNarrowerThanAllowed)
{
    const ViewCase& c = GetParam();
    EXPECT_EQ(boundedView(c.wanted, c.data, c.narrowest), c.shown);
}

INSTANTIATE_TEST_SUITE_P(Cases, BoundedView, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ViewCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
