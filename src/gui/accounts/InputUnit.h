#pragma once

#include "gui/skins/SkinnedForm.h"

#include <string>

namespace parlomar {

class TBitCheckBox;
class TButtonEdit;
class TEdit;
class TImage;
class TLabel;
class TPanel;
class TSkinButton;

// The small modal dialog that asks for one value before an account action: a new password
// (`ChangePasswordPanel`) or a bandwidth limit (`BandWidthPanel`). The caller shows one panel, sets
// `InputValue` for the bandwidth and `AccountName`, shows the dialog modally and reads `Accepted` and
// `InputValue`. An empty new password is refused (status text 74) and the dialog stays open.
class TInputForm : public TSkinnedForm {
    Q_OBJECT
public:
    explicit TInputForm(QWidget* owner = nullptr);

    bool Accepted = false;
    std::string InputValue;
    // The account the dialog acts on (its user name), named in the title.
    std::string AccountName;
    // Signed in to a read-only server: OK is disabled and accepts nothing.
    bool ReadOnly = false;
    // Greater than 0: the bandwidth field takes digits only.
    int DigitsOnly = 0;

    TPanel *ChangePasswordPanel, *BandWidthPanel;
    TLabel* Val1Label;
    TButtonEdit* BandWidthEdit;
    TLabel *EnterNewPasswordLabel, *ConfirmNewPasswordLabel;
    TEdit *EnterPasswordEdit, *ConfirmPasswordEdit;
    TImage *GenerateImage, *CopyImage;
    TLabel *NewPasswordLabel, *CopyToClipboardLabel;
    TBitCheckBox* ShowPswCheckBox;
    TPanel* OKCancelPanel;
    TSkinButton *OKButton, *CancelButton;
    TImage* FooterImage;

    void FormShow();
    void OKButtonClick();
    void CancelButtonClick();
    void NewPasswordLabelClick();
    void CopyToClipboardLabelClick();
    void BandWidthEditClickButton();
    // Hover colours of the two links of the password page (both labels share them).
    void NewPasswordLabelMouseEnter(TLabel* label);
    void NewPasswordLabelMouseLeave(TLabel* label);
    void ShowPswCheckBoxClick();

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool shown_ = false;
};

} // namespace parlomar
