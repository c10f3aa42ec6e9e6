#include "settings/SettingsStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include <QFile>
#include <QLockFile>
#include <QSettings>
#include <QString>

namespace {

/** How long a flush waits for the lock of the settings file. */
constexpr int kLockWaitMs = 1000;

QString toKey(std::string_view name)
{
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

/** Says once why the settings are not kept, and gives the store over nothing. */
std::unique_ptr<QtSettingsStore> storeOverNothing(const std::string& reason)
{
    std::fprintf(stderr, "Korvalin: %s; settings start from the defaults and will not be saved.\n",
                 reason.c_str());
    return std::make_unique<QtSettingsStore>(nullptr);
}

/** Whether something other than a regular file (or a link to one) stands at path. */
bool isOtherThanAFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

/** Why the settings file at path cannot be written (its folder made first), or nothing. */
std::optional<std::string> whyNotWritable(const std::string& path)
{
    if (isOtherThanAFile(path)) {
        return path + " is not a regular file";
    }
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(path, error).parent_path();
    if (!error) {
        std::filesystem::create_directories(folder, error);
    }
    if (!error && ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        error.assign(errno, std::generic_category());
    }
    if (!error && ::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) != 0 &&
        errno != ENOENT) {
        error.assign(errno, std::generic_category());
    }
    if (error) {
        return path + " cannot be written (" + error.message() + ")";
    }
    return std::nullopt;
}

/**
 * Whether the lock QSettings takes to write could be taken within kLockWaitMs (it is let go at
 * once). QSettings itself waits for ever, on a holder that keeps it as on a FIFO or a folder.
 */
bool lockCanBeTaken(const QString& lockPath)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(lockPath).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        return false;  // QLockFile would block opening a FIFO, and spin on a folder
    }
    QLockFile lock(lockPath);
    if (!lock.tryLock(kLockWaitMs)) {
        return false;
    }
    lock.unlock();
    return true;
}

}  // namespace

std::unique_ptr<QtSettingsStore> QtSettingsStore::forUser()
{
    // The folder of QSettings("Quandrel", "Korvalin"), named here so that the file is looked
    // at before QSettings reads it (and no system-wide fallback file is read, which could block
    // too). As the XDG base directories say: a relative XDG_CONFIG_HOME is ignored. Without a
    // home, Qt would take the root folder for it.
    const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    const QByteArray home = qgetenv("HOME");
    std::string folder;
    if (configHome.startsWith('/')) {
        folder = configHome.toStdString();
    } else if (home.startsWith('/')) {
        folder = home.toStdString() + "/.config";
    } else {
        return storeOverNothing("neither XDG_CONFIG_HOME nor HOME names a folder");
    }
    return forFile(folder + "/Quandrel/Korvalin.conf");
}

std::unique_ptr<QtSettingsStore> QtSettingsStore::forFile(const std::string& path)
{
    // QSettings would block reading a FIFO and, at close, replace a device with its file; and
    // where it cannot write, the first-run optimization would come back at every start.
    if (const auto reason = whyNotWritable(path)) {
        return storeOverNothing(*reason);
    }
    return std::make_unique<QtSettingsStore>(std::make_unique<QSettings>(
        QFile::decodeName(QByteArray::fromStdString(path)), QSettings::NativeFormat));
}

QtSettingsStore::QtSettingsStore(std::unique_ptr<QSettings> settings)
    : m_settings(std::move(settings))
{}

QtSettingsStore::~QtSettingsStore()
{
    if (!m_pending.empty()) {
        flush();
    }
}

std::optional<std::string> QtSettingsStore::text(std::string_view name) const
{
    if (const auto it = m_pending.find(name); it != m_pending.end()) {
        return it->second;
    }
    const QVariant stored = m_settings ? m_settings->value(toKey(name)) : QVariant();
    return stored.isValid() ? std::optional(stored.toString().toStdString()) : std::nullopt;
}

int QtSettingsStore::readInt(std::string_view name, int fallback) const
{
    const std::optional<std::string> stored = text(name);
    if (!stored) {
        return fallback;
    }
    bool ok = false;
    const int number = QString::fromStdString(*stored).trimmed().toInt(&ok);
    return ok ? number : fallback;
}

std::string QtSettingsStore::readString(std::string_view name, std::string_view fallback) const
{
    return text(name).value_or(std::string(fallback));
}

void QtSettingsStore::writeInt(std::string_view name, int value)
{
    // The same line in the file as the integer itself.
    writeString(name, std::to_string(value));
}

void QtSettingsStore::writeString(std::string_view name, std::string_view value)
{
    if (keepsValues()) {
        m_pending.insert_or_assign(std::string(name), std::string(value));
    }
}

bool QtSettingsStore::flush()
{
    if (!keepsValues()) {
        return false;
    }
    if (!m_pending.empty() && !lockCanBeTaken(m_settings->fileName() + QStringLiteral(".lock"))) {
        m_lockRefused = true;
        m_pending.clear();
        std::fprintf(stderr,
                     "Korvalin: the lock %s.lock could not be taken; settings are not saved.\n",
                     QFile::encodeName(m_settings->fileName()).constData());
        return false;
    }
    for (const auto& [name, value] : m_pending) {
        m_settings->setValue(toKey(name), QString::fromStdString(value));
    }
    m_pending.clear();
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

int MemorySettingsStore::readInt(std::string_view name, int fallback) const
{
    const auto it = m_values.find(name);
    if (it == m_values.end()) {
        return fallback;
    }
    // As QSettings reads it: blanks around an optional sign and digits, nothing else.
    std::string_view text = it->second;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size() && !text.empty()
               ? value
               : fallback;
}

std::string MemorySettingsStore::readString(std::string_view name, std::string_view fallback) const
{
    const auto it = m_values.find(name);
    return it == m_values.end() ? std::string(fallback) : it->second;
}

void MemorySettingsStore::writeInt(std::string_view name, int value)
{
    m_values[std::string(name)] = std::to_string(value);
}

void MemorySettingsStore::writeString(std::string_view name, std::string_view value)
{
    m_values[std::string(name)] = std::string(value);
}
