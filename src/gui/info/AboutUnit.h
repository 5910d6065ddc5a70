#pragma once

#include "gui/skins/SkinnedForm.h"

namespace parlomar {

class TLabel;
class TSkinButton;
class TImage;

// The maker's credit suffix of window titles.
inline constexpr const char* kMakerCredit = " by Parlomar Labs";

// Opens an address with the desktop, http, https and mailto addresses only; false for any other.
bool OpenLink(const QString& address);

// The modal about window: product title, version and release date, contact and credit links.
// Ctrl+C copies its text; it closes only with OK.
class TAboutForm : public TSkinnedForm {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* owner = nullptr);

    TLabel *AboutLabel, *Label1, *CreditLabel, *Label10, *Label12;
    TLabel *VersionLabel, *VersionValueLabel, *ReleaseLabel, *ReleaseValueLabel;
    TLabel *SupportLabel, *URLLabel1, *FeedbackLabel, *Label3, *BugreportLabel, *Label5;
    TLabel *CopyRightLabel, *UrlLabel2, *TranslationLabel, *TranslateLabel, *UrlLabel3;
    TSkinButton* OKButton;
    TImage* FooterImage;

    // The text Ctrl+C copies: lines joined by a line feed.
    QString CopyText() const;
    // The address a link label opens.
    QString LinkTarget(const TLabel* label) const;
    // The links: each opens its address; all of them share the hover colours.
    void URLLabel1Click();
    void UrlLabel2Click();
    void Label3Click();
    void Label10Click();
    void Label12Click();
    void URLLabel1MouseEnter(TLabel* link);
    void URLLabel1MouseLeave(TLabel* link);

    void FormShow();

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QList<TLabel*> links_;
    bool shown_ = false;
};

} // namespace parlomar
