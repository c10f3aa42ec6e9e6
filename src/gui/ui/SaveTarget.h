#pragma once

class Design;
class QString;
class QWidget;

/**
 * Whether Save As, an export or Save Image As may write path: not when it is the same file as
 * an input the window still reads from, the design's limit mask file, which writing would
 * destroy. A refusal is told in a message box. Every save path asks this once its name is
 * settled.
 */
[[nodiscard]] bool mayWriteTo(QWidget* parent, const Design& design, const QString& path);
