#pragma once

#include <QString>

class QTextStream;

#include <optional>
#include <string>
#include <string_view>

/**
 * A command-line argument as text that keeps every byte: valid UTF-8 is decoded, and each
 * byte of an invalid sequence becomes the lone code unit U+DC80 + (byte - 0x80), which no
 * valid text contains (as Python's "surrogateescape" does). Options, all ASCII, still parse.
 */
[[nodiscard]] QString argumentFromBytes(std::string_view bytes);

/** The file name bytes of an argument made by argumentFromBytes: exactly those of argv. */
[[nodiscard]] std::string fileNameBytes(const QString& argument);

/**
 * Text from outside (a file name, an argument, words of a file) fit for a terminal: control
 * characters (C0, DEL, C1) and bytes that are not UTF-8 show as \xHH, one per byte; format
 * controls such as bidirectional overrides, and line and paragraph separators, as \uHHHH (or
 * \UHHHHHHHH); a backslash as \\; everything else as it is. Every message of korvalin-cli
 * prints what it quotes through this.
 */
[[nodiscard]] QString printableName(const QString& argument);

/** The bytes of a name in base64, when printableName does not show the name as it is. */
[[nodiscard]] std::optional<QString> nameBytesBase64(const QString& argument);

/** Prints one line of korvalin-cli's, "korvalin-cli: " and message, through printableName. */
void printMessage(QTextStream& stream, const QString& message);
