#pragma once

#include <QColor>
#include <QLineEdit>
#include <QPixmap>

namespace parlomar {

// A single-line edit with a picture button at its right end. While the button is visible the text
// never runs under it; a left press on it raises OnClickButton.
class TButtonEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TButtonEdit(QWidget* parent = nullptr);

    int ButtonWidth = 20;
    QPixmap ButtonNormal, ButtonOver, ButtonPushed;
    QColor BackgroundColor; // clBtnFace unless set
    QColor BorderColor = QColor(0x7F, 0x9D, 0xB9);

    void SetButtonVisible(bool visible);
    bool ButtonVisible() const { return buttonVisible_; }
    // Accepted and ignored.
    void SetButtonCaption(const QString&) {}
    QString ButtonCaption() const { return {}; }
    // Call after changing a picture.
    void UpdateButton();
    // 0 normal, 1 pointer over the button, 2 pushed.
    int ButtonState() const { return state_; }

signals:
    void OnClickButton();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int ButtonAreaWidth() const;
    bool buttonVisible_ = true;
    int state_ = 0;
};

} // namespace parlomar
