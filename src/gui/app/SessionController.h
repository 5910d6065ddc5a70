#pragma once

#include "core/server/GetXMLThreadUnit.h"
#include "core/server/ServerSession.h"

#include <QObject>

#include <memory>

namespace parlomar {

// The main window's session: a sign-in (its version request on a worker), the signed-in state and
// the sign-out. A new sign-in or a sign-out ends the session before it, so that nothing of the old
// one is sent or delivered any more. It knows nothing of the sign-in panel; the main window judges
// the reply it reports and shows the outcome.
class TSessionController : public QObject {
    Q_OBJECT
public:
    explicit TSessionController(QObject* parent = nullptr);
    ~TSessionController() override;

    // Starts a sign-in with these values unless one is in progress or signed in. True when started.
    bool SignIn(const SignInValues& values, bool readOnly);
    // The reply of the sign-in was judged good: signed in with its session.
    void Accept();
    // The sign-in failed: its session ends and leaves no connection behind.
    void Fail();
    // Ends a sign-in in progress or the session signed in. A signed-in session sends the sign-out
    // request over its own connection on a thread of its own, for at most 2 s (its reply does not
    // matter). True when it was signed in.
    bool SignOut();

    bool SignedIn() const { return signedIn_; }
    // A sign-in waits for its reply.
    bool SigningIn() const { return signInFetch_ != nullptr; }
    // The session of the sign-in in progress or signed in (none otherwise).
    const SessionPtr& Current() const { return session_; }
    // Signed in to a server marked read-only.
    bool ReadOnly() const { return signedIn_ && session_ && session_->ReadOnly(); }
    // The session the windows of the sign-in send for: the signed-in one, else the one tests of
    // those windows give (none in the program).
    SessionPtr ForWindows() const { return signedIn_ ? session_ : windowsSession_; }
    void SetWindowsSession(SessionPtr session) { windowsSession_ = std::move(session); }

signals:
    // The reply of the current sign-in's version request.
    void Answered(const HttpReply& reply);

private:
    SessionPtr session_;
    SessionPtr windowsSession_;
    bool signedIn_ = false;
    std::unique_ptr<TGetXMLThread> signInFetch_;
};

} // namespace parlomar
