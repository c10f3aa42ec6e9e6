#include "design/Design.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

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
    EXPECT_EQ(design.addProposal().maximumNumber, 63.998046875F);
    design.add(2.5F, 1.0F, 0);
    EXPECT_EQ(design.addProposal().number, 4.0F);
    design.add(62.5F, 1.0F, 0);
    EXPECT_EQ(design.addProposal().number, 2.0F);
    design.setActive(withPpc(256.0F));
    EXPECT_EQ(design.addProposal().maximumNumber, 127.99609375F);
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
    EXPECT_EQ(design.active().cosine, 1);
    EXPECT_EQ(design.active().phaseReference, 1);
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
    ASSERT_EQ(design.settings().preferences.cosine, 1);

    WaveSettings entered = design.active();  // the dialog shows the working copy
    entered.harmIndex = 1;
    EXPECT_TRUE(design.applyPreferences(entered));
    const WaveSettings& persisted = design.settings().preferences;
    EXPECT_EQ(persisted.fftCycles, 2);  // cycle counts are always copied
    EXPECT_EQ(persisted.cosine, 1);     // unchanged against the working copy
    EXPECT_EQ(persisted.ppc, 128.0F);   // likewise
    EXPECT_EQ(persisted.harmIndex, 1);
    EXPECT_EQ(design.active().cosine, 0);
    EXPECT_EQ(design.table().numberText(0), "50.00");

    entered.cosine = 1;
    EXPECT_FALSE(design.applyPreferences(entered));
    EXPECT_EQ(design.active().cosine, 1);
    EXPECT_EQ(persisted.cosine, 1);
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
    preferred.harmIndex = 2;
    design.applyPreferences(preferred);  // not an undo step
    EXPECT_EQ(design.undoName(), "Add Harmonic 3.00");

    design.undo();
    EXPECT_EQ(design.active(), preferred);  // an add changed no settings: none go back
    design.undo();
    WaveSettings beforeOpen;
    beforeOpen.harmIndex = 2;  // the display mode is no part of the design: it stays
    EXPECT_EQ(design.active(), beforeOpen);
    EXPECT_EQ(design.table().slotsPerHarmonic(), 512);
    EXPECT_EQ(design.table().numberText(0), "60.00");
    design.redo();
    EXPECT_EQ(design.active().ppc, 100.0F);
    EXPECT_EQ(design.active().harmIndex, 2);
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
