#include "server/GetXMLThreadUnit.h"

#include "server/TransportUi.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace parlomar {

namespace {

std::atomic<bool> gShutdown{false};

} // namespace

struct TGetXMLThread::State {
    std::string url;
    std::uint8_t kind = 0;
    mutable std::mutex mutex;
    mutable std::condition_variable ended;
    bool started = false;
    bool finished = false;
    Completion completion; // guarded by mutex; emptied by Discard

    Completion TakeCompletion() {
        std::lock_guard lock(mutex);
        return std::exchange(completion, nullptr);
    }
};

TGetXMLThread::TGetXMLThread(std::string url, std::uint8_t kind, Completion completion)
    : URL(std::move(url)), Kind(kind), state_(std::make_shared<State>()) {
    state_->url = URL;
    state_->kind = Kind;
    state_->completion = std::move(completion);
}

TGetXMLThread::~TGetXMLThread() = default;

void TGetXMLThread::Start() {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->started)
            return;
        state_->started = true;
    }
    std::thread([state = state_] {
        // A fetch that starts after shutdown began sends nothing (HttpGet would clear AbortFlag).
        HttpReply reply;
        if (!gShutdown.load())
            reply = HttpGet(state->url);
        {
            std::lock_guard lock(state->mutex);
            state->finished = true;
        }
        state->ended.notify_all();
        if (gShutdown.load())
            return;
        // Delivered on the GUI thread, unless shutdown began or the owner discarded it meanwhile.
        PostToGui([state, reply = std::move(reply)] {
            if (gShutdown.load())
                return;
            if (Completion completion = state->TakeCompletion())
                completion(state->kind, reply);
        });
    }).detach();
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

bool TGetXMLThread::StopAtShutdown(std::chrono::milliseconds timeout) {
    BeginFetchShutdown();
    AbortFlag = 1;
    if (WaitFor(timeout))
        return true;
    std::unique_lock lock(state_->mutex);
    state_->ended.wait(lock, [this] { return state_->finished || !state_->started; });
    return false;
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
