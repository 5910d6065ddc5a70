#include "gui/accounts/InputUnit.h"

#include "core/accounts/PasswordGenerator.h"
#include "core/server/TransportUi.h"
#include "core/settings/Localization.h"
#include "gui/info/AboutUnit.h"
#include "gui/settings/Captions.h"
#include "gui/skins/BitCheckBox.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"
#include "gui/skins/SkinButton.h"
#include "gui/skins/Skins.h"

#include <QKeyEvent>
#include <QPainter>

namespace parlomar {

namespace {
constexpr int kClientWidth = 400;
constexpr int kClientHeight = 154;
constexpr int kButtonStripHeight = 51;
constexpr int kFooterHeight = 14;
constexpr int kPanelHeight = kClientHeight - kButtonStripHeight - kFooterHeight;
constexpr int kPasswordLength = 12;

const QColor kLinkColour(0x5D, 0x96, 0xB0);
const QColor kLinkHoverColour(0x7A, 0xB3, 0xCD);

// The "unlimited" button of the bandwidth field in the plain look: an infinity sign.
QPixmap UnlimitedPicture(const QColor& colour) {
    QPixmap pixmap = PlainCanvas(22, 20);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(18);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(QRect(0, 0, 22, 20), Qt::AlignCenter, QString(QChar(0x221E)));
    return pixmap;
}

void SetLinkColour(QWidget* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}
// The title names the account the dialog acts on.
std::string InputTitle(const std::string& accountName) {
    return accountName.empty() ? AppName : accountName + " - " + AppName;
}
} // namespace

TInputForm::TInputForm(QWidget* owner) : TSkinnedForm(QStringLiteral("InputForm"), owner) {
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    setModal(true);
    escapeCloses_ = true;
    setFixedSize(kClientWidth, kClientHeight);

    BandWidthPanel = Named(new TPanel(this), "BandWidthPanel");
    BandWidthPanel->setGeometry(0, 0, kClientWidth, kPanelHeight);
    Val1Label =
        Named(new TLabel(QStringLiteral("Enter new band width (in megabytes)"), BandWidthPanel), "Val1Label");
    Val1Label->setGeometry(12, 14, 376, 18);
    BandWidthEdit = Named(new TButtonEdit(BandWidthPanel), "BandWidthEdit");
    BandWidthEdit->setGeometry(12, 38, 376, 24);
    BandWidthEdit->setToolTip(QStringLiteral("unlimited"));
    BandWidthEdit->ButtonNormal = UnlimitedPicture(QColor(0x7F, 0x9D, 0xB9));
    BandWidthEdit->ButtonOver = UnlimitedPicture(kLinkHoverColour);
    BandWidthEdit->ButtonPushed = UnlimitedPicture(kLinkColour);
    BandWidthEdit->UpdateButton();
    BandWidthEdit->installEventFilter(this);
    BandWidthPanel->hide();

    ChangePasswordPanel = Named(new TPanel(this), "ChangePasswordPanel");
    ChangePasswordPanel->setGeometry(0, 0, kClientWidth, kPanelHeight);
    EnterNewPasswordLabel =
        Named(new TLabel(QStringLiteral("Enter new password"), ChangePasswordPanel), "EnterNewPasswordLabel");
    EnterNewPasswordLabel->setGeometry(12, 10, 160, 20);
    EnterPasswordEdit = Named(new TEdit(ChangePasswordPanel), "EnterPasswordEdit");
    EnterPasswordEdit->setGeometry(180, 8, 208, 22);
    EnterPasswordEdit->setMaxLength(kPasswordLength);
    ConfirmNewPasswordLabel = Named(new TLabel(QStringLiteral("Confirm new password"), ChangePasswordPanel),
                                    "ConfirmNewPasswordLabel");
    ConfirmNewPasswordLabel->setGeometry(12, 36, 160, 20);
    ConfirmPasswordEdit = Named(new TEdit(ChangePasswordPanel), "ConfirmPasswordEdit");
    ConfirmPasswordEdit->setGeometry(180, 34, 208, 22);
    ConfirmPasswordEdit->setMaxLength(kPasswordLength);
    GenerateImage = Named(new TImage(ChangePasswordPanel), "GenerateImage");
    GenerateImage->setGeometry(12, 64, 16, 16);
    NewPasswordLabel =
        Named(new TLabel(QStringLiteral("Generate new password"), ChangePasswordPanel), "NewPasswordLabel");
    NewPasswordLabel->setGeometry(30, 63, 140, 18);
    CopyImage = Named(new TImage(ChangePasswordPanel), "CopyImage");
    CopyImage->setGeometry(172, 64, 16, 16);
    CopyToClipboardLabel =
        Named(new TLabel(QStringLiteral("Copy password to clipboard"), ChangePasswordPanel),
              "CopyToClipboardLabel");
    CopyToClipboardLabel->setGeometry(190, 63, 170, 18);
    for (TLabel* link : {NewPasswordLabel, CopyToClipboardLabel}) {
        link->setCursor(Qt::PointingHandCursor);
        link->installEventFilter(this);
        QFont font = link->font();
        font.setUnderline(true);
        link->setFont(font);
    }
    ShowPswCheckBox =
        Named(new TBitCheckBox(QStringLiteral("Show passwords"), ChangePasswordPanel), "ShowPswCheckBox");
    ShowPswCheckBox->setGeometry(12, kPanelHeight - 2, 160, 17);
    ShowPswCheckBox->SetChecked(true);
    ShowPswCheckBox->hide(); // shown with the panel's strip below, see FormShow
    ChangePasswordPanel->hide();

    OKCancelPanel = Named(new TPanel(this), "OKCancelPanel");
    OKCancelPanel->setGeometry(0, kPanelHeight, kClientWidth, kButtonStripHeight);
    OKButton = Named(new TSkinButton(QStringLiteral("OK"), OKCancelPanel), "OKButton");
    OKButton->setGeometry(234, 13, 75, 25);
    CancelButton = Named(new TSkinButton(QStringLiteral("Cancel"), OKCancelPanel), "CancelButton");
    CancelButton->setGeometry(315, 13, 75, 25);
    // The "Show passwords" box sits on the button strip, left of the buttons.
    ShowPswCheckBox->setParent(OKCancelPanel);
    ShowPswCheckBox->setGeometry(12, 17, 180, 17);
    FooterImage = Named(new TImage(this), "FooterImage");
    FooterImage->setGeometry(0, kPanelHeight + kButtonStripHeight, kClientWidth, kFooterHeight);

    connect(OKButton, &QPushButton::clicked, this, &TInputForm::OKButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TInputForm::CancelButtonClick);
    connect(ShowPswCheckBox, &QCheckBox::clicked, this, &TInputForm::ShowPswCheckBoxClick);
    connect(EnterPasswordEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { ConfirmPasswordEdit->setText(text); }); // EnterPasswordEditChange
    connect(BandWidthEdit, &TButtonEdit::OnClickButton, this, &TInputForm::BandWidthEditClickButton);
}

void TInputForm::showEvent(QShowEvent* event) {
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
    TSkinnedForm::showEvent(event);
}

void TInputForm::FormShow() {
    ApplyCaptions(this);
    ApplySkin(this, QStringLiteral("InputForm"), CheckBoxImages());
    setWindowTitle(Q(InputTitle(AccountName)) + QString::fromUtf8(kMakerCredit));
    Accepted = false;
    BandWidthEdit->setText(Q(InputValue));
    SetLinkColour(NewPasswordLabel, kLinkColour);
    SetLinkColour(CopyToClipboardLabel, kLinkColour);
    ShowPswCheckBox->setVisible(ChangePasswordPanel->isVisibleTo(this));
    // The box starts ticked, so the fields start readable.
    ShowPswCheckBoxClick();
    if (ChangePasswordPanel->isVisibleTo(this))
        EnterPasswordEdit->setFocus();
    else
        BandWidthEdit->setFocus();
    OKButton->setEnabled(!ReadOnly);
}

void TInputForm::OKButtonClick() {
    if (ReadOnly)
        return;
    Accepted = true;
    if (ChangePasswordPanel->isVisibleTo(this)) {
        if (EnterPasswordEdit->text() != ConfirmPasswordEdit->text()) {
            Accepted = false;
            ShowMessageText(StatusText(34));
            return;
        }
        if (EnterPasswordEdit->text().isEmpty()) {
            Accepted = false;
            ShowMessageText(StatusText(74));
            EnterPasswordEdit->setFocus();
            return;
        }
        InputValue = S(EnterPasswordEdit->text());
    } else {
        InputValue = S(BandWidthEdit->text());
    }
    accept();
}

void TInputForm::CancelButtonClick() {
    reject();
}

void TInputForm::NewPasswordLabelClick() {
    EnterPasswordEdit->setText(Q(GeneratePassword(kPasswordLength)));
    EnterPasswordEdit->setEchoMode(QLineEdit::Normal);
    ConfirmPasswordEdit->setEchoMode(QLineEdit::Normal);
}

void TInputForm::CopyToClipboardLabelClick() {
    CopyTextToClipboard(EnterPasswordEdit->text());
    ShowMessageText(StatusText(23));
}

void TInputForm::ShowPswCheckBoxClick() {
    const QLineEdit::EchoMode mode = ShowPswCheckBox->Checked() ? QLineEdit::Normal : QLineEdit::Password;
    EnterPasswordEdit->setEchoMode(mode);
    ConfirmPasswordEdit->setEchoMode(mode);
}

bool TInputForm::FormKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OKButtonClick();
        return true;
    }
    return false;
}

