#include "app/WaveSettings.h"

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/RecentFiles.h"
#include "support/TestSupport.h"

namespace {

using Stored = std::vector<std::pair<const char*, const char*>>;

struct LoadCase {
    const char* name;
    Stored stored;
    WaveSettings expected;
};

class LoadSettings : public ::testing::TestWithParam<LoadCase> {};

// What a settings file holds reaches both copies; whatever is damaged falls back on its own.
TEST_P(LoadSettings, TakesValidValuesIntoBothCopies)
{
    TempSettings settings;
    for (const auto& [name, value] : GetParam().stored) {
        settings.store().writeString(name, value);
    }
    settings.reopen();
    SettingsModel model;
    model.LoadSettings(settings.store());
    EXPECT_EQ(model.preferences, GetParam().expected);
    EXPECT_EQ(model.activeSettings, GetParam().expected);
}

WaveSettings withPpc(float ppc)
{
    WaveSettings s;
    s.ppc = ppc;
    return s;
}

// clang-format off
const LoadCase kLoadCases[] = {
    {"nothingStored", {}, WaveSettings{12, 1, 1, 1, 0, 128.0F}},
    {"everyValue", {{"Display Cycles", "3"}, {"FFT Cycles", "4"}, {"Cosine", "0"},
                    {"PhaseReference", "0"}, {"HarmIndex", "2"}, {"Ppc", "0x42c90000"}},
     WaveSettings{3, 4, 0, 0, 2, 100.5F}},
    {"ppc24NotAbove24", {{"Ppc", "0x41c00000"}}, withPpc(128.0F)},
    {"ppc24_5AcceptedAlthoughPreferencesStartsAt25", {{"Ppc", "0x41c40000"}}, withPpc(24.5F)},
    {"ppc512", {{"Ppc", "0x44000000"}}, withPpc(512.0F)},
    {"ppcJustAbove512", {{"Ppc", "0x44001000"}}, withPpc(128.0F)},
    {"ppcNaN", {{"Ppc", "0x7fc00000"}}, withPpc(128.0F)},
    {"ppcNegative", {{"Ppc", "0xbf800000"}}, withPpc(128.0F)},
    {"ppcWithoutPrefix", {{"Ppc", "43000000"}}, withPpc(128.0F)},
    {"ppcUpperCasePrefix", {{"Ppc", "0X44000000"}}, withPpc(128.0F)},
    {"ppcOver32Bits", {{"Ppc", "0x144000000"}}, withPpc(128.0F)},
    {"cyclesZero", {{"Display Cycles", "0"}, {"FFT Cycles", "0"}}, WaveSettings{}},
    {"cycles13", {{"Display Cycles", "13"}, {"FFT Cycles", "13"}}, WaveSettings{}},
    {"cycles12And1", {{"Display Cycles", "1"}, {"FFT Cycles", "12"}}, WaveSettings{1, 12, 1, 1, 0, 128.0F}},
    {"cyclesNotANumber", {{"Display Cycles", "twelve"}, {"FFT Cycles", "-5"}}, WaveSettings{}},
    {"flagsNormalised", {{"Cosine", "5"}, {"PhaseReference", "-1"}}, WaveSettings{}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Stored, LoadSettings, ::testing::ValuesIn(kLoadCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PpcBits, FormatAndParseRoundTripOnlyWithTheLiteralPrefix)
{
    EXPECT_EQ(formatPpcBits(128.0F), "0x43000000");
    EXPECT_EQ(formatPpcBits(24.5F), "0x41c40000");
    for (const float ppc : {24.5F, 100.5F, 333.3F, 512.0F}) {
        EXPECT_EQ(parsePpcBits(formatPpcBits(ppc)), ppc);
    }
    EXPECT_EQ(parsePpcBits("0x43000000 trailing"), 128.0F);
    for (const char* text : {" 0x43000000", "0x", "0xzz", ""}) {
        EXPECT_EQ(parsePpcBits(text), std::nullopt) << text;
    }
}

// The persisted copy is what reaches the file; a corrected or unknown value is written as
// loaded, so an older or newer program's choice survives.
TEST(StoreSettings, WritesThePreferencesAsLoaded)
{
    TempSettings settings;
    settings.store().writeString("Ppc", "0x41c00000");
    settings.store().writeInt("HarmIndex", 3);
    settings.reopen();
    SettingsModel model;
    model.LoadSettings(settings.store());
    EXPECT_EQ(model.frequencyMultiplier(), 1.0F);
    EXPECT_EQ(model.numberHeading(), "Harmonic");
    model.activeSettings.fftCycles = 2;  // as a file would set it
    model.StoreSettings(settings.store());
    settings.reopen();
    const Stored expected = {{"Display Cycles", "12"}, {"FFT Cycles", "1"}, {"Cosine", "1"},
                             {"PhaseReference", "1"},  {"HarmIndex", "3"},  {"Ppc", "0x43000000"}};
    for (const auto& [name, value] : expected) {
        EXPECT_EQ(settings.store().readString(name, ""), value) << name;
    }
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

}  // namespace
