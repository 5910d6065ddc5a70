#pragma once

#include <QDialog>
#include <QPixmap>

class QKeyEvent;

namespace parlomar {

// The base of every window. The form name (objectName) is the window's section in the language
// file and in the skin. The window sees key presses before its controls (FormKeyDown), and a press
// on a background control given to MoveWindowOnPress drags the window.
class TSkinnedForm : public QDialog {
    Q_OBJECT
public:
    explicit TSkinnedForm(const QString& formName, QWidget* parent = nullptr);

    QString FormName() const { return objectName(); }

    // The window frame: with a skin active the window draws its own caption strip (frameless, the
    // title picture behind it); otherwise the platform frame. Fixed when the window is created.
    void SetSkinFrame(const QPixmap& titlePicture, bool frameOn);
    bool SkinFrameOn() const { return frameOn_; }

    // A mouse press on the control starts a window move.
    void MoveWindowOnPress(QWidget* control);

    // Always-on-top or normal window style, as the main window hands it on.
    void SetStayOnTop(bool onTop);

    // Shows the window modally and returns when it is closed.
    int ShowModal();

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

private:
    bool frameOn_ = false;
    bool previewing_ = false;
    QPixmap titlePicture_;
};

} // namespace parlomar
