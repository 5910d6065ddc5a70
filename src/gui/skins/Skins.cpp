#include "gui/skins/Skins.h"

#include "core/Error.h"
#include "core/settings/IniFile.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinPicture.h"
#include "gui/skins/SkinRules.h"
#include "gui/skins/SkinedStringGrid.h"
#include "gui/skins/SkinnedForm.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHash>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSet>
#include <QStringDecoder>

namespace parlomar {

// The package look (SkinLook.cpp): the skin's values and pictures over the plain look.
void ApplyPackageLook(TSkinnedForm* window, const QString& section, const QList<QPixmap>* checkBoxImages);
void ApplyPackageControlSkin(QWidget* widget, TSkinnedForm* window);
void ApplyPlainControlSkin(QWidget* widget);

namespace {

const QList<QPixmap>* checkBoxImages = nullptr;
const QList<QPixmap>* sharedImages = nullptr;
QPointer<const QWidget> headingImage;

constexpr const char* kDesignedProperty = "DesignedPicture";

void CollectComponents(QObject* parent, QWidget* root, QList<QObject*>& out) {
    for (QObject* child : parent->children()) {
        if (child != root && qobject_cast<TSkinnedForm*>(child))
            continue; // another window of the program, with its own components
        out.append(child);
        CollectComponents(child, root, out);
    }
}

bool IsFieldLike(const QWidget* widget) {
    return IsFieldControl(widget);
}

// The window's own colour and the text colour its controls take over unless they have their own.
void SetFormColours(TSkinnedForm* window, const QColor& background, const QColor& text) {
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, background);
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::ButtonText, text);
    }
    window->setPalette(palette);
}

// Pictures decoded from the active package, by base name; for one skin choice.
struct PictureCache {
    std::string skin;
    QHash<QString, QPixmap> pictures;
    TPictureBudget budget; // what the pictures of this skin choice may still take
};

PictureCache& Pictures() {
    static PictureCache cache;
    if (cache.skin != CurrentSkin) {
        cache.pictures.clear();
        cache.budget = TPictureBudget();
        cache.skin = CurrentSkin;
    }
    return cache;
}

void ApplyPlainLook(TSkinnedForm* window, const QList<QPixmap>* checkBoxImages) {
    const QPalette application = QApplication::palette();
    SetFormColours(window, ButtonFaceColor(), application.color(QPalette::Active, QPalette::WindowText));
    window->TransparentColor = window->DesignedTransparentColor;
    window->TransparentColorValue = window->DesignedTransparentColorValue;
    window->AlphaBlend = false;
    window->AlphaBlendValue = 255;
    window->setWindowOpacity(1.0);

    for (QObject* component : FormComponents(window)) {
        const QString cls = ComponentClass(component);
        if (cls == QLatin1String("TImageList")) { // whatever its Tag
            auto* list = static_cast<TImageList*>(component);
            list->Images = DesignedImages(list);
            continue;
        }
        if (TagOf(component) == kTagNoSkin)
            continue;
        if (component->isWidgetType() && IsSkinnableClass(cls))
            ApplyPlainControlSkin(static_cast<QWidget*>(component));
        if (cls == QLatin1String("TImage")) {
            auto* image = static_cast<TImage*>(component);
            image->setPixmap(DesignedPicture(image));
            if (component->objectName() == QLatin1String("FooterImage"))
                image->setVisible(false);
        } else if (cls == QLatin1String("TShape")) {
            auto* shape = static_cast<TShape*>(component);
            shape->BrushColor = TagOf(shape) == kTagLargeBold ? QColor(0xD0, 0xDD, 0xE5) : QColor(Qt::white);
            shape->PenColor = Qt::black;
            shape->update();
        } else if (cls == QLatin1String("TPanel")) {
            auto* panel = static_cast<QWidget*>(component);
            if (!ParentColorOf(panel))
                SetControlColour(panel, Qt::white);
            panel->update();
        } else if (cls == QLatin1String("TListBox")) {
            auto* list = static_cast<QWidget*>(component);
            SetControlColour(list, Qt::white);
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
            grid->BackColor = application.color(QPalette::Base);
            grid->ScrollWidth = 10;
            grid->EvenRowBackground = TSkinedStringGrid::EvenRowColour;
            grid->SelectedBackground = TSkinedStringGrid::SelectedColour;
            SetControlColour(grid, Qt::white);
            grid->PicturesChanged();
        } else if (cls == QLatin1String("TButtonEdit")) {
            auto* edit = static_cast<TButtonEdit*>(component);
            edit->BackgroundColor = ButtonFaceColor();
            edit->update();
        }
    }
}

} // namespace

