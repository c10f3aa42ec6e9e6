#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "settings/WaveSettings.h"
#include "design/MaskSelection.h"
#include "design/UndoHistory.h"
#include "engine/CaptureAnalysis.h"
#include "engine/HarmonicTable.h"
#include "engine/Recalculate.h"
#include "files/DocumentReader.h"
#include "files/DocumentTarget.h"

class OptimizeProgress;
class SettingsStore;

/**
 * The ranges the Add and Edit dialogs accept for an entered harmonic: number from
 * kMinEnteredNumber to AddProposal::maximumNumber, magnitude in percent, phase in degrees.
 */
inline constexpr float kMinEnteredNumber = 0.0F;
inline constexpr float kMinEnteredMagnitude = 0.0F;
inline constexpr float kMaxEnteredMagnitude = 100.0F;
inline constexpr int kMinEnteredPhase = -180;
inline constexpr int kMaxEnteredPhase = 180;

/** What the Add dialog starts with: the proposed number and the largest it accepts. */
struct AddProposal {
    float number = 2.0F;
    float maximumNumber = 0.0F;
};

/** The two sliders, whose moves of one gesture are one undo step. */
enum class Slider { Magnitude, Phase };

/**
 * The design and every command that changes it: both settings copies, the harmonic table
 * with its selection, the plan slot, the sample buffer, the synthesis and the last
 * recalculation. The window and the command-line tool only turn their input into these
 * calls and show the results, so each rule lives here once.
 *
 * Invariant kept by every command: the table's slot limit follows the active ppc, the
 * table's number column follows the display mode, and the plan slot never holds a plan
 * made under other settings.
 *
 * Every change of the table (add, edit, delete, a slider gesture, New, Open) is one undo
 * step; settings changes of their own (Preferences) are not.
 */
class Design final : private DocumentTarget {
public:
    /** The fundamental that start-up and New put into an empty design. */
    static constexpr HarmonicEntry kFundamental{1.0F, 100.0F, 0};

    explicit Design(PlanRigor rigor = PlanRigor::Measure);
    Design(const Design&) = delete;
    Design& operator=(const Design&) = delete;

    // Settings ------------------------------------------------------------------------

    [[nodiscard]] const SettingsModel& settings() const { return m_settings; }
    [[nodiscard]] const WaveSettings& active() const { return m_settings.activeSettings; }
    /** Both copies and the limit mask from the store; damaged values fall back to defaults. */
    void loadSettings(const SettingsStore& store);
    void storeSettings(SettingsStore& store) const;
    /** New active settings; the persisted copy is left alone. */
    void setActive(const WaveSettings& settings);
    /**
     * An accepted Preferences dialog: display mode, cycle counts, form and ppc go to both
     * copies, the flags and ppc only where they differ from the working copy. Returns
     * whether the display mode changed (the number headings must follow).
     */
    bool applyPreferences(const WaveSettings& entered);

    // Table and selection -------------------------------------------------------------

    [[nodiscard]] const HarmonicTable& table() const { return m_table; }
    /** The listener (not owned) mirrors every change of the table; nullptr detaches it. */
    void setTableListener(HarmonicTableListener* listener) { m_table.setListener(listener); }

    /**
     * The number the Add dialog proposes: floor(last added + 2) within the bound, else 2; when
     * that is taken, the next free whole number counting on from it (round from 0 past the
     * bound), then the same in halves, quarters and so on down to the slot width.
     */
    [[nodiscard]] AddProposal addProposal() const;
    /** Adds and selects an entry; false (and nothing changes) when the number is present. */
    bool add(float number, float magnitude, int phase);
    /**
     * The entry of the highlighted row, which the sliders, Edit and Delete act on; none when
     * no row is highlighted, and then none of them changes anything.
     */
    [[nodiscard]] std::optional<HarmonicEntry> selectedEntry() const;
    /** Edit: magnitude and phase of every entry with selectedNumber. */
    void editSelected(float magnitude, int phase);
    /** A slider move: as Edit, but the moves of one gesture are one undo step. */
    void moveSlider(Slider slider, float magnitude, int phase);
    /** The current slider gesture ended (release, focus elsewhere). */
    void endGesture() { m_history.endGesture(); }
    /**
     * Removes the highlighted row and highlights the one above it (or the new first).
     * Returns the entry now selected, or none when the table became empty (the deleted
     * number then stays selected).
     */
    std::optional<HarmonicEntry> deleteSelected();
    /**
     * The user highlighted row (-1: no row). When the row's number differs from
     * selectedNumber it becomes selected, entries with an equal number take its values,
     * and the entry is returned for the sliders.
     */
    std::optional<HarmonicEntry> selectRow(int row);

    // Documents -----------------------------------------------------------------------

