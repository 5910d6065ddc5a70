#include "skins/Controls.h"

#include <QPainter>
#include <QVariant>

namespace parlomar {

namespace {
constexpr const char* kTagProperty = "Tag";
constexpr const char* kParentFontProperty = "ParentFont";
constexpr const char* kParentColorProperty = "ParentColor";

bool FlagProperty(const QObject* component, const char* name) {
    const QVariant value = component->property(name);
    return !value.isValid() || value.toBool();
}
} // namespace

int TagOf(const QObject* component) {
    return component ? component->property(kTagProperty).toInt() : 0;
}

void SetTag(QObject* component, int tag) {
    component->setProperty(kTagProperty, tag);
}

bool ParentFontOf(const QObject* component) {
    return FlagProperty(component, kParentFontProperty);
}

void SetParentFont(QObject* component, bool parentFont) {
    component->setProperty(kParentFontProperty, parentFont);
}

bool ParentColorOf(const QObject* component) {
    return FlagProperty(component, kParentColorProperty);
}

void SetParentColor(QObject* component, bool parentColor) {
    component->setProperty(kParentColorProperty, parentColor);
}

TLabel::TLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

TLabel::TLabel(const QString& text, QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setText(text);
}

TStaticText::TStaticText(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

TPanel::TPanel(QWidget* parent) : QFrame(parent) {}

TShape::TShape(QWidget* parent) : QWidget(parent) {}

void TShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setBrush(BrushColor);
    painter.setPen(PenColor);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

TImage::TImage(QWidget* parent) : QLabel(parent) {}

} // namespace parlomar
