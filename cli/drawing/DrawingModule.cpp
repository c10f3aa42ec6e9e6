#include <QtGlobal>

#include <cstring>

#include "drawing/ChartsDrawing.h"

/** The library's one entry: its drawing, unless the program was built from another release. */
extern "C" Q_DECL_EXPORT const PictureDrawing* korvalinPictureDrawing(const char* version)
{
    return std::strcmp(version, KORVALIN_VERSION) == 0 ? &chartsDrawing() : nullptr;
}
