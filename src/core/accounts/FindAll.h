#pragma once

// The account search on every saved server at once ("Find on every server..." and the command-line
// tool's `find`). Each server gets a session of its own; at most a few run at the same time, each
// on a worker thread, so the whole search takes about as long as its slowest server. No question is
// ever asked: a server that cannot be searched without one (its certificate is not trusted, its
// password was not remembered) is listed with the reason, and the others still answer.
//
// Usage (any thread):
//     auto find = std::make_shared<TFindAll>(request, onServer, onDone);
//     find->Start();
//     ... find->Wait(); or find->Stop(); ...
// onServer and onDone run on worker threads (a window posts them over to its own thread). They are
// never called after Discard() has returned, nor after the object is gone.

#include "core/settings/SavedServers.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parlomar {

// The search types a search may name; the empty type chooses as the search box does (domain, else
// ip, else user: SearchTypeFor).
inline constexpr const char* kFindSearchTypes[] = {"domain", "user", "ip", "owner", "package"};
bool IsFindSearchType(std::string_view type); // one of the above, or empty

// The search's listaccts URL for a server: the text trimmed; an explicit type searches the text as
// typed (a Unicode domain in its ASCII form when the type is "domain").
std::string FindAllUrl(std::string_view baseUrl, std::string_view text, std::string_view searchType);

struct FindAllRequest {
    std::vector<SavedServer> servers; // searched in this order (ReadSavedServers())
    std::string text;
    std::string searchType; // empty or one of kFindSearchTypes
    std::size_t atOnce = 8; // servers searched at the same time (at least 1)
    std::chrono::milliseconds timeLimit{std::chrono::seconds(60)}; // per server, whole request
};

// One account found: the fields the account list shows.
struct FoundAccount {
    std::string user;
    std::string domain;
    std::string suspended; // "1" suspended, "0" active, as the server sent it
    std::string diskUsed;
    std::string diskLimit;
};

// The reasons a server did not answer (reason holds the words; these are the fixed ones).
inline constexpr const char* kFindNotTrusted = "certificate not trusted";
inline constexpr const char* kFindNoPassword = "password not remembered";
inline constexpr const char* kFindSignInRefused = "sign-in refused";
inline constexpr const char* kFindNoPort = "no port";
inline constexpr const char* kFindStopped = "stopped";

struct FindServerResult {
    std::size_t index = 0; // the server's place in FindAllRequest::servers
    SavedServer server;
    std::string label;     // user@address:port
    bool answered = false; // the server sent its account list
    std::string reason;    // why not, when not answered: one of the above, the transport's error
                           // text, or the server's words when it refused the search
    std::vector<FoundAccount> accounts;
};

struct FindAllResult {
    std::vector<FindServerResult> servers; // every server, in request order
    bool stopped = false;
    std::size_t AnsweredCount() const;
    std::size_t AccountCount() const; // over the servers that answered
};

// "user@address:port" of a saved server (the address as saved, blanks removed).
std::string FindServerLabel(const SavedServer& server);
// "found N accounts on M servers" (M: the servers that answered; "1 account", "1 server").
std::string FindSummaryText(const FindAllResult& result);

class TFindAll {
public:
    using ServerDone = std::function<void(const FindServerResult& result)>;
    using AllDone = std::function<void(const FindAllResult& result)>;

    TFindAll(FindAllRequest request, ServerDone onServer, AllDone onDone);
    // Stops the search and discards its callbacks; the workers end on their own.
    ~TFindAll();
    TFindAll(const TFindAll&) = delete;
    TFindAll& operator=(const TFindAll&) = delete;

    // Starts the workers (once). The workers count among the running fetch threads
    // (GetXMLThreadUnit.h): StopAllFetches stops them and waits for them.
    void Start();
    // Every session ends: nothing more is sent, a request in flight ends within about a second, the
    // servers not reached are "stopped". onDone still comes.
    void Stop();
    // No callback runs any more once this returns.
    void Discard();
    // Waits until onDone has run (or would have, when discarded); true when it has, false when the
    // time ran out first. A negative time waits without end.
    bool Wait(std::chrono::milliseconds timeout = std::chrono::milliseconds(-1));
    bool Finished() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace parlomar
