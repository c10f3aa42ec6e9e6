#include "ui/SaveTarget.h"

#include <QFile>
#include <QString>

#include <string>

#include "design/Design.h"
#include "files/SameFile.h"
#include "ui/DataExchange.h"

bool mayWriteTo(QWidget* parent, const Design& design, const QString& path)
{
    const MaskSource& mask = design.limitMask().source();
    if (mask.kind != MaskSource::Kind::File) {
        return true;
    }
    const std::string inputs[] = {mask.path};
    const std::string refusal = sameFileRefusal(QFile::encodeName(path).toStdString(), inputs);
    if (refusal.empty()) {
        return true;
    }
    showMessage(
        parent, MessageKind::Exclamation,
        QStringLiteral("Cannot write file %1.\n").arg(path) + QString::fromStdString(refusal));
    return false;
}
