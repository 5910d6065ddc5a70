// Draws every picture of the shipped skins as BMP files: skinart <skin> <folder>, skin "Daylight"
// (light) or "Graphite" (dark). Run by the build, which packs the pictures with the skin's settings
// file and information into skins/<skin>.zip.
//
// Conventions of the pictures: one palette per skin; pictures that are drawn transparent (buttons,
// check boxes, icons, tabs, caption buttons) keep the key colour, magenta, in their top-left pixel
// and wherever they are see-through, and their outlines are whole pixels, so nothing blends with the
// key colour. Stretched pictures (strips, the grid heading, scroll bar parts) are opaque and stretch
// only their middle.

#include <QColor>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cstdio>
#include <functional>

namespace {

const QColor kKey(255, 0, 255);

struct Palette {
    QColor captionTop, captionBottom, captionLine; // the caption strip (white title on it)
    QColor window;                                 // window background
    QColor strip, stripLine;                       // status strip, heading and tab strip
    QColor text, mutedText;
    QColor accent, accentHover, accentPressed;
    QColor buttonTop, buttonBottom, buttonBorder, buttonPressed, buttonDisabled, buttonDisabledBorder;
    QColor field, fieldBorder; // check box face and border
    QColor tabChosen, tabOther, tabBorder;
    QColor track, thumb, thumbBorder;
    QColor iconMuted;
};

Palette Daylight() {
    Palette p;
    p.captionTop = QColor(0x24, 0x6A, 0x88);
    p.captionBottom = QColor(0x1B, 0x55, 0x6F);
    p.captionLine = QColor(0x12, 0x3F, 0x53);
    p.window = QColor(0xF3, 0xF5, 0xF7);
    p.strip = QColor(0xE6, 0xEC, 0xF0);
    p.stripLine = QColor(0xC3, 0xCF, 0xD8);
    p.text = QColor(0x1F, 0x2B, 0x34);
    p.mutedText = QColor(0x6B, 0x7A, 0x86);
    p.accent = QColor(0x25, 0x78, 0x9E);
    p.accentHover = QColor(0x33, 0x8C, 0xB4);
    p.accentPressed = QColor(0x1B, 0x5E, 0x7E);
    p.buttonTop = QColor(0xFF, 0xFF, 0xFF);
    p.buttonBottom = QColor(0xE9, 0xEE, 0xF2);
    p.buttonBorder = QColor(0x9A, 0xAE, 0xBD);
    p.buttonPressed = QColor(0xD6, 0xE4, 0xEC);
    p.buttonDisabled = QColor(0xF1, 0xF3, 0xF5);
    p.buttonDisabledBorder = QColor(0xCC, 0xD5, 0xDC);
    p.field = QColor(0xFF, 0xFF, 0xFF);
    p.fieldBorder = QColor(0x86, 0x9C, 0xAD);
    p.tabChosen = QColor(0xFF, 0xFF, 0xFF);
    p.tabOther = QColor(0xDD, 0xE5, 0xEB);
    p.tabBorder = QColor(0xB7, 0xC6, 0xD1);
    p.track = QColor(0xEE, 0xF2, 0xF5);
    p.thumb = QColor(0xB9, 0xC8, 0xD3);
    p.thumbBorder = QColor(0x9A, 0xAE, 0xBD);
    p.iconMuted = QColor(0x9D, 0xAD, 0xBA);
    return p;
}

Palette Graphite() {
    Palette p;
    p.captionTop = QColor(0x1E, 0x22, 0x27);
    p.captionBottom = QColor(0x17, 0x1A, 0x1E);
    p.captionLine = QColor(0x0B, 0x0D, 0x0F);
    p.window = QColor(0x2B, 0x30, 0x36);
    p.strip = QColor(0x22, 0x26, 0x2B);
    p.stripLine = QColor(0x3C, 0x43, 0x4B);
    p.text = QColor(0xE4, 0xE8, 0xEC);
    p.mutedText = QColor(0x9A, 0xA4, 0xAE);
    p.accent = QColor(0x4F, 0xA3, 0xD1);
    p.accentHover = QColor(0x6C, 0xB6, 0xDE);
    p.accentPressed = QColor(0x3A, 0x86, 0xB0);
    p.buttonTop = QColor(0x43, 0x4A, 0x53);
    p.buttonBottom = QColor(0x38, 0x3E, 0x46);
    p.buttonBorder = QColor(0x56, 0x5F, 0x69);
    p.buttonPressed = QColor(0x2A, 0x2F, 0x35);
    p.buttonDisabled = QColor(0x31, 0x36, 0x3C);
    p.buttonDisabledBorder = QColor(0x3D, 0x43, 0x4A);
    p.field = QColor(0x1D, 0x21, 0x25);
    p.fieldBorder = QColor(0x6A, 0x74, 0x7F);
    p.tabChosen = QColor(0x26, 0x2B, 0x31);
    p.tabOther = QColor(0x1C, 0x1F, 0x23);
    p.tabBorder = QColor(0x3C, 0x43, 0x4B);
    p.track = QColor(0x22, 0x26, 0x2B);
    p.thumb = QColor(0x4A, 0x52, 0x5C);
    p.thumbBorder = QColor(0x5A, 0x63, 0x6E);
    p.iconMuted = QColor(0x6F, 0x7A, 0x85);
    return p;
}

QString folder;

// An image in the key colour, drawn on with a painter, then written as a 24-bit BMP. Pixels the
// drawing left at least half covered take the drawn colour; the rest keep the key colour.
void Keyed(const QString& name, int w, int h, const std::function<void(QPainter&)>& draw) {
    QImage art(w, h, QImage::Format_ARGB32);
    art.fill(Qt::transparent);
    {
        QPainter painter(&art);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter);
    }
    QImage out(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb pixel = art.pixel(x, y);
            out.setPixel(x, y,
                         qAlpha(pixel) >= 128 ? qRgb(qRed(pixel), qGreen(pixel), qBlue(pixel)) : kKey.rgb());
        }
    if (!out.save(folder + QLatin1Char('/') + name + QStringLiteral(".bmp"), "BMP"))
        std::fprintf(stderr, "skinart: cannot write %s\n", qPrintable(name));
}

