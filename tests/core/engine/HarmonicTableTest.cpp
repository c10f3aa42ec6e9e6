#include "engine/HarmonicTable.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

/** Keeps its own copy of the rows, as a list view does, from the notifications alone. */
class MirrorList final : public HarmonicTableListener {
public:
    explicit MirrorList(const HarmonicTable& table) : m_table(table) {}

    void rowInserted(int row) override
    {
        rows.insert(rows.begin() + row, text(row));
        selected += selected >= row ? 1 : 0;  // the highlight moves down with its entry
        EXPECT_EQ(m_table.selectedRow(), std::max(selected, -1));
    }
    void rowRemoved(int row) override { rows.erase(rows.begin() + row); }
    void tableCleared() override  // a reset: every row anew
    {
        rows.assign(static_cast<std::size_t>(m_table.count()), {});
        rowsChanged(0, m_table.count() - 1);
    }
    void rowsChanged(int first, int last) override
    {
        for (int row = first; row <= last; ++row) {
            rows[static_cast<std::size_t>(row)] = text(row);
        }
    }
    void selectionChanged(int row) override { selected = row; }

    std::vector<std::string> rows;
    int selected = -2;

private:
    std::string text(int row) const
    {
        return m_table.numberText(row) + "|" + m_table.magnitudeText(row) + "|" +
               m_table.phaseText(row);
    }
    const HarmonicTable& m_table;
};

// Each magnitude is the order of adding, so the rows run by number, then by magnitude: equal
// numbers after the ones there before, whether added one by one or in one bulk load.
TEST(HarmonicTable, KeepsNumberOrderWithEqualNumbersAfterExistingOnesAlsoInABulkLoad)
{
    // Numbers with every bit in use, each many times, and both zeros (equal numbers).
    std::mt19937 random(20261207);
    std::vector<float> numbers{-0.0F, 0.0F};
    for (int i = 0; i < 300; ++i) {
        numbers.push_back(std::uniform_real_distribution<float>(0.0F, 64.0F)(random));
    }
    HarmonicTable single;
    HarmonicTable bulk;
    MirrorList list(bulk);
    bulk.setListener(&list);
    for (HarmonicTable* table : {&single, &bulk}) {
        table->addHarmonic(0.0F, -1.0F, 0);
    }
    {
        const HarmonicTable::BulkLoad load(bulk);
        for (int i = 0; i < 3001; ++i) {
            const float number = numbers[random() % numbers.size()];
            single.addHarmonic(number, static_cast<float>(i), 0);
            bulk.addHarmonic(number, static_cast<float>(i), 0);
        }
    }
    const std::vector<HarmonicEntry>& rows = single.entries();
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return std::pair(a.number, a.magnitude) < std::pair(b.number, b.magnitude);
    }));
    EXPECT_EQ(bulk.entries(), rows);
    EXPECT_EQ(list.rows.size(), 3002U);
    EXPECT_EQ(list.selected, -1);
}

TEST(HarmonicTable, SlotLimitDropsSilentlyButStillRemembersTheNumber)
{
    HarmonicTable table;
    table.setSlotsPerHarmonic(512);  // ppc 128
    table.addHarmonic(1.0F, 100.0F, 0);
    // 32767.5 / 512 = 63.9990234375 is the first number whose slot reaches 32768.
    table.addHarmonic(63.9990234375F, 1.0F, 0);
    EXPECT_EQ(table.count(), 1);
    EXPECT_EQ(table.lastAddedNumber(), 63.9990234375F);
    EXPECT_EQ(table.selectedNumber(), 63.9990234375F);
    EXPECT_EQ(table.selectedRow(), 0);  // the selection stays on the last added row
    table.addHarmonic(std::nextafter(63.9990234375F, 0.0F), 1.0F, 0);
    EXPECT_EQ(table.count(), 2);
    for (const float number :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 1e30F}) {
        table.addHarmonic(number, 1.0F, 0);
    }
    table.addHarmonic(2.0F, std::numeric_limits<float>::infinity(), 0);
    EXPECT_EQ(table.count(), 2);
}

TEST(HarmonicTable, ListenerMirrorsEveryChangeAndUpdateFindsExactNumbersOnly)
{
    HarmonicTable table;
    MirrorList list(table);
    table.setListener(&list);
    table.addHarmonic(1.0F, 100.0F, 0);
    table.addHarmonic(3.0F, 33.333F, 0);
    table.addHarmonic(std::nextafter(2.0F, 3.0F), 5.0F, 30);
    table.addHarmonic(2.0F, 7.0F, 1);
    table.addHarmonic(2.0F, 8.0F, 2);
    EXPECT_EQ(list.selected, 2);
    EXPECT_EQ(table.findHarmonic(2.0F)->magnitude, 7.0F);
    table.updateHarmonic(2.0F, 12.5F, -10);  // every match
    table.updateHarmonic(4.0F, 9.0F, 9);     // not in the table: nothing happens
    table.relabelNumberColumn(60.0F);
    EXPECT_EQ(table.entry(4).number, 3.0F);  // the entry keeps the number, the row the label
    table.removeRow(0);
    table.removeRow(5);  // out of range: nothing happens
    EXPECT_EQ(list.rows, (std::vector<std::string>{"120.00|12.50|-10", "120.00|12.50|-10",
                                                   "120.00|5.00|30", "180.00|33.33|0"}));
    EXPECT_EQ(table.selectedRow(), 1);  // the selected row moved up with its entry
    table.removeRow(1);
    EXPECT_EQ(table.selectedRow(), -1);  // removing the selected row leaves none
    table.clearHarmonics();
    EXPECT_TRUE(list.rows.empty());
    EXPECT_EQ(list.selected, -1);
}

}  // namespace
