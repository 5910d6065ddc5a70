#pragma once

#include <QList>
#include <QPixmap>
#include <QString>

#include <functional>

class QObject;
class QWidget;

namespace parlomar {

class TSkinnedForm;

// The components of a window in creation order: its widgets, menus and menu items, not descending
// into other windows of the program that it owns.
QList<QObject*> FormComponents(QWidget* window);

// CurrentSkin at start: SKINS/Current of the settings file, or NoSkin when that is "0" or no such
// package exists in the skins folder.
void ChooseSkinAtStart();
bool SkinActive();

// The colour of button faces and plain windows (clBtnFace).
QColor ButtonFaceColor();

// Gives a window its look: from the active skin package, or the plain look while CurrentSkin is
// NoSkin (window colour, default fonts by Tag, shapes, panels, list boxes, check box glyphs, buttons,
// edits). checkBoxImages are the checked, unchecked and greyed pictures of the main window's check
// box image list (nullptr when a window passes none).
void ApplySkin(TSkinnedForm* window, const QString& section, const QList<QPixmap>* checkBoxImages);

// Font and colour of one component (classes of SkinnableClasses only).
void ApplyControlSkin(QObject* component, TSkinnedForm* window);

// The main window's check box image list (checked, unchecked, greyed), which every window passes to
// ApplySkin; nullptr while there is no main window.
const QList<QPixmap>* CheckBoxImages();
void SetCheckBoxImages(const QList<QPixmap>* images);

// Where a skin package's look is applied: set by the skin package layer. Called by ApplySkin in
// place of the plain look while a skin is active; without it a window keeps the plain look.
using SkinPackageLook =
    std::function<void(TSkinnedForm* window, const QString& section, const QList<QPixmap>* checkBoxImages)>;
void SetSkinPackageLook(SkinPackageLook look);

} // namespace parlomar
