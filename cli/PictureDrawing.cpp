#include "PictureDrawing.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace {

const PictureDrawing* g_linkedDrawing = nullptr;

/**
 * Where the library may be: beside the program (the build tree), then where the install
 * puts it, relative to the program so that a moved install still finds it.
 */
QStringList moduleCandidates()
{
    const QDir programFolder =
        QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absoluteDir();
    const QString file = QStringLiteral(KORVALIN_DRAWING_MODULE);
    return {programFolder.filePath(file),
            QDir::cleanPath(
                programFolder.filePath(QStringLiteral(KORVALIN_DRAWING_INSTALLED) + u'/' + file))};
}

/** Loads the library once for the process (never unloaded: the application it made lives on). */
const PictureDrawing* loadedDrawing(QString& error)
{
    static QString loadError;
    static const PictureDrawing* const loaded = []() -> const PictureDrawing* {
        const QStringList candidates = moduleCandidates();
        for (const QString& path : candidates) {
            if (!QFileInfo::exists(path)) {
                continue;
            }
            QLibrary library(path);
            const auto entry =
                reinterpret_cast<PictureDrawingEntry>(library.resolve(kPictureDrawingEntry));
            if (!entry) {
                loadError = library.errorString();
                return nullptr;
            }
            const PictureDrawing* drawing = entry(KORVALIN_VERSION);
            if (!drawing) {
                loadError = path + QStringLiteral(" belongs to another release");
            }
            return drawing;
        }
        loadError = QStringLiteral("the drawing library is not installed (looked for ") +
                    candidates.join(QStringLiteral(", ")) + u')';
        return nullptr;
    }();
    error = loadError;
    return loaded;
}

}  // namespace

const PictureDrawing* pictureDrawing(QString& error)
{
    return g_linkedDrawing ? g_linkedDrawing : loadedDrawing(error);
}

void usePictureDrawing(const PictureDrawing* drawing)
{
    g_linkedDrawing = drawing;
}
