#pragma once

#include <QString>

#include <optional>

#include "design/EntryLimits.h"

class QDialog;
class QLineEdit;
class QPushButton;
class QWidget;

/**
 * Reads and checks dialog fields: a field that does not parse or lies outside its range is
 * told in one wording for every dialog ("Please enter an integer between 1 and 12."), takes
 * the focus with its text selected, and the dialog stays open, so it can be put right.
 */
class FieldReader {
public:
    explicit FieldReader(QDialog* dialog) : m_dialog(dialog) {}

    [[nodiscard]] std::optional<int> readInt(QLineEdit* field, int minimum, int maximum);
    [[nodiscard]] std::optional<float> readFloat(QLineEdit* field, float minimum, float maximum);
    [[nodiscard]] std::optional<int> readInt(QLineEdit* field, EntryRange<int> range)
    {
        return readInt(field, range.minimum, range.maximum);
    }
    [[nodiscard]] std::optional<float> readFloat(QLineEdit* field, EntryRange<float> range)
    {
        return readFloat(field, range.minimum, range.maximum);
    }

    /** Field texts as the dialogs show them: "%d", and "%g" for numbers. */
    static QString intText(int value);
    static QString floatText(float value);

    /** Tells message, then gives field the focus with its text selected. */
    void refuse(QLineEdit* field, const QString& message);

private:
    QDialog* m_dialog;
};

/** A refusal of the design in the fields' wording ("Please enter a number between 0 and 100."). */
QString refusalText(const EntryRefusal& refusal);

/** Places a dialog's controls from its form and wires OK and Cancel to accept and reject. */
void prepareTemplateDialog(QDialog* dialog, QPushButton* ok, QPushButton* cancel);

/** A message box with the caption "Korvalin"; the text is shown as plain text. */
enum class MessageKind { Information, Exclamation, Question };
int showMessage(QWidget* parent, MessageKind kind, const QString& text, bool yesNo = false);
/** The same with OK and one more button (action, named actionName); whether it was chosen. */
bool showMessageOffering(QWidget* parent, MessageKind kind, const QString& text,
                         const QString& action, const QString& actionName);
