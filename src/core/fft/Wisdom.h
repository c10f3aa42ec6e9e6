#pragma once

#include <string>
#include <string_view>

class SettingsStore;

/** FFTW's process-wide planning knowledge, persisted as the library's own text. */
namespace wisdom {

/** Hands text to FFTW; false when FFTW could not read it (the run goes on without). */
bool importText(std::string_view text);
/** FFTW's wisdom as text. */
[[nodiscard]] std::string exportText();
/** Drops all wisdom. */
void forget();

/** Imports the stored "Wisdom" value (default empty); its status is ignored. */
void importFrom(const SettingsStore& store);
/** Writes FFTW's wisdom to "Wisdom". */
void exportTo(SettingsStore& store);

}  // namespace wisdom
