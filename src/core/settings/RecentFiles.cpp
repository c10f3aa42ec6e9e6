#include "settings/RecentFiles.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "settings/SettingsRegistry.h"
#include "settings/SettingsStore.h"

void RecentFiles::load(const SettingsStore& store)
{
    m_paths.clear();
    std::istringstream lines(readSetting(store, setting::recentFiles));
    for (std::string path; std::getline(lines, path) && m_paths.size() < kMaximum;) {
        if (!path.empty()) {
            m_paths.push_back(path);
        }
    }
}

void RecentFiles::add(const std::string& path, SettingsStore& store)
{
    if (path.empty() || path.find('\n') != std::string::npos) {
        return;  // the list is stored a line a path
    }
    m_paths.erase(std::remove(m_paths.begin(), m_paths.end(), path), m_paths.end());
    m_paths.insert(m_paths.begin(), path);
    if (m_paths.size() > kMaximum) {
        m_paths.resize(kMaximum);
    }
    this->store(store);
}

void RecentFiles::clear(SettingsStore& store)
{
    m_paths.clear();
    this->store(store);
}

std::vector<std::string> RecentFiles::existing() const
{
    std::vector<std::string> paths;
    std::error_code error;
    std::copy_if(m_paths.begin(), m_paths.end(), std::back_inserter(paths),
                 [&error](const std::string& path) {
                     return std::filesystem::is_regular_file(path, error);
                 });
    return paths;
}

void RecentFiles::store(SettingsStore& store) const
{
    std::string text;
    for (const std::string& path : m_paths) {
        text += path;
        text += '\n';
    }
    writeSetting(store, setting::recentFiles, text);
}
