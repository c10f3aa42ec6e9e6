#pragma once

#include <optional>
#include <string>

#include "engine/LimitTables.h"
#include "files/InputFile.h"
#include "files/MaskReader.h"

/** Whether text names a built-in mask (a word without a path or an extension), not a file. */
[[nodiscard]] bool namesBuiltInMask(const std::string& text);

/**
 * The mask a user names: a built-in mask by its name, else a mask file at that path (lines
 * "order,limit_percent"), titled by the file's name. parameters go to a built-in mask; a
 * mask file takes none.
 */
[[nodiscard]] MaskChoice chooseMask(const std::string& nameOrPath,
                                    const MaskParameters& parameters);

/**
 * Reads a user's mask file; the reason as one sentence when it cannot. progress, when given,
 * is told as the reading goes on and may stop it (kCancelledReason is then the reason).
 */
[[nodiscard]] MaskChoice readMaskFile(const std::string& path, const ReadProgress& progress = {});
