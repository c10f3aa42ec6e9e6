#pragma once

#include <string>
#include <string_view>

/** FFTW's process-wide planning knowledge, persisted as the library's own text. */
namespace wisdom {

/** Hands text to FFTW; false when FFTW could not read it (the run goes on without). */
bool importText(std::string_view text);
/** FFTW's wisdom as text. */
[[nodiscard]] std::string exportText();
/** Drops all wisdom. */
void forget();

}  // namespace wisdom
