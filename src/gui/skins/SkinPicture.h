#pragma once

#include <QByteArray>
#include <QImage>

namespace parlomar {

// The largest picture a skin may bring, in pixels a side: no control draws a larger one.
inline constexpr int kMaxSkinPictureSide = 4096;
// What the decoded pictures of one skin choice may take in all, in bytes.
inline constexpr qint64 kSkinPictureBudget = 256ll * 1024 * 1024;

// The memory left for the decoded pictures of one skin choice.
class TPictureBudget {
public:
    explicit TPictureBudget(qint64 bytes = kSkinPictureBudget) : left_(bytes) {}
    // Takes bytes from what is left; false (and nothing taken) when that is not enough.
    bool Take(qint64 bytes);
    // Gives back what a picture that could not be decoded took.
    void Give(qint64 bytes);
    qint64 Left() const { return left_; }

private:
    qint64 left_;
};

// A skin picture (BMP file bytes) decoded, or a null image when it cannot be: not a BMP file, a
// damaged one, wider or taller than kMaxSkinPictureSide, or larger decoded than what is left of the
// budget. The size is taken from the file's header before anything is decoded, so a small file
// that would decode to a huge picture costs nothing.
QImage DecodeSkinPicture(const QByteArray& data, TPictureBudget& budget);

} // namespace parlomar
