#pragma once

#include "core/server/TransportUi.h"

#include <QObject>
#include <QPointer>

#include <atomic>

namespace parlomar {

class TParlomarClientMainForm;

// The GUI's implementation of the core's seam: the status display of the main window, event
// processing while a request waits, functions posted to the GUI thread, and the message window for
// messages, questions and the certificate question. Dialogs asked for from another thread are carried
// out on the GUI thread while the asking thread waits; at shutdown such a wait ends with "declined".
class GuiTransportUi : public QObject, public TransportUi {
    Q_OBJECT
public:
    GuiTransportUi();

    void SetMainForm(TParlomarClientMainForm* form);
    // From now on no dialog is shown; questions count as declined (program exit).
    void BeginShutdown();

    void ShowRequestStatus(int n, const std::string& suffix) override;
    bool IsGuiThread() override;
    bool AskCertificate(const CertificateInfo& info) override;
    void ShowMessage(const std::string& text) override;
    bool AskQuestion(const std::string& text) override;
    void PostToGuiThread(std::function<void()> function) override;

    // The certificate question in two parts: the details (problem, host, subject, issuer, validity),
    // which may be long and scroll, and the part always shown whole: the fingerprint, grouped eight
    // pairs to a line, and "Accept this certificate?". Subject and issuer come from the server and
    // show printable characters only, so no text in them can start a line of its own.
    struct CertificateQuestionText {
        QString details;
        QString question;
    };
    static CertificateQuestionText CertificateQuestion(const CertificateInfo& info);
    // Every character that is not printable (controls, format characters, line and paragraph
    // separators, unassigned and private code points, broken UTF-8) becomes U+FFFD.
    static QString PrintableText(const std::string& text);

protected:
    // The dialogs themselves, on the GUI thread. Tests replace these with prepared answers.
    virtual void ShowMessageOnGui(const std::string& text);
    virtual bool AskQuestionOnGui(const std::string& text);
    virtual bool AskCertificateOnGui(const CertificateInfo& info);

private:
    // Runs a dialog on the GUI thread and returns its answer; false when shutting down.
    bool RunOnGui(std::function<bool()> dialog);
    QPointer<TParlomarClientMainForm> mainForm_;
    std::atomic<bool> shuttingDown_{false};
};

} // namespace parlomar
