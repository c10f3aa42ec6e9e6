#pragma once

#include <optional>
#include <string>

#include "engine/LimitMask.h"
#include "files/InputFile.h"

/** Whether text names a built-in mask (a word without a path or an extension), not a file. */
[[nodiscard]] bool namesBuiltInMask(const std::string& text);

/**
 * The mask a user names: a built-in mask by its name, else a mask file at that path (lines
 * "order,limit_percent"), titled by the file's name. fundamentalRms scales a mask in amperes.
 */
[[nodiscard]] MaskChoice chooseMask(const std::string& nameOrPath,
                                    std::optional<double> fundamentalRms);

/**
 * Reads a user's mask file; the reason as one sentence when it cannot. progress, when given,
 * is told as the reading goes on and may stop it (kCancelledReason is then the reason).
 */
[[nodiscard]] MaskChoice readMaskFile(const std::string& path, const ReadProgress& progress = {});
