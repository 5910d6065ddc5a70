// The look of a skin package: the values of the skin settings and the pictures of the package, laid
// over the plain look. A value that is missing or does not convert keeps what the plain look set.

#include "gui/skins/BitCheckBox.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinRules.h"
#include "gui/skins/SkinedStringGrid.h"
#include "gui/skins/SkinnedForm.h"
#include "gui/skins/Skins.h"

#include <QFontDatabase>

#include <algorithm>

namespace parlomar {

void ApplyPackageLook(TSkinnedForm* window, const QString& section, const QList<QPixmap>* checkBoxImages);
void ApplyPackageControlSkin(QWidget* widget, TSkinnedForm* window);

namespace {

std::string Value(const QString& section, const char* key) {
    return ReadSkinValue(section.toStdString(), key);
}

std::optional<bool> Flag(const QString& section, const char* key) {
    return SkinFlag(Value(section, key));
}

std::optional<int> Integer(const QString& section, const char* key) {
    return SkinInteger(Value(section, key));
}

QString Part(const QString& section, const QObject* component) {
    return section + QLatin1Char('-') + component->objectName();
}

// A picture of the package, or the current one when the package has none.
QPixmap PictureOr(const QString& name, const QPixmap& current) {
    const QPixmap picture = LoadSkinBitmap(name);
    return picture.isNull() ? current : picture;
}

// Numbers of a skin are kept within what the windows can draw: a size or offset far out of range
// would draw nothing readable, or nothing at all.
constexpr int kMaxFontSize = 72;
constexpr int kMaxXOffset = 200;
constexpr int kMinScrollWidth = 4;
constexpr int kMaxScrollWidth = 64;

bool FontInstalled(const QString& family) {
    static const QStringList families = QFontDatabase::families();
    return families.contains(family, Qt::CaseSensitive);
}

void ApplyFormValues(TSkinnedForm* window, const QString& section) {
    window->TransparentColor = Flag(section, "TransparentColor").value_or(window->TransparentColor);
    window->TransparentColorValue =
        SkinColor(section, "TransparentColorValue", window->TransparentColorValue);
    window->AlphaBlend = Flag(section, "AlphaBlend").value_or(window->AlphaBlend);
    if (const auto opacity = ColorFromText(Value(section, "AlphaBlendValue")))
        window->AlphaBlendValue = static_cast<int>(*opacity & 0xFF);
    window->setWindowOpacity(window->AlphaBlend ? window->AlphaBlendValue / 255.0 : 1.0);

    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, SkinColor(section, "Color", palette.color(QPalette::Window)));
    // The text colour that every control taking its parent's font shows.
    const QColor text =
        SkinColor(section, "FontColor", palette.color(QPalette::Active, QPalette::WindowText));
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::ButtonText, text);
    }
    window->setPalette(palette);
}

void ApplyImageList(TImageList* list, const QString& section) {
    for (int i = 0; i < list->Images.size(); ++i) {
        const QPixmap picture = LoadSkinBitmap(Part(section, list) + QString::number(i));
        if (!picture.isNull())
            list->Images[i] = WithTransparentCorner(picture);
    }
}

void ApplyButton(TSkinButton* button, const QString& part) {
    button->SkinNormal = PictureOr(part + QLatin1String("-Normal"), button->SkinNormal);
    button->SkinPushed = PictureOr(part + QLatin1String("-Pushed"), button->SkinPushed);
    button->SkinOver = PictureOr(part + QLatin1String("-Over"), button->SkinOver);
    button->SkinDisabled = PictureOr(part + QLatin1String("-Disabled"), button->SkinDisabled);
    button->XOffset =
        std::clamp(Integer(part, "XOffset").value_or(button->XOffset), -kMaxXOffset, kMaxXOffset);
    button->BackgroundColor = SkinColor(part, "BackgroundColor", button->BackgroundColor);
    button->updateGeometry();
    button->update();
}

