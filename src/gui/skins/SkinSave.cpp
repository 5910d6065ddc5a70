// "Save skin attributes": the current look of a window written out as skin files, so that a skin
// can be authored from a running program and packed as it is.

#include "core/Error.h"
#include "core/settings/IniFile.h"
#include "core/settings/Paths.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/SkinRules.h"
#include "gui/skins/SkinedStringGrid.h"
#include "gui/skins/SkinnedForm.h"
#include "gui/skins/Skins.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace parlomar {

namespace {

void WriteText(const std::filesystem::path& path, const std::string& text);

// A BMP file of 0 x 0 pixels (24 bits): its headers and no pixel data.
void WriteEmptyPicture(const std::filesystem::path& path) {
    std::string bmp;
    auto put = [&bmp](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            bmp.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    bmp += "BM";
    put(54, 4); // file size
    put(0, 4);
    put(54, 4); // offset of the pixels
    put(40, 4); // size of the information header
    put(0, 4);  // width
    put(0, 4);  // height
    put(1, 2);  // planes
    put(24, 2); // bits per pixel
    for (int i = 0; i < 6; ++i)
        put(0, 4); // compression, image size, resolution, colours
    WriteText(path, bmp);
}

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
        WritePicture(name, picture, background);
    }
    // A button's state pictures are all written, an empty one as a BMP file of no pixels: a package
    // made from the files then has every state, and an empty one keeps the look as it is.
    void StatePicture(const QString& name, const QPixmap& picture) {
        if (picture.isNull())
            WriteEmptyPicture(folder / (name.toStdString() + ".bmp"));
        else
            WritePicture(name, picture, {});
    }
    void WritePicture(const QString& name, const QPixmap& picture, const QColor& background) {
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
        QByteArray bytes;
        QBuffer buffer(&bytes);
        if (!buffer.open(QIODevice::WriteOnly) ||
            !image.convertToFormat(QImage::Format_RGB888).save(&buffer, "BMP") ||
            !WriteFileAtomically(path, std::string_view(bytes.constData(), std::size_t(bytes.size())), 0644))
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

// Replaced whole: a link in its place is replaced, never written through, and the text is on
// disk before it takes the name.
void WriteText(const std::filesystem::path& path, const std::string& text) {
    if (!WriteFileAtomically(path, text, 0644))
        throw Error("Unable to write to " + path.string());
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
            out.StatePicture(part + QLatin1String("-Normal"), button->SkinNormal);
            out.StatePicture(part + QLatin1String("-Pushed"), button->SkinPushed);
            out.StatePicture(part + QLatin1String("-Over"), button->SkinOver);
            out.StatePicture(part + QLatin1String("-Disabled"), button->SkinDisabled);
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
