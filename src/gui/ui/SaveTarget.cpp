#include "ui/SaveTarget.h"

#include <QFile>
#include <QMessageBox>
#include <QString>

#include <string>

#include "design/Design.h"
#include "files/DocumentWriter.h"
#include "ui/FieldReader.h"

bool mayWriteTo(QWidget* parent, const Design& design, const QString& path)
{
    const std::string pathText = QFile::encodeName(path).toStdString();
    if (const std::string refusal = design.outputRefusal(pathText); !refusal.empty()) {
        showMessage(
            parent, MessageKind::Exclamation,
            QStringLiteral("Cannot write file %1.\n").arg(path) + QString::fromStdString(refusal));
        return false;
    }
    // No write permission is given: the new file replaces the old with its bits.
    const QString question =
        QStringLiteral("The file \"%1\" is write protected. Overwrite?").arg(path);
    return !isWriteProtected(pathText) ||
           showMessage(parent, MessageKind::Exclamation, question, true) == QMessageBox::Yes;
}
