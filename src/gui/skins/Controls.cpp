#include "skins/Controls.h"

#include <QKeyEvent>
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

bool FilterTypedKey(QLineEdit* edit, QKeyEvent* event, const std::function<KeyFilterResult(int)>& filter) {
    int key = 0;
    if (event->modifiers() == Qt::ControlModifier) {
        switch (event->key()) {
        case Qt::Key_A:
            key = 1;
            break;
        case Qt::Key_C:
            key = 3;
            break;
        case Qt::Key_V:
            key = 22;
            break;
        case Qt::Key_Z:
            key = 26;
            break;
        default:
            return false;
        }
    } else {
        const QString text = event->text();
        if (text.size() != 1)
            return false;
        key = text.at(0).unicode();
        // Keys that type no character (cursor keys, Delete, Tab, Enter, Escape) go their usual way.
        if (key == 9 || key == 10 || key == 13 || key == 27 || key == 127)
            return false;
    }
    const KeyFilterResult result = filter(key);
    if (result.selectAll) {
        edit->selectAll();
        return true;
    }
    if (!result.accept)
        return true;
    if (result.key != key) {
        edit->insert(QString(QChar(result.key)));
        return true;
    }
    return false;
}

} // namespace parlomar
