#include "core/accounts/FindAll.h"

#include "core/accounts/AccountList.h"
#include "core/server/GetXMLThreadUnit.h"
#include "core/server/Global.h"
#include "core/server/HttpTransport.h"
#include "core/server/ServerSession.h"
#include "core/settings/Localization.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace parlomar {

bool IsFindSearchType(std::string_view type) {
    if (type.empty())
        return true;
    return std::any_of(std::begin(kFindSearchTypes), std::end(kFindSearchTypes),
                       [type](const char* known) { return type == known; });
}

std::string FindAllUrl(std::string_view baseUrl, std::string_view text, std::string_view searchType) {
    if (searchType.empty())
        return SearchAccountsUrl(baseUrl, text);
    std::string trimmed = TrimmedSearchText(text);
    if (searchType == "domain") {
        if (const std::string ascii = AsciiDomainName(trimmed); IsDomainName(ascii))
            trimmed = ascii;
    }
    return ListAccountsUrl(baseUrl, searchType, trimmed);
}

std::size_t FindAllResult::AnsweredCount() const {
    return static_cast<std::size_t>(
        std::count_if(servers.begin(), servers.end(), [](const FindServerResult& s) { return s.answered; }));
}

std::size_t FindAllResult::AccountCount() const {
    std::size_t count = 0;
    for (const FindServerResult& s : servers)
        count += s.answered ? s.accounts.size() : 0;
    return count;
}

std::string FindServerLabel(const SavedServer& server) {
    std::string address;
    for (char c : server.address)
        if (c != ' ')
            address += c;
    if (address.find(':') != std::string::npos) // an IPv6 address keeps its port apart
        address = "[" + address + "]";
    return server.userName + "@" + address + ":" + std::to_string(server.port);
}

std::string FindSummaryText(const FindAllResult& result) {
    const std::size_t accounts = result.AccountCount();
    const std::size_t servers = result.AnsweredCount();
    return "found " + std::to_string(accounts) + (accounts == 1 ? " account" : " accounts") + " on " +
           std::to_string(servers) + (servers == 1 ? " server" : " servers");
}

namespace {

std::string TransportFailureText(TransportStatus status) {
    if (status == kStatusCertificateDeclined)
        return kFindNotTrusted;
    const std::string text = ErrorText(status);
    // Without a language file the number is all there is to say.
    return text.empty() || text == "0" ? "transport error " + std::to_string(status) : text;
}

// The reply of a listaccts request, judged as the account list judges it.
void JudgeReply(const HttpReply& reply, FindServerResult& result) {
    if (IsSignedOutReply(reply.text, reply.httpStatus)) {
        result.reason = kFindSignInRefused;
        return;
    }
    const TAccountValues values = TAccountValues::FromReply(reply.text);
    const int count = values.Count(0);
    if (count == 0 && !values.status.empty() && values.status != "1") {
        // The server refused the search: its words.
        result.reason = values.statusMessage.empty() ? "search refused" : values.statusMessage;
        return;
    }
    result.answered = true;
    result.accounts.reserve(static_cast<std::size_t>(count));
    for (int n = 0; n < count; ++n) {
        FoundAccount account;
        account.user = values.Value(0, n);
        account.domain = values.Value(1, n);
        account.suspended = values.Value(2, n);
        account.diskUsed = values.Value(3, n);
        account.diskLimit = values.Value(4, n);
        result.accounts.push_back(std::move(account));
    }
}

} // namespace

struct TFindAll::State {
    FindAllRequest request;
    // The workers' stop switch and the controls every request of the search shares (read only by
    // the transfers). StopAllFetches sets stop too.
    std::shared_ptr<RequestControl> control = std::make_shared<RequestControl>();

    std::mutex mutex; // guards everything below
    std::condition_variable ended;
    bool started = false;
    bool stopped = false;
    bool done = false;
    std::size_t next = 0;             // the next server to take
    std::size_t workers = 0;          // still running
    std::vector<SessionPtr> sessions; // those in flight, ended by Stop
    FindAllResult result;

    std::mutex deliver; // held while a callback runs, so Discard waits for it
    ServerDone onServer;
    AllDone onDone;

    bool StopRequested() { return stopped || control->stop.load(); }

