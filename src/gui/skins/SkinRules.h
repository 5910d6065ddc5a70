#pragma once

// Rules shared by the plain look, the skin package look and "Save skin attributes": which classes a
// skin gives a font and a colour, and where a control keeps them in Qt terms.

#include <QColor>
#include <QPixmap>
#include <QString>

class QObject;
class QWidget;

namespace parlomar {

class TImage;
class TImageList;

// The 13 classes of SkinnableClasses (exact class names).
bool IsSkinnableClass(const QString& cls);

// The background colour of a control: the base of fields, lists and grids, the window colour of
// everything else (panels, labels, buttons).
QColor ControlColour(const QWidget* widget);
void SetControlColour(QWidget* widget, const QColor& colour);

// The text colour of a control (labels, buttons and fields alike).
QColor FontColour(const QWidget* widget);
void SetFontColour(QWidget* widget, const QColor& colour);

// The pictures a component was designed with, kept before a skin first replaces them, so that a
// later look (plain, or a package without that picture) gets them back.
QPixmap DesignedPicture(TImage* image);
QList<QPixmap> DesignedImages(TImageList* list);

} // namespace parlomar
