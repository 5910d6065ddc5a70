#pragma once

#include <QCheckBox>
#include <QPixmap>

class QPainter;

namespace parlomar {

// A check box drawn from pictures (checked, unchecked, greyed); with no pictures it draws the
// platform's standard check box. A picture whose width is a whole multiple of its height holds that
// many glyphs side by side (1 or 2); the second one is used while the control is disabled. With
// AllowGrayed a click cycles unchecked, greyed, checked, unchecked. A caption that does not fit is
// drawn elided at a word (ElideCaption) and offered whole as the box's hint.
class TBitCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit TBitCheckBox(QWidget* parent = nullptr);
    TBitCheckBox(const QString& caption, QWidget* parent = nullptr);

    void SetAllowGrayed(bool allow) { setTristate(allow); }
    bool AllowGrayed() const { return isTristate(); }
    bool Checked() const { return checkState() == Qt::Checked; }
    void SetChecked(bool checked) { setCheckState(checked ? Qt::Checked : Qt::Unchecked); }

    const QPixmap& CheckedGlyph() const { return checked_; }
    const QPixmap& UncheckedGlyph() const { return unchecked_; }
    const QPixmap& GrayedGlyph() const { return grayed_; }
    void SetCheckedGlyph(const QPixmap& glyph) { SetGlyph(checked_, checkedNum_, glyph); }
    void SetUncheckedGlyph(const QPixmap& glyph) { SetGlyph(unchecked_, uncheckedNum_, glyph); }
    void SetGrayedGlyph(const QPixmap& glyph) { SetGlyph(grayed_, grayedNum_, glyph); }
    // Sets the glyph count of all three pictures (1 or 2).
    void SetGlyphCounts(int count);
    int CheckedNumGlyphs() const { return checkedNum_; }
    int UncheckedNumGlyphs() const { return uncheckedNum_; }
    int GrayedNumGlyphs() const { return grayedNum_; }
    bool HasGlyphs() const { return !checked_.isNull() || !unchecked_.isNull() || !grayed_.isNull(); }

    // The part of the current state's picture that is drawn (empty without pictures).
    QRect GlyphSourceRect() const;

    // What the box draws as its caption: the text, or the elided text.
    QString ShownText() const;
    bool Elided() const { return ShownText() != text(); }
    // The width at which the box shows its caption whole, with its picture or the style's box.
    int WholeWidth() const;
    // The hint shown over the box: its own tool tip, else the whole caption while it is elided.
    QString HintText() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void SetGlyph(QPixmap& slot, int& count, const QPixmap& glyph);
    const QPixmap& StatePicture(int* count) const;
    // The room for the caption: beside the picture, or the style's contents rectangle.
    QRect TextRect() const;
    int CaptionRoom() const;
    // A dotted frame around the caption while the box has the focus.
    void DrawFocusFrame(QPainter& painter, int textLeft, const QString& shown) const;
    QPixmap checked_, unchecked_, grayed_;
    int checkedNum_ = 1, uncheckedNum_ = 1, grayedNum_ = 1;
};

} // namespace parlomar
