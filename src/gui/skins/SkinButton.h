#pragma once

#include <QColor>
#include <QPixmap>
#include <QPushButton>

namespace parlomar {

// A push button drawn from state pictures, or, without pictures, as a flat raised button in its
// background colour. It sizes itself to its caption, never below MinWidth x MinHeight, and reports
// exactly one click per completed press.
class TSkinButton : public QPushButton {
    Q_OBJECT
public:
    explicit TSkinButton(QWidget* parent = nullptr);
    TSkinButton(const QString& caption, QWidget* parent = nullptr);

    int MinWidth = 75;
    int MinHeight = 25;
    QColor BackgroundColor;            // clBtnFace unless set
    QColor FocusRectColor = Qt::white; // an invalid colour (clNone) draws no focus rectangle
    int XOffset = 0;
    QPixmap SkinNormal, SkinOver, SkinPushed, SkinDisabled;

    // The picture of the current state, or an empty one.
    const QPixmap& CurrentPicture() const;
    // Where the caption is drawn in a W x H client area.
    QPoint CaptionPosition(int width, int height) const;
    bool PointerInside() const { return inside_; }

    // Grows the button to its sizeHint when that is larger (done before every paint, so a caption
    // change shows whole).
    void FitToCaption();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void OnMouseEnter();
    void OnMouseLeave();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool inside_ = false;
};

} // namespace parlomar
