// Skin pictures through the window's own decoder: any bytes give a picture within the size and
// budget rules, or none; never a crash or a huge allocation.
#include "gui/skins/SkinPicture.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    parlomar::TPictureBudget budget(64ll * 1024 * 1024);
    const QImage image = parlomar::DecodeSkinPicture(bytes, budget);
    if (image.isNull()) {
        return 0;
    }
    if (image.width() > parlomar::kMaxSkinPictureSide || image.height() > parlomar::kMaxSkinPictureSide)
        __builtin_trap();
    if (budget.Left() != 64ll * 1024 * 1024 - qint64(image.width()) * image.height() * 4)
        __builtin_trap(); // a decoded picture not charged as it is
    (void)image.pixel(image.width() - 1, image.height() - 1);
    return 0;
}
