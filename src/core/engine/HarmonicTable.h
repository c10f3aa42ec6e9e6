#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fft/FftBuffer.h"
#include "settings/WaveSettings.h"

/**
 * The table's slots over one cycle: the analysis grid. A harmonic number takes the slot
 * trunc(number x slots per harmonic + 0.5), with the slots per harmonic trunc(grid / ppc).
 */
inline constexpr int kSlotGrid = static_cast<int>(kSampleBufferSize);
/** No entry takes this slot or one above: half the grid, half the ppc in harmonic numbers. */
inline constexpr int kSlotLimit = kSlotGrid / 2;

/** Table slots per harmonic at ppc: trunc(kSlotGrid / ppc) in single precision; 0 beyond int. */
[[nodiscard]] int slotsPerHarmonicFor(float ppc);

/**
 * The largest harmonic number an entry may have at ppc: the last whole slot below the slot
 * limit, half the ppc less one slot.
 */
[[nodiscard]] double largestHarmonicNumber(float ppc);

/** One harmonic: number (multiple of the fundamental), magnitude in percent, phase in degrees. */
struct HarmonicEntry {
    float number = 0.0F;
    float magnitude = 0.0F;
    int phase = 0;

    bool operator==(const HarmonicEntry&) const = default;
};

/**
 * Told of every change of a HarmonicTable, so that a list view can mirror it row for row.
 * The "about to" calls come before the entries change, the others after.
 */
class HarmonicTableListener {
public:
    virtual ~HarmonicTableListener() = default;
    virtual void rowAboutToBeInserted(int /*row*/) {}
    virtual void rowInserted(int /*row*/) {}
    virtual void rowAboutToBeRemoved(int /*row*/) {}
    virtual void rowRemoved(int /*row*/) {}
    /** Every row may change: the table is emptied, or filled by a BulkLoad. */
    virtual void tableAboutToBeCleared() {}
    virtual void tableCleared() {}
    /** Texts of rows first to last (inclusive) changed. */
    virtual void rowsChanged(int /*first*/, int /*last*/) {}
    /** The selected row changed; -1 when no row is selected. */
    virtual void selectionChanged(int /*row*/) {}
};

/**
 * The ordered harmonic table: ascending by number, equal numbers in the order they were
 * added. Row k of the main list always shows entry k.
 */
class HarmonicTable {
public:
    /**
     * While one lives, addHarmonic only appends (no notices, no selection), and at its end one
     * stable sort by number restores the order: equal numbers stay in the order added, after
     * those already there, as addHarmonic would have put them, in n log n instead of n^2.
     * Listeners see one reset; no row is selected afterwards. Only addHarmonic may be called
     * meanwhile.
     */
    class BulkLoad {
    public:
        explicit BulkLoad(HarmonicTable& table);
        ~BulkLoad();
        BulkLoad(const BulkLoad&) = delete;
        BulkLoad& operator=(const BulkLoad&) = delete;

    private:
        HarmonicTable& m_table;
    };

    /** Inserts an entry in number order and selects it, unless its slot is beyond the limit. */
    void addHarmonic(float number, float magnitude, int phase);
    /** Overwrites magnitude and phase of every entry whose number equals number exactly. */
    void updateHarmonic(float number, float magnitude, int phase);
    /** The first entry whose number equals number exactly (32-bit float equality). */
    [[nodiscard]] std::optional<HarmonicEntry> findHarmonic(float number) const;
    /** Removes every entry. */
    void clearHarmonics() { takeEntries(); }
    /** Removes every entry and hands them over, uncopied (a replaced table goes to undo). */
    std::vector<HarmonicEntry> takeEntries();
    /** Puts back entries (in table order) and their selection, as undo does. */
    void restore(std::vector<HarmonicEntry> entries, int selectedRow, float selectedNumber,
                 float lastAddedNumber);
    /** Removes the entry at row; the selection is left to the caller. */
    void removeRow(int row);
    /** Rewrites the number column for a new display multiplier. */
    void relabelNumberColumn(float frequencyMultiplier);

    [[nodiscard]] int count() const { return static_cast<int>(m_entries.size()); }
    [[nodiscard]] const HarmonicEntry& entry(int row) const { return m_entries.at(row); }
    [[nodiscard]] const std::vector<HarmonicEntry>& entries() const { return m_entries; }

    /** Column texts of a row: "%.2f" of number x multiplier, "%.2f" magnitude, "%d" phase. */
    [[nodiscard]] std::string numberText(int row) const;
    [[nodiscard]] std::string magnitudeText(int row) const;
    [[nodiscard]] std::string phaseText(int row) const;
    [[nodiscard]] float frequencyMultiplier() const { return m_frequencyMultiplier; }

    /** Slot limit: numbers whose trunc(number x slots + 0.5) reaches kSlotLimit are not added. */
    void setSlotsPerHarmonic(int slotCount) { m_slotsPerHarmonic = slotCount; }
    [[nodiscard]] int slotsPerHarmonic() const { return m_slotsPerHarmonic; }
    /** Whether addHarmonic would admit number under the current slot limit. */
    [[nodiscard]] bool isWithinSlotLimit(float number) const;

    /** The selected row, or -1. */
    [[nodiscard]] int selectedRow() const { return m_selectedRow; }
    void selectRow(int row);
    /**
     * Highlights row and selects its entry; entries with an equal number (a file may hold
     * them) take its values. Returns the entry.
     */
    HarmonicEntry makeCurrent(int row);

    [[nodiscard]] float lastAddedNumber() const { return m_lastAddedNumber; }
    void setLastAddedNumber(float number) { m_lastAddedNumber = number; }
    [[nodiscard]] float selectedNumber() const { return m_selectedNumber; }
    void setSelectedNumber(float number) { m_selectedNumber = number; }

    /** The listener (not owned) is told of every later change; nullptr detaches it. */
    void setListener(HarmonicTableListener* listener) { m_listener = listener; }

private:
    template <typename Call>
    void notify(Call&& call)
    {
        if (m_listener) {
            call(*m_listener);
        }
    }

    std::vector<HarmonicEntry> m_entries;
    float m_frequencyMultiplier = 1.0F;
    int m_slotsPerHarmonic = slotsPerHarmonicFor(kDefaultPpc);
    int m_selectedRow = -1;
    float m_lastAddedNumber = 0.0F;
    float m_selectedNumber = 0.0F;
    HarmonicTableListener* m_listener = nullptr;
    bool m_bulk = false;
};
