#include "core/accounts/BulkRun.h"

#include "core/server/GetXMLThreadUnit.h"
#include "core/server/TransportUi.h"

#include <atomic>
#include <mutex>
#include <utility>

namespace parlomar {

struct TBulkRun::State {
    BulkKind kind = BulkKind::Suspend;
    std::vector<BulkEntry> entries; // the worker's own until it ends
    SessionPtr session;
    std::string baseUrl;
    std::shared_ptr<RequestControl> control = std::make_shared<RequestControl>();
    Request request;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> running{false};
    std::mutex mutex;
    bool started = false;
    Step step; // guarded by mutex; emptied by Discard
    Finished finished;

    // The owner's callbacks as they are now (empty once discarded).
    std::pair<Step, Finished> Callbacks() {
        std::lock_guard lock(mutex);
        return {step, finished};
    }
};

TBulkRun::TBulkRun(BulkKind kind, std::vector<BulkEntry> entries, SessionPtr session, Step step,
                   Finished finished, Request request)
    : Kind(kind), Session(session), state_(std::make_shared<State>()) {
    state_->kind = kind;
    state_->entries = std::move(entries);
    state_->session = session;
    state_->baseUrl = session ? session->BaseUrl() : std::string();
    state_->step = std::move(step);
    state_->finished = std::move(finished);
    state_->request =
        request ? std::move(request)
                : [session](const std::string& url, const std::shared_ptr<RequestControl>& control) {
                      return HttpGet(session, url, control);
                  };
}

TBulkRun::~TBulkRun() {
    Discard();
    Stop(); // a run whose owner went sends nothing more
}

void TBulkRun::Start() {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->started)
            return;
        state_->started = true;
    }
    state_->running = true;
    StartCountedThread(state_->control, [state = state_] {
        // A request is sent only while the run is wanted: not stopped, its sign-in still current.
        auto wanted = [&] {
            return !state->stopRequested && RequestWanted(state->session.get(), state->control.get()) &&
                   !FetchShutdownBegun();
        };
        for (std::size_t i = 0; i < state->entries.size(); ++i) {
            BulkEntry& entry = state->entries[i];
            if (entry.outcome != BulkOutcome::Pending)
                continue; // skipped: in the wanted state already
            if (!wanted())
                break;
            const HttpReply reply =
                state->request(BulkRequestUrl(state->baseUrl, state->kind, entry.user), state->control);
            JudgeBulkReply(entry, reply, wanted());
            if (!FetchShutdownBegun()) {
                PostToGui([state, i, judged = entry] {
                    if (auto step = state->Callbacks().first; step && !FetchShutdownBegun())
                        step(i, judged);
                });
            }
            if (entry.outcome == BulkOutcome::SignedOut)
                break; // the server no longer accepts this sign-in: every further request would fail
        }
        for (BulkEntry& entry : state->entries)
            if (entry.outcome == BulkOutcome::Pending)
                entry.outcome = BulkOutcome::NotSent;
        if (FetchShutdownBegun())
            return;
        PostToGui([state] {
            state->running = false;
            if (auto finished = state->Callbacks().second; finished && !FetchShutdownBegun())
                finished(state->entries);
        });
    });
}

void TBulkRun::Stop() {
    state_->stopRequested = true;
}

void TBulkRun::Abort() {
    Stop();
    state_->control->stop = true;
}

bool TBulkRun::StopRequested() const {
    return state_->stopRequested;
}

bool TBulkRun::Running() const {
    return state_->running;
}

void TBulkRun::Discard() {
    std::lock_guard lock(state_->mutex);
    state_->step = nullptr;
    state_->finished = nullptr;
    state_->running = false;
}

} // namespace parlomar
