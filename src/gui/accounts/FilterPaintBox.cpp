#include "gui/accounts/FilterPaintBox.h"

#include "gui/skins/Controls.h"
#include "gui/skins/FocusFrame.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <array>
#include <cmath>
#include <functional>

namespace parlomar {

namespace {

// What assistive technology needs of a painted bar of choices (the filter bar, the skinned tabs):
// each choice with its name, whether it is the chosen one, where it is, and how to choose it.
struct ChoiceBar {
    int count = 0;
    QAccessible::Role barRole = QAccessible::Grouping;
    QAccessible::Role choiceRole = QAccessible::RadioButton;
    std::function<QString(int)> name; // choices are numbered from 1
    std::function<bool(int)> chosen;
    std::function<QRect(int)> rect; // in the bar's coordinates
    std::function<void(int)> choose;
};

ChoiceBar ChoiceBarOf(QWidget* widget) {
    ChoiceBar bar;
    if (auto* filter = qobject_cast<TFilterPaintBox*>(widget)) {
        QPointer<TFilterPaintBox> guard(filter);
        bar.count = 3;
        bar.name = [guard](int item) { return guard ? guard->Items().value(item - 1) : QString(); };
        bar.chosen = [guard](int item) { return guard && guard->FilterMode == item; };
        bar.rect = [guard](int item) { return guard ? guard->ItemRect(item) : QRect(); };
        bar.choose = [guard](int item) {
            if (guard)
                emit guard->ItemPressed(item);
        };
    } else if (auto* tabs = qobject_cast<TTabsPaintBox*>(widget)) {
        QPointer<TTabsPaintBox> guard(tabs);
        bar.count = 2;
        bar.barRole = QAccessible::PageTabList;
        bar.choiceRole = QAccessible::PageTab;
        bar.name = [guard](int tab) { return guard ? guard->Texts().value(tab - 1) : QString(); };
        bar.chosen = [guard](int tab) { return guard && guard->SelectedTab() == tab; };
        bar.rect = [guard](int tab) {
            return guard ? QRect((tab - 1) * guard->TabWidth(), 0, guard->TabWidth(), guard->height())
                         : QRect();
        };
        bar.choose = [guard](int tab) {
            if (guard) {
                guard->SetSelectedTab(tab);
                emit guard->TabPressed(tab);
            }
        };
    }
    return bar;
}

class ChoiceAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    ChoiceAccessible(QWidget* bar, int choice) : bar_(bar), choice_(choice) {}

    bool isValid() const override { return !bar_.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return bar_ ? bar_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(bar_.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && bar_ ? ChoiceBarOf(bar_).name(choice_) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!bar_)
            return {};
        const QRect local = ChoiceBarOf(bar_).rect(choice_);
        return QRect(bar_->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override {
        return bar_ ? ChoiceBarOf(bar_).choiceRole : QAccessible::NoRole;
    }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (!bar_) {
            state.invalid = true;
            return state;
        }
        const bool chosen = ChoiceBarOf(bar_).chosen(choice_);
        state.focusable = true;
        state.focused = chosen && bar_->hasFocus();
        state.invisible = !bar_->isVisible();
        state.disabled = !bar_->isEnabled();
        if (role() == QAccessible::RadioButton) {
            state.checkable = true;
            state.checked = chosen;
        } else {
            state.selectable = true;
            state.selected = chosen;
        }
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction() && bar_ && bar_->isEnabled())
            ChoiceBarOf(bar_).choose(choice_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<QWidget> bar_;
    int choice_;
};

class ChoiceBarAccessible : public QAccessibleWidget {
public:
    explicit ChoiceBarAccessible(QWidget* bar) : QAccessibleWidget(bar, ChoiceBarOf(bar).barRole) {}
    ~ChoiceBarAccessible() override {
        for (const QAccessible::Id id : ids_)
            if (id)
                QAccessible::deleteAccessibleInterface(id);
    }
    int childCount() const override { return ChoiceBarOf(widget()).count; }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount() || index >= static_cast<int>(ids_.size()))
            return nullptr;
        QAccessible::Id& id = ids_[static_cast<size_t>(index)];
        if (!id)
            id = QAccessible::registerAccessibleInterface(new ChoiceAccessible(widget(), index + 1));
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < childCount(); ++i)
            if (this->child(i) == child)
                return i;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const ChoiceBar bar = ChoiceBarOf(widget());
        const QPoint local = widget()->mapFromGlobal(QPoint(x, y));
        for (int i = 1; i <= bar.count; ++i)
            if (bar.rect(i).contains(local))
                return child(i - 1);
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        if (!widget()->hasFocus())
            return nullptr;
        const ChoiceBar bar = ChoiceBarOf(widget());
        for (int i = 1; i <= bar.count; ++i)
            if (bar.chosen(i))
                return child(i - 1);
        return nullptr;
    }

private:
    mutable std::array<QAccessible::Id, 3> ids_{};
};

