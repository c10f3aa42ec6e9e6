#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/HarmonicTable.h"
#include "settings/WaveSettings.h"

/** What undo brings back: the table with its selection, and the active settings. */
struct DesignSnapshot {
    std::vector<HarmonicEntry> entries;
    int selectedRow = -1;
    float selectedNumber = 0.0F;
    float lastAddedNumber = 0.0F;
    WaveSettings active;
};

/** A state to put back, and whether its settings go back too (the step changed them). */
struct Restoration {
    DesignSnapshot state;
    bool settings = false;
};

/** The file a design belongs to, and the state it was last opened or saved in. */
struct DesignDocument {
    std::string fileName;  ///< empty: none (start-up, New)
    std::uint64_t cleanState = 0;
};

/**
 * The undo and redo steps of a design. Each undo step holds the state before its command,
 * each redo step the state after it. A new step drops the redo steps. Steps of one gesture
 * (slider moves of one harmonic until the gesture ends) merge into the first.
 *
 * Every state of the design has its own number, and belongs to a document: undo and redo
 * take both back and forth, so the file name and whether the design differs from what was
 * opened or saved follow the table.
 */
class UndoHistory {
public:
    /** The oldest steps go beyond this many. */
    static constexpr std::size_t kDepth = 64;
    /**
     * The oldest steps also go when the tables they hold exceed this many entries (12 bytes
     * each): a step of a file's worth of entries takes up to 80 MB, and 64 of them would
     * exhaust memory. The last step always stays.
     */
    static constexpr std::size_t kEntryBudget = std::size_t{8} << 20;

    explicit UndoHistory(std::size_t entryBudget = kEntryBudget) : m_entryBudget(entryBudget) {}

    /**
     * Records a command's name and the state before it; before is not asked for when the
     * step merges, so a gesture copies the table once.
     */
    void record(std::string name, const std::function<DesignSnapshot()>& before,
                bool mergeable = false);
    /** The last step changed the active settings: undo and redo put them back too. */
    void markSettingsChanged();
    /** The next step starts afresh even if it could merge (a gesture ended). */
    void endGesture() { m_mergeOpen = false; }
    /** No steps; the design is a new document without a file, unmodified. */
    void clear();

    /**
     * The design now in place is a document of its own (Open, New), unmodified; or, when not
     * saved (an import), modified until it is saved.
     */
    void beginDocument(std::string fileName, bool saved = true);
    /** The design now in place was saved as fileName: its document takes that name. */
    void markSaved(std::string fileName);
    [[nodiscard]] const std::string& fileName() const { return m_position.document->fileName; }
    /** Whether the design differs from the state its document was opened or saved in. */
    [[nodiscard]] bool isModified() const
    {
        return m_position.state != m_position.document->cleanState;
    }

    [[nodiscard]] bool canUndo() const { return !m_undo.empty(); }
    [[nodiscard]] bool canRedo() const { return !m_redo.empty(); }
    [[nodiscard]] const std::string& undoName() const;
    [[nodiscard]] const std::string& redoName() const;

    /** Takes the last step back: returns the state to restore, keeping current for redo. */
    Restoration undo(DesignSnapshot current);
    /** Does the last undone step again: returns the state to restore. */
    Restoration redo(DesignSnapshot current);
    /**
     * Takes the last step back for good, its settings too: its command failed half way, so
     * there is nothing to redo. There must be a step.
     */
    Restoration withdraw();

private:
    /** A state's number and its document. */
    struct Position {
        std::uint64_t state = 0;
        std::shared_ptr<DesignDocument> document = std::make_shared<DesignDocument>();
    };

    struct Step {
        std::string name;
        DesignSnapshot state;
        bool mergeable = false;
        bool settings = false;
        Position position;  ///< of the state the step holds
    };

    [[nodiscard]] bool wouldMerge(const std::string& name) const;
    /** Drops the oldest undo steps beyond the depth or the entry budget. */
    void dropOldest();

    /** Moves the last step of from onto to, swapping its state for current. */
    Restoration transfer(std::deque<Step>& from, std::deque<Step>& to, DesignSnapshot current);

    std::deque<Step> m_undo;
    std::deque<Step> m_redo;
    std::size_t m_entryBudget;
    bool m_mergeOpen = false;
    Position m_position;
    std::uint64_t m_lastState = 0;
};
