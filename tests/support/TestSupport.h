#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/HarmonicTable.h"
#include "fft/FftBuffer.h"
#include "files/DocumentTarget.h"
#include "settings/SettingsStore.h"

/** A fresh folder removed at the end of the test. */
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }
    [[nodiscard]] std::string file(const std::string& name) const
    {
        return (m_path / name).string();
    }

private:
    std::filesystem::path m_path;
};

/** A settings store in its own temporary file: tests never touch the user's settings. */
class TempSettings {
public:
    TempSettings() : m_store(QtSettingsStore::forFile(m_dir.file("Korvalin.conf"))) {}

    [[nodiscard]] QtSettingsStore& store() { return *m_store; }
    [[nodiscard]] std::string path() const { return m_dir.file("Korvalin.conf"); }
    /** Drops the store and opens the file again, as the next run of the program would. */
    void reopen();

    /** A second, independent view of a settings file: what another process would read. */
    class Reader {
    public:
        explicit Reader(const std::string& path) : m_store(QtSettingsStore::forFile(path)) {}
        [[nodiscard]] QtSettingsStore& store() { return *m_store; }

    private:
        std::unique_ptr<QtSettingsStore> m_store;
    };

private:
    TempDir m_dir;
    std::unique_ptr<QtSettingsStore> m_store;
};

std::string readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::string& text);

/** A document target that only records what a reader hands it, for tests of the readers. */
struct ReaderProbe final : DocumentTarget {
    WaveSettings active;
    HarmonicTable table;
    SampleBuffer samples;

    [[nodiscard]] const WaveSettings& activeSettings() const override { return active; }
    bool takeActiveSettings(const WaveSettings& settings) override
    {
        active = settings;
        return true;
    }
    [[nodiscard]] HarmonicTable& harmonics() override { return table; }
    [[nodiscard]] FftBuffer& sampleBuffer() override { return samples; }
    [[nodiscard]] FftPlan waveshapePlan(int n) override
    {
        return FftPlan::forwardInPlace(n, PlanRigor::Estimate);
    }
};

/** A coefficient file of 4.8 million entries: within the input cap, over it once written. */
std::string tableTooLargeToWrite();

/** A table of these entries in number order, under the default slot limit. */
HarmonicTable tableOf(const std::vector<HarmonicEntry>& entries);
/** A spectrum of binCount bins, zero but for these {bin, value} lines. */
std::vector<double> spectrumWith(int binCount, const std::vector<std::pair<int, double>>& lines);
/** Shows an entry as {number, magnitude, phase} in test messages. */
void PrintTo(const HarmonicEntry& entry, std::ostream* os);
/** Settings with stored flags as they may come, even values no reader leaves; 60 Hz display. */
WaveSettings settingsOf(int fft, int display, int cosine, int reference, float ppc);
/** Shows settings as their settings line, and the display mode, in test messages. */
void PrintTo(const WaveSettings& s, std::ostream* os);

/** What a test can put at a path that is not a regular file. */
enum class Special { Fifo, Socket, Folder, LinkToFifo };
/** Puts one at path (a link's FIFO beside it, named path + ".fifo"). */
void makeSpecial(Special kind, const std::string& path);