QAccessibleInterface* ChoiceBarFactory(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget && (className == QLatin1String("parlomar::TFilterPaintBox") ||
                   className == QLatin1String("parlomar::TTabsPaintBox")))
        return new ChoiceBarAccessible(widget);
    return nullptr;
}

// Tells assistive technology that another choice is the chosen (and, with the focus, focused) one.
void AnnounceChoice(QWidget* bar, int choice) {
    if (!QAccessible::isActive() || choice < 1)
        return;
    QAccessible::State changed;
    changed.checked = true;
    changed.selected = true;
    QAccessibleStateChangeEvent state(bar, changed);
    state.setChild(choice - 1);
    QAccessible::updateAccessibility(&state);
    if (bar->hasFocus()) {
        QAccessibleEvent focus(bar, QAccessible::Focus);
        focus.setChild(choice - 1);
        QAccessible::updateAccessibility(&focus);
    }
}

// A choice among count by a key: the arrow keys step, Home and End go to the ends; 0 for other keys.
int ChoiceByKey(const QKeyEvent* event, int current, int count) {
    if (event->modifiers() & ~Qt::KeypadModifier)
        return 0;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        return std::max(1, current - 1);
    case Qt::Key_Right:
    case Qt::Key_Down:
        return std::min(count, current + 1);
    case Qt::Key_Home:
        return 1;
    case Qt::Key_End:
        return count;
    default:
        return 0;
    }
}

// The focus frame around a chosen item: the highlight colour, two pixels wide, in the plain look and
// with every skin.
void DrawFocusFrame(QPainter& painter, const QWidget* widget, const QRect& rect) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(widget->palette().color(QPalette::Active, QPalette::Highlight), 2));
    painter.drawRoundedRect(QRectF(rect).adjusted(1, 1, -1, -1), 2.5, 2.5);
    painter.restore();
}

} // namespace

void TFilterPaintBox::InstallAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&ChoiceBarFactory);
        return true;
    }();
    (void)installed;
}

TFilterPaintBox::TFilterPaintBox(QWidget* parent) : QWidget(parent) {
    setProperty(kOwnFocusFrame, true);
    setObjectName(QStringLiteral("FilterPaintBox"));
    setFixedHeight(21);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    items_ = {QStringLiteral("All"), QStringLiteral("Active"), QStringLiteral("Suspended")};
    InstallAccessibility();
}

QRect TFilterPaintBox::ItemRect(int item) const {
    if (item < 1 || item > 3)
        return {};
    const QList<int> x = ItemX();
    const int y = TextTop();
    return QRect(QPoint(x[item - 1] - 10, y - 2), QPoint(x[item] - 10, y + fontMetrics().height() + 2));
}

void TFilterPaintBox::keyPressEvent(QKeyEvent* event) {
    const int item = ChoiceByKey(event, FilterMode, 3);
    if (item == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (item != FilterMode) {
        emit ItemPressed(item); // the window sets FilterMode
        AnnounceChoice(this, FilterMode);
    }
    event->accept();
}

void TFilterPaintBox::SetItems(const QStringList& items) {
    items_ = items;
    while (items_.size() < 3)
        items_.append(QString());
    update();
}

void TFilterPaintBox::SetHoveredItem(int item) {
    if (item != hovered_) {
        hovered_ = item;
        update();
    }
}

int TFilterPaintBox::TextTop() const {
    return static_cast<int>(std::lround((height() - fontMetrics().height()) / 2.0));
}

QList<int> TFilterPaintBox::ItemX() const {
    const QFontMetrics metrics = fontMetrics();
    QList<int> x{20};
    for (int i = 0; i < 3; ++i)
        x.append(x.back() + metrics.horizontalAdvance(items_.value(i)) + 20);
    return x;
}

int TFilterPaintBox::ItemAt(const QPoint& pos) const {
    const int y = TextTop();
    if (pos.y() < y || pos.y() > y + fontMetrics().height())
        return 0;
    const QList<int> x = ItemX();
    for (int i = 0; i < 3; ++i) {
        if (pos.x() >= x[i] && pos.x() <= x[i + 1] - 20)
            return i + 1;
    }
    return 0;
}

void TFilterPaintBox::paintEvent(QPaintEvent*) {
    FilterPaintBoxPaint();
}

void TFilterPaintBox::FilterPaintBoxPaint() {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QList<int> x = ItemX();
    const int y = TextTop();
    const int textHeight = fontMetrics().height();
    const QColor text = palette().color(QPalette::ButtonText);
    // Light greys with a white emboss on a light bar; on a dark bar (a dark skin) lighter shades of
    // the bar with a dark emboss, so the text stays readable.
    const QColor bar = palette().color(QPalette::Window);
    const bool dark = bar.lightness() < 128;
    const QColor hoverColour = dark ? bar.lighter(150) : QColor(0xDC, 0xDC, 0xDC);
    const QColor chosenColour = dark ? bar.lighter(185) : QColor(0xC9, 0xC9, 0xC9);
    const QColor emboss = dark ? bar.darker(150) : QColor(Qt::white);
    auto highlight = [&](int i, const QColor& colour) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawRoundedRect(QRect(QPoint(x[i - 1] - 10, y - 2), QPoint(x[i] - 10, y + textHeight + 2)),
                                2.5, 2.5);
        painter.setPen(emboss);
        painter.drawText(QPoint(x[i - 1] + 1, y + 1 + fontMetrics().ascent()), items_.value(i - 1));
    };
    for (int i = 1; i <= 3; ++i) {
        if (i == hovered_)
            highlight(i, hoverColour);
        if (i == FilterMode)
            highlight(i, chosenColour);
        painter.setPen(text);
        painter.drawText(QPoint(x[i - 1], y + fontMetrics().ascent()), items_.value(i - 1));
    }
    if (hasFocus())
        DrawFocusFrame(painter, this, ItemRect(FilterMode));
}

