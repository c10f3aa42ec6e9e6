#pragma once

class Design;
class QString;
class QWidget;

/**
 * Whether Save As, an export or Save Image As may write path, as Design::outputRefusal says;
 * a refusal is told in a message box. Every save path asks this once its name is settled.
 */
[[nodiscard]] bool mayWriteTo(QWidget* parent, const Design& design, const QString& path);
