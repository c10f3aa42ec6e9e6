#pragma once

#include <string>
#include <string_view>

#include "app/WaveSettings.h"
#include "files/DocumentReader.h"

class HarmonicTable;

/** The text Save As writes: a waveshape file for DocumentKind::Waveshape, else coefficients. */
[[nodiscard]] std::string DocumentText(DocumentKind kind, const WaveSettings& active,
                                       const HarmonicTable& table);

/** How a save went. */
struct SaveResult {
    enum class Failure { None, Open, Write };
    Failure failure = Failure::None;
    std::string error;  ///< the system's reason, when it failed

    [[nodiscard]] bool ok() const { return failure == Failure::None; }
};

/** Faults a test can make happen inside a save, where no real disk can be made to fail. */
struct SaveFaults {
    bool failWrite = false;          ///< the write fails, as on a full device
    bool stopBeforeReplace = false;  ///< the program dies between writing and replacing
};

/**
 * Writes bytes to path through a temporary file beside it and replaces path only when
 * everything was written: a failed save never damages the file that was there.
 */
[[nodiscard]] SaveResult SaveFileAtomically(const std::string& path, std::string_view bytes,
                                            const SaveFaults& faults = {});