void TFilterPaintBox::mouseMoveEvent(QMouseEvent* event) {
    FilterPaintBoxMouseMove(event->position().toPoint());
}

void TFilterPaintBox::FilterPaintBoxMouseMove(const QPoint& pos) {
    const int item = ItemAt(pos);
    SetHoveredItem(item);
    setCursor(item ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TFilterPaintBox::mousePressEvent(QMouseEvent* event) {
    const int item = ItemAt(event->position().toPoint());
    SetHoveredItem(item);
    if (item)
        emit ItemPressed(item);
    if (item)
        AnnounceChoice(this, FilterMode);
}

void TFilterPaintBox::leaveEvent(QEvent*) {
    FilterPaintBoxMouseLeave();
}

void TFilterPaintBox::FilterPaintBoxMouseLeave() {
    SetHoveredItem(0);
}

TTabsPaintBox::TTabsPaintBox(QWidget* parent) : QWidget(parent) {
    setProperty(kOwnFocusFrame, true);
    setObjectName(QStringLiteral("TabsPaintBox"));
    setFixedHeight(25);
    setFocusPolicy(Qt::StrongFocus);
    TFilterPaintBox::InstallAccessibility();
}

void TTabsPaintBox::keyPressEvent(QKeyEvent* event) {
    const int tab = ChoiceByKey(event, selected_, 2);
    if (tab == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (tab != selected_) {
        SetSelectedTab(tab);
        emit TabPressed(tab);
        AnnounceChoice(this, tab);
    }
    event->accept();
}

void TTabsPaintBox::SetTexts(const QStringList& texts) {
    texts_ = texts;
    update();
}

void TTabsPaintBox::SetSelectedTab(int tab) {
    selected_ = tab;
    update();
}

int TTabsPaintBox::TabWidth() const {
    const QPixmap tab = Pictures ? Pictures->value(0) : QPixmap();
    return tab.isNull() ? kTabWidth : tab.width();
}

void TTabsPaintBox::paintEvent(QPaintEvent*) {
    TabsPaintBoxPaint();
}

void TTabsPaintBox::TabsPaintBoxPaint() {
    QPainter painter(this);
    const QPixmap chosen = Pictures ? Pictures->value(0) : QPixmap();
    const QPixmap other = Pictures ? Pictures->value(1) : QPixmap();
    const QPixmap rest = Pictures ? Pictures->value(2) : QPixmap();
    const bool pictured = !chosen.isNull() && !other.isNull();
    const int width = TabWidth();
    if (!rest.isNull()) {
        for (int x = 0; x < this->width(); x += rest.width())
            painter.drawPixmap(x, 0, rest);
    } else {
        painter.fillRect(rect(), palette().color(QPalette::Window).darker(104));
    }
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    painter.setFont(font);
    for (int tab = 1; tab <= 2; ++tab) {
        const QRect area((tab - 1) * width, 0, width, height());
        const bool selected = tab == selected_;
        if (pictured)
            painter.drawPixmap(area.topLeft(), selected ? chosen : other);
        else
            painter.fillRect(area.adjusted(1, selected ? 0 : 3, -1, 0),
                             selected ? palette().color(QPalette::Base) : palette().color(QPalette::Window));
        if (ImageList && ImageList->size() > 5) {
            const QPixmap& icon = ImageList->at(tab == 1 ? 4 : 5);
            painter.drawPixmap(area.left() + 10, (height() - PictureSize(icon).height()) / 2, icon);
        }
        // The other tab's text: the window's text colour, muted, so it reads on light and dark tabs.
        QColor other = palette().color(QPalette::Active, QPalette::WindowText);
        other.setAlphaF(0.6);
        painter.setPen(selected ? palette().color(QPalette::Active, QPalette::Highlight) : other);
        painter.drawText(area, Qt::AlignCenter, texts_.value(tab - 1));
        if (selected && hasFocus())
            DrawFocusFrame(painter, this, area.adjusted(2, 2, -2, -1));
    }
}

void TTabsPaintBox::mousePressEvent(QMouseEvent* event) {
    const int tab = event->position().toPoint().x() / TabWidth() + 1;
    if (tab < 1 || tab > 2)
        return;
    SetSelectedTab(tab);
    emit TabPressed(tab);
    AnnounceChoice(this, tab);
}

} // namespace parlomar
