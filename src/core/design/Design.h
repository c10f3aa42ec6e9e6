#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "design/EntryLimits.h"
#include "design/MaskSelection.h"
#include "design/UndoHistory.h"
#include "engine/CaptureAnalysis.h"
#include "engine/HarmonicTable.h"
#include "engine/Recalculate.h"
#include "files/DocumentReader.h"
#include "files/DocumentTarget.h"
#include "files/InstrumentExport.h"
#include "settings/WaveSettings.h"

class OptimizeProgress;
class SettingsStore;

/** What the Add dialog starts with: the proposed number. */
struct AddProposal {
    float number = 2.0F;
};

/** What an accepted Preferences dialog did; a refusal changes nothing. */
struct PreferencesCheck {
    std::optional<EntryRefusal> refusal;
    bool displayChanged = false;  ///< the number headings must follow
};

/** What a command changed, for whoever shows the design: a set of flags. */
struct DesignChanges {
    enum Flag : unsigned {
        Table = 1U << 0,     ///< entries or their values
        Settings = 1U << 1,  ///< the active settings
        Replaced = 1U << 2,  ///< the table and its selection replaced: undo, redo, a document
        Document = 1U << 3,  ///< a new document: New, Open, Import Capture
        Mask = 1U << 4,      ///< the limit mask
    };
    unsigned flags = 0;

    [[nodiscard]] bool has(unsigned any) const { return (flags & any) != 0; }
};

/** Told once at the end of each command that changed the design. */
using DesignListener = std::function<void(DesignChanges)>;

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
 * step; settings changes of their own (Preferences) are not. Each command that changes the
 * design tells the listener once what it changed; setActive, a step of other commands and of
 * the command-line tool, does not.
 */
class Design final : private DocumentTarget {
public:
    /** The fundamental that start-up and New put into an empty design. */
    static constexpr HarmonicEntry kFundamental{1.0F, 100.0F, 0};

    explicit Design(PlanRigor rigor = PlanRigor::Measure);
    Design(const Design&) = delete;
    Design& operator=(const Design&) = delete;

    /** The listener told of every change from now on; an empty one detaches it. */
    void setChangeListener(DesignListener listener) { m_listener = std::move(listener); }

    // Settings ------------------------------------------------------------------------

    [[nodiscard]] const SettingsModel& settings() const { return m_settings; }
    [[nodiscard]] const WaveSettings& active() const { return m_settings.activeSettings; }
    /**
     * Both copies and the limit mask from the store; values outside the limits fall back
     * to their defaults.
     */
    void loadSettings(const SettingsStore& store);
    void storeSettings(SettingsStore& store) const;
    /** FFTW's wisdom from the store, where the last run left it; its state is ignored. */
    static void loadWisdom(const SettingsStore& store);
    static void storeWisdom(SettingsStore& store);
    /** New active settings; the persisted copy is left alone. */
    void setActive(const WaveSettings& settings);
    /**
     * An accepted Preferences dialog: display mode, cycle counts, form and ppc go to both
     * copies, the flags and ppc only where they differ from the working copy. Refuses
     * (and changes nothing) when FFT cycles, display cycles or the entered ppc, checked in
     * that order, lie outside their ranges.
     */
    PreferencesCheck applyPreferences(const WaveSettings& entered);

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
    /** The numbers Add accepts: from 0 up to the last below the table's slot limit. */
    [[nodiscard]] EntryRange<float> numberRange() const;
    /**
     * Adds and selects an entry. Refuses (and nothing changes) a number, magnitude or
     * phase outside its range, checked in that order, or a number that is present.
     */
    EntryCheck add(float number, float magnitude, int phase);
    /**
     * The entry of the highlighted row, which the sliders, Edit and Delete act on; none when
     * no row is highlighted, and then none of them changes anything.
     */
    [[nodiscard]] std::optional<HarmonicEntry> selectedEntry() const;
    /**
     * Edit: magnitude and phase of every entry with selectedNumber; refuses a magnitude or
     * phase outside its range. Without a selection nothing changes.
     */
    EntryCheck editSelected(float magnitude, int phase);
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
     * Analyzes samples that fill puts into the zeroed sample buffer (returning how many),
     * as a waveshape file's would be; returns that count.
     */
    std::size_t openSamples(const std::function<std::size_t(FftBuffer&)>& fill);
    /**
     * Import Capture: the lines of an analyzed capture become the design, one undo step, under
     * the window's cycles as FFT cycles, its points per cycle up to 512, and cosine phases in
     * each line's own period; lines below noiseFloor percent are noise and left out. The
     * design is named after the capture and counts as unsaved. Returns how many lines lie
     * beyond the highest order that many points per cycle hold.
     */
    std::size_t importCapture(const CaptureAnalysis& analysis, const std::string& name,
                              double noiseFloor = kDefaultNoiseFloor);
    /** The file the design belongs to (opened or saved), or empty. */
    [[nodiscard]] const std::string& fileName() const { return m_history.fileName(); }
    /** Whether the design differs from what start-up, New, Open or the last save left. */
    [[nodiscard]] bool isModified() const { return m_history.isModified(); }
    /** The design was saved as fileName. */
    void markSaved(const std::string& fileName) { m_history.markSaved(fileName); }
    /** Exit: the table is emptied, with no undo step (nothing follows). */
    void clear() { m_table.clearHarmonics(); }
    /** Empties the table as one undo step, for a design built entry by entry. */
    void clearTable();

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

