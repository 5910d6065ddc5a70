// "Save skin attributes": the current look of a window written out as skin files, so that a skin
// can be authored from a running program and packed as it is.

#include "Error.h"
#include "settings/IniFile.h"
#include "settings/Paths.h"
#include "skins/Controls.h"
#include "skins/SkinButton.h"
#include "skins/SkinRules.h"
#include "skins/SkinedStringGrid.h"
#include "skins/SkinnedForm.h"
#include "skins/Skins.h"

#include <QFileInfo>
#include <QImage>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace parlomar {

namespace {

// The settings text being written: the file as it was, with every value set in place.
struct SkinWriter {
    std::filesystem::path folder;
    std::string text;

    void Set(const QString& section, const char* key, const std::string& value) {
        text = IniSetValue(text, section.toStdString(), key, value);
    }
    void Colour(const QString& section, const char* key, const QColor& colour) {
        Set(section, key, ColorToText(ToTColor(colour)));
    }
    void Number(const QString& section, const char* key, int value) {
        Set(section, key, std::to_string(value));
    }
    // An empty picture has nothing to write: a package without it keeps the plain look there. A
    // BMP file has no transparency: see-through pixels of a picture that is drawn transparent by its
    // top-left colour become a key colour of their own (keyed), those of any other picture take the
    // colour behind it (background).
    void Picture(const QString& name, const QPixmap& picture, const QColor& background = {}) {
        if (picture.isNull())
            return;
        QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
        // A picture drawn for a dense screen is written at the size it takes on screen, as a skin's
        // pictures are read.
        if (picture.devicePixelRatio() != 1.0)
            image = image.scaled(picture.deviceIndependentSize().toSize(), Qt::IgnoreAspectRatio,
                                 Qt::SmoothTransformation);
        if (image.hasAlphaChannel()) {
            const QRgb fill = background.isValid() ? background.rgb() : UnusedColour(image);
            for (int y = 0; y < image.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x) {
                    const int alpha = qAlpha(line[x]);
                    if (background.isValid())
                        line[x] = qRgb((qRed(line[x]) * alpha + qRed(fill) * (255 - alpha)) / 255,
                                       (qGreen(line[x]) * alpha + qGreen(fill) * (255 - alpha)) / 255,
                                       (qBlue(line[x]) * alpha + qBlue(fill) * (255 - alpha)) / 255);
                    else
                        line[x] = alpha < 128 ? fill : qRgb(qRed(line[x]), qGreen(line[x]), qBlue(line[x]));
                }
            }
        }
        const auto path = folder / (name.toStdString() + ".bmp");
        if (!image.convertToFormat(QImage::Format_RGB888).save(QString::fromStdString(path.string()), "BMP"))
            throw Error("Unable to write to " + path.string());
    }

    // A colour that no opaque pixel of the image has (magenta unless taken).
    static QRgb UnusedColour(const QImage& image) {
        for (QRgb candidate : {qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(1, 254, 3), qRgb(254, 1, 253)}) {
            bool used = false;
            for (int y = 0; y < image.height() && !used; ++y)
                for (int x = 0; x < image.width() && !used; ++x)
                    used = qAlpha(image.pixel(x, y)) >= 128 &&
                           (image.pixel(x, y) & 0xFFFFFF) == (candidate & 0xFFFFFF);
            if (!used)
                return candidate;
        }
        return qRgb(255, 0, 255);
    }
};

int PointSize(const QFont& font) {
    if (font.pointSize() > 0)
        return font.pointSize();
    return static_cast<int>(font.pixelSize() * 72.0 / 96.0 + 0.5);
}

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
    const auto temporary = path.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush())
            throw Error("Unable to write to " + path.string());
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        throw Error("Unable to write to " + path.string());
    }
}

} // namespace

void SaveSkinAttributes(TSkinnedForm* window) {
    SkinWriter out;
    out.folder = SkinSaveFolder(); // the user's own skins folder when the program's is not writable
    std::error_code error;
    std::filesystem::create_directories(out.folder, error);
    const auto iniPath = out.folder / (CurrentSkin + ".ini");
    out.text = ReadText(iniPath);

    const QString form = window->FormName();
    out.Set(form, "TransparentColor", window->TransparentColor ? "1" : "0");
    out.Colour(form, "TransparentColorValue", window->TransparentColorValue);
    out.Set(form, "AlphaBlend", window->AlphaBlend ? "1" : "0");
    out.Set(form, "AlphaBlendValue", ColorToText(static_cast<TColor>(window->AlphaBlendValue)));
    out.Colour(form, "Color", window->palette().color(QPalette::Window));
    out.Colour(form, "FontColor", window->palette().color(QPalette::Active, QPalette::WindowText));

    for (QObject* component : FormComponents(window)) {
        // A component without a name has no section a skin could address.
        if (TagOf(component) == kTagNoSkin || component->objectName().isEmpty())
            continue;
        const QString cls = ComponentClass(component);
        const QString part = form + QLatin1Char('-') + component->objectName();
        if (IsSkinnableClass(cls)) {
            auto* widget = static_cast<QWidget*>(component);
            const QFont font = widget->font();
            out.Set(part, "FontName", font.family().toStdString());
            out.Number(part, "FontSize", PointSize(font));
            out.Colour(part, "FontColor", FontColour(widget));
            out.Set(part, "FontStyle",
                    FontStyleToText({font.bold(), font.italic(), font.underline(), font.strikeOut()}));
            out.Colour(part, "Color", ControlColour(widget));
        }
        if (cls == QLatin1String("TImage")) {
            auto* image = static_cast<TImage*>(component);
            out.Set(part, "Data", part.toStdString());
            out.Picture(part, image->pixmap(), image->palette().color(image->backgroundRole()));
        } else if (cls == QLatin1String("TShape")) {
            const auto* shape = static_cast<TShape*>(component);
            out.Colour(part, "BrushColor", shape->BrushColor);
            out.Colour(part, "PenColor", shape->PenColor);
        } else if (cls == QLatin1String("TImageList")) {
            const auto* list = static_cast<TImageList*>(component);
            for (int i = 0; i < list->Images.size(); ++i)
                out.Picture(part + QString::number(i), list->Images[i]);
        } else if (cls == QLatin1String("TSkinButton")) {
            const auto* button = static_cast<TSkinButton*>(component);
            out.Picture(part + QLatin1String("-Normal"), button->SkinNormal);
            out.Picture(part + QLatin1String("-Pushed"), button->SkinPushed);
            out.Picture(part + QLatin1String("-Over"), button->SkinOver);
            out.Picture(part + QLatin1String("-Disabled"), button->SkinDisabled);
            out.Number(part, "XOffset", button->XOffset);
            out.Colour(part, "BackgroundColor", button->BackgroundColor);
        } else if (cls == QLatin1String("TSkinedStringGrid")) {
            const auto* grid = static_cast<TSkinedStringGrid*>(component);
            out.Picture(part + QLatin1String("-TopButtonScroll"), grid->TopButtonScroll);
            out.Picture(part + QLatin1String("-BottomButtonScroll"), grid->BottomButtonScroll);
            out.Picture(part + QLatin1String("-Scroller"), grid->Scroller);
            out.Picture(part + QLatin1String("-BackgroundScroll"), grid->BackgroundScroll);
            out.Colour(part, "BackColor", grid->BackColor);
            out.Number(part, "ScrollWidth", grid->ScrollWidth);
        }
    }
    WriteText(iniPath, out.text);
}

} // namespace parlomar
