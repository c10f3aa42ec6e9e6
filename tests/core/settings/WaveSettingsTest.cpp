#include "settings/WaveSettings.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "design/Design.h"
#include "support/TestSupport.h"

namespace {

using Stored = std::vector<std::pair<const char*, const char*>>;

// What a settings file holds reaches both copies, whatever is damaged or outside its limits falls
// back on its own, and the persisted copy goes back as loaded: an unknown value too, so another
// program's choice survives.
TEST(StoredSettings, LoadIntoBothCopiesAndStoreThePersistedOneAsLoaded)
{
    const WaveSettings defaults;
    // clang-format off
    const std::pair<Stored, WaveSettings> cases[] = {
        {{}, defaults},
        {{{"Display Cycles", "3"}, {"FFT Cycles", "4"}, {"Cosine", "0"}, {"PhaseReference", "0"},
          {"HarmIndex", "2"}, {"Ppc", "0x42c90000"}},
         {3, 4, WaveBasis::Sine, PhaseReference::Fundamental, DisplayMode::Hertz60, 100.5F}},
        {{{"Display Cycles", "twelve"}, {"Ppc", "0X44000000"}}, defaults},
        {{{"Cosine", "5"}, {"PhaseReference", "-1"}}, defaults},  // any nonzero flag is set
        {{{"HarmIndex", "3"}}, {.displayMode = static_cast<DisplayMode>(3)}},
        {{{"Ppc", "0x43000000 trailing"}}, {.ppc = 128.0F}},
        {{{"Ppc", " 0x43000000"}}, defaults},  // only with the literal prefix
        {{{"Ppc", "0x144000000"}}, defaults},
        // Any ppc above 24 is kept (24.5 too, which Preferences refuses).
        {{{"Ppc", "0x41c40000"}, {"Display Cycles", "1"}, {"FFT Cycles", "12"}},
         {.displayCycles = 1, .fftCycles = 12, .ppc = 24.5F}},
        {{{"Ppc", "0x44000000"}}, {.ppc = 512.0F}},
        {{{"Ppc", "0x41c00000"}, {"Display Cycles", "0"}, {"FFT Cycles", "13"}}, defaults},
        {{{"Ppc", "0x44000001"}, {"Display Cycles", "13"}, {"FFT Cycles", "0"}}, defaults},
        {{{"Ppc", "0x7fc00000"}, {"FFT Cycles", "2"}}, {.fftCycles = 2}},
        {{{"Ppc", "0xbf800000"}, {"Display Cycles", "3"}}, {.displayCycles = 3}},
    };
    // clang-format on
    for (const auto& [stored, expected] : cases) {
        SCOPED_TRACE(stored.empty() ? "" : stored.front().second);
        TempSettings settings;
        for (const auto& [name, value] : stored) {
            settings.store().writeString(name, value);
        }
        settings.reopen();
        Design design;
        design.loadSettings(settings.store());
        EXPECT_EQ(design.settings().preferences, expected);
        EXPECT_EQ(design.active(), expected);

        design.setActive({.fftCycles = 2});  // as a file would set it: never persisted
        design.storeSettings(settings.store());
        settings.reopen();
        Design reloaded;
        reloaded.loadSettings(settings.store());
        EXPECT_EQ(reloaded.settings().preferences, expected);
    }
}

}  // namespace