    /**
     * At start-up: when the store's "Optimized" reads 0, empties the slot, runs the
     * optimization and writes "Optimized" = 1 (also when the dialog could not be opened).
     * Returns whether it was due. Never due where the store cannot keep the flag: it would
     * come back at every start.
     */
    bool runFirstRunOptimization(SettingsStore& store, OptimizeProgress& progress);
    /**
     * How the window plans: measured where the store keeps the wisdom that measuring
     * leaves; estimated where it does not, as every start would measure again.
     */
    [[nodiscard]] static PlanRigor planRigorFor(const SettingsStore& store);
    void reoptimize(OptimizeProgress& progress);
    /** Drops the cached plan so the next recalculation plans afresh (start-up, shutdown). */
    void discardPlan() { m_engine.planSlot.discardAnalysisPlan(); }
    /** Waits for the plans being measured off this thread (benchmarks, tests). */
    void finishPlanning()
    {
        m_engine.planSlot.finishMeasuring();
        m_mask.finishPlanning();
    }
    /** Measures no more, once the measurement under way is done (its wisdom kept). */
    void stopPlanning() { m_engine.planSlot.stopMeasuring(); }
    [[nodiscard]] const AnalysisPlanSlot& planSlot() const { return m_engine.planSlot; }

    /** Synthesizes, analyzes and measures; listRows: whether the calculated rows are wanted. */
    const RecalcResult& recalculate(bool listRows);
    [[nodiscard]] const RecalcResult& result() const { return m_result; }

    // Limit mask ----------------------------------------------------------------------

    /**
     * The mask every recalculation checks the spectrum against; the reason when it cannot be
     * had (the mask then stays as it was). The next recalculation checks it.
     */
    [[nodiscard]] std::string chooseMask(const MaskSource& source);
    /** The same with source's mask already read, as a mask file is off the window's thread. */
    [[nodiscard]] std::string chooseMask(const MaskSource& source, MaskChoice read);
    [[nodiscard]] const MaskSelection& limitMask() const { return m_mask; }
    /** How checks measure the design from the next recalculation on (IEC 61000-4-7's way). */
    void setCheckMeasure(CheckMeasure measure) { m_mask.setMeasure(measure); }
    /**
     * The design as last recalculated against mask, measured as asked; supplyHz, where given,
     * is the fundamental that sets IEC 61000-4-7's window.
     */
    [[nodiscard]] MaskCheck checkAgainst(const LimitMask& mask, CheckMeasure measure,
                                         std::optional<double> supplyHz = std::nullopt) const
    {
        return m_mask.checkAgainst(mask, measure, m_table.entries(), active(), m_result, supplyHz);
    }
    /**
     * Why the design may not be saved or exported to path: it is a file the design still reads
     * from (its limit mask file), which writing would destroy. Empty when it may.
     */
    [[nodiscard]] std::string outputRefusal(const std::string& path) const;
    /**
     * Export Waveform: the design at the request's points per cycle to path. A .csv's comment
     * carries settings that read back as the export's own layout, or else says the layout in
     * a line the readers skip.
     */
    [[nodiscard]] SaveResult exportWaveform(const std::string& path,
                                            const WaveformExport& request) const;
    /** Why an instrument would alias the design at points per cycle; empty when it would not. */
    [[nodiscard]] std::string aliasingRefusal(int points) const;
    /** Export Harmonic Table: the design's table as the request says, to path. */
    [[nodiscard]] SaveResult exportTable(const std::string& path, const TableExport& request) const;
    /** The sample buffer: after a recalculation the half spectrum, then the samples. */
    [[nodiscard]] const SampleBuffer& samples() const { return m_engine.samples; }

private:
    // What the file readers change, through the same invariants.
    [[nodiscard]] const WaveSettings& activeSettings() const override { return active(); }
    bool takeActiveSettings(const WaveSettings& settings) override;
    [[nodiscard]] HarmonicTable& harmonics() override { return m_table; }
    [[nodiscard]] FftBuffer& sampleBuffer() override { return m_engine.samples; }
    [[nodiscard]] FftPlan waveshapePlan(int n) override { return m_engine.planSlot.oneOffPlan(n); }

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
    void notify(unsigned changes) const;

    SettingsModel m_settings;
    HarmonicTable m_table;
    RecalcEngine m_engine;
    RecalcResult m_result;
    UndoHistory m_history;
    MaskSelection m_mask;
    DesignListener m_listener;
};
