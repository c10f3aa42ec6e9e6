#include "design/Design.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "numbers/NumberText.h"
#include "settings/SettingsStore.h"
#include "support/TestSupport.h"

namespace {

WaveSettings withPpc(float ppc)
{
    WaveSettings settings;
    settings.ppc = ppc;
    return settings;
}

/** Checks at every row insertion that the selected row still holds the entry it held. */
class SelectionWatch final : public HarmonicTableListener {
public:
    explicit SelectionWatch(const HarmonicTable& table) : m_table(table) {}

    void rowAboutToBeInserted(int /*row*/) override { m_before = selectedNumber(); }
    void rowInserted(int /*row*/) override { EXPECT_EQ(selectedNumber(), m_before); }

private:
    [[nodiscard]] float selectedNumber() const
    {
        const int row = m_table.selectedRow();
        return row < 0 ? -1.0F : m_table.entry(row).number;
    }

    const HarmonicTable& m_table;
    float m_before = -1.0F;
};

TEST(DesignSelection, AnAddedHarmonicIsTheOneTheSlidersAndEditActOn)
{
    Design design;
    design.start();
    SelectionWatch watch(design.table());
    design.setTableListener(&watch);
    ASSERT_TRUE(design.add(3.0F, 10.0F, 45));
    ASSERT_TRUE(design.add(2.0F, 5.0F, 0));  // inserted above the highlighted 3
    design.setTableListener(nullptr);

    EXPECT_EQ(design.table().selectedRow(), 1);
    EXPECT_EQ(design.selectedEntry(), (HarmonicEntry{2.0F, 5.0F, 0}));
    design.editSelected(5.1F, 0);
    EXPECT_EQ(design.table().entry(1), (HarmonicEntry{2.0F, 5.1F, 0}));
    EXPECT_EQ(design.table().entry(2), (HarmonicEntry{3.0F, 10.0F, 45}));
    EXPECT_FALSE(design.add(3.0F, 1.0F, 1));  // present: refused, nothing changes
    EXPECT_EQ(design.selectedEntry()->number, 2.0F);
}

TEST(DesignSelection, OnlyAHighlightedRowIsEdited)
{
    Design design;
    design.start();
    design.add(3.0F, 10.0F, 0);
    EXPECT_FALSE(design.selectRow(1).has_value());  // already the selected number
    EXPECT_EQ(design.selectRow(0), (HarmonicEntry{1.0F, 100.0F, 0}));
    design.selectRow(-1);  // the user cleared the highlight
    EXPECT_FALSE(design.selectedEntry().has_value());
    design.moveSlider(Slider::Magnitude, 50.0F, 0);
    design.editSelected(50.0F, 0);
    EXPECT_FALSE(design.deleteSelected().has_value());
    EXPECT_EQ(design.table().entries(),
              (std::vector<HarmonicEntry>{{1.0F, 100.0F, 0}, {3.0F, 10.0F, 0}}));
    EXPECT_FALSE(design.canUndo() && design.undoName() != "Add Harmonic 3.00");

    design.selectRow(1);
    EXPECT_EQ(design.selectedEntry()->number, 3.0F);
    EXPECT_EQ(design.deleteSelected(), (HarmonicEntry{1.0F, 100.0F, 0}));  // the row above
    EXPECT_FALSE(design.deleteSelected().has_value());  // the last one: nothing left to show
    EXPECT_EQ(design.table().count(), 0);
    EXPECT_EQ(design.table().selectedNumber(), 1.0F);  // the deleted number stays selected
}

TEST(DesignAdd, ProposalFollowsTheLastAddedNumberWithinTheBound)
{
    Design design;
    design.start();
    EXPECT_EQ(design.addProposal().number, 3.0F);
    EXPECT_EQ(design.numberRange().maximum, 63.998046875F);
    design.add(2.5F, 1.0F, 0);
    EXPECT_EQ(design.addProposal().number, 4.0F);
    design.add(62.5F, 1.0F, 0);
    EXPECT_EQ(design.addProposal().number, 2.0F);
    design.setActive(withPpc(256.0F));
    EXPECT_EQ(design.numberRange().maximum, 127.99609375F);
}

TEST(DesignAdd, ProposalIsTheNextFreeNumber)
{
    struct Case {
        const char* file;
        float proposal;
    };
    const Case cases[] = {
        {"1 100 0\n3 10 0\n", 4.0F},  // after a load the last added number is 1
        {"1 100 0\n3 10 0\n4 0 0\n5 0 0\n7 0 0\n", 6.0F},
        // Past the bound (12.4996 at 25 samples per cycle) it counts on from 0.
        {":1 12 1 1 25\n1 1 0\n3 1 0\n4 1 0\n5 1 0\n6 1 0\n7 1 0\n8 1 0\n9 1 0\n10 1 0\n"
         "11 1 0\n12 1 0\n",
         0.0F},
        // Every whole number taken: a half.
        {":1 12 1 1 25\n0 1 0\n1 1 0\n2 1 0\n3 1 0\n4 1 0\n5 1 0\n6 1 0\n7 1 0\n8 1 0\n"
         "9 1 0\n10 1 0\n11 1 0\n12 1 0\n",
         3.5F},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Design design;
        std::istringstream file(c.file);
        design.open(file, DocumentKind::Coefficients);
        EXPECT_EQ(design.addProposal().number, c.proposal);
    }
}

TEST(DesignDocument, FileNameAndChangesFollowUndoAndRedo)
{
    TempDir dir;
    writeWholeFile(dir.file("a.kvk"), "3 30 0\n");
    Design design;
    design.start();
    std::string seen;
    const auto step = [&](const std::function<void()>& command) {
        command();
        const std::string& name = design.fileName();
        seen += (name.empty() ? "-" : name.substr(name.size() - 5)) +
                (design.isModified() ? "* " : " ");
    };
    const auto move = [&] { design.moveSlider(Slider::Phase, 30.0F, 5); };
    step([] {});
    step([&] { ASSERT_TRUE(design.open(dir.file("a.kvk")).opened); });
    step([&] {  // an Open whose read fails leaves no trace, not even in the title
        std::istringstream broken("1 100 0\n");
        broken.setstate(std::ios::badbit);
        ASSERT_FALSE(design.open(broken, DocumentKind::Coefficients).failure.empty());
    });
    step(move);
    step([&] { design.markSaved(dir.file("b.kvk")); });
    step(move);  // the same gesture goes on, past the save
    for (const auto& command : {&Design::undo, &Design::undo, &Design::redo, &Design::redo}) {
        step([&] { (design.*command)(); });
    }
    step([&] { design.newDesign(); });
    step([&] { design.undo(); });
    EXPECT_EQ(seen, "- a.kvk a.kvk a.kvk* b.kvk b.kvk* b.kvk* - b.kvk* b.kvk* - b.kvk* ");
}

TEST(DesignImportCapture, TheLinesBecomeAnUnsavedDesignUnderTheWindowsSettingsUndoably)
{
    Design design;
    design.start();
    const WaveSettings before = design.active();
    CaptureAnalysis analysis;
    analysis.cycles = 10;
    analysis.pointsPerCycle = 1024;
    analysis.lines = {{0, 2, 0}, {1, 100, 20.4}, {3, 20, -30.6}, {300, 0.5, 0}};
    EXPECT_EQ(design.importCapture(analysis, "dir/cap.wav"), 1U);  // 300 is beyond 512 ppc
    EXPECT_EQ(design.active().ppc, 512.0F);
    EXPECT_EQ(design.active().fftCycles, 10);
    EXPECT_EQ(design.active().basis, WaveBasis::Cosine);
    EXPECT_EQ(design.active().phaseReference, PhaseReference::Harmonic);
    const std::vector<HarmonicEntry> imported = {{0, 2, 0}, {1, 100, 20}, {3, 20, -31}};
    EXPECT_EQ(design.table().entries(), imported);
    EXPECT_EQ(design.fileName(), "dir/cap.wav");
    EXPECT_TRUE(design.isModified());
    EXPECT_EQ(design.undoName(), "Import Capture");
    ASSERT_TRUE(design.undo());
    EXPECT_EQ(design.table().entries(), std::vector<HarmonicEntry>{Design::kFundamental});
    EXPECT_EQ(design.active(), before);
}

/** Every command that changes the settings: the slot limit and the plan follow. */
struct SettingsCommand {
    const char* name;
    std::function<void(Design&)> run;
};

class DesignSettingsUpkeep : public ::testing::TestWithParam<SettingsCommand> {};

TEST_P(DesignSettingsUpkeep, SlotLimitAndPlanFollowPpc)
{
    Design design(PlanRigor::Estimate);
    design.start();
    design.recalculate(false);
    ASSERT_TRUE(design.planSlot().holdsPlan());
    GetParam().run(design);
    EXPECT_EQ(design.active().ppc, 100.0F);
    EXPECT_EQ(design.table().slotsPerHarmonic(), 655);
    EXPECT_FALSE(design.planSlot().holdsPlan());
    EXPECT_EQ(design.recalculate(false).fftSize, 100);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, DesignSettingsUpkeep,
    ::testing::Values(SettingsCommand{"setActive", [](Design& d) { d.setActive(withPpc(100.0F)); }},
                      SettingsCommand{"preferences",
                                      [](Design& d) { d.applyPreferences(withPpc(100.0F)); }},
                      SettingsCommand{"settingsLine",
                                      [](Design& d) {
                                          std::istringstream in(
                                              ":1 12 1 1 600\r\n:1 12 1 1 100\r\n");
                                          d.open(in, DocumentKind::Coefficients);
                                      }},
                      SettingsCommand{"newDesign",
                                      [](Design& d) {
                                          d.applyPreferences(withPpc(100.0F));
                                          d.recalculate(false);
                                          d.setActive(withPpc(200.0F));
                                          d.newDesign();  // back to the preferred 100
                                      }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DesignPreferences, FlagsAndPpcAreComparedWithTheWorkingCopy)
{
    Design design;
    std::istringstream in(":2 12 0 1 100\r\n1 100 0\r\n");  // sines, in the working copy only
    design.open(in, DocumentKind::Coefficients);
    ASSERT_EQ(design.settings().preferences.basis, WaveBasis::Cosine);

    WaveSettings entered = design.active();  // the dialog shows the working copy
    entered.displayMode = DisplayMode::Hertz50;
    EXPECT_TRUE(design.applyPreferences(entered).displayChanged);
    const WaveSettings& persisted = design.settings().preferences;
    EXPECT_EQ(persisted.fftCycles, 2);  // cycle counts are always copied
    EXPECT_EQ(persisted.basis, WaveBasis::Cosine);  // unchanged against the working copy
    EXPECT_EQ(persisted.ppc, 128.0F);               // likewise
    EXPECT_EQ(persisted.displayMode, DisplayMode::Hertz50);
    EXPECT_EQ(design.active().basis, WaveBasis::Sine);
    EXPECT_EQ(design.table().numberText(0), "50.00");

    entered.basis = WaveBasis::Cosine;
    EXPECT_FALSE(design.applyPreferences(entered).displayChanged);
    EXPECT_EQ(design.active().basis, WaveBasis::Cosine);
    EXPECT_EQ(persisted.basis, WaveBasis::Cosine);
}

/** One entry at the edge of a limit, and what Design makes of it. */
struct LimitCase {
    const char* name;
    std::function<std::optional<EntryRefusal>(Design&)> enter;
    std::optional<EntryRefusal> refusal;  ///< none: taken
};

void PrintTo(const LimitCase& c, std::ostream* os)
{
    *os << c.name;
}

std::function<std::optional<EntryRefusal>(Design&)> preferences(int fft, int display, float ppc)
{
    return [=](Design& d) {
        WaveSettings entered;
        entered.fftCycles = fft;
        entered.displayCycles = display;
        entered.ppc = ppc;
        return d.applyPreferences(entered).refusal;
    };
}

std::function<std::optional<EntryRefusal>(Design&)> adding(float number, float magnitude, int phase)
{
    return [=](Design& d) { return d.add(number, magnitude, phase).refusal; };
}

std::function<std::optional<EntryRefusal>(Design&)> editing(float magnitude, int phase)
{
    return [=](Design& d) { return d.editSelected(magnitude, phase).refusal; };
}

float below(float value)
{
    return std::nextafter(value, -1e9F);
}

float above(float value)
{
    return std::nextafter(value, 1e9F);
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kTopNumber = 63.998046875F;  // at 128 samples per cycle
constexpr EntryRefusal kFft{EntryField::FftCycles, 1, 12};
constexpr EntryRefusal kDisplay{EntryField::DisplayCycles, 1, 12};
constexpr EntryRefusal kPpc{EntryField::Ppc, 25, 512};
constexpr EntryRefusal kNumber{EntryField::Number, 0, kTopNumber};
constexpr EntryRefusal kMagnitude{EntryField::Magnitude, 0, 100};
constexpr EntryRefusal kPhase{EntryField::Phase, -180, 180};

class DesignLimits : public ::testing::TestWithParam<LimitCase> {};

// Each entry rule once, at its edges: the field refused and the range the front ends word.
TEST_P(DesignLimits, RefusesWhatBreaksALimitAndNamesTheFieldAndItsRange)
{
    Design design;
    design.start();
    const std::vector<HarmonicEntry> before = design.table().entries();
    const WaveSettings settingsBefore = design.active();
    const std::optional<EntryRefusal> refusal = GetParam().enter(design);
    ASSERT_EQ(refusal.has_value(), GetParam().refusal.has_value());
    if (refusal) {
        const EntryRefusal& expected = *GetParam().refusal;
        EXPECT_EQ(refusal->field, expected.field);
        EXPECT_EQ(refusal->minimum, expected.minimum);
        EXPECT_EQ(refusal->maximum, expected.maximum);
        EXPECT_EQ(refusal->present, expected.present);
        EXPECT_EQ(design.table().entries(), before);  // a refusal changes nothing
        EXPECT_EQ(design.active(), settingsBefore);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Edges, DesignLimits, ::testing::Values(
    LimitCase{"fft0", preferences(0, 1, 128), kFft},
    LimitCase{"fft1display12", preferences(1, 12, 128), std::nullopt},
    LimitCase{"fft12display1", preferences(12, 1, 128), std::nullopt},
    LimitCase{"fft13", preferences(13, 0, 0), kFft},  // the FFT window is checked first
    LimitCase{"display0", preferences(1, 0, 0), kDisplay},  // then the display
    LimitCase{"display13", preferences(1, 13, 128), kDisplay},
    LimitCase{"ppc25", preferences(1, 1, 25), std::nullopt},
    LimitCase{"ppcBelow25", preferences(1, 1, below(25)), kPpc},
    LimitCase{"ppc512", preferences(1, 1, 512), std::nullopt},
    LimitCase{"ppcAbove512", preferences(1, 1, above(512)), kPpc},
    LimitCase{"ppcNaN", preferences(1, 1, kNaN), kPpc},
    LimitCase{"number0", adding(0, 0, 0), std::nullopt},
    LimitCase{"numberBelow0", adding(below(0), 0, 0), kNumber},
    LimitCase{"numberTop", adding(kTopNumber, 0, 0), std::nullopt},
    LimitCase{"numberAboveTop", adding(above(kTopNumber), 0, 0), kNumber},
    LimitCase{"numberNaN", adding(kNaN, 101, 181), kNumber},  // the number is checked first
    LimitCase{"numberPresent", adding(1, 0, 0), EntryRefusal{EntryField::Number, 0, 0, true}},
    LimitCase{"magnitude100", adding(2, 100, 0), std::nullopt},
    LimitCase{"magnitudeAbove100", adding(2, above(100), 181), kMagnitude},  // then the magnitude
    LimitCase{"magnitudeBelow0", adding(2, below(0), 0), kMagnitude},
    LimitCase{"phaseMinus180", adding(2, 0, -180), std::nullopt},
    LimitCase{"phaseMinus181", adding(2, 0, -181), kPhase},
    LimitCase{"phase181", adding(2, 0, 181), kPhase},
    LimitCase{"editPhase180", editing(0, 180), std::nullopt},
    LimitCase{"editMagnitudeNaN", editing(kNaN, 0), kMagnitude},
    LimitCase{"editPhase181", editing(100, 181), kPhase}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

struct AcceptedCase {
    const char* name;
    const char* ppcBits;  ///< "Ppc" as stored
    int cycles;           ///< both cycle counts, as stored
    bool kept;            ///< whether they are taken (a store falls back to the defaults)
};

// A store or a file may hold any ppc above 24 (24.5 too, which Preferences refuses).
TEST(DesignLimits, StoresAndFilesKeepTheirSettingsOnlyWithinTheAcceptedRange)
{
    const AcceptedCase cases[] = {
        {"ppc24", "0x41c00000", 2, false},   {"ppc24.5", "0x41c40000", 2, true},
        {"ppc512", "0x44000000", 2, true},   {"ppcAbove512", "0x44000001", 2, false},
        {"ppcNaN", "0x7fc00000", 2, false},  {"ppcNegative", "0xbf800000", 2, false},
        {"cycles1", "0x42c80000", 1, true},  {"cycles12", "0x42c80000", 12, true},
        {"cycles0", "0x42c80000", 0, false}, {"cycles13", "0x42c80000", 13, false},
    };
    for (const AcceptedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const float ppc = *parsePpcBits(c.ppcBits);
        const auto isStored = [&](const WaveSettings& s) {
            return s.ppc == ppc && s.fftCycles == c.cycles && s.displayCycles == c.cycles;
        };
        MemorySettingsStore store;
        store.writeString("Ppc", c.ppcBits);
        store.writeInt("Display Cycles", c.cycles);
        store.writeInt("FFT Cycles", c.cycles);
        Design stored;
        stored.loadSettings(store);
        EXPECT_EQ(stored.active(), stored.settings().preferences);
        EXPECT_EQ(isStored(stored.active()), c.kept);
        if (!c.kept) {  // only the damaged value falls back
            EXPECT_TRUE(stored.active().ppc == ppc || stored.active().fftCycles == c.cycles);
        }

        Design opened;
        opened.start();
        std::istringstream file(":" + std::to_string(c.cycles) + " " + std::to_string(c.cycles) +
                                " 1 1 " + formatFixed(static_cast<double>(ppc), 6) + "\n");
        opened.open(file, DocumentKind::Coefficients);
        EXPECT_EQ(isStored(opened.active()), c.kept);
    }
}

TEST(DesignNew, StartsFromTheFundamentalAloneUnderThePreferences)
{
    Design design;
    std::istringstream in(":3 4 0 0 200\r\n7 10 0\r\n");
    design.open(in, DocumentKind::Coefficients);
    design.newDesign();
    EXPECT_EQ(design.active(), design.settings().preferences);
    EXPECT_EQ(design.table().entries(), std::vector<HarmonicEntry>{Design::kFundamental});
    EXPECT_EQ(design.selectedEntry(), Design::kFundamental);
}

}  // namespace

namespace {

/** What undo must bring back: the table, its selection and the active settings. */
struct Shown {
    std::vector<HarmonicEntry> entries;
    int selectedRow;
    float selectedNumber;
    WaveSettings active;

    bool operator==(const Shown&) const = default;
};

Shown shown(const Design& design)
{
    return {design.table().entries(), design.table().selectedRow(), design.table().selectedNumber(),
            design.active()};
}

struct UndoCase {
    const char* name;
    std::function<void(Design&)> command;
    const char* undoName;
};

class DesignUndo : public ::testing::TestWithParam<UndoCase> {};

TEST_P(DesignUndo, EachCommandIsOneStepBackAndForth)
{
    Design design;
    design.start();
    design.add(3.0F, 10.0F, 45);
    design.add(5.0F, 20.0F, 90);
    const Shown before = shown(design);
    GetParam().command(design);
    const Shown after = shown(design);
    ASSERT_NE(after, before);
    EXPECT_EQ(design.undoName(), GetParam().undoName);

    ASSERT_TRUE(design.undo());
    EXPECT_EQ(shown(design), before);
    EXPECT_EQ(design.redoName(), GetParam().undoName);
    ASSERT_TRUE(design.redo());
    EXPECT_EQ(shown(design), after);
    design.undo();
    design.add(7.0F, 1.0F, 0);
    EXPECT_FALSE(design.canRedo());  // a new command drops what was undone
}

INSTANTIATE_TEST_SUITE_P(
    Commands, DesignUndo,
    ::testing::Values(
        UndoCase{"add", [](Design& d) { d.add(2.0F, 1.0F, 0); }, "Add Harmonic 2.00"},
        UndoCase{"edit", [](Design& d) { d.editSelected(1.0F, 1); }, "Edit Harmonic 5.00"},
        UndoCase{"delete", [](Design& d) { d.deleteSelected(); }, "Delete Harmonic 5.00"},
        UndoCase{"slider",
                 [](Design& d) {
                     d.moveSlider(Slider::Magnitude, 21.0F, 90);
                     d.moveSlider(Slider::Magnitude, 22.0F, 90);  // the same gesture
                 },
                 "Magnitude of Harmonic 5.00"},
        UndoCase{"new", [](Design& d) { d.newDesign(); }, "New"},
        UndoCase{"clear", [](Design& d) { d.clearTable(); }, "Clear Harmonics"},
        UndoCase{"open",
                 [](Design& d) {
                     std::istringstream in(":2 6 0 0 100\r\n1 50 0\r\n");
                     d.open(in, DocumentKind::Coefficients);
                 },
                 "Open"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DesignUndoGestures, AGestureEndsAtItsEndOrAtAnotherSliderOrHarmonic)
{
    Design design;
    design.start();
    design.add(3.0F, 10.0F, 0);
    for (int step = 1; step <= 3; ++step) {
        design.moveSlider(Slider::Magnitude, 10.0F + static_cast<float>(step), 0);
    }
    design.moveSlider(Slider::Phase, 13.0F, 5);  // the other slider: a gesture of its own
    design.endGesture();
    design.moveSlider(Slider::Phase, 13.0F, 6);
    design.selectRow(0);
    design.moveSlider(Slider::Phase, 100.0F, 7);

    // Back over harmonic 1's phase, both phase gestures, then the one magnitude gesture.
    const std::vector<float> magnitudesOfThree{13.0F, 13.0F, 13.0F, 10.0F};
    for (const float magnitude : magnitudesOfThree) {
        ASSERT_TRUE(design.undo());
        EXPECT_EQ(design.table().entry(1).magnitude, magnitude);
    }
    EXPECT_EQ(design.table().entry(1).phase, 0);
    EXPECT_EQ(design.undoName(), "Add Harmonic 3.00");

    design.moveSlider(Slider::Magnitude, 20.0F, 0);
    design.endGesture();
    design.moveSlider(Slider::Magnitude, 30.0F, 0);
    design.undo();
    design.moveSlider(Slider::Magnitude, 40.0F, 0);  // after an undo: a gesture of its own
    design.undo();
    EXPECT_EQ(design.table().entry(1).magnitude, 20.0F);
}

TEST(DesignUndoSettings, OpenBringsItsSettingsBackButPreferencesStay)
{
    Design design;
    design.start();
    std::istringstream in(":2 6 0 0 100\r\n1 50 0\r\n");
    design.open(in, DocumentKind::Coefficients);
    design.add(3.0F, 1.0F, 0);
    WaveSettings preferred = design.active();
    preferred.fftCycles = 3;
    preferred.displayMode = DisplayMode::Hertz60;
    design.applyPreferences(preferred);  // not an undo step
    EXPECT_EQ(design.undoName(), "Add Harmonic 3.00");

    design.undo();
    EXPECT_EQ(design.active(), preferred);  // an add changed no settings: none go back
    design.undo();
    WaveSettings beforeOpen;
    beforeOpen.displayMode =
        DisplayMode::Hertz60;  // the display mode is no part of the design: it stays
    EXPECT_EQ(design.active(), beforeOpen);
    EXPECT_EQ(design.table().slotsPerHarmonic(), 512);
    EXPECT_EQ(design.table().numberText(0), "60.00");
    design.redo();
    EXPECT_EQ(design.active().ppc, 100.0F);
    EXPECT_EQ(design.active().displayMode, DisplayMode::Hertz60);
}

}  // namespace

namespace {

TEST(UndoHistoryBudget, TheOldestStepsGoBeyondTheEntryBudgetButTheLastStays)
{
    UndoHistory history(10);  // entries
    const auto holding = [](std::size_t entries) {
        return [entries] {
            DesignSnapshot state;
            state.entries.resize(entries);
            return state;
        };
    };
    std::vector<std::string> kept;
    for (const auto& [name, entries] : {std::pair{"a", 4}, {"b", 4}, {"c", 2}, {"d", 30}}) {
        history.record(name, holding(static_cast<std::size_t>(entries)));
        std::string names;
        for (UndoHistory copy = history; copy.canUndo(); copy.undo({})) {
            names += copy.undoName();
        }
        kept.push_back(names);
    }
    EXPECT_EQ(kept, (std::vector<std::string>{"a", "ba", "cba", "d"}));
}

}  // namespace