// An opaque picture.
void Opaque(const QString& name, int w, int h, const std::function<void(QPainter&)>& draw) {
    QImage out(w, h, QImage::Format_RGB32);
    out.fill(Qt::black);
    {
        QPainter painter(&out);
        draw(painter);
    }
    if (!out.save(folder + QLatin1Char('/') + name + QStringLiteral(".bmp"), "BMP"))
        std::fprintf(stderr, "skinart: cannot write %s\n", qPrintable(name));
}

void VerticalGradient(QPainter& painter, const QRect& r, const QColor& top, const QColor& bottom) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    painter.fillRect(r, g);
}

// A rectangle with corners cut by one pixel: an outline one pixel wide, whole pixels only.
void PixelRoundRect(QPainter& painter, const QRect& r, const QColor& border, const QColor& fillTop,
                    const QColor& fillBottom) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    VerticalGradient(painter, r.adjusted(1, 1, -1, -1), fillTop, fillBottom);
    painter.setPen(border);
    painter.drawLine(r.left() + 1, r.top(), r.right() - 1, r.top());
    painter.drawLine(r.left() + 1, r.bottom(), r.right() - 1, r.bottom());
    painter.drawLine(r.left(), r.top() + 1, r.left(), r.bottom() - 1);
    painter.drawLine(r.right(), r.top() + 1, r.right(), r.bottom() - 1);
    painter.setRenderHint(QPainter::Antialiasing);
}

// ---- Buttons ----

void Button(const Palette& p, const QString& base, int w, int h) {
    const QRect r(0, 0, w, h);
    Keyed(base + QStringLiteral("-Normal"), w, h,
          [&](QPainter& g) { PixelRoundRect(g, r, p.buttonBorder, p.buttonTop, p.buttonBottom); });
    Keyed(base + QStringLiteral("-Over"), w, h, [&](QPainter& g) {
        PixelRoundRect(g, r, p.accent, p.buttonTop, p.buttonBottom);
        g.setRenderHint(QPainter::Antialiasing, false);
        g.setPen(p.accentHover);
        g.drawLine(2, h - 2, w - 3, h - 2); // a lit lower edge under the pointer
    });
    Keyed(base + QStringLiteral("-Pushed"), w, h, [&](QPainter& g) {
        PixelRoundRect(g, r, p.accentPressed, p.buttonPressed, p.buttonPressed);
        g.setRenderHint(QPainter::Antialiasing, false);
        g.setPen(p.buttonPressed.darker(112));
        g.drawLine(1, 1, w - 2, 1); // pressed in: a shadow along the top
    });
    Keyed(base + QStringLiteral("-Disabled"), w, h, [&](QPainter& g) {
        PixelRoundRect(g, r, p.buttonDisabledBorder, p.buttonDisabled, p.buttonDisabled);
    });
}

