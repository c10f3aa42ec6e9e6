#pragma once

#include <QString>

#include <string>

class QTextStream;
struct LoadedDesign;
struct WaveSettings;

/** The settings in words, as show prints them. */
[[nodiscard]] QString settingsText(const WaveSettings& s);

/** show's report of a design: its file, settings, table and figures. */
void printText(const QString& path, const LoadedDesign& loaded, QTextStream& out);

/**
 * show --json: one compact JSON object on one line, keys sorted; 32-bit fields in their own
 * shortest form. Written as it goes: a document of millions of entries would take gigabytes.
 */
void printJson(const QString& path, const LoadedDesign& loaded, QTextStream& out);

/**
 * The "file" member, the name as it is printed: valid JSON (which carries Unicode text only)
 * and safe on a terminal; where that is not the name itself, "fileBytes" holds its bytes.
 */
void appendFileJson(std::string& text, const QString& path);
