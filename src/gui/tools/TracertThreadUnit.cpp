#include "gui/tools/TracertThreadUnit.h"

#include "core/tools/HostLookup.h"
#include "core/tools/TraceCommand.h"

#include <mutex>
#include <thread>

namespace parlomar {

namespace {
const char* const kNotResolved = "None";
}

struct TTracertThread::State {
    explicit State(std::string hostName) : host(std::move(hostName)) {}

    const std::string host;
    Lookup lookup = TraceAddress;
    TraceCommand command;

    mutable std::mutex mutex; // guards everything below, and the start of the command
    TTracertThread* owner = nullptr;
    std::string address;
    bool workerStarted = false;
    bool commandStarted = false;
    bool cancelled = false;
    bool finished = false;
};

TTracertThread::TTracertThread(std::string hostName, QObject* parent)
    : QObject(parent), HostName(hostName), state_(std::make_shared<State>(std::move(hostName))) {
    state_->owner = this;
}

TTracertThread::~TTracertThread() {
    {
        std::lock_guard lock(state_->mutex);
        state_->owner = nullptr; // an Ended posted before this is dropped with the object
        state_->cancelled = true;
    }
    state_->command.Terminate();
}

void TTracertThread::SetLookup(Lookup lookup) {
    std::lock_guard lock(state_->mutex);
    if (!state_->workerStarted)
        state_->lookup = std::move(lookup);
}

void TTracertThread::Start() {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->workerStarted)
            return;
        state_->workerStarted = true;
    }
    std::thread([state = state_] { StartTraceThread(state); }).detach();
}

std::string TTracertThread::HostAddress() const {
    std::lock_guard lock(state_->mutex);
    return state_->address;
}

std::string TTracertThread::ReadTraceOutput() {
    std::lock_guard lock(state_->mutex);
    return state_->commandStarted ? state_->command.ReadTraceOutput() : std::string();
}

void TTracertThread::StopTrace() {
    {
        // Once this is set under the lock, the worker no longer starts the command.
        std::lock_guard lock(state_->mutex);
        state_->cancelled = true;
    }
    state_->command.Terminate();
}

bool TTracertThread::Cancelled() const {
    std::lock_guard lock(state_->mutex);
    return state_->cancelled;
}

bool TTracertThread::Running() const {
    std::lock_guard lock(state_->mutex);
    return state_->workerStarted && !state_->finished;
}

pid_t TTracertThread::ProcessId() const {
    std::lock_guard lock(state_->mutex);
    return state_->commandStarted && !state_->finished ? state_->command.ProcessId() : -1;
}

void TTracertThread::StartTraceThread(const std::shared_ptr<State>& state) {
    const std::string address = state->lookup ? state->lookup(state->host) : std::string(kNotResolved);
    bool started = false;
    {
        std::lock_guard lock(state->mutex);
        state->address = address.empty() ? std::string(kNotResolved) : address;
        // A host that does not resolve gives no hop: the command would only fail the same lookup.
        if (!state->cancelled && state->address != kNotResolved)
            started = state->commandStarted = state->command.Start(state->host);
    }
    if (started)
        state->command.Wait();
    std::lock_guard lock(state->mutex);
    state->finished = true;
    if (TTracertThread* owner = state->owner)
        QMetaObject::invokeMethod(
            owner, [owner] { emit owner->Ended(); }, Qt::QueuedConnection);
}

} // namespace parlomar