// ---- Icons (16 x 16 unless said otherwise) ----

void Icon(const QString& name, const std::function<void(QPainter&)>& draw, int w = 16, int h = 16) {
    Keyed(name, w, h, draw);
}

void Arrow(QPainter& g, const QColor& colour, bool up) {
    QPainterPath path;
    if (up) {
        path.moveTo(4, 10);
        path.lineTo(12, 10);
        path.lineTo(8, 5);
    } else {
        path.moveTo(4, 6);
        path.lineTo(12, 6);
        path.lineTo(8, 11);
    }
    path.closeSubpath();
    g.fillPath(path, colour);
}

void Chevron(QPainter& g, const QColor& colour, bool open) {
    g.setPen(QPen(colour, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    if (open)
        g.drawPolyline(QPolygonF{{4.5, 6.5}, {8, 10}, {11.5, 6.5}});
    else
        g.drawPolyline(QPolygonF{{6.5, 4.5}, {10, 8}, {6.5, 11.5}});
}

void Person(QPainter& g, const QColor& colour) {
    g.setPen(Qt::NoPen);
    g.setBrush(colour);
    g.drawEllipse(QRectF(5, 2, 6, 6));
    g.drawRoundedRect(QRectF(2.5, 9, 11, 6), 3, 3);
}

void Box(QPainter& g, const QColor& colour, const QColor& lid) {
    g.setPen(Qt::NoPen);
    g.fillRect(QRect(2, 6, 12, 8), colour);
    g.fillRect(QRect(1, 3, 14, 3), lid);
    g.fillRect(QRect(6, 8, 4, 2), lid);
}

void Icons(const Palette& p, const QString& list) {
    auto name = [&](int i) { return list + QString::number(i); };
    Icon(name(0), [&](QPainter& g) { Arrow(g, p.accent, false); }); // sorted descending
    Icon(name(1), [&](QPainter& g) { Arrow(g, p.accent, true); });  // sorted ascending
    for (int i : {2, 3})                                            // tray icons
        Icon(name(i), [&](QPainter& g) {
            g.setPen(Qt::NoPen);
            g.setBrush(p.captionBottom);
            g.drawRoundedRect(QRectF(0, 0, 16, 16), 3, 3);
            g.setBrush(p.accentHover);
            g.drawRect(QRectF(4, 3, 3, 10));
            g.drawRoundedRect(QRectF(4, 3, 8, 6), 3, 3);
            g.setBrush(p.captionBottom);
            g.drawRect(QRectF(7, 5, 2.5, 2));
        });
    Icon(name(4), [&](QPainter& g) { Person(g, p.accent); });
    Icon(name(5), [&](QPainter& g) { Box(g, p.accent, p.accentPressed); });
    Icon(name(6), [&](QPainter& g) { // the current row: the row menu in the accent colour
        g.setPen(Qt::NoPen);
        g.setBrush(p.accent);
        g.drawRoundedRect(QRectF(2, 2, 12, 12), 2, 2);
        g.setBrush(Qt::white);
        g.drawPolygon(QPolygonF{{5, 6}, {11, 6}, {8, 10}});
    });
    Icon(name(7), [&](QPainter& g) { // every other row: the same, muted
        g.setPen(Qt::NoPen);
        g.setBrush(p.iconMuted);
        g.drawRoundedRect(QRectF(2, 2, 12, 12), 2, 2);
        g.setBrush(p.field);
        g.drawPolygon(QPolygonF{{5, 6}, {11, 6}, {8, 10}});
    });
    Icon(name(8), [&](QPainter& g) { Chevron(g, p.accent, true); });
    Icon(name(9), [&](QPainter& g) { Chevron(g, p.accent, false); });
    Icon(name(10), [&](QPainter& g) { // domain resources: stacked disks
        g.setPen(Qt::NoPen);
        for (int i = 0; i < 3; ++i)
            g.fillRect(QRect(2, 3 + i * 4, 12, 3), i == 0 ? p.accent : p.accentPressed);
    });
    Icon(name(11), [&](QPainter& g) { // other options: two sliders
        g.setPen(QPen(p.accentPressed, 2));
        g.drawLine(QPointF(2, 5), QPointF(14, 5));
        g.drawLine(QPointF(2, 11), QPointF(14, 11));
        g.setPen(Qt::NoPen);
        g.setBrush(p.accent);
        g.drawRect(QRectF(9, 2, 3, 6));
        g.drawRect(QRectF(4, 8, 3, 6));
    });
    Icon(name(12), [&](QPainter& g) { // custom IP: a globe
        g.setPen(QPen(p.accent, 1.6));
        g.setBrush(Qt::NoBrush);
        g.drawEllipse(QRectF(2, 2, 12, 12));
        g.drawEllipse(QRectF(5.5, 2, 5, 12));
        g.drawLine(QPointF(2, 8), QPointF(14, 8));
    });
    Icon(name(13), [&](QPainter& g) { // generate: a key
        g.setPen(QPen(p.accent, 2));
        g.setBrush(Qt::NoBrush);
        g.drawEllipse(QRectF(2, 5, 6, 6));
        g.drawLine(QPointF(8, 8), QPointF(14, 8));
        g.drawLine(QPointF(12, 8), QPointF(12, 11));
    });
    Icon(name(14), [&](QPainter& g) { // copy: two sheets
        g.setRenderHint(QPainter::Antialiasing, false);
        g.setPen(p.accentPressed);
        g.setBrush(p.field);
        g.drawRect(QRect(2, 2, 8, 10));
        g.setPen(p.accent);
        g.drawRect(QRect(6, 5, 8, 10));
    });
    Icon(name(15), [&](QPainter& g) { // control panel: a small window with a gauge
        g.setRenderHint(QPainter::Antialiasing, false);
        g.fillRect(QRect(1, 2, 14, 12), p.accent);
        g.fillRect(QRect(2, 5, 12, 8), p.field);
        g.fillRect(QRect(4, 9, 2, 3), p.accent);
        g.fillRect(QRect(7, 7, 2, 5), p.accent);
        g.fillRect(QRect(10, 8, 2, 4), p.accent);
    });
    Icon(name(16), [&](QPainter& g) { // cancel
        g.setPen(QPen(QColor(0xC8, 0x4B, 0x3C), 2.2, Qt::SolidLine, Qt::SquareCap));
        g.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
        g.drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
    });
}

void CheckBoxes(const Palette& p, const QString& list) {
    constexpr int kSize = 15; // a one-pixel key margin around a 13-pixel box
    auto box = [&](QPainter& g, const QColor& face, const QColor& border) {
        g.setRenderHint(QPainter::Antialiasing, false);
        g.fillRect(QRect(1, 1, 13, 13), border);
        g.fillRect(QRect(2, 2, 11, 11), face);
        g.setRenderHint(QPainter::Antialiasing);
    };
    Keyed(list + QStringLiteral("0"), kSize, kSize, [&](QPainter& g) { // checked
        box(g, p.accent, p.accentPressed);
        g.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        g.drawPolyline(QPolygonF{{4.5, 7.5}, {6.5, 9.5}, {10.5, 5}});
    });
    Keyed(list + QStringLiteral("1"), kSize, kSize, [&](QPainter& g) { box(g, p.field, p.fieldBorder); });
    Keyed(list + QStringLiteral("2"), kSize, kSize, [&](QPainter& g) { // greyed
        box(g, p.field, p.fieldBorder);
        g.setRenderHint(QPainter::Antialiasing, false);
        g.fillRect(QRect(4, 4, 7, 7), p.iconMuted);
    });
}

void CaptionButtons(const Palette& p, const QString& list) {
    constexpr int kSize = 18;
    auto cross = [](QPainter& g) {
        g.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::FlatCap));
        g.drawLine(QPointF(5.5, 5.5), QPointF(12.5, 12.5));
        g.drawLine(QPointF(12.5, 5.5), QPointF(5.5, 12.5));
    };
    Keyed(list + QStringLiteral("0"), kSize, kSize, cross);
    Keyed(list + QStringLiteral("1"), kSize, kSize, [&](QPainter& g) {
        g.setRenderHint(QPainter::Antialiasing, false);
        g.fillRect(QRect(1, 1, 16, 16), p.captionTop.lighter(150));
        g.setRenderHint(QPainter::Antialiasing);
        cross(g);
    });
    Keyed(list + QStringLiteral("2"), kSize, kSize, [&](QPainter& g) {
        g.setRenderHint(QPainter::Antialiasing, false);
        g.fillRect(QRect(1, 1, 16, 16), QColor(0xC4, 0x3D, 0x30));
        g.setRenderHint(QPainter::Antialiasing);
        cross(g);
    });
}

