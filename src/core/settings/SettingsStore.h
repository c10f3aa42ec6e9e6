#pragma once

#include <map>
#include <memory>
#include <optional>
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
    /** Whether what is written here can be kept for the next start of the program. */
    [[nodiscard]] virtual bool keepsValues() const = 0;
};

/** The store backed by QSettings: top-level values in the native format. */
class QtSettingsStore final : public SettingsStore {
public:
    /**
     * The user's own settings: the file of QSettings("Quandrel", "Korvalin") under an absolute
     * XDG_CONFIG_HOME, else under $HOME/.config. With neither, nowhere (never a folder at the
     * root): the store holds no values, and standard error says so once.
     */
    static std::unique_ptr<QtSettingsStore> forUser();
    /**
     * A settings file at path, in the native (on Linux: INI) format, its folder made when
     * missing. When something other than a regular file stands there (a FIFO, device, folder,
     * or a link to one), or the file or its folder cannot be written, it is neither read nor
     * written: the store holds no values, and standard error says so once.
     */
    static std::unique_ptr<QtSettingsStore> forFile(const std::string& path);

    /** Over settings, or over nothing (reads give the fallbacks, writes are dropped). */
    explicit QtSettingsStore(std::unique_ptr<QSettings> settings);
    /** Flushes what is still pending. */
    ~QtSettingsStore() override;
    QtSettingsStore(const QtSettingsStore&) = delete;
    QtSettingsStore& operator=(const QtSettingsStore&) = delete;

    [[nodiscard]] int readInt(std::string_view name, int fallback) const override;
    [[nodiscard]] std::string readString(std::string_view name,
                                         std::string_view fallback) const override;
    void writeInt(std::string_view name, int value) override;
    void writeString(std::string_view name, std::string_view value) override;
    /**
     * Writes the pending values when the lock QSettings writes under can be taken within a
     * second. When it cannot (a FIFO or a folder at its path, or a holder that keeps it), the
     * values are not written, now or later, and standard error says so once.
     */
    bool flush() override;
    [[nodiscard]] bool keepsValues() const override { return m_settings && !m_lockRefused; }

private:
    /** The pending or stored text of a value, or none. */
    [[nodiscard]] std::optional<std::string> text(std::string_view name) const;

    std::unique_ptr<QSettings> m_settings;
    /// Written but not yet handed to QSettings, which would wait for its lock for ever.
    std::map<std::string, std::string, std::less<>> m_pending;
    bool m_lockRefused = false;
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
    [[nodiscard]] bool keepsValues() const override { return true; }

private:
    std::map<std::string, std::string, std::less<>> m_values;
};
