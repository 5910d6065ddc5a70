#include "core/server/GetXMLThreadUnit.h"

#include "core/server/TransportUi.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>
#include <utility>

namespace parlomar {

namespace {

std::atomic<bool> gShutdown{false};

// The request controls of every thread that runs, until the thread's last step.
struct RunningThreads {
    std::mutex mutex;
    std::condition_variable ended;
    std::list<std::shared_ptr<RequestControl>> controls;
};

RunningThreads& Running() {
    static RunningThreads running;
    return running;
}

void Enter(const std::shared_ptr<RequestControl>& control) {
    std::lock_guard lock(Running().mutex);
    Running().controls.push_back(control);
}

void Leave(const std::shared_ptr<RequestControl>& control) {
    RunningThreads& running = Running();
    {
        std::lock_guard lock(running.mutex);
        running.controls.erase(std::find(running.controls.begin(), running.controls.end(), control));
    }
    running.ended.notify_all();
}

} // namespace

struct TGetXMLThread::State {
    SessionPtr session;
    std::string url;
    std::uint8_t kind = 0;
    std::shared_ptr<RequestControl> control = std::make_shared<RequestControl>();
    mutable std::mutex mutex;
    mutable std::condition_variable ended;
    bool started = false;
    bool finished = false;
    Completion completion; // guarded by mutex; emptied by Discard

    bool HasCompletion() const {
        std::lock_guard lock(mutex);
        return completion != nullptr;
    }

    Completion TakeCompletion() {
        std::lock_guard lock(mutex);
        return std::exchange(completion, nullptr);
    }
};

TGetXMLThread::TGetXMLThread(SessionPtr session, std::string url, std::uint8_t kind, Completion completion,
                             std::shared_ptr<ReplyReader> reader)
    : URL(std::move(url)), Kind(kind), state_(std::make_shared<State>()) {
    state_->session = std::move(session);
    state_->url = URL;
    state_->kind = Kind;
    state_->control->reader = std::move(reader);
    state_->control->certificateAfter = true; // asked on the GUI thread when the reply is delivered
    state_->completion = std::move(completion);
}

TGetXMLThread::~TGetXMLThread() = default;

namespace {

void RunFetch(const std::shared_ptr<TGetXMLThread::State>& state);

// The reply on the GUI thread. A certificate that needs a decision is put to the operator now, after
// the request; accepted, the same request is sent again and its reply delivered in its place.
void Deliver(const std::shared_ptr<TGetXMLThread::State>& state, const HttpReply& reply) {
    auto gone = [&state] {
        return gShutdown.load() || (state->session && state->session->Ended()) ||
               state->control->stop.load() || !state->HasCompletion();
    };
    if (gone())
        return; // a late reply of an ended session, or of an owner that went, reaches nobody
    if (reply.certificate) {
        auto ui = CurrentTransportUi();
        const bool accepted = ui && ui->AskCertificate(*reply.certificate);
        if (gone())
            return;
        if (accepted) {
            AcceptCertificateOf(state->session, *reply.certificate);
            {
                std::lock_guard lock(state->mutex);
                state->finished = false;
            }
            RunFetch(state);
            return;
        }
        HttpReply declined;
        declined.status = kStatusCertificateDeclined;
        if (TGetXMLThread::Completion completion = state->TakeCompletion())
            completion(state->kind, declined);
        return;
    }
    if (TGetXMLThread::Completion completion = state->TakeCompletion())
        completion(state->kind, reply);
}

void RunFetch(const std::shared_ptr<TGetXMLThread::State>& state) {
    Enter(state->control);
    std::thread([state] {
        // A fetch that starts after shutdown began sends nothing.
        HttpReply reply;
        if (!gShutdown.load())
            reply = HttpGet(state->session, state->url, state->control);
        {
            std::lock_guard lock(state->mutex);
            state->finished = true;
        }
        state->ended.notify_all();
        // Delivered on the GUI thread, unless shutdown began or the owner discarded it meanwhile.
        if (!gShutdown.load() && RequestWanted(state->session.get(), state->control.get()))
            PostToGui([state, reply = std::move(reply)] { Deliver(state, reply); });
        Leave(state->control);
    }).detach();
}

} // namespace

void TGetXMLThread::Start() {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->started)
            return;
        state_->started = true;
    }
    RunFetch(state_);
}

bool TGetXMLThread::Finished() const {
    std::lock_guard lock(state_->mutex);
    return state_->finished;
}

bool TGetXMLThread::WaitFor(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mutex);
    return state_->ended.wait_for(lock, timeout, [this] { return state_->finished || !state_->started; }) &&
           state_->finished;
}

void TGetXMLThread::Discard() {
    state_->TakeCompletion();
}

void TGetXMLThread::Stop() {
    Discard();
    state_->control->stop = true;
}

void TGetXMLThread::SetQuiet(bool quiet) {
    state_->control->quiet = quiet;
}

bool TGetXMLThread::StopAtShutdown(std::chrono::milliseconds timeout) {
    BeginFetchShutdown();
    state_->control->stop = true;
    if (WaitFor(timeout))
        return true;
    std::unique_lock lock(state_->mutex);
    state_->ended.wait(lock, [this] { return state_->finished || !state_->started; });
    return false;
}

bool StopAllFetches(std::chrono::milliseconds timeout) {
    BeginFetchShutdown();
    RunningThreads& running = Running();
    std::unique_lock lock(running.mutex);
    for (const auto& control : running.controls)
        control->stop = true;
    if (running.ended.wait_for(lock, timeout, [&] { return running.controls.empty(); }))
        return true;
    running.ended.wait(lock, [&] { return running.controls.empty(); });
    return false;
}

void SendInBackground(SessionPtr session, std::string url, std::shared_ptr<RequestControl> control) {
    Enter(control);
    std::thread([session = std::move(session), url = std::move(url), control] {
        HttpGet(session, url, control);
        Leave(control);
    }).detach();
}

void StartCountedThread(std::shared_ptr<RequestControl> control, std::function<void()> work) {
    Enter(control);
    std::thread([control = std::move(control), work = std::move(work)] {
        work();
        Leave(control);
    }).detach();
}

bool WaitForFetchThreads(std::chrono::milliseconds timeout) {
    RunningThreads& running = Running();
    std::unique_lock lock(running.mutex);
    return running.ended.wait_for(lock, timeout, [&] { return running.controls.empty(); });
}

void BeginFetchShutdown() {
    gShutdown = true;
}

bool FetchShutdownBegun() {
    return gShutdown.load();
}

void ResetFetchShutdown() {
    gShutdown = false;
}

} // namespace parlomar
