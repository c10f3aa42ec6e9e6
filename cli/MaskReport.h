#pragma once

#include <string>

#include "engine/LimitMask.h"

/** check's table: a line per order, the THD line, then the verdict line. */
[[nodiscard]] std::string maskCheckText(const MaskCheck& check);

/** check --json's fields of one file's check, as members of a sorted compact object. */
void appendMaskCheckJson(std::string& text, const MaskCheck& check);

/** check --list: every built-in mask with its table (limits in A where the mask is in A). */
[[nodiscard]] std::string builtInMasksText();
