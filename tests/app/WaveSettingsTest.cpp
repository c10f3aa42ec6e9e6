#include "app/WaveSettings.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include <filesystem>

#include "app/RecentFiles.h"
#include "support/TestSupport.h"

namespace {

SettingsModel loadFrom(TempSettings& settings)
{
    SettingsModel model;
    model.LoadSettings(settings.store());
    return model;
}

TEST(PpcBits, FormatsTheFloatsBitsAsEightLowercaseHexDigits)
{
    EXPECT_EQ(formatPpcBits(128.0F), "0x43000000");
    EXPECT_EQ(formatPpcBits(512.0F), "0x44000000");
    EXPECT_EQ(formatPpcBits(24.5F), "0x41c40000");
    EXPECT_EQ(formatPpcBits(0.0F), "0x00000000");
}

TEST(PpcBits, ParsesOnlyWithTheLiteralPrefix)
{
    EXPECT_EQ(parsePpcBits("0x43000000"), 128.0F);
    EXPECT_EQ(parsePpcBits("0x43000000 trailing"), 128.0F);
    EXPECT_EQ(parsePpcBits("0X43000000"), std::nullopt);  // the literal is matched exactly
    EXPECT_EQ(parsePpcBits("43000000"), std::nullopt);
    EXPECT_EQ(parsePpcBits(" 0x43000000"), std::nullopt);
    EXPECT_EQ(parsePpcBits("0x"), std::nullopt);
    EXPECT_EQ(parsePpcBits("0xzz"), std::nullopt);
    EXPECT_EQ(parsePpcBits(""), std::nullopt);
    EXPECT_EQ(parsePpcBits("0x123456789"), std::nullopt);  // more than 32 bits
}

TEST(PpcBits, RoundTripsEveryAcceptedValue)
{
    for (const float ppc : {24.5F, 25.0F, 100.5F, 128.0F, 333.3F, 512.0F}) {
        EXPECT_EQ(parsePpcBits(formatPpcBits(ppc)), ppc);
    }
}

TEST(SlotsPerHarmonic, IsTheTruncatedSinglePrecisionQuotient)
{
    EXPECT_EQ(slotsPerHarmonicFor(128.0F), 512);
    EXPECT_EQ(slotsPerHarmonicFor(100.0F), 655);
    EXPECT_EQ(slotsPerHarmonicFor(256.0F), 256);
    EXPECT_EQ(slotsPerHarmonicFor(512.0F), 128);
    EXPECT_EQ(slotsPerHarmonicFor(25.0F), 2621);
}

TEST(DisplayMode, GivesMultiplierAndHeading)
{
    SettingsModel model;
    model.ApplyDisplayMode(1);
    EXPECT_EQ(model.frequencyMultiplier(), 50.0F);
    EXPECT_EQ(model.numberHeading(), "Frequency");
    model.ApplyDisplayMode(2);
    EXPECT_EQ(model.frequencyMultiplier(), 60.0F);
    EXPECT_EQ(model.numberHeading(), "Frequency");
    for (const int other : {0, 3, -1, 99}) {
        model.ApplyDisplayMode(other);
        EXPECT_EQ(model.frequencyMultiplier(), 1.0F) << other;
        EXPECT_EQ(model.numberHeading(), "Harmonic") << other;
    }
}

TEST(LoadSettings, FirstStartGivesTheDefaultsAndStoresThemAll)
{
    TempSettings settings;
    const SettingsModel model = loadFrom(settings);
    const WaveSettings defaults{12, 1, 1, 1, 0, 128.0F};
    EXPECT_EQ(model.preferences, defaults);
    EXPECT_EQ(model.activeSettings, defaults);
    EXPECT_EQ(model.numberHeading(), "Harmonic");

    model.StoreSettings(settings.store());
    settings.reopen();
    EXPECT_EQ(settings.store().readInt("Display Cycles", -1), 12);
    EXPECT_EQ(settings.store().readInt("FFT Cycles", -1), 1);
    EXPECT_EQ(settings.store().readInt("Cosine", -1), 1);
    EXPECT_EQ(settings.store().readInt("PhaseReference", -1), 1);
    EXPECT_EQ(settings.store().readInt("HarmIndex", -1), 0);
    EXPECT_EQ(settings.store().readString("Ppc", ""), "0x43000000");
}

TEST(LoadSettings, TakesStoredValuesIntoBothCopies)
{
    TempSettings settings;
    settings.store().writeInt("Display Cycles", 3);
    settings.store().writeInt("FFT Cycles", 4);
    settings.store().writeInt("Cosine", 0);
    settings.store().writeInt("PhaseReference", 0);
    settings.store().writeInt("HarmIndex", 2);
    settings.store().writeString("Ppc", formatPpcBits(100.5F));
    settings.reopen();
    const SettingsModel model = loadFrom(settings);
    const WaveSettings expected{3, 4, 0, 0, 2, 100.5F};
    EXPECT_EQ(model.preferences, expected);
    EXPECT_EQ(model.activeSettings, expected);
    EXPECT_EQ(model.frequencyMultiplier(), 60.0F);
}

TEST(LoadSettings, PpcValidityRule)
{
    struct Case {
        const char* stored;
        float expected;
    };
    const Case cases[] = {
        {"0x41c00000", 128.0F},  // 24.0 is not above 24
        {"0x41c40000", 24.5F},   // accepted although Preferences starts at 25
        {"0x44000000", 512.0F}, {"0x44001000", 128.0F},  // just above 512
        {"0x7fc00000", 128.0F},                          // NaN
        {"0xbf800000", 128.0F},                          // negative
        {"43000000", 128.0F},                            // no prefix
        {"garbage", 128.0F},
    };
    for (const Case& c : cases) {
        TempSettings settings;
        settings.store().writeString("Ppc", c.stored);
        settings.reopen();
        const SettingsModel model = loadFrom(settings);
        EXPECT_EQ(model.preferences.ppc, c.expected) << c.stored;
        EXPECT_EQ(model.activeSettings.ppc, c.expected) << c.stored;
    }
}

TEST(LoadSettings, CorrectedPpcIsWrittenBackAtClose)
{
    TempSettings settings;
    settings.store().writeString("Ppc", "0x41c00000");
    settings.reopen();
    loadFrom(settings).StoreSettings(settings.store());
    settings.reopen();
    EXPECT_EQ(settings.store().readString("Ppc", ""), "0x43000000");
}

TEST(LoadSettings, DamagedCycleCountsFallBackToTheirDefaults)
{
    for (const int bad : {0, 13, -5, 1000000}) {
        TempSettings settings;
        settings.store().writeInt("Display Cycles", bad);
        settings.store().writeInt("FFT Cycles", bad);
        settings.reopen();
        const SettingsModel model = loadFrom(settings);
        EXPECT_EQ(model.activeSettings.displayCycles, 12) << bad;
        EXPECT_EQ(model.activeSettings.fftCycles, 1) << bad;
    }
    TempSettings settings;
    settings.store().writeString("FFT Cycles", "twelve");
    settings.reopen();
    EXPECT_EQ(loadFrom(settings).activeSettings.fftCycles, 1);
}

TEST(LoadSettings, UnknownHarmIndexShowsHarmonicsAndIsWrittenBackUnchanged)
{
    for (const int index : {3, -1}) {
        TempSettings settings;
        settings.store().writeInt("HarmIndex", index);
        settings.reopen();
        const SettingsModel model = loadFrom(settings);
        EXPECT_EQ(model.frequencyMultiplier(), 1.0F);
        EXPECT_EQ(model.numberHeading(), "Harmonic");
        model.StoreSettings(settings.store());
        settings.reopen();
        EXPECT_EQ(settings.store().readInt("HarmIndex", 0), index);
    }
}

TEST(StoreSettings, WritesThePreferencesNotTheActiveCopy)
{
    TempSettings settings;
    SettingsModel model = loadFrom(settings);
    model.activeSettings.fftCycles = 2;  // as a file would set it
    model.activeSettings.ppc = 256.0F;
    model.StoreSettings(settings.store());
    settings.reopen();
    EXPECT_EQ(settings.store().readInt("FFT Cycles", 0), 1);
    EXPECT_EQ(settings.store().readString("Ppc", ""), "0x43000000");
}

TEST(LoadSettings, StoredFlagsAreNormalised)
{
    TempSettings settings;
    settings.store().writeInt("Cosine", 5);
    settings.store().writeInt("PhaseReference", -1);
    settings.reopen();
    const SettingsModel model = loadFrom(settings);
    EXPECT_EQ(model.activeSettings.cosine, 1);
    EXPECT_EQ(model.activeSettings.phaseReference, 1);
}

// A FIFO would block the start-up for good, and a link to a device would be replaced at close.
TEST(SettingsFile, WhatIsNotARegularFileIsNeitherReadNorWritten)
{
    for (const Special kind :
         {Special::Fifo, Special::Socket, Special::LinkToFifo, Special::Folder}) {
        TempDir dir;
        const std::string path = dir.file("Korvalin.conf");
        makeSpecial(kind, path);
        const auto type = std::filesystem::symlink_status(path).type();
        ::testing::internal::CaptureStderr();
        const auto store = QtSettingsStore::forFile(path);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find("will not be saved"), std::string::npos) << said;
        SettingsModel model;
        model.LoadSettings(*store);
        EXPECT_EQ(model.preferences, WaveSettings{});
        model.StoreSettings(*store);
        EXPECT_FALSE(store->flush());
        EXPECT_EQ(std::filesystem::symlink_status(path).type(), type);
    }
}

}  // namespace

TEST(RecentFilesList, MostRecentFirstOnceEachAtMostEightExistingOnly)
{
    TempDir dir;
    MemorySettingsStore store;
    RecentFiles recent;
    for (int i = 0; i < 10; ++i) {
        writeWholeFile(dir.file(std::to_string(i)), "");
        recent.add(dir.file(std::to_string(i)), store);
    }
    recent.add(dir.file("5"), store);
    recent.add("two\nlines", store);
    std::filesystem::remove(dir.file("8"));
    RecentFiles reloaded;
    reloaded.load(store);
    std::vector<std::string> expected;
    for (const char* name : {"5", "9", "7", "6", "4", "3", "2"}) {
        expected.push_back(dir.file(name));
    }
    EXPECT_EQ(reloaded.existing(), expected);
}
