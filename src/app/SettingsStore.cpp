#include "app/SettingsStore.h"

#include <sys/stat.h>

#include <charconv>
#include <cstdio>

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QString>

namespace {

QString toKey(std::string_view name)
{
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

/** Whether something other than a regular file (or a link to one) stands at path. */
bool isOtherThanAFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

}  // namespace

std::unique_ptr<QtSettingsStore> QtSettingsStore::forUser()
{
    // The file of QSettings("Quandrel", "Korvalin"), named here so that it is looked at before
    // QSettings reads it (and no system-wide fallback file is read, which could block too).
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return forFile(
        QFile::encodeName(folder + QStringLiteral("/Quandrel/Korvalin.conf")).toStdString());
}

std::unique_ptr<QtSettingsStore> QtSettingsStore::forFile(const std::string& path)
{
    // QSettings would block reading a FIFO and, at close, replace a device with its file.
    if (isOtherThanAFile(path)) {
        std::fprintf(stderr,
                     "Korvalin: %s is not a regular file; settings start from the defaults and "
                     "will not be saved.\n",
                     path.c_str());
        return std::make_unique<QtSettingsStore>(nullptr);
    }
    return std::make_unique<QtSettingsStore>(std::make_unique<QSettings>(
        QFile::decodeName(QByteArray::fromStdString(path)), QSettings::NativeFormat));
}

QtSettingsStore::QtSettingsStore(std::unique_ptr<QSettings> settings)
    : m_settings(std::move(settings))
{}

QtSettingsStore::~QtSettingsStore() = default;

int QtSettingsStore::readInt(std::string_view name, int fallback) const
{
    if (!m_settings) {
        return fallback;
    }
    const QVariant value = m_settings->value(toKey(name));
    if (!value.isValid()) {
        return fallback;
    }
    bool ok = false;
    const int number = value.toString().trimmed().toInt(&ok);
    return ok ? number : fallback;
}

std::string QtSettingsStore::readString(std::string_view name, std::string_view fallback) const
{
    if (!m_settings) {
        return std::string(fallback);
    }
    const QVariant value = m_settings->value(toKey(name));
    if (!value.isValid()) {
        return std::string(fallback);
    }
    return value.toString().toStdString();
}

void QtSettingsStore::writeInt(std::string_view name, int value)
{
    if (m_settings) {
        m_settings->setValue(toKey(name), value);
    }
}

void QtSettingsStore::writeString(std::string_view name, std::string_view value)
{
    if (m_settings) {
        m_settings->setValue(toKey(name),
                             QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
    }
}

bool QtSettingsStore::flush()
{
    if (!m_settings) {
        return false;
    }
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
