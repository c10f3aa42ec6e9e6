#pragma once

#include <functional>

/** Every fixed pause goes through one of these: the program waits, tests pass a no-op. */
using PauseFunction = std::function<void(int milliseconds)>;

/** Waits for real while windows keep painting; user input is held back meanwhile. */
void waitPaintingOnly(int milliseconds);

/** Puts pending paint work on screen without handing the user any input. */
void flushPainting();
