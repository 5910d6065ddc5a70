#pragma once

#include <QList>
#include <QString>

#include <string>
#include <string_view>

class QObject;

namespace parlomar {

class TSkinnedForm;

// The caption of a component as the language file holds it: a menu item's text, a control's text,
// an empty text for a component of another class.
QString CaptionOf(const QObject* component);

// Whether the captions take part for the component: its class is exactly one of TButton,
// TSkinButton, TToolButton, TLabel, TMenuItem, TCheckBox, TBitCheckBox, TStaticText, TListBox, and
// its Tag is not -1.
bool TakesCaption(const QObject* component);

// Sets the window title to AppName + " " + VersionText and replaces the texts of the window's
// components with the language file's values of the window's section (a value shorter than two
// characters keeps the built-in text; values are cut to 50 characters). A list box keeps its item
// count and takes each item from key name + index, "0" for a missing one.
void ApplyCaptions(TSkinnedForm* window);

// Writes the texts of the window's components into its section of the language file (a list box
// one key per item). Throws Error("Unable to write to ...") at the first refused write.
void SaveCaptions(TSkinnedForm* window);

// Gives each caption of one group (the items of a menu, the buttons of a strip) an access key: a
// caption that has one keeps it, the others take the first letter or digit not yet taken in the
// group, a word's first letter before the others. The caption the language file holds stays the
// one without the marker (CaptionOf), so "Save captions" writes what was read.
void GiveMnemonics(const QList<QObject*>& group);

// Puts the text on the clipboard as plain text.
void CopyTextToClipboard(const QString& text);

// Conversions between the core's UTF-8 byte strings and Qt texts.
QString Q(std::string_view text);
std::string S(const QString& text);

} // namespace parlomar
