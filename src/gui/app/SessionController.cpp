#include "gui/app/SessionController.h"

#include "core/server/Global.h"
#include "core/server/HttpTransport.h"

#include <QPointer>

#include <chrono>
#include <utility>

namespace parlomar {

namespace {

// How long the sign-out request may take; a stalled server holds neither the window nor the exit.
constexpr std::chrono::milliseconds kSignOutLimit{2000};

} // namespace

TSessionController::TSessionController(QObject* parent) : QObject(parent) {}

TSessionController::~TSessionController() = default;

bool TSessionController::SignIn(const SignInValues& values, bool readOnly) {
    if (signInFetch_ || signedIn_)
        return false;
    // A new session with these values (and its own connection); an earlier try has ended, so
    // nothing of it is sent any more.
    if (session_)
        session_->End();
    session_ = ServerSession::Make(values, readOnly);
    const SessionPtr session = session_;
    QPointer<TSessionController> self(this);
    signInFetch_ = std::make_unique<TGetXMLThread>(session, VersionUrl(session->BaseUrl()), std::uint8_t{0},
                                                   [self, session](std::uint8_t, const HttpReply& reply) {
                                                       if (!self || session != self->session_)
                                                           return; // ended meanwhile
                                                       self->signInFetch_.reset();
                                                       emit self->Answered(reply);
                                                   });
    signInFetch_->Start();
    return true;
}

void TSessionController::Accept() {
    if (session_)
        signedIn_ = true;
}

void TSessionController::Fail() {
    signInFetch_.reset();
    if (session_)
        session_->End();
    session_ = nullptr;
    signedIn_ = false;
}

bool TSessionController::SignOut() {
    if (signInFetch_) { // a sign-in still waiting for its reply ends with its session below
        signInFetch_->Stop();
        signInFetch_.reset();
    }
    const bool wasSignedIn = std::exchange(signedIn_, false);
    const SessionPtr ending = std::exchange(session_, nullptr);
    if (!ending)
        return false;
    std::shared_ptr<void> held = ending->HoldConnection();
    // Ends the session: its connection is closed, and no request of this sign-in is sent any more.
    ending->End();
    if (wasSignedIn && held) {
        auto control = std::make_shared<RequestControl>();
        control->connection = std::move(held);
        control->timeLimit = kSignOutLimit;
        control->quiet = true;
        SendInBackground(ending, ending->BaseUrl() + "/?logout", std::move(control));
    }
    return wasSignedIn;
}

} // namespace parlomar
