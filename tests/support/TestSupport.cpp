#include "support/TestSupport.h"

#include <fstream>
#include <random>
#include <sstream>

TempDir::TempDir()
{
    std::random_device seed;
    const auto base = std::filesystem::temp_directory_path();
    do {
        m_path = base / ("korvalin-test-" + std::to_string(seed()));
    } while (!std::filesystem::create_directory(m_path));
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void TempSettings::reopen()
{
    m_store->flush();
    m_store = QtSettingsStore::forFile(path());
}

std::string readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeWholeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}