void TInputForm::BandWidthEditClickButton() {
    BandWidthEdit->setText(QStringLiteral("unlimited"));
}

void TInputForm::NewPasswordLabelMouseEnter(TLabel* label) {
    if (label->isEnabled())
        SetLinkColour(label, kLinkHoverColour);
}

void TInputForm::NewPasswordLabelMouseLeave(TLabel* label) {
    SetLinkColour(label, kLinkColour);
}

bool TInputForm::eventFilter(QObject* watched, QEvent* event) {
    auto* label = qobject_cast<TLabel*>(watched);
    if (label && (label == NewPasswordLabel || label == CopyToClipboardLabel)) {
        if (event->type() == QEvent::Enter)
            NewPasswordLabelMouseEnter(label);
        else if (event->type() == QEvent::Leave)
            NewPasswordLabelMouseLeave(label);
        else if (event->type() == QEvent::MouseButtonRelease && label->isEnabled()) {
            if (label == NewPasswordLabel)
                NewPasswordLabelClick();
            else
                CopyToClipboardLabelClick();
            return true;
        }
    }
    if (watched == BandWidthEdit && event->type() == QEvent::KeyPress && DigitsOnly > 0) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (text.size() == 1 && text.at(0).unicode() >= 32 && !text.at(0).isDigit())
            return true; // BandWidthEditKeyPress: only digits and Backspace
    }
    return TSkinnedForm::eventFilter(watched, event);
}

} // namespace parlomar
