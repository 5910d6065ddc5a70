#pragma once

#include <QDialog>
#include <QList>
#include <QMargins>
#include <QPixmap>

class QKeyEvent;

namespace parlomar {

// The pictures of the skin frame: the main window's title picture and its caption button images
// (normal, under the pointer, pressed). Set by the main window whenever its skin changes; every
// framed window draws them.
void SetSkinFramePictures(const QPixmap& title, const QList<QPixmap>& closeButtons);

// The base of every window. The form name (objectName) is the window's section in the language
// file and in the skin. The window sees key presses before its controls (FormKeyDown), and a press
// on a background control given to MoveWindowOnPress drags the window.
//
// The skin frame: while it is on, the window has no platform frame and draws its own, a caption
// strip (title picture, program icon, title, close button) above its controls and a one-pixel
// border around them. A press on the strip drags the window, a press on the close button closes it
// at once; a sizeable window is resized from its edges. The controls keep the coordinates they were
// placed with: a window without a layout gets them moved onto a client area below the strip, and
// its size set by the window's own code is the size of that client area.
class TSkinnedForm : public QDialog {
    Q_OBJECT
public:
    explicit TSkinnedForm(const QString& formName, QWidget* parent = nullptr);

    QString FormName() const { return objectName(); }

    // Window values a skin sets (transparency is kept as a value; translucency is the opacity).
    bool TransparentColor = false;
    QColor TransparentColorValue = Qt::black;
    bool AlphaBlend = false;
    int AlphaBlendValue = 255;
    // The transparent-colour values the window was designed with (the plain look's).
    void SetDesignedTransparentColor(bool on, const QColor& value);
    bool DesignedTransparentColor = false;
    QColor DesignedTransparentColorValue = Qt::black;

    // Frame on or off (initially on exactly when a skin is active at creation). Takes effect before
    // the window is shown next, or at once on a shown window.
    void SetSkinFrame(bool frameOn);
    bool SkinFrameOn() const { return frameOn_; }
    // Fixes the size of the window's client area: the window itself when it has no skin frame, the
    // area below the caption strip (and the frame around it) when it has one.
    void SetFixedClientSize(const QSize& size);
    // A sizeable window can be resized from the edges of its skin frame.
    void SetSizeable(bool sizeable) { sizeable_ = sizeable; }

    static constexpr int kCaptionHeight = 26;
    static constexpr int kBorderWidth = 1;
    // The caption strip and its close button, in window coordinates (empty while the frame is off).
    QRect CaptionRect() const;
    QRect CloseButtonRect() const;
    // 0 normal, 1 under the pointer, 2 pressed.
    int CloseButtonState() const;

    // A mouse press on the control starts a window move.
    void MoveWindowOnPress(QWidget* control);

    // Always-on-top or normal window style, as the main window hands it on.
    void SetStayOnTop(bool onTop);

    // Shows the window modally and returns when it is closed. The window may be hidden and shown
    // again meanwhile (a frame change) without ending the wait.
    int ShowModal();

    void setVisible(bool visible) override;

protected:
    // Key preview: called for every key press meant for this window or one of its controls, before
    // the control sees it. Return true when handled.
    virtual bool FormKeyDown(QKeyEvent* event);
    // Escape closes the window only where a window says so.
    bool escapeCloses_ = false;

    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ApplyFrame();
    void FitFramedSize();
    Qt::Edges EdgesAt(const QPoint& windowPos) const;
    bool frameOn_ = false;
    bool frameApplied_ = false;
    bool sizeable_ = false;
    bool previewing_ = false;
    QWidget* clientArea_ = nullptr;
    QMargins layoutMargins_;
    QSize clientSize_;
    QSize framedSize_;
    bool fitting_ = false;
    QPoint pointer_{-1, -1};
    QPoint press_{-1, -1};
};

} // namespace parlomar
