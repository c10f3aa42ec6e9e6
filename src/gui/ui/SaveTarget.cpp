#include "ui/SaveTarget.h"

#include <QFile>
#include <QString>

#include <string>

#include "design/Design.h"
#include "ui/DataExchange.h"

bool mayWriteTo(QWidget* parent, const Design& design, const QString& path)
{
    const std::string refusal = design.outputRefusal(QFile::encodeName(path).toStdString());
    if (refusal.empty()) {
        return true;
    }
    showMessage(
        parent, MessageKind::Exclamation,
        QStringLiteral("Cannot write file %1.\n").arg(path) + QString::fromStdString(refusal));
    return false;
}
