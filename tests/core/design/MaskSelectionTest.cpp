#include "design/MaskSelection.h"

#include <gtest/gtest.h>

#include "design/Design.h"
#include "files/MaskFile.h"
#include "settings/SettingsStore.h"
#include "support/TestSupport.h"

// A remembered mask file is not read at load, which would hold up the start for a large one:
// its choice awaits the file, is stored back as it was, and is settled by the mask read later.
TEST(MaskSelection, ARememberedMaskFileAwaitsItsReading)
{
    const TempDir dir;
    const std::string path = dir.file("mask.csv");
    writeWholeFile(path, "5,10\n");
    MemorySettingsStore stored;
    stored.writeString(setting::limitMask.key, "file");
    stored.writeString(setting::limitMaskFile.key, path);
    MaskSelection selection;
    selection.load(stored);
    ASSERT_TRUE(selection.awaitsFile());
    MemorySettingsStore again;
    selection.store(again);
    EXPECT_EQ(again.readString(setting::limitMask.key, ""), "file");
    EXPECT_EQ(again.readString(setting::limitMaskFile.key, ""), path);

    const MaskSource remembered = selection.source();
    EXPECT_EQ(selection.choose(remembered, {std::nullopt, "It is gone."}), "It is gone.");
    EXPECT_TRUE(selection.awaitsFile());
    EXPECT_EQ(selection.choose(remembered, readMaskFile(path)), "");
    EXPECT_FALSE(selection.awaitsFile());
    EXPECT_EQ(selection.mask()->title, "mask.csv");
}

// The window's verdict is measured as an analyser measures, whatever the display's FFT cycles,
// and from every line, however far below the list's threshold.
TEST(MaskSelection, ChecksAsAnAnalyserWhateverTheDisplayWindow)
{
    const TempDir dir;
    const std::string path = dir.file("mask.csv");
    writeWholeFile(path, "5,0.005\n");
    Design design(PlanRigor::Estimate);
    design.add(1.0F, 100.0F, 0);
    design.add(2.5F, 10.0F, 0);
    design.add(5.0F, 0.009F, 0);
    ASSERT_EQ(design.chooseMask({MaskSource::Kind::File, "", {}, path}), "");
    for (const int fftCycles : {1, 3, 2}) {  // last 2, where 2.5 leaks into no other line
        design.setActive({.fftCycles = fftCycles});
        design.recalculate(false);
        EXPECT_EQ(verdictLine(*design.limitMask().lastCheck()),
                  "mask.csv: 1 exceeded: h5 0.009 % > 0.005 %")
            << fftCycles;
    }
    const MaskCheck displayed =
        design.checkAgainst(*design.limitMask().mask(), CheckMeasure::Display);
    EXPECT_EQ(displayed.count(LimitStatus::Over), 1);
}
