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

SaveResult SaveFileAtomically(const std::string& path, std::string_view bytes,
                              const SaveFaults& faults)
{
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) {
        return {SaveResult::Failure::Open, file.errorString().toStdString()};
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (faults.failWrite || file.write(bytes.data(), size) != size) {
        file.cancelWriting();
        return {SaveResult::Failure::Write, faults.failWrite
                                                ? std::string("No space left on device")
                                                : file.errorString().toStdString()};
    }
    if (faults.stopBeforeReplace) {
        return {SaveResult::Failure::Write, "stopped before the file was replaced"};
    }
    if (!file.commit()) {
        return {SaveResult::Failure::Write, file.errorString().toStdString()};
    }
    return {};
}