void Tabs(const Palette& p, const QString& list) {
    constexpr int kWidth = 117;
    constexpr int kHeight = 27;
    auto tab = [&](QPainter& g, const QColor& fill, bool chosen) {
        g.setRenderHint(QPainter::Antialiasing, false);
        const int top = chosen ? 0 : 3;
        g.fillRect(QRect(0, 0, kWidth, kHeight), p.window); // the strip around the tab
        g.setPen(p.tabBorder);
        g.drawLine(0, kHeight - 1, kWidth - 1, kHeight - 1);
        g.fillRect(QRect(1, top + 1, kWidth - 3, kHeight - top - 1), fill);
        g.drawLine(1, top, kWidth - 3, top);
        g.drawLine(0, top + 1, 0, kHeight - 1);
        g.drawLine(kWidth - 2, top + 1, kWidth - 2, kHeight - 1);
        if (chosen) {
            g.fillRect(QRect(1, 1, kWidth - 3, 2), p.accent); // the chosen tab's mark
            g.setPen(fill);
            g.drawLine(1, kHeight - 1, kWidth - 3, kHeight - 1); // open towards the list
        }
        g.setPen(kKey); // the corners stay see-through
        g.drawPoint(0, top);
        g.drawPoint(kWidth - 2, top);
        g.drawLine(kWidth - 1, 0, kWidth - 1, kHeight - 2);
    };
    // Drawn without the key colour's blending: whole pixels only.
    auto keyedTab = [&](const QString& name, const QColor& fill, bool chosen) {
        QImage out(kWidth, kHeight, QImage::Format_RGB32);
        {
            QPainter g(&out);
            tab(g, fill, chosen);
        }
        out.setPixel(0, 0, kKey.rgb());
        out.save(folder + QLatin1Char('/') + name + QStringLiteral(".bmp"), "BMP");
    };
    keyedTab(list + QStringLiteral("0"), p.tabChosen, true);
    keyedTab(list + QStringLiteral("1"), p.tabOther, false);
    Opaque(list + QStringLiteral("2"), 8, kHeight, [&](QPainter& g) {
        g.fillRect(QRect(0, 0, 8, kHeight), p.window);
        g.setPen(p.tabBorder);
        g.drawLine(0, kHeight - 1, 7, kHeight - 1);
    });
}

