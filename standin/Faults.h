#pragma once

#include "ApiHandlers.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>

namespace parlomar::standin {

// Upper bounds of the fault switches, so that no test can hang the server for long.
inline constexpr long long kMaxDelayMs = 120000;
inline constexpr long long kMaxStallMs = 120000;
inline constexpr long long kMaxByteCount = 1000000000;

// Faults applied to /xml-api/ replies. -1 (or 0 for the rate and false for the switches) is off.
struct FaultSettings {
    long long delayMs = 0;           // wait before answering
    long long dropAfter = -1;        // close the connection after this many body bytes
    long long stallAfter = -1;       // send this many body bytes, then nothing more
    long long stallMs = kMaxStallMs; // how long a stalled transfer stays open
    bool http500 = false;            // HTTP 500 with a short plain body
    bool garbage = false;            // a body that is not XML and lacks the declaration
    long long rate = 0;              // bytes per second
    long long times = 0;             // apply to this many replies, then switch off; 0 = until reset
    std::string function;            // only the replies of this API function ("" = every reply)

    bool Any() const {
        return delayMs > 0 || dropAfter >= 0 || stallAfter >= 0 || http500 || garbage || rate > 0;
    }
    // Reads the switches named in params (delay_ms, drop_after, stall_after, stall_ms, http500,
    // garbage, rate, times, function, reset) on top of the current settings. Throws std::invalid_argument
    // with a readable message for a value that is not a number or lies out of bounds.
    void Update(const Params& params);
    std::string DescribeXml() const;
};

// The faults in force, shared by all request threads.
class FaultState {
public:
    explicit FaultState(FaultSettings initial = {}) : settings_(initial) {}
    // The settings for one reply of an API function (counting down "times"), or nothing when no
    // fault is set for it.
    std::optional<FaultSettings> TakeForReply(const std::string& function = std::string());
    FaultSettings Get() const;
    void Set(const FaultSettings& settings);

private:
    mutable std::mutex mutex_;
    FaultSettings settings_;
};

// Raised once when the server stops; waits in fault handling end early on it.
class StopSignal {
public:
    void Raise();
    bool Raised() const;
    // Waits up to the given time; false when the stop signal came first.
    bool WaitFor(std::chrono::milliseconds duration) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    bool raised_ = false;
};

// Deterministic bytes that are neither XML nor contain the XML declaration.
std::string GarbageBody(size_t size);

} // namespace parlomar::standin