void ApplyGrid(TSkinedStringGrid* grid, const QString& part) {
    grid->TopButtonScroll = PictureOr(part + QLatin1String("-TopButtonScroll"), grid->TopButtonScroll);
    grid->BottomButtonScroll =
        PictureOr(part + QLatin1String("-BottomButtonScroll"), grid->BottomButtonScroll);
    grid->Scroller = PictureOr(part + QLatin1String("-Scroller"), grid->Scroller);
    grid->BackgroundScroll = PictureOr(part + QLatin1String("-BackgroundScroll"), grid->BackgroundScroll);
    grid->BackColor = SkinColor(part, "BackColor", ToQColor(clWindow));
    grid->ScrollWidth =
        std::clamp(Integer(part, "ScrollWidth").value_or(10), kMinScrollWidth, kMaxScrollWidth);
    // On a dark grid the light row colours of the plain look would hide the text: the even rows
    // and the selection are shades of the grid's own colour there.
    const QColor base = ControlColour(grid);
    if (base.lightness() < 128) {
        grid->EvenRowBackground = base.lighter(118);
        grid->SelectedBackground = base.lighter(165);
    }
    grid->PicturesChanged();
}

void ApplyCheckBox(TBitCheckBox* box, const QList<QPixmap>& images) {
    box->SetUncheckedGlyph(images.value(1));
    box->SetCheckedGlyph(images.value(0));
    box->SetGrayedGlyph(images.value(2));
    box->SetGlyphCounts(1);
}

} // namespace

void ApplyPackageControlSkin(QWidget* widget, TSkinnedForm* window) {
    const QString part = Part(window->FormName(), widget);
    if (!ParentFontOf(widget)) {
        const std::string style = Value(part, "FontStyle");
        const auto size = Integer(part, "FontSize");
        const QColor colour = SkinColor(part, "FontColor", FontColour(widget));
        const QString name = QString::fromStdString(Value(part, "FontName"));
        QFont font = widget->font();
        if (size && *size > 6)
            font.setPointSize(std::min(*size, kMaxFontSize));
        if (!style.empty()) {
            const TFontStyle set = FontStyleFromText(style);
            font.setBold(set.bold);
            font.setItalic(set.italic);
            font.setUnderline(set.underline);
            font.setStrikeOut(set.strikeOut);
        }
        if (!name.isEmpty() && FontInstalled(name))
            font.setFamily(name);
        widget->setFont(font);
        SetFontColour(widget, colour);
    }
    if (!ParentColorOf(widget))
        SetControlColour(widget, SkinColor(part, "Color", ControlColour(widget)));
    widget->update();
}

void ApplyPackageLook(TSkinnedForm* window, const QString& section, const QList<QPixmap>* checkBoxImages) {
    ApplyFormValues(window, section);
    const QList<QObject*> components = FormComponents(window);
    for (QObject* component : components)
        if (ComponentClass(component) == QLatin1String("TImageList"))
            ApplyImageList(static_cast<TImageList*>(component), section);

    for (QObject* component : components) {
        if (TagOf(component) == kTagNoSkin)
            continue;
        const QString cls = ComponentClass(component);
        const QString part = Part(section, component);
        ApplyControlSkin(component, window);
        if (cls == QLatin1String("TImage")) {
            auto* image = static_cast<TImage*>(component);
            if (component->objectName() == QLatin1String("FooterImage")) {
                image->SetStretch(true);
                image->lower(); // a decoration under the strip's buttons, never over them
                image->setVisible(true);
            }
            const QPixmap picture = LoadSkinBitmap(part);
            if (!picture.isNull())
                image->setPixmap(picture);
        } else if (cls == QLatin1String("TShape")) {
            auto* shape = static_cast<TShape*>(component);
            shape->BrushColor = SkinColor(part, "BrushColor", shape->BrushColor);
            shape->PenColor = SkinColor(part, "PenColor", shape->PenColor);
            shape->update();
        } else if (cls == QLatin1String("TBitCheckBox")) {
            if (checkBoxImages)
                ApplyCheckBox(static_cast<TBitCheckBox*>(component), *checkBoxImages);
        } else if (cls == QLatin1String("TSkinButton")) {
            ApplyButton(static_cast<TSkinButton*>(component), part);
        } else if (cls == QLatin1String("TSkinedStringGrid")) {
            ApplyGrid(static_cast<TSkinedStringGrid*>(component), part);
        }
    }
}

} // namespace parlomar
