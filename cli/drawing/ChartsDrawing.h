#pragma once

#include "PictureDrawing.h"

/** Pictures drawn by the window's chart code. */
[[nodiscard]] const PictureDrawing& chartsDrawing();