// ---- Rules shared with the package look and the saving ----

bool IsSkinnableClass(const QString& cls) {
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
    return classes.contains(cls);
}

QColor ControlColour(const QWidget* widget) {
    return widget->palette().color(IsFieldLike(widget) ? QPalette::Base : QPalette::Window);
}

void SetControlColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    if (IsFieldLike(widget)) {
        palette.setColor(QPalette::Base, colour);
    } else {
        // Panels pass these on to the controls on them; fields keep their own base.
        palette.setColor(QPalette::Window, colour);
        palette.setColor(QPalette::Button, colour);
        widget->setAutoFillBackground(true);
    }
    widget->setPalette(palette);
}

QColor FontColour(const QWidget* widget) {
    return widget->palette().color(QPalette::Active,
                                   IsFieldLike(widget) ? QPalette::Text : QPalette::WindowText);
}

void SetFontColour(QWidget* widget, const QColor& colour) {
    // Only a field's own text takes the text role: a panel's or label's colour would otherwise pass
    // on to the edits placed on it, whose background is the field's own (light text on white).
    QPalette palette = widget->palette();
    const bool field = IsFieldLike(widget);
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, colour);
        palette.setColor(group, QPalette::ButtonText, colour);
        if (field)
            palette.setColor(group, QPalette::Text, colour);
    }
    widget->setPalette(palette);
}

QPixmap DesignedPicture(TImage* image) {
    const QVariant kept = image->property(kDesignedProperty);
    if (kept.isValid())
        return kept.value<QPixmap>();
    const QPixmap designed = image->pixmap();
    image->setProperty(kDesignedProperty, QVariant::fromValue(designed));
    return designed;
}

QList<QPixmap> DesignedImages(TImageList* list) {
    const QVariant kept = list->property(kDesignedProperty);
    if (kept.isValid())
        return kept.value<QList<QPixmap>>();
    list->setProperty(kDesignedProperty, QVariant::fromValue(list->Images));
    return list->Images;
}

// ---- Public operations ----

QString ComponentClass(const QObject* component) {
    return QString::fromLatin1(component->metaObject()->className()).section(QLatin1Char(':'), -1);
}

QList<QObject*> FormComponents(QWidget* window) {
    QList<QObject*> out;
    CollectComponents(window, window, out);
    return out;
}

SkinPackageState ChooseSkinAtStart(std::string* refusedName) {
    const std::string value = ReadIniValue("SKINS", "Current", kSettingsTarget);
    SkinPackageState state = SkinPackageState::Usable;
    if (value != "0" && value != NoSkin)
        state = CheckSkinPackage(value);
    if (value == "0" || value == NoSkin || state != SkinPackageState::Usable) {
        ChooseSkin(std::string(NoSkin));
        if (refusedName && state != SkinPackageState::Usable)
            *refusedName = value;
    } else {
        ChooseSkin(value);
    }
    return state;
}

void ChooseSkin(const std::string& name) {
    if (SkinActive() && name != CurrentSkin)
        DeleteSkinIniCopy(); // the copy of the skin left behind
    CurrentSkin = IsPackageName(name) ? name : std::string(NoSkin);
    ForgetSkinPackage();
    Pictures().pictures.clear();
    Pictures().budget = TPictureBudget();
}

bool SkinActive() {
    return CurrentSkin != NoSkin;
}

int SkinRefusalStatusText(SkinPackageState state) {
    switch (state) {
    case SkinPackageState::Usable:
        return 0;
    case SkinPackageState::Missing:
        return 80;
    case SkinPackageState::NotAnArchive:
        return 81;
    case SkinPackageState::Damaged:
        return 82;
    case SkinPackageState::NoSettings:
        return 83;
    }
    return 0;
}

QColor FieldTextColour(const QWidget* field, bool active) {
    const bool dark = ControlColour(field).lightness() < 128;
    if (active)
        return dark ? QColor(0xF4, 0xF1, 0xEE) : QColor(Qt::black);
    return dark ? QColor(0xA0, 0xA0, 0xA0) : QColor(0x80, 0x80, 0x80);
}

QString SkinInformationText(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError())
        text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return text;
}

