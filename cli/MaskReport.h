#pragma once

#include <string>

#include "engine/LimitCheck.h"

/** check --json's fields of one file's check, as members of a sorted compact object. */
void appendMaskCheckJson(std::string& text, const MaskCheck& check);

/** check --list: every built-in mask with its parameters and table. */
[[nodiscard]] std::string builtInMasksText();