void Strips(const Palette& p, const QString& main) {
    Opaque(main + QStringLiteral("-TitlePicture"), 8, 26, [&](QPainter& g) {
        VerticalGradient(g, QRect(0, 0, 8, 25), p.captionTop, p.captionBottom);
        g.setPen(p.captionLine);
        g.drawLine(0, 25, 7, 25);
    });
    Opaque(main + QStringLiteral("-StatusImage"), 8, 24, [&](QPainter& g) {
        VerticalGradient(g, QRect(0, 1, 8, 23), p.strip.lighter(103), p.strip);
        g.setPen(p.stripLine);
        g.drawLine(0, 0, 7, 0);
    });
    Opaque(main + QStringLiteral("-FixedImage"), 8, 22, [&](QPainter& g) {
        VerticalGradient(g, QRect(0, 0, 8, 21), p.strip.lighter(104), p.strip);
        g.setPen(p.stripLine);
        g.drawLine(0, 21, 7, 21);
    });
}

void ScrollBar(const Palette& p, const QString& grid) {
    constexpr int kWidth = 12;
    Opaque(grid + QStringLiteral("-BackgroundScroll"), kWidth, 16, [&](QPainter& g) {
        g.fillRect(QRect(0, 0, kWidth, 16), p.track);
        g.setPen(p.stripLine);
        g.drawLine(0, 0, 0, 15);
    });
    auto button = [&](const QString& name, bool up) {
        Opaque(name, kWidth, 14, [&](QPainter& g) {
            g.fillRect(QRect(0, 0, kWidth, 14), p.track);
            g.setPen(p.stripLine);
            g.drawLine(0, 0, 0, 13);
            g.setRenderHint(QPainter::Antialiasing);
            QPainterPath path;
            if (up) {
                path.moveTo(3.5, 9);
                path.lineTo(9.5, 9);
                path.lineTo(6.5, 5);
            } else {
                path.moveTo(3.5, 5);
                path.lineTo(9.5, 5);
                path.lineTo(6.5, 9);
            }
            path.closeSubpath();
            g.fillPath(path, p.mutedText);
        });
    };
    button(grid + QStringLiteral("-TopButtonScroll"), true);
    button(grid + QStringLiteral("-BottomButtonScroll"), false);
    Opaque(grid + QStringLiteral("-Scroller"), kWidth, 24, [&](QPainter& g) {
        g.fillRect(QRect(0, 0, kWidth, 24), p.track);
        g.setPen(p.stripLine);
        g.drawLine(0, 0, 0, 23);
        g.fillRect(QRect(3, 1, 7, 22), p.thumbBorder);
        g.fillRect(QRect(4, 2, 5, 20), p.thumb);
    });
}

