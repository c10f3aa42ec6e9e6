#include "ui/FieldReader.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "files/ScanNumbers.h"
#include "numbers/NumberText.h"
#include "ui/FormUnits.h"

namespace {

/**
 * Keeps a margin between each label and the edit field to its right. A label whose text
 * would reach its field ends a margin before it and grows to the left instead; labels
 * that start together (a left-aligned column) keep starting together.
 */
void giveLabelsTheirMargin(QDialog* dialog)
{
    const FormUnits units(dialog->font());
    const int margin = units.toPixelsX(3);
    const int edge = units.toPixelsX(4);
    struct Beside {
        QLabel* label;
        QRect wanted;
    };
    std::vector<Beside> labels;
    std::map<int, int> columnLeft;  // a left-aligned column's start -> its new start
    const auto fields = dialog->findChildren<QLineEdit*>();
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        const QRect l(label->mapTo(dialog, QPoint(0, 0)), label->size());
        for (const QLineEdit* field : fields) {
            const QRect f(field->mapTo(dialog, QPoint(0, 0)), field->size());
            const bool sameRow = l.top() < f.bottom() && f.top() < l.bottom();
            if (!sameRow || f.left() <= l.right() - 1 || f.left() - l.right() > margin + 2) {
                continue;
            }
            const int right = f.left() - margin - 1;
            const int left =
                std::max(edge, std::min(l.left(), right + 1 - label->sizeHint().width()));
            labels.push_back({label, QRect(QPoint(left, l.top()), QPoint(right, l.bottom()))});
            if (!(label->alignment() & Qt::AlignRight)) {
                const auto [at, added] = columnLeft.try_emplace(l.left(), left);
                at->second = std::min(at->second, left);
            }
            break;
        }
    }
    for (auto& [label, wanted] : labels) {
        if (!(label->alignment() & Qt::AlignRight)) {
            const QPoint start = label->mapTo(dialog, QPoint(0, 0));
            wanted.setLeft(columnLeft[start.x()]);
        }
        const QPoint offset = label->pos() - label->mapTo(dialog, QPoint(0, 0));
        label->setGeometry(wanted.translated(offset));
    }
}

/** The field's whole text as one number: blanks around it are allowed, nothing else. */
template <typename T, typename Scan>
std::optional<T> parseWhole(const QString& text, Scan scan)
{
    const std::string utf8 = text.toStdString();
    LineScanner scanner(utf8);
    const auto value = scan(scanner);
    scanner.skipSpace();
    if (!value || !scanner.atEnd()) {
        return std::nullopt;
    }
    return static_cast<T>(*value);
}

/**
 * A bound as a user types it: six significant digits as the fields show numbers ("63.998"),
 * but a large whole bound in full ("1000000000", not "1e+09").
 */
QString boundText(double bound)
{
    const auto value = static_cast<double>(static_cast<float>(bound));
    const std::string general = formatGeneral(value);
    const bool exponent = general.find('e') != std::string::npos;
    return QString::fromStdString(exponent && std::fabs(value) >= 1.0 ? formatCompact(value, 0)
                                                                      : general);
}

/** "Please enter an integer between 1 and 12.", or "a number" with plain bounds. */
QString rangeText(bool integer, double minimum, double maximum)
{
    if (integer) {
        return QStringLiteral("Please enter an integer between %1 and %2.")
            .arg(FieldReader::intText(static_cast<int>(minimum)),
                 FieldReader::intText(static_cast<int>(maximum)));
    }
    return QStringLiteral("Please enter a number between %1 and %2.")
        .arg(boundText(minimum), boundText(maximum));
}

}  // namespace

QString refusalText(const EntryRefusal& refusal)
{
    const bool integer = refusal.field == EntryField::FftCycles ||
                         refusal.field == EntryField::DisplayCycles ||
                         refusal.field == EntryField::Phase;
    return rangeText(integer, refusal.minimum, refusal.maximum);
}

std::optional<int> FieldReader::readInt(QLineEdit* field, int minimum, int maximum)
{
    const auto value = parseWhole<int>(field->text(), [](LineScanner& s) { return s.scanInt(); });
    if (!value) {
        refuse(field, QStringLiteral("Please enter an integer."));
        return std::nullopt;
    }
    if (*value < minimum || *value > maximum) {
        refuse(field, rangeText(true, minimum, maximum));
        return std::nullopt;
    }
    return value;
}

std::optional<float> FieldReader::readFloat(QLineEdit* field, float minimum, float maximum)
{
    const auto value =
        parseWhole<double>(field->text(), [](LineScanner& s) { return s.scanDouble(); });
    if (!value || !std::isfinite(*value)) {
        refuse(field, QStringLiteral("Please enter a number."));
        return std::nullopt;
    }
    const auto number = static_cast<float>(*value);
    if (!(number >= minimum && number <= maximum)) {
        refuse(field, rangeText(false, minimum, maximum));
        return std::nullopt;
    }
    return number;
}

QString FieldReader::intText(int value)
{
    return QString::fromStdString(formatInt(value));
}

QString FieldReader::floatText(float value)
{
    return QString::fromStdString(formatGeneral(static_cast<double>(value)));
}

void FieldReader::refuse(QLineEdit* field, const QString& message)
{
    showMessage(m_dialog, MessageKind::Exclamation, message);
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

void prepareTemplateDialog(QDialog* dialog, QPushButton* ok, QPushButton* cancel)
{
    placeFromFormUnits(dialog);
    giveLabelsTheirMargin(dialog);
    dialog->setFixedSize(dialog->size());
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
}

namespace {

/** The box every message comes in: "Korvalin", the kind's icon, the text as plain text. */
void prepareMessageBox(QMessageBox& box, MessageKind kind, const QString& text)
{
    box.setWindowTitle(QStringLiteral("Korvalin"));
    box.setTextFormat(Qt::PlainText);  // file names are shown as they are, never as markup
    box.setText(text);
    switch (kind) {
    case MessageKind::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageKind::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageKind::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
}

}  // namespace

int showMessage(QWidget* parent, MessageKind kind, const QString& text, bool yesNo)
{
    QMessageBox box(parent);
    prepareMessageBox(box, kind, text);
    if (yesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    return box.exec();
}

bool showMessageOffering(QWidget* parent, MessageKind kind, const QString& text,
                         const QString& action, const QString& actionName)
{
    QMessageBox box(parent);
    prepareMessageBox(box, kind, text);
    box.setStandardButtons(QMessageBox::Ok);
    QPushButton* offered = box.addButton(action, QMessageBox::ActionRole);
    offered->setObjectName(actionName);
    box.exec();
    return box.clickedButton() == offered;
}
