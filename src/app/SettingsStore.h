#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

class QSettings;

/** Per-user key-value store of the persisted settings, wisdom and first-run flag. */
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    /** The stored integer, or fallback when the value is absent or not an integer. */
    [[nodiscard]] virtual int readInt(std::string_view name, int fallback) const = 0;
    /** The stored text, or fallback when the value is absent. */
    [[nodiscard]] virtual std::string readString(std::string_view name,
                                                 std::string_view fallback) const = 0;
    virtual void writeInt(std::string_view name, int value) = 0;
    virtual void writeString(std::string_view name, std::string_view value) = 0;
    /** Pushes pending writes to permanent storage; false when that failed. */
    virtual bool flush() = 0;
};

/** The store backed by QSettings: top-level values in the native format. */
class QtSettingsStore final : public SettingsStore {
public:
    /** The user's own settings: the file of QSettings("Quandrel", "Korvalin"). */
    static std::unique_ptr<QtSettingsStore> forUser();
    /**
     * A settings file at path, in the native (on Linux: INI) format. When something other than
     * a regular file stands there (a FIFO, device, folder, or a link to one), it is neither
     * read nor written: the store holds no values, and standard error says so once.
     */
    static std::unique_ptr<QtSettingsStore> forFile(const std::string& path);

    /** Over settings, or over nothing (reads give the fallbacks, writes are dropped). */
    explicit QtSettingsStore(std::unique_ptr<QSettings> settings);
    ~QtSettingsStore() override;
    QtSettingsStore(const QtSettingsStore&) = delete;
    QtSettingsStore& operator=(const QtSettingsStore&) = delete;

    [[nodiscard]] int readInt(std::string_view name, int fallback) const override;
    [[nodiscard]] std::string readString(std::string_view name,
                                         std::string_view fallback) const override;
    void writeInt(std::string_view name, int value) override;
    void writeString(std::string_view name, std::string_view value) override;
    bool flush() override;

private:
    std::unique_ptr<QSettings> m_settings;
};

/** A store in memory: for fuzzing and for tests that need no file. */
class MemorySettingsStore final : public SettingsStore {
public:
    [[nodiscard]] int readInt(std::string_view name, int fallback) const override;
    [[nodiscard]] std::string readString(std::string_view name,
                                         std::string_view fallback) const override;
    void writeInt(std::string_view name, int value) override;
    void writeString(std::string_view name, std::string_view value) override;
    bool flush() override { return true; }

private:
    std::map<std::string, std::string, std::less<>> m_values;
};