    /** Start-up: the fundamental alone under the settings loaded, with nothing to undo. */
    void start();
    /** New: the preferred settings (display mode kept) and the fundamental alone. */
    void newDesign();
    /**
     * Reads an opened document into the design, as File > Open does; fileName names it. When what
     * was read does
     * not count (summary.failure: a read error, a file that changed, no memory), the design
     * is as it was and the Open leaves no undo step.
     */
    ReadSummary open(OpenedDocument& document, const std::string& fileName);
    /** Opens and reads path; the design is untouched when the file cannot be read. */
    LoadResult open(const std::string& path);
    /** Reads a document from a stream (standard input), as a file. */
    ReadSummary open(std::istream& in, DocumentKind kind);
    /**
     * Analyses samples that fill puts into the zeroed sample buffer (returning how many),
     * as a waveshape file's would be; returns that count.
     */
    std::size_t openSamples(const std::function<std::size_t(FftBuffer&)>& fill);
    /**
     * Import Capture: the lines of an analysed capture become the design, one undo step, under
     * the window's cycles as FFT cycles, its points per cycle up to 512, and cosine phases in
     * each line's own period. The design is named after the capture and counts as unsaved.
     * Returns how many lines lie beyond the highest order that many points per cycle hold.
     */
    std::size_t importCapture(const CaptureAnalysis& analysis, const std::string& name);
    /** The file the design belongs to (opened or saved), or empty. */
    [[nodiscard]] const std::string& fileName() const { return m_history.fileName(); }
    /** Whether the design differs from what start-up, New, Open or the last save left. */
    [[nodiscard]] bool isModified() const { return m_history.isModified(); }
    /** The design was saved as fileName. */
    void markSaved(const std::string& fileName) { m_history.markSaved(fileName); }
    /** Exit: the table is emptied. */
    void clear() { m_table.ClearHarmonics(); }

    // Undo ---------------------------------------------------------------------------

    [[nodiscard]] bool canUndo() const { return m_history.canUndo(); }
    [[nodiscard]] bool canRedo() const { return m_history.canRedo(); }
    /** The command undo would take back ("Add Harmonic 3.00"), or empty. */
    [[nodiscard]] const std::string& undoName() const { return m_history.undoName(); }
    [[nodiscard]] const std::string& redoName() const { return m_history.redoName(); }
    /** Puts back the table and selection (and settings an Open or New changed); false when
     * there is nothing to undo. The display mode stays as it is. */
    bool undo();
    bool redo();

    // Plans and recalculation ---------------------------------------------------------

    /** At start-up: the first-run optimisation when the store says it is due. */
    bool runFirstRunOptimisation(SettingsStore& store, OptimizeProgress& progress);
    void reoptimize(OptimizeProgress& progress);
    /** Drops the cached plan so the next recalculation plans afresh (start-up, shutdown). */
    void discardPlan() { m_engine.planSlot.DiscardAnalysisPlan(); }
    [[nodiscard]] const AnalysisPlanSlot& planSlot() const { return m_engine.planSlot; }

    /** Synthesises, analyses and measures; listRows: whether the calculated rows are wanted. */
    const RecalcResult& recalculate(bool listRows);
    [[nodiscard]] const RecalcResult& result() const { return m_result; }

    // Limit mask ----------------------------------------------------------------------

    /**
     * The mask every recalculation checks the spectrum against; the reason when it cannot be
     * had (the mask then stays as it was). The next recalculation checks it.
     */
    [[nodiscard]] std::string chooseMask(const MaskSource& source) { return m_mask.choose(source); }
    [[nodiscard]] const MaskSelection& limitMask() const { return m_mask; }
    /** The sample buffer: after a recalculation the half spectrum, then the samples. */
    [[nodiscard]] const SampleBuffer& samples() const { return m_engine.samples; }

private:
    // What the file readers change, through the same invariants.
    [[nodiscard]] const WaveSettings& activeSettings() const override { return active(); }
    void takeActiveSettings(const WaveSettings& settings) override { setActive(settings); }
    [[nodiscard]] HarmonicTable& harmonics() override { return m_table; }
    [[nodiscard]] FftBuffer& sampleBuffer() override { return m_engine.samples; }
    [[nodiscard]] PlanRigor planRigor() const override { return m_engine.planSlot.rigor(); }

    [[nodiscard]] DesignSnapshot snapshot() const;
    /** The same, the entries moved out of the table: for steps that replace it. */
    DesignSnapshot takeSnapshot();
    void record(std::string name, bool mergeable = false);
    /** A step that replaces the table (New, Open); its settings go back too if it changed them. */
    void recordReplacement(const char* name, const std::string& fileName,
                           const std::function<void()>& replace, bool saved = true);
    /** An Open by read, taken back when what it read does not count. */
    ReadSummary openReading(const std::string& fileName, const std::function<ReadSummary()>& read);
    void restore(Restoration restoration);
    void putFundamental();

    SettingsModel m_settings;
    HarmonicTable m_table;
    RecalcEngine m_engine;
    RecalcResult m_result;
    UndoHistory m_history;
    MaskSelection m_mask;
};
