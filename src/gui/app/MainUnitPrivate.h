#pragma once

// Helpers shared by the files of the main window (shell, session, results area, actions).

#include <QColor>

class QMenu;
class QWidget;

namespace parlomar {

class TMenuItem;

// Clickable labels: the link colour, and the colour under the pointer.
inline const QColor kLinkColour(0x5D, 0x96, 0xB0);
inline const QColor kLinkHoverColour(0x7A, 0xB3, 0xCD);

// Sets the text colour of a label or an edit.
void SetTextColour(QWidget* widget, const QColor& colour);

// Adds a named menu item with its built-in caption.
TMenuItem* Item(QMenu* menu, const char* name, const char* caption);

} // namespace parlomar
