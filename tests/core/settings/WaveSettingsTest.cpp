#include "settings/WaveSettings.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include <QLockFile>

#include "design/Design.h"
#include "fft/Optimize.h"
#include "settings/RecentFiles.h"
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
    model.loadSettings(settings.store());
    EXPECT_EQ(model.preferences, GetParam().expected);
    EXPECT_EQ(model.activeSettings, GetParam().expected);
}

WaveSettings withPpc(float ppc)
{
    WaveSettings s;
    s.ppc = ppc;
    return s;
}

WaveSettings everyValue()
{
    return WaveSettings{
        3, 4, WaveBasis::Sine, PhaseReference::Fundamental, DisplayMode::Hertz60, 100.5F};
}

// The limits of the values are Design's; here only how they are read.
// clang-format off
const LoadCase kLoadCases[] = {
    {"nothingStored", {}, WaveSettings{}},
    {"everyValue", {{"Display Cycles", "3"}, {"FFT Cycles", "4"}, {"Cosine", "0"},
                    {"PhaseReference", "0"}, {"HarmIndex", "2"}, {"Ppc", "0x42c90000"}},
     everyValue()},
    {"cyclesNotANumber", {{"Display Cycles", "twelve"}}, WaveSettings{}},
    {"ppcNotParsed", {{"Ppc", "0X44000000"}}, withPpc(128.0F)},
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
    for (const char* text :
         {" 0x43000000", "0x", "0xzz", "", "43000000", "0X44000000", "0x144000000"}) {
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
    Design design;
    design.loadSettings(settings.store());
    EXPECT_EQ(design.settings().frequencyMultiplier(), 1.0F);
    EXPECT_EQ(design.settings().numberHeading(), "Harmonic");
    WaveSettings fromFile = design.active();
    fromFile.fftCycles = 2;  // as a file would set it
    design.setActive(fromFile);
    design.storeSettings(settings.store());
    settings.reopen();
    const Stored expected = {{"Display Cycles", "12"}, {"FFT Cycles", "1"}, {"Cosine", "1"},
                             {"PhaseReference", "1"},  {"HarmIndex", "3"},  {"Ppc", "0x43000000"}};
    for (const auto& [name, value] : expected) {
        EXPECT_EQ(settings.store().readString(name, ""), value) << name;
    }
}

/** Sets or (null) unsets an environment variable for one scope. */
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedVariable() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

/** An optimising dialog that never opens. */
struct NoDialog final : OptimizeProgress {
    bool open() override { return false; }
    void setPosition(int /*position*/) override {}
    void pause(int /*milliseconds*/) override {}
    void close() override {}
};

struct LocationCase {
    const char* name;
    const char* home;          ///< "@": the test's folder; null: unset
    const char* configHome;    ///< XDG_CONFIG_HOME, the same way
    std::string settingsFile;  ///< where they are kept, under the folder; empty: nowhere
    std::optional<Special> atTheFile = {};  ///< what stands where the file would go
    bool asRoot = true;            ///< whether the case holds for root, who writes anywhere
    const char* linkTo = nullptr;  ///< a link at the file, to this
};

void PrintTo(const LocationCase& c, std::ostream* os)
{
    *os << c.name;
}

class SettingsLocation : public ::testing::TestWithParam<LocationCase> {};

// Where the settings cannot be kept, the program says so once and starts from the defaults; and
// it skips the first-run optimisation, which would otherwise come back at every start.
TEST_P(SettingsLocation, KeepsTheSettingsOrSaysOnceThatItCannot)
{
    const LocationCase& c = GetParam();
    if (!c.asRoot && ::geteuid() == 0) {
        GTEST_SKIP() << "root writes into a folder without write permission";
    }
    TempDir dir;
    const auto inDir = [&dir](const char* value) {
        return value && value[0] == '@' ? dir.file(value + 1) : std::string(value ? value : "");
    };
    const std::string home = inDir(c.home), configHome = inDir(c.configHome);
    writeWholeFile(dir.file("plain"), "");
    std::filesystem::create_directory(dir.file("ro"));
    std::filesystem::permissions(
        dir.file("ro"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const std::string file = dir.file("Quandrel/Korvalin.conf");
    if (c.atTheFile) {
        std::filesystem::create_directories(dir.file("Quandrel"));
        makeSpecial(*c.atTheFile, file);
    } else if (c.linkTo) {
        std::filesystem::create_directories(dir.file("Quandrel"));
        std::filesystem::create_symlink(c.linkTo, file);
    }
    const auto typeBefore = std::filesystem::symlink_status(file).type();
    const bool rootConfigBefore = std::filesystem::exists("/.config");
    ScopedVariable homeVariable("HOME", c.home ? home.c_str() : nullptr);
    ScopedVariable configVariable("XDG_CONFIG_HOME", c.configHome ? configHome.c_str() : nullptr);

    const bool kept = !c.settingsFile.empty();
    ::testing::internal::CaptureStderr();
    auto store = QtSettingsStore::forUser();
    Design design(PlanRigor::Estimate);
    NoDialog progress;
    const bool optimized = design.runFirstRunOptimization(*store, progress);
    EXPECT_EQ(Design::planRigorFor(*store), kept ? PlanRigor::Measure : PlanRigor::Estimate);
    store->writeInt("FFT Cycles", 3);
    store->flush();
    store.reset();
    const std::string said = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(optimized, kept);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), kept ? 0 : 1) << said;
    EXPECT_EQ(said.find("will not be saved") != std::string::npos, !kept) << said;
    if (kept) {
        EXPECT_EQ(QtSettingsStore::forFile(dir.file(c.settingsFile))->readInt("FFT Cycles", 0), 3);
    } else {
        EXPECT_EQ(std::filesystem::symlink_status(file).type(), typeBefore);  // nothing replaced
    }
    EXPECT_EQ(std::filesystem::exists("/.config"), rootConfigBefore);
    std::filesystem::permissions(dir.file("ro"), std::filesystem::perms::owner_all);
}

// clang-format off
const LocationCase kLocationCases[] = {
    {"configHome", "@home", "@", "Quandrel/Korvalin.conf"},
    {"homeWithoutConfigHome", "@", nullptr, ".config/Quandrel/Korvalin.conf"},
    {"relativeConfigHomeIgnored", "@", "config", ".config/Quandrel/Korvalin.conf"},
    {"fifo", "@", "@", "", Special::Fifo},
    {"linkToFifo", "@", "@", "", Special::LinkToFifo},
    {"socket", "@", "@", "", Special::Socket},
    {"folder", "@", "@", "", Special::Folder},
    {"linkToDevZero", "@", "@", "", std::nullopt, true, "/dev/zero"},
    {"configHomeIsAFile", "@", "@plain", ""},
    {"configHomeUnderProc", "@", "/proc/korvalin", ""},
    {"configHomeReadOnly", "@", "@ro", "", std::nullopt, false},
    {"homeUnset", nullptr, nullptr, ""},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Where, SettingsLocation, ::testing::ValuesIn(kLocationCases),
                         [](const auto& info) { return std::string(info.param.name); });

// QSettings waits for its lock for ever: a FIFO or a folder where the lock goes, or a lock
// that another holder keeps, would keep the window from closing.
TEST(SettingsFile, ALockNotTakenSoonLeavesTheSettingsUnwrittenAndSaysSoOnce)
{
    for (const std::string holder : {"fifo", "folder", "another holder"}) {
        SCOPED_TRACE(holder);
        TempSettings settings;
        settings.store().writeInt("FFT Cycles", 2);
        ASSERT_TRUE(settings.store().flush());
        const std::string lockPath = settings.path() + ".lock";
        QLockFile held(QString::fromStdString(lockPath));
        if (holder == "another holder") {
            ASSERT_TRUE(held.lock());
        } else {
            makeSpecial(holder == "fifo" ? Special::Fifo : Special::Folder, lockPath);
        }
        ::testing::internal::CaptureStderr();
        for (const int cycles : {3, 4}) {
            settings.store().writeInt("FFT Cycles", cycles);
            EXPECT_FALSE(settings.store().flush());
        }
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find("not saved"), std::string::npos) << said;
        EXPECT_EQ(TempSettings::Reader(settings.path()).store().readInt("FFT Cycles", 0), 2);
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
