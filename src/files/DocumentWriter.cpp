#include "files/DocumentWriter.h"

#include <QSaveFile>
#include <QString>

#include "files/CoefficientFile.h"
#include "files/WaveshapeFile.h"

std::string DocumentText(DocumentKind kind, const WaveSettings& active, const HarmonicTable& table)
{
    return kind == DocumentKind::Waveshape ? WriteWaveshapeFile(active, table)
                                           : WriteCoefficientFile(active, table);
}

SaveResult SaveFileAtomically(const std::string& path, std::string_view bytes)
{
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) {
        return {SaveResult::Failure::Open, file.errorString().toStdString()};
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(bytes.data(), size) != size) {
        file.cancelWriting();
        return {SaveResult::Failure::Write, file.errorString().toStdString()};
    }
    if (!file.commit()) {
        return {SaveResult::Failure::Write, file.errorString().toStdString()};
    }
    return {};
}
