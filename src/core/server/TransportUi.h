#pragma once

#include <functional>
#include <memory>
#include <string>

namespace parlomar {

// What the operator is shown about a server certificate that needs a decision.
struct CertificateInfo {
    std::string host;
    unsigned port = 0;
    std::string subject;
    std::string issuer;
    std::string notBefore; // validity, as "YYYY-MM-DD hh:mm:ss UTC"
    std::string notAfter;
    std::string fingerprint; // SHA-256 of the certificate, upper-case hex pairs joined by ":"
    std::string problem;     // why the certificate is not accepted on its own, in words
    int status = 0;          // the transport status of that problem (12045, 12038, 12037)
    bool changed = false;    // a different certificate than the one remembered for host and port
    std::string previousFingerprint;
};

// The few things the network side of the core needs from the GUI. The GUI installs one
// implementation for the whole process; tests install recorders. The core calls:
// - ShowRequestStatus only on the GUI thread (the core posts from other threads itself);
// - AskCertificate, ShowMessage and AskQuestion from the thread that made the request; an
//   implementation called from another thread than the GUI thread carries the dialog out on the GUI
//   thread and waits for its answer;
// - PostToGuiThread from any thread: the function runs later on the GUI thread, in posting order.
class TransportUi {
public:
    virtual ~TransportUi() = default;

    // The status display: status text n, a blank, then the suffix.
    virtual void ShowRequestStatus(int n, const std::string& suffix) = 0;
    virtual bool IsGuiThread() = 0;
    // The certificate question; true when the operator accepts the certificate.
    virtual bool AskCertificate(const CertificateInfo& info) = 0;
    // A message with one button (message window kind 2).
    virtual void ShowMessage(const std::string& text) = 0;
    // A question (message window kind 3); true when the operator accepts.
    virtual bool AskQuestion(const std::string& text) = 0;
    virtual void PostToGuiThread(std::function<void()> function) = 0;
};

// Installs the process-wide implementation (nullptr removes it). Without one nothing is shown, no
// question can be asked (a question counts as declined) and posted functions run at once on the
// posting thread.
void SetTransportUi(std::shared_ptr<TransportUi> ui);
std::shared_ptr<TransportUi> CurrentTransportUi();

// Convenience wrappers over the installed implementation.
bool OnGuiThread(); // true when no implementation is installed
void ShowMessageText(const std::string& text);
bool AskQuestionText(const std::string& text); // false when no implementation is installed
void PostToGui(std::function<void()> function);
// Shows a request status on the GUI thread: at once when called there, else posted.
void ShowRequestStatusOnGui(int n, const std::string& suffix);

} // namespace parlomar
