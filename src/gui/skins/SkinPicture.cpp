#include "gui/skins/SkinPicture.h"

#include <QBuffer>
#include <QImageReader>

namespace parlomar {

void TPictureBudget::Give(qint64 bytes) {
    left_ += bytes;
}

bool TPictureBudget::Take(qint64 bytes) {
    if (bytes < 0 || bytes > left_)
        return false;
    left_ -= bytes;
    return true;
}

QImage DecodeSkinPicture(const QByteArray& data, TPictureBudget& budget) {
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer, "BMP");
    reader.setAutoTransform(false);
    // From the header alone; a picture stored top-down may give its height as a negative number.
    const QSize header = reader.size();
    const qint64 width = qAbs(qint64(header.width())), height = qAbs(qint64(header.height()));
    if (width == 0 || height == 0 || width > kMaxSkinPictureSide || height > kMaxSkinPictureSide)
        return {};
    const QSize size{static_cast<int>(width), static_cast<int>(height)};
    // Four bytes a pixel: what the picture takes once it is drawn, whatever the file's depth.
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    if (!budget.Take(bytes))
        return {};
    QImage image = reader.read();
    if (image.isNull() || image.size() != size) {
        budget.Give(bytes);
        return {};
    }
    return image;
}

} // namespace parlomar
