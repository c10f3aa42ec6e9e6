#include "design/Design.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "numbers/NumberText.h"
#include "support/TestSupport.h"

namespace {

void openText(Design& design, const std::string& text)
{
    std::istringstream in(text);
    design.open(in, DocumentKind::Coefficients);
}

/** What undo must bring back, and a refusal must leave: the table, its selection, settings. */
struct Shown {
    std::vector<HarmonicEntry> entries;
    int selectedRow;
    float selectedNumber;
    WaveSettings active;
    int slotsPerHarmonic;

    bool operator==(const Shown&) const = default;
};

Shown shown(const Design& design)
{
    return {design.table().entries(), design.table().selectedRow(), design.table().selectedNumber(),
            design.active(), design.table().slotsPerHarmonic()};
}

TEST(DesignSelection, AnAddedHarmonicIsTheOneTheSlidersEditAndDeleteActOnWhileHighlighted)
{
    Design design;
    design.start();
    ASSERT_TRUE(design.add(3.0F, 10.0F, 45));
    ASSERT_TRUE(design.add(2.0F, 5.0F, 0));  // inserted above the highlighted 3
    EXPECT_EQ(design.table().selectedRow(), 1);
    EXPECT_EQ(design.selectedEntry(), (HarmonicEntry{2.0F, 5.0F, 0}));
    design.editSelected(5.1F, 0);
    const std::vector<HarmonicEntry> edited{{1.0F, 100.0F, 0}, {2.0F, 5.1F, 0}, {3.0F, 10.0F, 45}};
    EXPECT_EQ(design.table().entries(), edited);

    EXPECT_FALSE(design.selectRow(1).has_value());  // already the selected number
    EXPECT_EQ(design.selectRow(0), (HarmonicEntry{1.0F, 100.0F, 0}));
    design.selectRow(-1);  // the user cleared the highlight
    EXPECT_FALSE(design.selectedEntry().has_value());
    design.moveSlider(Slider::Magnitude, 50.0F, 0);
    design.editSelected(50.0F, 0);
    EXPECT_FALSE(design.deleteSelected().has_value());
    EXPECT_EQ(design.table().entries(), edited);
    EXPECT_EQ(design.undoName(), "Edit Harmonic 2.00");

    design.selectRow(1);
    EXPECT_EQ(design.deleteSelected(), edited[0]);      // the row above
    EXPECT_EQ(design.deleteSelected(), edited[2]);      // the first row gone: the new first
    EXPECT_FALSE(design.deleteSelected().has_value());  // the last one: nothing left to show
    EXPECT_EQ(design.table().count(), 0);
    EXPECT_EQ(design.table().selectedNumber(), 3.0F);  // the deleted number stays selected
}

TEST(DesignAdd, ProposalIsTheNextFreeNumberAfterTheLastAdded)
{
    // The ppc of an opened file, its numbers, the numbers added after it; the proposal.
    const std::tuple<float, std::vector<float>, std::vector<float>, float> cases[] = {
        {128, {1}, {}, 3},
        {128, {1}, {2.5F}, 4},
        {128, {1}, {2.5F, 62.5F}, 2},  // 64 lies past the bound
        {128, {1, 3}, {}, 4},          // after a load the last added number is 1
        {128, {1, 3, 4, 5, 7}, {}, 6},
        // Past the bound (12.4996 at 25) it counts on from 0; every whole number taken: a half.
        {25, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {}, 0},
        {25, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {}, 3.5F},
    };
    for (const auto& [ppc, numbers, added, proposal] : cases) {
        std::string file = ":1 12 1 1 " + formatGeneral(ppc) + "\n";
        for (const float number : numbers) {
            file += formatGeneral(number) + " 1 0\n";
        }
        SCOPED_TRACE(file);
        Design design;
        openText(design, file);
        for (const float number : added) {
            ASSERT_TRUE(design.add(number, 1.0F, 0));
        }
        EXPECT_EQ(design.addProposal().number, proposal);
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

TEST(DesignSettingsUpkeep, SlotLimitNumberBoundAndPlanFollowPpc)
{
    const std::pair<const char*, std::function<void(Design&)>> commands[] = {
        {"setActive", [](Design& d) { d.setActive({.ppc = 100.0F}); }},
        {"preferences", [](Design& d) { d.applyPreferences({.ppc = 100.0F}); }},
        {"settingsLine", [](Design& d) { openText(d, ":1 12 1 1 600\r\n:1 12 1 1 100\r\n"); }},
        {"newDesign",
         [](Design& d) {
             d.applyPreferences({.ppc = 100.0F});
             d.setActive({.ppc = 200.0F});
             d.recalculate(false);
             d.newDesign();  // back to the preferred 100
         }},
    };
    for (const auto& [name, command] : commands) {
        SCOPED_TRACE(name);
        Design design(PlanRigor::Estimate);
        design.start();
        design.recalculate(false);
        ASSERT_TRUE(design.planSlot().holdsPlan());
        command(design);
        EXPECT_EQ(design.active().ppc, 100.0F);
        EXPECT_EQ(design.table().slotsPerHarmonic(), 655);
        EXPECT_EQ(design.numberRange().maximum, static_cast<float>(50.0 - 1.0 / 655));
        EXPECT_FALSE(design.planSlot().holdsPlan());
        EXPECT_EQ(design.recalculate(false).fftSize, 100);
    }
}

TEST(DesignPreferences, FlagsAndPpcAreComparedWithTheWorkingCopyAndAreNoUndoStep)
{
    Design design;
    design.start();
    openText(design, ":2 6 0 1 100\r\n1 50 0\r\n");  // sines, in the working copy only
    design.add(3.0F, 1.0F, 0);
    WaveSettings entered = design.active();  // the dialog shows the working copy
    entered.fftCycles = 3;
    entered.displayMode = DisplayMode::Hertz50;
    EXPECT_TRUE(design.applyPreferences(entered).displayChanged);
    // Cycle counts are always copied; basis and ppc are unchanged against the working copy.
    const WaveSettings& persisted = design.settings().preferences;
    EXPECT_EQ(persisted, (WaveSettings{6, 3, WaveBasis::Cosine, PhaseReference::Harmonic,
                                       DisplayMode::Hertz50, 128.0F}));
    EXPECT_EQ(design.active().basis, WaveBasis::Sine);
    EXPECT_EQ(design.table().numberText(0), "50.00");
    EXPECT_EQ(design.undoName(), "Add Harmonic 3.00");

    entered.basis = WaveBasis::Cosine;
    EXPECT_FALSE(design.applyPreferences(entered).displayChanged);
    EXPECT_EQ(persisted.basis, WaveBasis::Cosine);
    const WaveSettings preferred = design.active();
    design.undo();
    EXPECT_EQ(design.active(), preferred);  // an add changed no settings: none go back
    design.undo();
    // The display mode is no part of the design: it stays.
    EXPECT_EQ(design.active(), (WaveSettings{.displayMode = DisplayMode::Hertz50}));
    EXPECT_EQ(design.table().numberText(0), "50.00");
    design.redo();
    EXPECT_EQ(design.active(), preferred);
}

using Entering = std::function<std::optional<EntryRefusal>(Design&)>;

Entering preferences(int fft, int display, float ppc)
{
    const WaveSettings entered{.displayCycles = display, .fftCycles = fft, .ppc = ppc};
    return [=](Design& d) { return d.applyPreferences(entered).refusal; };
}

Entering adding(float number, float magnitude, int phase)
{
    return [=](Design& d) { return d.add(number, magnitude, phase).refusal; };
}

Entering editing(float magnitude, int phase)
{
    return [=](Design& d) { return d.editSelected(magnitude, phase).refusal; };
}

auto fields(const std::optional<EntryRefusal>& r)
{
    return r ? std::optional(std::tuple(r->field, r->minimum, r->maximum, r->present))
             : std::nullopt;
}

const auto below = [](float value) { return std::nextafter(value, -1e9F); };
const auto above = [](float value) { return std::nextafter(value, 1e9F); };
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kTopNumber = 63.998046875F;  // at 128 samples per cycle
constexpr EntryRefusal kFft{EntryField::FftCycles, 1, 12};
constexpr EntryRefusal kDisplay{EntryField::DisplayCycles, 1, 12};
constexpr EntryRefusal kPpc{EntryField::Ppc, 25, 512};
constexpr EntryRefusal kNumber{EntryField::Number, 0, kTopNumber};
constexpr EntryRefusal kMagnitude{EntryField::Magnitude, 0, 100};
constexpr EntryRefusal kPhase{EntryField::Phase, -180, 180};
constexpr std::nullopt_t kTaken = std::nullopt;

// Each entry rule once, at its edges: the field refused and the range the front ends word.
TEST(DesignLimits, RefusesWhatBreaksALimitAndNamesTheFieldAndItsRange)
{
    const std::tuple<const char*, Entering, std::optional<EntryRefusal>> cases[] = {
        // clang-format off
        {"fft0", preferences(0, 1, 128), kFft},
        {"fft1display12", preferences(1, 12, 128), kTaken},
        {"fft12display1", preferences(12, 1, 128), kTaken},
        {"fft13", preferences(13, 0, 0), kFft},  // the FFT window is checked first
        {"display0", preferences(1, 0, 0), kDisplay},  // then the display
        {"display13", preferences(1, 13, 128), kDisplay},
        {"ppc25", preferences(1, 1, 25), kTaken},
        {"ppcBelow25", preferences(1, 1, below(25)), kPpc},
        {"ppc512", preferences(1, 1, 512), kTaken},
        {"ppcAbove512", preferences(1, 1, above(512)), kPpc},
        {"ppcNaN", preferences(1, 1, kNaN), kPpc},
        {"number0", adding(0, 0, 0), kTaken},
        {"numberBelow0", adding(below(0), 0, 0), kNumber},
        {"numberTop", adding(kTopNumber, 0, 0), kTaken},
        {"numberAboveTop", adding(above(kTopNumber), 0, 0), kNumber},
        {"numberNaN", adding(kNaN, 101, 181), kNumber},  // the number is checked first
        {"numberPresent", adding(1, 0, 0), EntryRefusal{EntryField::Number, 0, 0, true}},
        {"magnitude100", adding(2, 100, 0), kTaken},
        {"magnitudeAbove100", adding(2, above(100), 181), kMagnitude},  // then the magnitude
        {"magnitudeBelow0", adding(2, below(0), 0), kMagnitude},
        {"phaseMinus180", adding(2, 0, -180), kTaken},
        {"phaseMinus181", adding(2, 0, -181), kPhase},
        {"editPhase180", editing(0, 180), kTaken},
        {"editMagnitudeNaN", editing(kNaN, 0), kMagnitude},
        {"editPhase181", editing(100, 181), kPhase},
        // clang-format on
    };
    for (const auto& [name, enter, refusal] : cases) {
        SCOPED_TRACE(name);
        Design design;
        design.start();
        const Shown before = shown(design);
        EXPECT_EQ(fields(enter(design)), fields(refusal));
        if (refusal) {
            EXPECT_EQ(shown(design), before);  // a refusal changes nothing
        }
    }
}

void importCapture(Design& design)
{
    CaptureAnalysis analysis;
    analysis.cycles = 10;
    analysis.pointsPerCycle = 1024;
    analysis.lines = {{0, 2, 0}, {1, 100, 20.4}, {3, 20, -30.6}, {5, 0.04, 0}, {300, 0.5, 0}};
    EXPECT_EQ(design.importCapture(analysis, "dir/cap.wav"), 1U);  // 300 is beyond 512 ppc
    // Cosines in each line's own period.
    EXPECT_EQ(design.active(), (WaveSettings{.fftCycles = 10, .ppc = 512.0F}));
    EXPECT_EQ(design.table().entries(),
              (std::vector<HarmonicEntry>{{0, 2, 0}, {1, 100, 20}, {3, 20, -31}}));
    EXPECT_EQ(design.fileName(), "dir/cap.wav");
    EXPECT_TRUE(design.isModified());
}

TEST(DesignUndo, EachCommandIsOneStepBackAndForth)
{
    const std::pair<const char*, std::function<void(Design&)>> commands[] = {
        {"Add Harmonic 2.00", [](Design& d) { d.add(2.0F, 1.0F, 0); }},
        {"Edit Harmonic 5.00", [](Design& d) { d.editSelected(1.0F, 1); }},
        {"Delete Harmonic 5.00", [](Design& d) { d.deleteSelected(); }},
        {"Magnitude of Harmonic 5.00",
         [](Design& d) {
             d.moveSlider(Slider::Magnitude, 21.0F, 90);
             d.moveSlider(Slider::Magnitude, 22.0F, 90);  // the same gesture
         }},
        {"New",
         [](Design& d) {
             d.newDesign();
             EXPECT_EQ(d.table().entries(), std::vector{Design::kFundamental});
             EXPECT_EQ(d.selectedEntry(), Design::kFundamental);
         }},
        {"Clear Harmonics", [](Design& d) { d.clearTable(); }},
        {"Open", [](Design& d) { openText(d, ":2 6 0 0 100\r\n1 50 0\r\n"); }},
        {"Import Capture", importCapture},
    };
    for (const auto& [name, command] : commands) {
        SCOPED_TRACE(name);
        Design design;
        design.start();
        design.add(3.0F, 10.0F, 45);
        design.add(5.0F, 20.0F, 90);
        const Shown before = shown(design);
        command(design);
        const Shown after = shown(design);
        ASSERT_NE(after, before);
        EXPECT_EQ(design.undoName(), name);

        ASSERT_TRUE(design.undo());
        EXPECT_EQ(shown(design), before);
        EXPECT_EQ(design.redoName(), name);
        ASSERT_TRUE(design.redo());
        EXPECT_EQ(shown(design), after);
        design.undo();
        design.add(7.0F, 1.0F, 0);
        EXPECT_FALSE(design.canRedo());  // a new command drops what was undone
    }
}

TEST(DesignUndoGestures, AGestureEndsAtItsEndOrAtAnotherSliderOrHarmonic)
{
    Design design;
    design.start();
    design.add(3.0F, 10.0F, 0);
    design.moveSlider(Slider::Magnitude, 11.0F, 0);
    design.moveSlider(Slider::Magnitude, 13.0F, 0);
    design.moveSlider(Slider::Phase, 13.0F, 5);  // the other slider: a gesture of its own
    design.endGesture();
    design.moveSlider(Slider::Phase, 13.0F, 6);
    design.selectRow(0);
    design.moveSlider(Slider::Phase, 100.0F, 7);

    // Back over harmonic 1's phase, both phase gestures, then the one magnitude gesture.
    for (const float magnitude : {13.0F, 13.0F, 13.0F, 10.0F}) {
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

}  // namespace

// Each command tells its listener once what it changed; a refusal tells nothing.
TEST(DesignChanges, EachCommandTellsOnceWhatItChanged)
{
    using C = DesignChanges;
    constexpr unsigned kReplaced = C::Table | C::Settings | C::Replaced;
    const std::tuple<const char*, std::function<void(Design&)>, std::vector<unsigned>> cases[] = {
        {"add", [](Design& d) { d.add(3.0F, 10.0F, 0); }, {C::Table}},
        {"refused add", [](Design& d) { d.add(1.0F, 10.0F, 0); }, {}},
        {"edit", [](Design& d) { d.editSelected(50.0F, 0); }, {C::Table}},
        {"slider", [](Design& d) { d.moveSlider(Slider::Phase, 100.0F, 9); }, {C::Table}},
        {"delete", [](Design& d) { d.deleteSelected(); }, {C::Table}},
        {"preferences", [](Design& d) { d.applyPreferences({.fftCycles = 2}); }, {C::Settings}},
        {"refused preferences", [](Design& d) { d.applyPreferences({.fftCycles = 0}); }, {}},
        {"new", [](Design& d) { d.newDesign(); }, {kReplaced | C::Document}},
        {"open", [](Design& d) { openText(d, "1 100 0\n"); }, {kReplaced | C::Document}},
        {"failed open", [](Design& d) { d.open("/nonexistent/design.kvk"); }, {}},
        {"undo and redo",
         [](Design& d) {
             d.add(3.0F, 10.0F, 0);
             d.undo();
             d.redo();
             d.redo();  // nothing left to redo
         },
         {C::Table, kReplaced, kReplaced}},
        {"mask", [](Design& d) { static_cast<void>(d.chooseMask(MaskSource{})); }, {C::Mask}},
    };
    for (const auto& [name, command, told] : cases) {
        SCOPED_TRACE(name);
        Design design(PlanRigor::Estimate);
        design.start();
        std::vector<unsigned> seen;
        design.setChangeListener([&seen](DesignChanges changes) { seen.push_back(changes.flags); });
        command(design);
        EXPECT_EQ(seen, told);
    }
}
