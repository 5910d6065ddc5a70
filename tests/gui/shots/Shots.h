#pragma once

#include <QString>

class QWidget;

namespace parlomar::test {

// The folder the pictures go to: PARLOMAR_SCREENSHOTS, with a "/" after it.
QString ShotsFolder();

// The window raised and its own picture saved as `name` in the pictures folder.
void SaveShot(QWidget* window, const QString& name);

// The screen under the window's frame (and under `also`'s, when given), read after the screen has
// settled, taken with `import -window root` cropped to it and saved as `name` in the pictures folder.
void ShootScreen(QWidget* window, const QString& name, QWidget* also = nullptr);

} // namespace parlomar::test
