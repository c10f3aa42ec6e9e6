#include "ui/ListColumn.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

namespace {

struct ColumnCase {
    const char* name;
    QRect control;
    int clientHeight;
    std::optional<QRect> placed;  // none: the rule leaves the control alone
};

void PrintTo(const ColumnCase& c, std::ostream* out)
{
    *out << c.name;
}

// The main window's list, in dialog units: columns 6 to 151, rows 8 to 100.
const ListColumn kColumn{QRect(6, 8, 146, 93), 236};

const ColumnCase kCases[] = {
    {"ListTakesTheExtraHeight", QRect(6, 8, 146, 93), 336, QRect(6, 8, 146, 193)},
    {"ListNeverShrinksBelowTheDefault", QRect(6, 8, 146, 93), 150, QRect(6, 8, 146, 93)},
    {"ButtonUnderTheListMoves", QRect(6, 105, 48, 15), 336, QRect(6, 205, 48, 15)},
    {"ControlJustUnderTheListMoves", QRect(80, 101, 20, 8), 240, QRect(80, 105, 20, 8)},
    {"ControlEndingInTheListsFirstColumnMoves", QRect(0, 133, 7, 16), 300, QRect(0, 197, 7, 16)},
    {"ControlStartingInTheListsLastColumnMoves", QRect(151, 135, 20, 9), 300,
     QRect(151, 199, 20, 9)},
    {"ControlLeftOfTheListStays", QRect(0, 133, 6, 16), 336, std::nullopt},
    {"ControlUnderTheListStaysAtTheDefault", QRect(40, 205, 40, 9), 200, QRect(40, 205, 40, 9)},
    {"ControlRightOfTheListStays", QRect(152, 135, 20, 9), 336, std::nullopt},
    {"ControlOverlappingTheListsLastRowStays", QRect(6, 100, 20, 8), 336, std::nullopt},
};

class ListColumnTest : public testing::TestWithParam<ColumnCase> {};

TEST_P(ListColumnTest, PlacesTheListAndWhatLiesUnderIt)
{
    const ColumnCase& c = GetParam();
    EXPECT_EQ(kColumn.place(c.control, c.clientHeight), c.placed);
}

INSTANTIATE_TEST_SUITE_P(Cases, ListColumnTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ColumnCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