QString SkinInformationTitle(const std::string& skinName) {
    std::string info;
    try {
        info = ReadSkinFile("skin.nfo", skinName);
    } catch (const Error&) {
        return QString::fromStdString(skinName);
    }
    const QString text = SkinInformationText(info);
    const qsizetype end = text.indexOf(QLatin1Char('\r'));
    if (end <= 0)
        return QString::fromStdString(skinName);
    return text.left(std::min<qsizetype>(end, 64));
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

QPixmap SharedImage(int index) {
    return sharedImages ? sharedImages->value(index) : QPixmap();
}

const QList<QPixmap>* SharedImageList() {
    return sharedImages;
}

QPixmap SharedHeadingPicture() {
    const auto* image = qobject_cast<const TImage*>(headingImage.data());
    return image ? image->pixmap() : QPixmap();
}

void SetSharedPictures(const QList<QPixmap>* imageList, const QWidget* heading) {
    sharedImages = imageList;
    headingImage = heading;
}

void ApplySkin(TSkinnedForm* window, const QString& section, const QList<QPixmap>* checkBoxImages) {
    ApplyPlainLook(window, checkBoxImages);
    if (SkinActive())
        ApplyPackageLook(window, section, checkBoxImages);
    window->update();
}

void ApplyControlSkin(QObject* component, TSkinnedForm* window) {
    auto* widget = qobject_cast<QWidget*>(component);
    if (!widget || !IsSkinnableClass(ComponentClass(component)))
        return;
    if (SkinActive())
        ApplyPackageControlSkin(widget, window);
    else
        ApplyPlainControlSkin(widget);
}

void ApplyPlainControlSkin(QWidget* widget) {
    const int tag = TagOf(widget);
    if (!ParentFontOf(widget)) {
        QFont font(QStringLiteral("Arial"));
        font.setBold(tag == kTagLargeBold || tag == kTagSmallBold);
        font.setPointSize(tag == kTagLargeBold ? 13 : tag == kTagSmallBold ? 10 : 9);
        widget->setFont(font);
        SetFontColour(widget, Qt::black);
    }
    if (!ParentColorOf(widget)) // fields stay white, as the toolkit draws them
        SetControlColour(widget, IsFieldControl(widget) ? QColor(Qt::white) : ButtonFaceColor());
    widget->update();
}

// ---- Colours and pictures ----

QColor ToQColor(TColor color, const QColor& fallback) {
    if (color == clNone)
        return {};
    if (color == clDefault)
        return fallback;
    if ((color & 0xFF000000u) == kSystemColor) {
        const QPalette p = QApplication::palette();
        switch (color & 0xFF) {
        case 0:
        case 4:
        case 10:
        case 15:
        case 30:
            return p.color(QPalette::Button);
        case 1:
            return p.color(QPalette::Window);
        case 2:
        case 13:
        case 29:
            return p.color(QPalette::Highlight);
        case 3:
        case 11:
        case 17:
            return p.color(QPalette::Disabled, QPalette::Text);
        case 5:
            return p.color(QPalette::Base);
        case 6:
        case 21:
            return p.color(QPalette::Shadow);
        case 7:
        case 18:
            return p.color(QPalette::ButtonText);
        case 8:
            return p.color(QPalette::Text);
        case 9:
        case 14:
            return p.color(QPalette::HighlightedText);
        case 12:
        case 16:
            return p.color(QPalette::Dark);
        case 19:
            return p.color(QPalette::Disabled, QPalette::WindowText);
        case 20:
            return p.color(QPalette::Light);
        case 22:
        case 28:
            return p.color(QPalette::Midlight);
        case 23:
            return p.color(QPalette::ToolTipText);
        case 24:
            return p.color(QPalette::ToolTipBase);
        case 26:
            return p.color(QPalette::Link);
        case 27:
            return p.color(QPalette::Highlight).lighter(130);
        default:
            return fallback;
        }
    }
    if ((color & 0xFF000000u) != 0)
        return fallback;
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

TColor ToTColor(const QColor& color) {
    if (!color.isValid())
        return clNone;
    return static_cast<TColor>(color.red()) | (static_cast<TColor>(color.green()) << 8) |
           (static_cast<TColor>(color.blue()) << 16);
}

QColor SkinColor(const QString& section, const char* key, const QColor& fallback) {
    const auto colour = ColorFromText(ReadSkinValue(section.toStdString(), key));
    return colour ? ToQColor(*colour, fallback) : fallback;
}

QPixmap LoadSkinBitmap(const QString& baseName) {
    PictureCache& cache = Pictures();
    const auto found = cache.pictures.constFind(baseName);
    if (found != cache.pictures.constEnd())
        return *found;
    QPixmap picture;
    if (const auto data = SkinBitmapData(baseName.toStdString())) {
        // A picture too large for any control, or past the skin's budget, leaves its part plain.
        const QImage image =
            DecodeSkinPicture(QByteArray(data->data(), static_cast<qsizetype>(data->size())), cache.budget);
        if (!image.isNull())
            picture = QPixmap::fromImage(image);
    }
    cache.pictures.insert(baseName, picture);
    return picture;
}

} // namespace parlomar
