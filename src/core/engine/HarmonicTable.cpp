#include "engine/HarmonicTable.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>

#include "numbers/NumberText.h"

namespace {

/** Orders as float "<" does, negative zero as zero: the key of a radix sort. */
std::uint32_t sortKey(float number)
{
    const auto bits = std::bit_cast<std::uint32_t>(number + 0.0F);  // -0 + 0 is +0
    return (bits & 0x80000000U) != 0 ? ~bits : bits | 0x80000000U;
}

/**
 * Stable sort by number, least significant 11 bits of the key first, between entries and
 * buffer (at least as long); a digit that every key shares costs no pass.
 */
void radixSort(std::span<HarmonicEntry> entries, HarmonicEntry* buffer)
{
    constexpr int kBits = 11;
    constexpr int kDigits = 3;
    constexpr std::uint32_t kMask = (1U << kBits) - 1;
    std::vector<std::array<std::size_t, kMask + 1>> counts(kDigits);
    for (const HarmonicEntry& e : entries) {
        const std::uint32_t key = sortKey(e.number);
        for (int d = 0; d < kDigits; ++d) {
            ++counts[static_cast<std::size_t>(d)][key >> (d * kBits) & kMask];
        }
    }
    HarmonicEntry* from = entries.data();
    HarmonicEntry* to = buffer;
    for (int d = 0; d < kDigits; ++d) {
        auto& count = counts[static_cast<std::size_t>(d)];
        if (std::find(count.begin(), count.end(), entries.size()) != count.end()) {
            continue;
        }
        std::size_t start = 0;
        for (std::size_t& c : count) {
            start += std::exchange(c, start);
        }
        for (std::size_t i = 0; i < entries.size(); ++i) {
            to[count[sortKey(from[i].number) >> (d * kBits) & kMask]++] = from[i];
        }
        std::swap(from, to);
    }
    if (from != entries.data()) {
        std::copy_n(from, entries.size(), entries.data());
    }
}

/**
 * Stable sort by number with a buffer of half the table, as std::stable_sort takes, in a
 * few passes instead of one per halving: each half by radix, then one merge.
 */
void sortByNumber(std::vector<HarmonicEntry>& entries)
{
    const std::size_t half = entries.size() / 2;
    const std::span<HarmonicEntry> all(entries);
    const auto buffer = std::make_unique_for_overwrite<HarmonicEntry[]>(all.size() - half);
    radixSort(all.first(half), buffer.get());
    radixSort(all.subspan(half), buffer.get());
    // The first half goes to the buffer and is merged back from the front; on equal
    // numbers its entries come first.
    std::copy_n(all.begin(), half, buffer.get());
    const HarmonicEntry* a = buffer.get();
    const HarmonicEntry* const aEnd = a + half;
    auto b = all.begin() + static_cast<std::ptrdiff_t>(half);
    auto out = all.begin();
    while (a != aEnd && b != all.end()) {
        *out++ = b->number < a->number ? *b++ : *a++;
    }
    std::copy(a, aEnd, out);
}

}  // namespace

int slotsPerHarmonicFor(float ppc)
{
    constexpr float kLargestInt = 2147483647.0F;
    const float slots = static_cast<float>(kSlotGrid) / ppc;
    return slots < kLargestInt ? static_cast<int>(slots) : 0;
}

double largestHarmonicNumber(float ppc)
{
    constexpr double kLimitPerPpc = static_cast<double>(kSlotLimit) / kSlotGrid;
    return static_cast<double>(ppc) * kLimitPerPpc -
           1.0 / static_cast<double>(slotsPerHarmonicFor(ppc));
}

bool HarmonicTable::isWithinSlotLimit(float number) const
{
    // trunc(number x slots + 0.5) < kSlotLimit, written so that NaN and huge values fail
    // instead of overflowing an int conversion.
    const double slot = static_cast<double>(number) * m_slotsPerHarmonic + 0.5;
    return slot < kSlotLimit;
}

void HarmonicTable::addHarmonic(float number, float magnitude, int phase)
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
    std::vector<HarmonicEntry>& entries = m_table.m_entries;
    if (!std::is_sorted(
            entries.begin(), entries.end(),
            [](const HarmonicEntry& a, const HarmonicEntry& b) { return a.number < b.number; })) {
        sortByNumber(entries);
    }
    m_table.m_selectedRow = -1;
    m_table.notify([](HarmonicTableListener& l) {
        l.tableCleared();
        l.selectionChanged(-1);
    });
}

void HarmonicTable::updateHarmonic(float number, float magnitude, int phase)
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

std::optional<HarmonicEntry> HarmonicTable::findHarmonic(float number) const
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

void HarmonicTable::removeRow(int row)
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

void HarmonicTable::relabelNumberColumn(float frequencyMultiplier)
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

HarmonicEntry HarmonicTable::makeCurrent(int row)
{
    selectRow(row);
    const HarmonicEntry current = entry(row);
    m_selectedNumber = current.number;
    updateHarmonic(current.number, current.magnitude, current.phase);
    return current;
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
