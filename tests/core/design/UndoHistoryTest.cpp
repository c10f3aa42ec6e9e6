#include "design/UndoHistory.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(UndoHistoryBudget, TheOldestStepsGoBeyondTheEntryBudgetButTheLastStays)
{
    UndoHistory history(10);  // entries
    std::vector<std::string> kept;
    for (const auto& [name, entries] : {std::pair{"a", 4U}, {"b", 4U}, {"c", 2U}, {"d", 30U}}) {
        history.record(name, [entries] {
            DesignSnapshot state;
            state.entries.resize(entries);
            return state;
        });
        std::string names;
        for (UndoHistory copy = history; copy.canUndo(); copy.undo({})) {
            names += copy.undoName();
        }
        kept.push_back(names);
    }
    EXPECT_EQ(kept, (std::vector<std::string>{"a", "ba", "cba", "d"}));
}

}  // namespace
