#include "settings/SettingsRegistry.h"

#include <algorithm>

#include "settings/SettingsStore.h"

int readSetting(const SettingsStore& store, const IntSetting& setting)
{
    const int value = store.readInt(setting.key, setting.fallback);
    return value >= setting.minimum && value <= setting.maximum ? value : setting.fallback;
}

void writeSetting(SettingsStore& store, const IntSetting& setting, int value)
{
    store.writeInt(setting.key, value);
}

std::string readSetting(const SettingsStore& store, const TextSetting& setting)
{
    return store.readString(setting.key, setting.fallback);
}

void writeSetting(SettingsStore& store, const TextSetting& setting, std::string_view value)
{
    store.writeString(setting.key, value);
}

std::size_t readChoiceIndex(const SettingsStore& store, std::string_view key,
                            std::span<const std::string_view> names, std::size_t fallback)
{
    const std::string stored = store.readString(key, names[fallback]);
    const auto found = std::find(names.begin(), names.end(), stored);
    return found == names.end() ? fallback : static_cast<std::size_t>(found - names.begin());
}
