#pragma once

#include "core/skins/SkinPackage.h"
#include "core/skins/SkinValues.h"

#include <QColor>
#include <QList>
#include <QPixmap>
#include <QString>

#include <string>

class QObject;
class QWidget;

namespace parlomar {

class TSkinnedForm;

// The components of a window in creation order: its widgets, menus and menu items, not descending
// into other windows of the program that it owns.
QList<QObject*> FormComponents(QWidget* window);

// The class name the skinning rules test (without namespace).
QString ComponentClass(const QObject* component);

// CurrentSkin at start: SKINS/Current of the settings file when it names a usable package, else
// NoSkin. Returns what was wrong with a package that was named but not taken (Usable when none was
// named or it was taken); refusedName then holds the name.
SkinPackageState ChooseSkinAtStart(std::string* refusedName = nullptr);
// Makes name the active skin (NoSkin for none): the settings copy and everything read from the
// package of the previous choice are dropped, so the new package is read once, afresh.
void ChooseSkin(const std::string& name);
bool SkinActive();

// The status text number that tells why a named package was not taken (0 for Usable).
int SkinRefusalStatusText(SkinPackageState state);

// A text colour readable on a field's own background: dark on a light field, light on a dark one;
// dimmed for a field that takes no input now.
QColor FieldTextColour(const QWidget* field, bool active);

// The information text of a skin ("skin.nfo") for showing: UTF-8 when it is valid UTF-8, else
// Latin-1 (older packages were written in an 8-bit code page).
QString SkinInformationText(const std::string& bytes);
// The title of a skin in the list of skins: the first line of its information text (the
// characters before the first carriage return, at most 64); the skin's own name when the
// information has no carriage return, starts with one, or cannot be read.
QString SkinInformationTitle(const std::string& skinName);

// The colour of button faces and plain windows (clBtnFace).
QColor ButtonFaceColor();

// Gives a window its look: the plain look (window colour, default fonts by Tag, shapes, panels, list
// boxes, check box glyphs, buttons, edits, the pictures the window was designed with), and over it,
// while a skin is active, the skin package's values and pictures; what the package lacks keeps the
// plain look. checkBoxImages are the checked, unchecked and greyed pictures of the main window's
// check box image list (nullptr when a window passes none).
void ApplySkin(TSkinnedForm* window, const QString& section, const QList<QPixmap>* checkBoxImages);

// Font and colour of one component (classes of SkinnableClasses only).
void ApplyControlSkin(QObject* component, TSkinnedForm* window);

// Writes the window's look as skin files into the program folder's skins folder: settings into
// CurrentSkin + ".ini", pictures as BMP files. Throws parlomar::Error when a file cannot be written.
void SaveSkinAttributes(TSkinnedForm* window);

// The main window's check box image list (checked, unchecked, greyed), which every window passes to
// ApplySkin; nullptr while there is no main window.
const QList<QPixmap>* CheckBoxImages();
void SetCheckBoxImages(const QList<QPixmap>* images);

// The main window's shared icons (`ImageList`) and grid heading picture (`FixedImage`), which the
// editor, details and input windows draw; empty while there is no main window.
QPixmap SharedImage(int index);
const QList<QPixmap>* SharedImageList();
QPixmap SharedHeadingPicture();
void SetSharedPictures(const QList<QPixmap>* imageList, const QWidget* headingImage);

// ---- Skin values in Qt terms ----

// A skin colour as a QColor: RGB values as they are, system colours from the application palette,
// clNone as an invalid colour, clDefault as fallback.
QColor ToQColor(TColor color, const QColor& fallback = {});
// A QColor as a skin colour (an invalid colour is clNone).
TColor ToTColor(const QColor& color);
// The colour text of key in section read as a colour; fallback when empty or not a colour.
QColor SkinColor(const QString& section, const char* key, const QColor& fallback);

// The picture baseName + ".bmp" of the active package, decoded once per skin choice; an empty
// picture when there is none or it cannot be decoded.
QPixmap LoadSkinBitmap(const QString& baseName);

} // namespace parlomar