void Footer(const Palette& p, const QString& form) {
    Opaque(form + QStringLiteral("-FooterImage"), 8, 14, [&](QPainter& g) {
        VerticalGradient(g, QRect(0, 0, 8, 12), p.strip, p.strip.darker(104));
        g.fillRect(QRect(0, 12, 8, 2), p.accent);
    });
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: skinart Daylight|Graphite <folder>\n");
        return 2;
    }
    const QString skin = QString::fromLocal8Bit(argv[1]);
    folder = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(folder);
    Palette p;
    if (skin == QLatin1String("Daylight"))
        p = Daylight();
    else if (skin == QLatin1String("Graphite"))
        p = Graphite();
    else {
        std::fprintf(stderr, "skinart: unknown skin %s\n", argv[1]);
        return 2;
    }

    const QString main = QStringLiteral("ParlomarClientMainForm");
    Strips(p, main);
    Icons(p, main + QStringLiteral("-ImageList"));
    CheckBoxes(p, main + QStringLiteral("-CheckBoxImageList"));
    CaptionButtons(p, main + QStringLiteral("-CloseBImageList"));
    Tabs(p, main + QStringLiteral("-TabsImageList"));
    ScrollBar(p, main + QStringLiteral("-AccList"));
    Button(p, main + QStringLiteral("-LoginButton"), 90, 26);
    Button(p, main + QStringLiteral("-GetListButton"), 100, 26);
    Button(p, main + QStringLiteral("-AddButton"), 100, 26);

    for (const char* form : {"CustForm", "AddForm", "InputForm", "MessageForm", "AboutForm", "TracertForm"}) {
        const QString name = QString::fromLatin1(form);
        Footer(p, name);
        Button(p, name + QStringLiteral("-OKButton"), 75, 25);
    }
    for (const char* form : {"CustForm", "AddForm", "InputForm", "MessageForm"})
        Button(p, QString::fromLatin1(form) + QStringLiteral("-CancelButton"), 75, 25);
    Footer(p, QStringLiteral("SummaryForm"));
    Button(p, QStringLiteral("SummaryForm-ConfigureViewButton"), 110, 25);
    Button(p, QStringLiteral("SummaryForm-CloseBtn"), 110, 25);
    Footer(p, QStringLiteral("BulkForm"));
    Button(p, QStringLiteral("BulkForm-StopButton"), 90, 25);
    Button(p, QStringLiteral("BulkForm-CloseBtn"), 110, 25);
    return 0;
}
