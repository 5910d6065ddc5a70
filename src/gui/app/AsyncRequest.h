#pragma once

#include "core/server/HttpTransport.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>

namespace parlomar {

// Sends one request of a window on a worker (a counted fetch thread, so that shutdown waits for it)
// and runs done with its reply on the GUI thread, only while owner lasts and the session has not
// ended; after shutdown began nothing is delivered.
void StartRequest(QObject* owner, SessionPtr session, std::string url,
                  std::function<void(const HttpReply&)> done);

// A window's "a request of mine runs": busy from Hold until whatever holds the returned token (a
// completion) has run or was dropped, so that nothing has to remember to clear it.
class RequestBusy {
public:
    bool Busy() const { return !held_.expired(); }
    std::shared_ptr<void> Hold() {
        auto token = std::make_shared<char>();
        held_ = token;
        return token;
    }

private:
    std::weak_ptr<void> held_;
};

// Requests started by StartRequest whose completion has neither run nor been dropped yet.
int RequestsInFlight();

} // namespace parlomar
