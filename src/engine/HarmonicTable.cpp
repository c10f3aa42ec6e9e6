#include "engine/HarmonicTable.h"

#include <algorithm>
#include <cmath>

#include "engine/NumberText.h"

bool HarmonicTable::isWithinSlotLimit(float number) const
{
    // trunc(number x slots + 0.5) < 32768, written so that NaN and huge values fail
    // instead of overflowing an int conversion.
    const double slot = static_cast<double>(number) * m_slotsPerHarmonic + 0.5;
    return slot < 32768.0;
}

void HarmonicTable::AddHarmonic(float number, float magnitude, int phase)
{
    m_lastAddedNumber = number;
    m_selectedNumber = number;
    if (!isWithinSlotLimit(number) || !std::isfinite(number) || !std::isfinite(magnitude)) {
        return;
    }
    if (m_bulk) {
        m_entries.push_back(HarmonicEntry{number, magnitude, phase});
        return;
    }
    const auto at =
        std::upper_bound(m_entries.begin(), m_entries.end(), number,
                         [](float value, const HarmonicEntry& e) { return value < e.number; });
    const int row = static_cast<int>(at - m_entries.begin());
    notify([row](HarmonicTableListener& l) { l.rowAboutToBeInserted(row); });
    m_entries.insert(at, HarmonicEntry{number, magnitude, phase});
    // The selected row keeps its entry until the new row is selected: a view that moves
    // its highlight with the rows then agrees with the table at every step.
    if (m_selectedRow >= row) {
        ++m_selectedRow;
    }
    notify([row](HarmonicTableListener& l) { l.rowInserted(row); });
    selectRow(row);
}

HarmonicTable::BulkLoad::BulkLoad(HarmonicTable& table) : m_table(table)
{
    m_table.notify([](HarmonicTableListener& l) { l.tableAboutToBeCleared(); });
    m_table.m_bulk = true;
}

HarmonicTable::BulkLoad::~BulkLoad()
{
    m_table.m_bulk = false;
    const auto byNumber = [](const HarmonicEntry& a, const HarmonicEntry& b) {
        return a.number < b.number;
    };
    std::vector<HarmonicEntry>& entries = m_table.m_entries;
    if (!std::is_sorted(entries.begin(), entries.end(), byNumber)) {
        std::stable_sort(entries.begin(), entries.end(), byNumber);
    }
    m_table.m_selectedRow = -1;
    m_table.notify([](HarmonicTableListener& l) {
        l.tableCleared();
        l.selectionChanged(-1);
    });
}

void HarmonicTable::UpdateHarmonic(float number, float magnitude, int phase)
{
    for (int row = 0; row < count(); ++row) {
        HarmonicEntry& e = m_entries[static_cast<std::size_t>(row)];
        if (e.number == number) {
            e.magnitude = magnitude;
            e.phase = phase;
            notify([row](HarmonicTableListener& l) { l.rowsChanged(row, row); });
        }
    }
}

std::optional<HarmonicEntry> HarmonicTable::FindHarmonic(float number) const
{
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [number](const HarmonicEntry& e) { return e.number == number; });
    if (it == m_entries.end()) {
        return std::nullopt;
    }
    return *it;
}

std::vector<HarmonicEntry> HarmonicTable::takeEntries()
{
    notify([](HarmonicTableListener& l) { l.tableAboutToBeCleared(); });
    std::vector<HarmonicEntry> entries = std::move(m_entries);
    m_entries.clear();  // a moved-from vector is only known to be valid
    m_selectedRow = -1;
    notify([](HarmonicTableListener& l) {
        l.tableCleared();
        l.selectionChanged(-1);
    });
    return entries;
}

void HarmonicTable::restore(std::vector<HarmonicEntry> entries, int selectedRow,
                            float selectedNumber, float lastAddedNumber)
{
    notify([](HarmonicTableListener& l) { l.tableAboutToBeCleared(); });
    m_entries = std::move(entries);
    m_selectedNumber = selectedNumber;
    m_lastAddedNumber = lastAddedNumber;
    m_selectedRow = -1;
    notify([](HarmonicTableListener& l) { l.tableCleared(); });
    selectRow(selectedRow);
}

void HarmonicTable::RemoveRow(int row)
{
    if (row < 0 || row >= count()) {
        return;
    }
    notify([row](HarmonicTableListener& l) { l.rowAboutToBeRemoved(row); });
    m_entries.erase(m_entries.begin() + row);
    if (m_selectedRow == row) {
        m_selectedRow = -1;
    } else if (m_selectedRow > row) {
        --m_selectedRow;
    }
    notify([row](HarmonicTableListener& l) { l.rowRemoved(row); });
}

void HarmonicTable::RelabelNumberColumn(float frequencyMultiplier)
{
    m_frequencyMultiplier = frequencyMultiplier;
    if (!m_entries.empty()) {
        notify([last = count() - 1](HarmonicTableListener& l) { l.rowsChanged(0, last); });
    }
}

void HarmonicTable::selectRow(int row)
{
    m_selectedRow = row >= 0 && row < count() ? row : -1;
    notify([row = m_selectedRow](HarmonicTableListener& l) { l.selectionChanged(row); });
}

std::string HarmonicTable::numberText(int row) const
{
    return formatFixed(static_cast<double>(entry(row).number * m_frequencyMultiplier), 2);
}

std::string HarmonicTable::magnitudeText(int row) const
{
    return formatFixed(static_cast<double>(entry(row).magnitude), 2);
}

std::string HarmonicTable::phaseText(int row) const
{
    return formatInt(entry(row).phase);
}
