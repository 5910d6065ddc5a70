#pragma once

#include "server/TransportUi.h"

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
    void ProcessPendingEvents() override;
    bool AskCertificate(const CertificateInfo& info) override;
    void ShowMessage(const std::string& text) override;
    bool AskQuestion(const std::string& text) override;
    void PostToGuiThread(std::function<void()> function) override;

    // The text of the certificate question.
    static std::string CertificateQuestion(const CertificateInfo& info);

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
