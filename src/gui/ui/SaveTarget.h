#pragma once

class Design;
class QString;
class QWidget;

/**
 * Whether Save As, an export or Save Image As may write path: Design::outputRefusal's refusal
 * is told in a message box, and a write-protected file is written only when the user says so.
 * Every save path asks this once its name is settled.
 */
[[nodiscard]] bool mayWriteTo(QWidget* parent, const Design& design, const QString& path);