    FindServerResult Search(std::size_t index) {
        FindServerResult out;
        out.index = index;
        out.server = request.servers[index];
        out.label = FindServerLabel(out.server);
        const SavedServer& server = out.server;
        if (server.port == 0) {
            out.reason = kFindNoPort;
            return out;
        }
        if (!server.savePassword || server.encipheredPassword.empty()) {
            out.reason = kFindNoPassword;
            return out;
        }
        SignInValues values;
        values.serverAddress = server.address;
        values.port = server.port;
        values.userName = server.userName;
        values.encipheredPassword = server.encipheredPassword;
        // The search changes nothing: its session may not either.
        const SessionPtr session = ServerSession::Make(values, true);
        {
            std::lock_guard lock(mutex);
            if (StopRequested()) {
                out.reason = kFindStopped;
                return out;
            }
            sessions.push_back(session);
        }
        const HttpReply reply =
            HttpGet(session, FindAllUrl(session->BaseUrl(), request.text, request.searchType), control);
        session->End();
        bool stoppedMeanwhile = false;
        {
            std::lock_guard lock(mutex);
            sessions.erase(std::remove(sessions.begin(), sessions.end(), session), sessions.end());
            stoppedMeanwhile = StopRequested();
        }
        if (reply.status != kStatusOk)
            out.reason = stoppedMeanwhile && reply.status == kStatusRequestNotOpened
                             ? kFindStopped
                             : TransportFailureText(reply.status);
        else
            JudgeReply(reply, out);
        return out;
    }

    void Work() {
        for (;;) {
            std::size_t index = 0;
            {
                std::lock_guard lock(mutex);
                if (next >= request.servers.size())
                    break;
                index = next++;
            }
            FindServerResult one = Search(index);
            {
                std::lock_guard lock(deliver);
                if (onServer)
                    onServer(one);
            }
            std::lock_guard lock(mutex);
            result.servers[index] = std::move(one);
        }
        FindAllResult whole;
        {
            std::lock_guard lock(mutex);
            if (--workers > 0)
                return;
            result.stopped = StopRequested();
            whole = result;
        }
        {
            std::lock_guard lock(deliver);
            if (onDone)
                onDone(whole);
        }
        std::lock_guard lock(mutex);
        done = true;
        ended.notify_all();
    }
};

TFindAll::TFindAll(FindAllRequest request, ServerDone onServer, AllDone onDone)
    : state_(std::make_shared<State>()) {
    state_->request = std::move(request);
    state_->request.atOnce = std::max<std::size_t>(1, state_->request.atOnce);
    state_->control->quiet = true;
    state_->control->unattended = true;
    state_->control->timeLimit = state_->request.timeLimit;
    state_->onServer = std::move(onServer);
    state_->onDone = std::move(onDone);
    state_->result.servers.resize(state_->request.servers.size());
    for (std::size_t i = 0; i < state_->request.servers.size(); ++i) {
        FindServerResult& r = state_->result.servers[i];
        r.index = i;
        r.server = state_->request.servers[i];
        r.label = FindServerLabel(r.server);
        r.reason = kFindStopped; // until it is searched
    }
}

TFindAll::~TFindAll() {
    Discard();
    Stop();
}

void TFindAll::Start() {
    std::size_t workers = 0;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->started)
            return;
        state_->started = true;
        // One worker at least, so that an empty list ends (and says so) like any other.
        workers = std::clamp<std::size_t>(state_->request.servers.size(), 1, state_->request.atOnce);
        state_->workers = workers;
    }
    for (std::size_t i = 0; i < workers; ++i) {
        std::shared_ptr<State> state = state_;
        StartCountedThread(state->control, [state] { state->Work(); });
    }
}

void TFindAll::Stop() {
    std::vector<SessionPtr> running;
    {
        std::lock_guard lock(state_->mutex);
        state_->stopped = true;
        state_->next = state_->request.servers.size(); // nothing more is taken
        running = state_->sessions;
    }
    state_->control->stop = true;
    for (const SessionPtr& session : running)
        session->End();
}

void TFindAll::Discard() {
    std::lock_guard lock(state_->deliver);
    state_->onServer = nullptr;
    state_->onDone = nullptr;
}

bool TFindAll::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(state_->mutex);
    if (!state_->started)
        return state_->done;
    const auto isDone = [this] { return state_->done; };
    if (timeout.count() < 0) {
        state_->ended.wait(lock, isDone);
        return true;
    }
    return state_->ended.wait_for(lock, timeout, isDone);
}

bool TFindAll::Finished() const {
    std::lock_guard lock(state_->mutex);
    return state_->done;
}

} // namespace parlomar
