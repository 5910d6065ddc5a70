#include "skins/Skins.h"

#include "settings/IniFile.h"
#include "skins/BitCheckBox.h"
#include "skins/ButtonEdit.h"
#include "skins/Controls.h"
#include "skins/SkinButton.h"
#include "skins/SkinPackage.h"
#include "skins/SkinedStringGrid.h"
#include "skins/SkinnedForm.h"

#include <QApplication>
#include <QSet>

#include <filesystem>

namespace parlomar {

namespace {

const QList<QPixmap>* checkBoxImages = nullptr;

SkinPackageLook& PackageLook() {
    static SkinPackageLook look;
    return look;
}

const QSet<QString>& SkinnableClasses() {
    static const QSet<QString> classes = {QStringLiteral("TLabel"),
                                          QStringLiteral("TButton"),
                                          QStringLiteral("TListBox"),
                                          QStringLiteral("TComboBox"),
                                          QStringLiteral("TRadioGroup"),
                                          QStringLiteral("TCheckBox"),
                                          QStringLiteral("TEdit"),
                                          QStringLiteral("TPanel"),
                                          QStringLiteral("TSpeedButton"),
                                          QStringLiteral("TSkinButton"),
                                          QStringLiteral("TSkinedStringGrid"),
                                          QStringLiteral("TBitCheckBox"),
                                          QStringLiteral("TMemo")};
    return classes;
}

QString ClassOf(const QObject* component) {
    return QString::fromLatin1(component->metaObject()->className()).section(QLatin1Char(':'), -1);
}

void CollectComponents(QObject* parent, QWidget* root, QList<QObject*>& out) {
    for (QObject* child : parent->children()) {
        if (child != root && qobject_cast<TSkinnedForm*>(child))
            continue; // another window of the program, with its own components
        out.append(child);
        CollectComponents(child, root, out);
    }
}

void SetColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Button, colour);
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void ApplyPlainLook(TSkinnedForm* window, const QList<QPixmap>* checkBoxImages) {
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, ButtonFaceColor());
    window->setPalette(palette);

    for (QObject* component : FormComponents(window)) {
        if (TagOf(component) == kTagNoSkin)
            continue;
        ApplyControlSkin(component, window);
        const QString cls = ClassOf(component);
        if (cls == QLatin1String("TImage")) {
            if (component->objectName() == QLatin1String("FooterImage"))
                static_cast<QWidget*>(component)->setVisible(false);
        } else if (cls == QLatin1String("TShape")) {
            auto* shape = static_cast<TShape*>(component);
            shape->BrushColor = TagOf(shape) == kTagLargeBold ? QColor(0xD0, 0xDD, 0xE5) : QColor(Qt::white);
            shape->PenColor = Qt::black;
            shape->update();
        } else if (cls == QLatin1String("TPanel")) {
            auto* panel = static_cast<QWidget*>(component);
            if (!ParentColorOf(panel))
                SetColour(panel, Qt::white);
            panel->update();
        } else if (cls == QLatin1String("TListBox")) {
            auto* list = static_cast<QWidget*>(component);
            SetColour(list, Qt::white);
            list->update();
        } else if (cls == QLatin1String("TBitCheckBox")) {
            if (checkBoxImages) {
                auto* box = static_cast<TBitCheckBox*>(component);
                box->SetCheckedGlyph({});
                box->SetUncheckedGlyph({});
                box->SetGrayedGlyph({});
            }
        } else if (cls == QLatin1String("TSkinButton")) {
            auto* button = static_cast<TSkinButton*>(component);
            button->SkinNormal = button->SkinOver = button->SkinPushed = button->SkinDisabled = QPixmap();
            button->XOffset = 0;
            button->BackgroundColor = ButtonFaceColor();
            button->updateGeometry();
            button->update();
        } else if (cls == QLatin1String("TSkinedStringGrid")) {
            auto* grid = static_cast<TSkinedStringGrid*>(component);
            grid->TopButtonScroll = grid->BottomButtonScroll = grid->Scroller = grid->BackgroundScroll =
                QPixmap();
            grid->BackColor = QApplication::palette().color(QPalette::Base);
            grid->ScrollWidth = 10;
            SetColour(grid, Qt::white);
        } else if (cls == QLatin1String("TButtonEdit")) {
            auto* edit = static_cast<TButtonEdit*>(component);
            edit->BackgroundColor = ButtonFaceColor();
            edit->update();
        }
    }
    window->update();
}

} // namespace

QList<QObject*> FormComponents(QWidget* window) {
    QList<QObject*> out;
    CollectComponents(window, window, out);
    return out;
}

void ChooseSkinAtStart() {
    const std::string value = ReadIniValue("SKINS", "Current", kSettingsTarget);
    const std::filesystem::path package = SkinPackagePath(value);
    std::error_code error;
    if (value == "0" || package.empty() || !std::filesystem::is_regular_file(package, error))
        CurrentSkin = std::string(NoSkin);
    else
        CurrentSkin = value;
}

bool SkinActive() {
    return CurrentSkin != NoSkin;
}

QColor ButtonFaceColor() {
    return QApplication::palette().color(QPalette::Active, QPalette::Button);
}

const QList<QPixmap>* CheckBoxImages() {
    return checkBoxImages;
}

void SetCheckBoxImages(const QList<QPixmap>* images) {
    checkBoxImages = images;
}

void SetSkinPackageLook(SkinPackageLook look) {
    PackageLook() = std::move(look);
}

void ApplySkin(TSkinnedForm* window, const QString& section, const QList<QPixmap>* checkBoxImages) {
    if (SkinActive() && PackageLook()) {
        PackageLook()(window, section, checkBoxImages);
        return;
    }
    ApplyPlainLook(window, checkBoxImages);
}

void ApplyControlSkin(QObject* component, TSkinnedForm*) {
    auto* widget = qobject_cast<QWidget*>(component);
    if (!widget || !SkinnableClasses().contains(ClassOf(component)))
        return;
    const int tag = TagOf(widget);
    if (!ParentFontOf(widget)) {
        QFont font(QStringLiteral("Arial"));
        font.setBold(tag == kTagLargeBold || tag == kTagSmallBold);
        font.setPointSize(tag == kTagLargeBold ? 13 : tag == kTagSmallBold ? 10 : 9);
        widget->setFont(font);
        QPalette palette = widget->palette();
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(QPalette::Active, role, Qt::black),
                palette.setColor(QPalette::Inactive, role, Qt::black);
        widget->setPalette(palette);
    }
    if (!ParentColorOf(widget))
        SetColour(widget, ButtonFaceColor());
    widget->update();
}

} // namespace parlomar
