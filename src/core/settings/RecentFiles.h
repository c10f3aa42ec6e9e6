#pragma once

#include <cstddef>
#include <string>
#include <vector>

class SettingsStore;

/**
 * The files last opened or saved, most recent first, kept in the settings under their own
 * value name ("Recent Files", one path a line).
 */
class RecentFiles {
public:
    static constexpr std::size_t kMaximum = 8;

    void load(const SettingsStore& store);
    /** Puts path first (once), drops the oldest beyond kMaximum, and stores the list. */
    void add(const std::string& path, SettingsStore& store);
    void clear(SettingsStore& store);

    /** The remembered paths that still name a file, most recent first. */
    [[nodiscard]] std::vector<std::string> existing() const;

private:
    void store(SettingsStore& store) const;

    std::vector<std::string> m_paths;
};
