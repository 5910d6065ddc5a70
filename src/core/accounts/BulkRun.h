#pragma once

#include "core/accounts/BulkAction.h"
#include "core/server/ServerSession.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace parlomar {

// One action on several accounts, run on a worker thread: the entries' requests one after another,
// each bound to the sign-in session that started the run (a sign-out ends the request in flight and
// nothing more is sent). Each judged entry, and at the end the whole list, are handed to the owner
// on the GUI thread. The worker counts among the running fetch threads, so the exit stops and waits
// for it (StopAllFetches). The object may be dropped at any time: the worker keeps its state alive
// by itself, sends nothing more, and nothing is delivered after Discard, the object's end or the
// start of the fetch shutdown.
class TBulkRun {
public:
    // index: the entry's place in the list; the entry as judged.
    using Step = std::function<void(std::size_t index, const BulkEntry& entry)>;
    // Every entry with its outcome; those not reached are NotSent.
    using Finished = std::function<void(const std::vector<BulkEntry>& entries)>;
    // Sends one request (HttpGet for the session under the run's controls; tests replace it).
    using Request = std::function<HttpReply(const std::string& url, const std::shared_ptr<RequestControl>&)>;

    // The request URLs start with the session's BaseUrl().
    TBulkRun(BulkKind kind, std::vector<BulkEntry> entries, SessionPtr session, Step step, Finished finished,
             Request request = nullptr);
    ~TBulkRun();
    TBulkRun(const TBulkRun&) = delete;
    TBulkRun& operator=(const TBulkRun&) = delete;

    const BulkKind Kind;
    const SessionPtr Session;

    // Starts the worker (once).
    void Start();
    // No request is sent after the one in flight, which may still finish.
    void Stop();
    // Stop, and the request in flight ends too (within about a second).
    void Abort();
    bool StopRequested() const;
    // True from Start until the worker has delivered its end (or was discarded).
    bool Running() const;
    // Nothing more is delivered (for an owner that goes away).
    void Discard();

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace parlomar
