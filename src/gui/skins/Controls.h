#pragma once

// The program's thin control classes. The captions and the skinning pick components by their exact
// class name (a descendant class does not count), so every class here carries Q_OBJECT and adds
// nothing but that name. A component's name is its objectName; every component carries a `Tag`
// (dynamic property "Tag", 0 when unset) that the caption (-1), skinning (-100), default font (-9,
// -8) and double-buffering (-3) rules are keyed on.

#include "core/accounts/KeyFilters.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include <functional>

class QKeyEvent;
class QPainter;

namespace parlomar {

inline constexpr int kTagNoCaption = -1;
inline constexpr int kTagNoDoubleBuffer = -3;
inline constexpr int kTagLargeBold = -9;
inline constexpr int kTagSmallBold = -8;
inline constexpr int kTagNoSkin = -100;

int TagOf(const QObject* component);
void SetTag(QObject* component, int tag);

// Whether a control takes its parent's font and colour (true unless set otherwise). Only controls
// that do not are given a font or colour of their own by the skinning.
bool ParentFontOf(const QObject* component);
void SetParentFont(QObject* component, bool parentFont);
bool ParentColorOf(const QObject* component);
// Edits, lists, grids, memos and combo boxes: controls with a field of their own.
bool IsFieldControl(const QObject* component);
void SetParentColor(QObject* component, bool parentColor);

// The pictures the program draws itself (the plain look) are drawn at the density of the sharpest
// screen, so that they stay sharp at 200 %: a canvas of w x h device-independent pixels with that
// many more pixels, and the size a picture takes on screen whatever its density.
qreal PictureDensity();
QPixmap PlainCanvas(int w, int h, qreal density = PictureDensity());
QSize PictureSize(const QPixmap& picture);

// Gives a component its name (and optionally its tag) in one call.
template <typename T>
T* Named(T* component, const char* name, int tag = 0) {
    component->setObjectName(QString::fromLatin1(name));
    if (tag != 0)
        SetTag(component, tag);
    return component;
}

class TButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;
};

class TToolButton : public QToolButton {
    Q_OBJECT
public:
    using QToolButton::QToolButton;
};

// A hint text that shows as it stands, never as markup.
QString PlainHintText(const QString& text);

// A caption fitted into a width: when the text is wider, whole words are dropped from its end and
// "…" follows the last word kept; only a first word that is too wide by itself is cut inside, before
// "…". The text itself when it fits.
QString ElideCaption(const QString& text, const QFontMetrics& metrics, int width);

// Labels show plain text only: server data is never interpreted as markup. A label set to elide
// (single-line texts only) draws a text that does not fit its place with ElideCaption and offers the
// whole text as its hint (unless it has a hint of its own).
class TLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLabel(QWidget* parent = nullptr);
    TLabel(const QString& text, QWidget* parent = nullptr);

    void SetElideToFit(bool on);
    // What the label draws: its text, or the elided text.
    QString ShownText() const;
    bool Elided() const { return ShownText() != text(); }
    // The hint shown over the label: its own tool tip, else the whole text while it is elided.
    QString HintText() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool elide_ = false;
};

class TStaticText : public QLabel {
    Q_OBJECT
public:
    explicit TStaticText(QWidget* parent = nullptr);
};

class TMenuItem : public QAction {
    Q_OBJECT
public:
    using QAction::QAction;
};

class TCheckBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;
};

class TListBox : public QListWidget {
    Q_OBJECT
public:
    using QListWidget::QListWidget;
};

class TEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;
};

class TComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
};

// A plain panel: a frame whose background the skinning may set.
class TPanel : public QFrame {
    Q_OBJECT
public:
    explicit TPanel(QWidget* parent = nullptr);
};

// A filled rectangle drawn with a brush and a pen colour.
class TShape : public QWidget {
    Q_OBJECT
public:
    explicit TShape(QWidget* parent = nullptr);
    QColor BrushColor = Qt::white;
    QColor PenColor = Qt::black;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A picture, drawn at its own size, or with Stretch over the whole control (edges kept crisp,
// DrawStretched). Controls placed on it (a status strip's labels) are drawn over the picture.
class TImage : public QLabel {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);
    void SetStretch(bool stretch);
    bool Stretch() const { return stretch_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool stretch_ = false;
};

// A list of pictures addressed by index (`ImageList`, `CheckBoxImageList` ...). A component of its
// window, so that skinning and "Save skin attributes" find it by name.
class TImageList : public QObject {
    Q_OBJECT
public:
    explicit TImageList(QObject* parent = nullptr) : QObject(parent) {}
    QList<QPixmap> Images;
    // The picture at index, or an empty one.
    QPixmap Image(int index) const { return Images.value(index); }
};

class TMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    using QPlainTextEdit::QPlainTextEdit;
};

// Draws a picture over a rectangle of another size: the middle is stretched, a border of up to
// 4 pixels (a third of the picture) on every side keeps its width, so frames stay one pixel wide.
void DrawStretched(QPainter& painter, const QRect& target, const QPixmap& picture);

// A picture whose pixels of its top-left pixel's colour are transparent.
QPixmap WithTransparentCorner(const QPixmap& picture);

// Runs a key filter on a key press meant for an edit: Ctrl+A selects the whole text, a rejected
// character is discarded, a changed one is inserted in its place. Keys that type no character pass.
// True when the press was handled here (the edit must not see it). A rejected character shows the
// refusal text at the edit (ShowFieldRefusal) when one is given.
bool FilterTypedKey(QLineEdit* edit, QKeyEvent* event, const std::function<KeyFilterResult(int)>& filter,
                    const QString& refusal = QString());

// Tells at an edit, for a few seconds, why what was typed or pasted did not go in.
void ShowFieldRefusal(QLineEdit* edit, const QString& refusal);

// A text put into an edit by the operator in one go (pasted, dropped) that holds a character the
// key filter refuses or would change is refused whole: the edit keeps its earlier text and shows the
// refusal. The filter is given each character and the text before it. Text set by the program is
// not looked at.
void GuardEditedText(QLineEdit* edit, const std::function<KeyFilterResult(int, const QString&)>& filter,
                     const QString& refusal);

} // namespace parlomar
