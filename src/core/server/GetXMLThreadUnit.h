#pragma once

#include "core/server/HttpTransport.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace parlomar {

// Kinds of list fetch.
inline constexpr std::uint8_t kFetchAccounts = 1; // listaccts
inline constexpr std::uint8_t kFetchPackages = 2; // listpkgs

// One background list fetch: a thread that runs one HttpGet of URL and hands the reply to its owner
// on the GUI thread. The running thread keeps what it needs alive by itself, so the object may be
// dropped at any time (the thread then frees its state when it ends). A completion that comes after
// BeginFetchShutdown, Discard or Stop is not delivered. Every thread counts among the running fetch
// threads (StopAllFetches) until it has ended, a discarded or dropped one too.
class TGetXMLThread {
public:
    using Completion = std::function<void(std::uint8_t kind, const HttpReply& reply)>;

    // session: the sign-in session the request belongs to; its end ends the fetch. reader: reads
    // the reply on the fetch thread while it arrives (RequestControl::reader); it has taken the whole
    // reply, and Finish has run, before a completion with status 0 is delivered.
    TGetXMLThread(SessionPtr session, std::string url, std::uint8_t kind, Completion completion,
                  std::shared_ptr<ReplyReader> reader = nullptr);
    ~TGetXMLThread();
    TGetXMLThread(const TGetXMLThread&) = delete;
    TGetXMLThread& operator=(const TGetXMLThread&) = delete;

    const std::string URL;
    const std::uint8_t Kind;

    // Starts the thread (once).
    void Start();
    // True once the HttpGet has ended (the completion may still be on its way to the GUI thread).
    bool Finished() const;
    // Waits until the HttpGet has ended or the time has passed; true when it has ended.
    bool WaitFor(std::chrono::milliseconds timeout) const;
    // Drops the completion: nothing is delivered any more (for an owner that goes away).
    void Discard();
    // Discard, and the request ends: nothing more is sent, read or shown for it.
    void Stop();
    // While quiet, the request's progress is not shown in the status display (its reply still is
    // delivered).
    void SetQuiet(bool quiet);

    // The shutdown step: completions of every fetch are discarded from now on, this fetch is stopped
    // and waited for up to the given time, then until it has ended. Returns whether it
    // ended within the time.
    bool StopAtShutdown(std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));

    struct State; // shared with the running thread

private:
    std::shared_ptr<State> state_;
};

// Every fetch thread still running, discarded and dropped ones included, is stopped and waited for up to the
// time given, then until each has ended. True when all ended in time.
bool StopAllFetches(std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
// Sends one request on a thread of its own and forgets the reply (the sign-out request). The thread
// counts among the running fetch threads; WaitForFetchThreads waits for it.
void SendInBackground(SessionPtr session, std::string url, std::shared_ptr<RequestControl> control);
// Runs work on a thread of its own that counts among the running fetch threads until work returns:
// StopAllFetches sets control->stop and waits for it, so work must end soon once that is set.
void StartCountedThread(std::shared_ptr<RequestControl> control, std::function<void()> work);
// Waits until every fetch thread and background request has ended, or the time has passed; true
// when none is left.
bool WaitForFetchThreads(std::chrono::milliseconds timeout);

// Shared by all fetches: after this, no completion is delivered.
void BeginFetchShutdown();
bool FetchShutdownBegun();
// Ends the shutdown state again (a new start of the main window; tests).
void ResetFetchShutdown();

} // namespace parlomar
