#include "settings/SettingsStore.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLockFile>

#include "design/Design.h"
#include "fft/Optimize.h"
#include "support/TestSupport.h"

namespace {

/** An optimizing dialog that never opens. */
struct NoDialog final : OptimizeProgress {
    bool open() override { return false; }
    void setPosition(int /*position*/) override {}
    void pause(int /*milliseconds*/) override {}
    void close() override {}
};

// Where the settings cannot be kept, the program says so once and starts from the defaults; and
// it skips the first-run optimization, which would otherwise come back at every start.
TEST(SettingsLocation, KeepsTheSettingsOrSaysOnceThatItCannot)
{
    struct Case {
        const char* home;        ///< "@": the test's folder; null: unset
        const char* configHome;  ///< XDG_CONFIG_HOME, the same way
        const char* keptIn;      ///< where the settings are kept, under the folder; null: nowhere
        const char* linkTo = nullptr;  ///< what a link where the file would go leads to
    };
    const char* const kOwnFile = "Quandrel/Korvalin.conf";
    const char* const kHomeFile = ".config/Quandrel/Korvalin.conf";
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::alarm(60);  // a FIFO read as the settings would block: end the run rather than hang
    const Case cases[] = {
        {"@home", "@", kOwnFile},
        {"@", nullptr, kHomeFile},
        {"@", "config", kHomeFile},  // a relative one is ignored
        {"@", "@", nullptr, "@fifo"},
        {"@", "@", nullptr, "@ro"},  // a folder
        {"@", "@", nullptr, "/dev/zero"},
        {"@", "/proc/korvalin", nullptr},
        {"@", "@ro", ::geteuid() == 0 ? "ro/Quandrel/Korvalin.conf" : nullptr},  // root writes
        {nullptr, nullptr, nullptr},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const Case& c = cases[i];
        TempDir dir;
        const auto inDir = [&dir](const char* value) {
            return value[0] == '@' ? dir.file(value + 1) : std::string(value);
        };
        const auto setVariable = [&](const char* name, const char* value) {  // null: unset
            value ? ::setenv(name, inDir(value).c_str(), 1) : ::unsetenv(name);
        };
        std::filesystem::create_directory(dir.file("ro"));
        std::filesystem::permissions(dir.file("ro"), std::filesystem::perms::owner_read |
                                                         std::filesystem::perms::owner_exec);
        makeSpecial(Special::Fifo, dir.file("fifo"));
        if (c.linkTo) {
            std::filesystem::create_directories(dir.file("Quandrel"));
            std::filesystem::create_symlink(inDir(c.linkTo), dir.file(kOwnFile));
        }
        setVariable("HOME", c.home);
        setVariable("XDG_CONFIG_HOME", c.configHome);

        const bool kept = c.keptIn != nullptr;
        ::testing::internal::CaptureStderr();
        auto store = QtSettingsStore::forUser();
        Design design(PlanRigor::Estimate);
        NoDialog progress;
        EXPECT_EQ(design.runFirstRunOptimization(*store, progress), kept);
        EXPECT_EQ(Design::planRigorFor(*store), kept ? PlanRigor::Measure : PlanRigor::Estimate);
        store->writeInt("FFT Cycles", 3);
        store->flush();
        store.reset();
        const std::string said = ::testing::internal::GetCapturedStderr();

        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), kept ? 0 : 1) << said;
        EXPECT_EQ(said.find("will not be saved") != std::string::npos, !kept) << said;
        if (kept) {
            EXPECT_EQ(QtSettingsStore::forFile(dir.file(c.keptIn))->readInt("FFT Cycles", 0), 3);
        }
        std::filesystem::permissions(dir.file("ro"), std::filesystem::perms::owner_all);
    }
    ::alarm(0);
    ::setenv("HOME", oldHome.c_str(), 1);
}

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
            // Soon: the window's close waits for it. Far above the second it waits, so a busy
            // machine never fails it, and far below a wait no one would sit through.
            constexpr std::int64_t kSoonMs = 15000;
            QElapsedTimer flushing;
            flushing.start();
            EXPECT_FALSE(settings.store().flush());
            EXPECT_LT(flushing.elapsed(), kSoonMs);
        }
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find("not saved"), std::string::npos) << said;
        EXPECT_EQ(TempSettings::Reader(settings.path()).store().readInt("FFT Cycles", 0), 2);
    }
}

}  // namespace
