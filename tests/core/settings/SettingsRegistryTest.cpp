#include "settings/SettingsRegistry.h"

#include <string>

#include <gtest/gtest.h>

#include "design/Design.h"
#include "files/InstrumentExport.h"
#include "settings/SettingsStore.h"
#include "support/TestSupport.h"

namespace {

// A settings file as an earlier release wrote it: every value loads as it was kept.
TEST(SettingsRegistry, AnEarlierReleasesSettingsFileLoadsAsItWasWritten)
{
    TempDir dir;
    const std::string path = dir.file("Korvalin.conf");
    writeWholeFile(path,
                   "[General]\n"
                   "Cosine=0\n"
                   "Display%20Cycles=3\n"
                   "Export%20Bits=14\n"
                   "Export%20Cycles=2\n"
                   "Export%20Format=txt\n"
                   "Export%20Level=peak\n"
                   "Export%20Points=4096\n"
                   "Export%20Scale=volts\n"
                   "Export%20Volts=230\n"
                   "FFT%20Cycles=4\n"
                   "HarmIndex=2\n"
                   "Limit%20Mask=iec61000-3-2-a\n"
                   "Limit%20Mask%20Current=10\n"
                   "Optimized=1\n"
                   "PhaseReference=0\n"
                   "Ppc=0x43800000\n"
                   "Spectrum%20Scale=dB\n"
                   "Table%20Basis=0\n"
                   "Table%20Reference=0\n"
                   "Table%20Zero%20Phase=1\n");
    const auto store = QtSettingsStore::forFile(path);
    Design design(PlanRigor::Estimate);
    design.loadSettings(*store);
    EXPECT_EQ(design.active(), (WaveSettings{3, 4, WaveBasis::Sine, PhaseReference::Fundamental,
                                             DisplayMode::Hertz60, 256.0F}));
    const MaskSource& mask = design.limitMask().source();
    EXPECT_EQ(mask.name, "iec61000-3-2-a");
    EXPECT_EQ(mask.parameters.fundamentalRms, 10.0);
    EXPECT_EQ(readSetting(*store, setting::optimized), 1);
    EXPECT_EQ(readSetting<SpectrumScale>(*store, setting::spectrumScale), SpectrumScale::Decibel);

    const WaveformExport waveform = loadWaveformExport(*store);
    EXPECT_EQ(waveform.points, 4096);
    EXPECT_EQ(waveform.cycles, 2);
    EXPECT_EQ(waveform.scale, SampleScale::Volts);
    EXPECT_EQ(waveform.level, VoltsLevel::Peak);
    EXPECT_EQ(waveform.volts, 230.0);
    EXPECT_EQ(waveform.bits, 14);
    EXPECT_EQ(waveform.layout, SampleLayout::Text);
    const TableExport table = loadTableExport(*store);
    EXPECT_EQ(table.basis, TableBasis::Sine);
    EXPECT_EQ(table.reference, TableReference::Fundamental);
    EXPECT_TRUE(table.zeroFundamentalPhase);
}

// A value outside its range, or a name no choice has, reads as the default.
TEST(SettingsRegistry, OutOfRangeAndUnknownValuesReadAsTheDefault)
{
    constexpr IntSetting kCount{"Count", 5, 1, 9};
    constexpr ChoiceSetting<3> kPick{"Pick", {"a", "b", "c"}, 1};
    const std::pair<const char*, int> counts[] = {
        {"1", 1}, {"9", 9}, {"0", 5}, {"10", 5}, {"x", 5}};
    for (const auto& [stored, read] : counts) {
        MemorySettingsStore store;
        store.writeString(kCount.key, stored);
        EXPECT_EQ(readSetting(store, kCount), read) << stored;
    }
    const std::pair<const char*, int> picks[] = {{"c", 2}, {"a", 0}, {"C", 1}, {"", 1}};
    for (const auto& [stored, read] : picks) {
        MemorySettingsStore store;
        store.writeString(kPick.key, stored);
        EXPECT_EQ(readSetting<int>(store, kPick), read) << stored;
    }
    MemorySettingsStore empty;
    EXPECT_EQ(readSetting<int>(empty, kPick), 1);
}

}  // namespace
