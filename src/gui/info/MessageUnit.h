#pragma once

#include "core/server/ServerSession.h"
#include "gui/skins/SkinnedForm.h"

#include <cstdint>
#include <string>

class QTextEdit;

namespace parlomar {

class TImage;
class TLabel;
class TPanel;
class TSkinButton;

inline constexpr int kMessageServerInfo = 1;
inline constexpr int kMessageText = 2;
inline constexpr int kMessageQuestion = 3;

// The program's one message box: the server information view (kind 1), a message with one button
// (kind 2) or a question with OK and Cancel (kind 3). Texts are shown as plain text, word-wrapped and cut
// with an ellipsis when too long; the label's hint holds the whole text (as plain text too). Escape
// closes; Ctrl+C copies the message.
class TMessageForm : public TSkinnedForm {
    Q_OBJECT
public:
    explicit TMessageForm(QWidget* owner = nullptr);

    int MessageKind = kMessageText;
    QString MessageText;
    bool MessageResult = false;
    // A question whose safe answer is No (the certificate question): Cancel has the focus and Enter
    // presses it unless OK was chosen.
    bool CancelIsDefault = false;
    // A question with details (the certificate question): the details, plain text that scrolls when
    // long, above the message, which is then never cut. The window grows to fit, up to most of the
    // screen.
    QString DetailText;
    QTextEdit* DetailsEdit = nullptr;

    TPanel* MessagePanel;
    TLabel* MessageLabel;
    TPanel* ServerInfoPanel;
    TPanel* OKCancelPanel;
    TSkinButton* OKButton;
    TSkinButton* CancelButton;
    TImage* FooterImage;

    // The server information view: seven rows of caption and value; the "Accounts:" row shows only
    // with a positive account count.
    TLabel *IPLabel, *ParlomarLabel, *HostNameLabel, *PortLabel, *LoggedInLabel, *PackagesLabel,
        *AccountsLabel;
    TLabel *IPValLabel, *ParlomarValLabel, *HostNameValLabel, *PortValLabel, *LoggedInValLabel,
        *PackagesValLabel, *AccountsValLabel;
    // What the view shows besides the sign-in values: the stored package list reply and the server
    // account count of the main window.
    std::string PackageListText;
    int ServerAccountCount = 0;
    // The sign-in session the view's request belongs to (none: nothing is sent).
    SessionPtr Session;
    // The copy text of the view: caption + " " + value per shown row, joined by a line feed.
    QString ServerInfoText() const;

    // The text that fits into a box of the size when word-wrapped, cut with "…" where it does not.
    static QString ElideWrapped(const QString& text, const QFont& font, const QSize& box);

    void FormShow();

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ShowServerInfo();
    void ShowWithDetails();
    void OKButtonClick();
    bool shown_ = false;
};

// The windows behind the message seam: a kind 2 message, a kind 3 question (true for OK). Other
// code calls the seam (ShowMessageText, AskQuestionText of the core), never these directly.
void ShowMessageWindow(const QString& text, int kind);
bool AskQuestionWindow(const QString& text);
// A kind 3 question with details above it (TMessageForm::DetailText); true for OK.
bool AskDetailedQuestionWindow(const QString& details, const QString& question);

// The name lookup behind the server information view's host name (ReverseLookup unless a test puts
// in another); it runs on a thread of its own.
using ReverseLookupFunction = std::string (*)(const std::string& address);
void SetServerInfoLookup(ReverseLookupFunction lookup);

// "View server information": the message window in kind 1, modal, owned by the main window.
void ShowServerInformation(QWidget* owner, const std::string& packageListReply, int serverAccountCount,
                           bool stayOnTop, SessionPtr session = nullptr);

} // namespace parlomar
