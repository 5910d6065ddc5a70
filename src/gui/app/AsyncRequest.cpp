#include "gui/app/AsyncRequest.h"

#include "core/server/GetXMLThreadUnit.h"

#include <QPointer>

#include <atomic>
#include <memory>

namespace parlomar {

namespace {

std::atomic<int> gInFlight{0};

// Counts one request from its start until its completion has run or was dropped (on any thread).
struct InFlight {
    InFlight() { ++gInFlight; }
    ~InFlight() { --gInFlight; }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;
};

} // namespace

void StartRequest(QObject* owner, SessionPtr session, std::string url,
                  std::function<void(const HttpReply&)> done) {
    QPointer<QObject> guard(owner);
    auto counted = std::make_shared<InFlight>();
    // The fetch keeps its own state alive; the object itself is not needed once started.
    TGetXMLThread fetch(std::move(session), std::move(url), std::uint8_t{0},
                        [guard, counted, done = std::move(done)](std::uint8_t, const HttpReply& reply) {
                            if (guard)
                                done(reply);
                        });
    fetch.Start();
}

int RequestsInFlight() {
    return gInFlight.load();
}

} // namespace parlomar
