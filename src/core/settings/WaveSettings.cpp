#include "settings/WaveSettings.h"

#include <bit>
#include <cstdio>

#include "settings/SettingsRegistry.h"
#include "settings/SettingsStore.h"

std::string formatPpcBits(float ppc)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%8.8lx",
                  static_cast<unsigned long>(std::bit_cast<std::uint32_t>(ppc)));
    return text;
}

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::optional<float> parsePpcBits(std::string_view text)
{
    // The literal "0x" must match exactly; "%lx" then skips blanks and takes an optional
    // sign and an optional second prefix, as scanf does.
    if (!text.starts_with("0x")) {
        return std::nullopt;
    }
    std::size_t pos = 2;
    while (pos < text.size() && isSpace(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos + 2 < text.size() && text[pos] == '0' &&
        (text[pos + 1] == 'x' || text[pos + 1] == 'X') && hexDigit(text[pos + 2]) >= 0) {
        pos += 2;
    }
    std::uint64_t value = 0;
    std::size_t digits = 0;
    for (; pos < text.size() && hexDigit(text[pos]) >= 0; ++pos, ++digits) {
        value = value * 16 + static_cast<std::uint64_t>(hexDigit(text[pos]));
        if (value > 0xffffffffULL) {
            return std::nullopt;  // more than the float's 32 bits: not a stored value
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    auto bits = static_cast<std::uint32_t>(value);
    if (negative) {
        bits = 0U - bits;
    }
    return std::bit_cast<float>(bits);
}

bool showsHertz(DisplayMode mode)
{
    return mode == DisplayMode::Hertz50 || mode == DisplayMode::Hertz60;
}

float frequencyMultiplierFor(DisplayMode mode)
{
    switch (mode) {
    case DisplayMode::Hertz50:
        return 50.0F;
    case DisplayMode::Hertz60:
        return 60.0F;
    default:
        return 1.0F;
    }
}

std::string_view numberHeadingFor(DisplayMode mode)
{
    return showsHertz(mode) ? "Frequency" : "Harmonic";
}

void SettingsModel::loadSettings(const SettingsStore& store)
{
    WaveSettings loaded;
    loaded.displayCycles = readSetting(store, setting::displayCycles);
    loaded.fftCycles = readSetting(store, setting::fftCycles);
    loaded.basis = basisFromFlag(readSetting(store, setting::cosine));
    loaded.phaseReference = referenceFromFlag(readSetting(store, setting::phaseReference));
    loaded.displayMode = static_cast<DisplayMode>(readSetting(store, setting::displayMode));
    applyDisplayMode(loaded.displayMode);
    loaded.ppc = parsePpcBits(readSetting(store, setting::ppc)).value_or(kDefaultPpc);

    preferences = loaded;
    activeSettings = loaded;
}

void SettingsModel::storeSettings(SettingsStore& store) const
{
    writeSetting(store, setting::displayCycles, preferences.displayCycles);
    writeSetting(store, setting::fftCycles, preferences.fftCycles);
    writeSetting(store, setting::cosine, storedValue(preferences.basis));
    writeSetting(store, setting::phaseReference, storedValue(preferences.phaseReference));
    writeSetting(store, setting::displayMode, storedValue(preferences.displayMode));
    writeSetting(store, setting::ppc, formatPpcBits(preferences.ppc));
}

void SettingsModel::applyDisplayMode(DisplayMode mode)
{
    m_frequencyMultiplier = frequencyMultiplierFor(mode);
    m_numberHeading = numberHeadingFor(mode);
}
