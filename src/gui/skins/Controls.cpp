#include "gui/skins/Controls.h"

#include <QAbstractItemView>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QTextDocument>
#include <QToolTip>
#include <QVariant>
#include <qdrawutil.h>

#include <algorithm>
#include <memory>

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

QString PlainHintText(const QString& text) {
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

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
    // Fields, lists and grids have a colour of their own unless set otherwise.
    if (!component->property(kParentColorProperty).isValid())
        return !IsFieldControl(component);
    return FlagProperty(component, kParentColorProperty);
}

bool IsFieldControl(const QObject* component) {
    return qobject_cast<const QLineEdit*>(component) || qobject_cast<const QAbstractItemView*>(component) ||
           qobject_cast<const QPlainTextEdit*>(component) || qobject_cast<const QComboBox*>(component);
}

void SetParentColor(QObject* component, bool parentColor) {
    component->setProperty(kParentColorProperty, parentColor);
}

QString ElideCaption(const QString& text, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    const QString ellipsis(QChar(0x2026));
    // Drop whole words from the end while that is not enough.
    for (qsizetype end = text.lastIndexOf(QLatin1Char(' ')); end > 0;
         end = text.lastIndexOf(QLatin1Char(' '), end - 1)) {
        QString kept = text.left(end);
        while (kept.endsWith(QLatin1Char(' ')))
            kept.chop(1);
        if (kept.isEmpty())
            break;
        if (metrics.horizontalAdvance(kept + ellipsis) <= width)
            return kept + ellipsis;
    }
    return metrics.elidedText(text, Qt::ElideRight, std::max(0, width));
}

TLabel::TLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

TLabel::TLabel(const QString& text, QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setText(text);
}

void TLabel::SetElideToFit(bool on) {
    elide_ = on;
    update();
}

QString TLabel::ShownText() const {
    const QString whole = text();
    if (!elide_ || wordWrap() || whole.contains(QLatin1Char('\n')) || !pixmap().isNull())
        return whole;
    const int room = contentsRect().width() - 2 * std::max(0, margin()) - 2 * std::max(0, indent());
    return ElideCaption(whole, fontMetrics(), room);
}

QString TLabel::HintText() const {
    if (!toolTip().isEmpty())
        return toolTip();
    return Elided() ? text() : QString();
}

bool TLabel::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty() && Elided()) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), PlainHintText(text()), this);
        return true;
    }
    return QLabel::event(event);
}

void TLabel::paintEvent(QPaintEvent* event) {
    const QString shown = ShownText();
    if (shown == text()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    style()->drawItemText(&painter, room,
                          static_cast<int>(QStyle::visualAlignment(layoutDirection(), alignment())),
                          palette(), isEnabled(), shown, foregroundRole());
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

void TImage::SetStretch(bool stretch) {
    stretch_ = stretch;
    update();
}

qreal PictureDensity() {
    return std::max<qreal>(1.0, qGuiApp ? qGuiApp->devicePixelRatio() : 1.0);
}

QPixmap PlainCanvas(int w, int h, qreal density) {
    QPixmap pixmap(QSize(w, h) * density);
    pixmap.setDevicePixelRatio(density);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QSize PictureSize(const QPixmap& picture) {
    return picture.deviceIndependentSize().toSize();
}

void TImage::paintEvent(QPaintEvent* event) {
    const QPixmap picture = pixmap();
    if (!stretch_ || picture.isNull() || picture.size() == size()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    DrawStretched(painter, rect(), picture);
}

void DrawStretched(QPainter& painter, const QRect& target, const QPixmap& picture) {
    if (picture.isNull() || target.isEmpty())
        return;
    if (picture.size() == target.size()) {
        painter.drawPixmap(target.topLeft(), picture);
        return;
    }
    const int x = std::min({4, picture.width() / 3, target.width() / 2});
    const int y = std::min({4, picture.height() / 3, target.height() / 2});
    qDrawBorderPixmap(&painter, target, QMargins(x, y, x, y), picture);
}

QPixmap WithTransparentCorner(const QPixmap& picture) {
    if (picture.isNull())
        return picture;
    QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    const QRgb key = image.pixel(0, 0);
    for (int row = 0; row < image.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int col = 0; col < image.width(); ++col)
            if (line[col] == key)
                line[col] = qRgba(0, 0, 0, 0);
    }
    return QPixmap::fromImage(image);
}

bool FilterTypedKey(QLineEdit* edit, QKeyEvent* event, const std::function<KeyFilterResult(int)>& filter,
                    const QString& refusal) {
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
    if (!result.accept) {
        if (!refusal.isEmpty())
            ShowFieldRefusal(edit, refusal);
        return true;
    }
    if (result.key != key) {
        edit->insert(QString(QChar(result.key)));
        return true;
    }
    return false;
}

void ShowFieldRefusal(QLineEdit* edit, const QString& refusal) {
    QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())), refusal, edit, QRect(), 4000);
}

void GuardEditedText(QLineEdit* edit, const std::function<KeyFilterResult(int, const QString&)>& filter,
                     const QString& refusal) {
    auto previous = std::make_shared<QString>(edit->text());
    // The edit's own text, not the signal's: a refusal sets the text back while the change it refuses
    // is still being announced.
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, previous] { *previous = edit->text(); });
    // textEdited comes before textChanged: previous still holds the text before the edit.
    QObject::connect(
        edit, &QLineEdit::textEdited, edit, [edit, previous, filter, refusal](const QString& text) {
            const QString& before = *previous;
            qsizetype start = 0;
            while (start < text.size() && start < before.size() && text.at(start) == before.at(start))
                ++start;
            qsizetype end = 0;
            while (end < text.size() - start && end < before.size() - start &&
                   text.at(text.size() - 1 - end) == before.at(before.size() - 1 - end))
                ++end;
            const QString inserted = text.mid(start, text.size() - start - end);
            if (inserted.isEmpty())
                return;
            QString sofar = text.left(start);
            for (const QChar c : inserted) {
                const KeyFilterResult result = filter(c.unicode(), sofar);
                if (!result.accept || result.key != c.unicode()) {
                    const QString kept = before;
                    edit->setText(kept);
                    edit->setCursorPosition(static_cast<int>(start));
                    ShowFieldRefusal(edit, refusal);
                    return;
                }
                sofar.append(c);
            }
        });
}

} // namespace parlomar
