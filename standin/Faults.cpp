#include "Faults.h"

#include "Validation.h"
#include "XmlWriter.h"

#include <charconv>
#include <stdexcept>

namespace parlomar::standin {

namespace {

long long ParseBounded(std::string_view name, const std::string& value, long long low, long long high) {
    long long number = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end != value.data() + value.size() || number < low || number > high) {
        throw std::invalid_argument(std::string(name) + " must be a whole number from " +
                                    std::to_string(low) + " to " + std::to_string(high) + ", not \"" + value +
                                    "\"");
    }
    return number;
}

bool ParseSwitch(std::string_view name, const std::string& value) {
    auto flag = ParseFlag(value);
    if (!flag) {
        throw std::invalid_argument(std::string(name) + " must be 1 or 0, not \"" + value + "\"");
    }
    return *flag;
}

} // namespace

void FaultSettings::Update(const Params& params) {
    FaultSettings next = *this;
    for (const auto& [rawName, value] : params) {
        std::string name = ToLower(rawName);
        if (name == "reset") {
            if (ParseSwitch(name, value)) {
                next = FaultSettings{};
            }
        }
    }
    for (const auto& [rawName, value] : params) {
        std::string name = ToLower(rawName);
        if (name == "reset") {
            continue;
        } else if (name == "delay_ms") {
            next.delayMs = ParseBounded(name, value, 0, kMaxDelayMs);
        } else if (name == "drop_after") {
            next.dropAfter = ParseBounded(name, value, -1, kMaxByteCount);
        } else if (name == "stall_after") {
            next.stallAfter = ParseBounded(name, value, -1, kMaxByteCount);
        } else if (name == "stall_ms") {
            next.stallMs = ParseBounded(name, value, 0, kMaxStallMs);
        } else if (name == "http500") {
            next.http500 = ParseSwitch(name, value);
        } else if (name == "garbage") {
            next.garbage = ParseSwitch(name, value);
        } else if (name == "rate") {
            next.rate = ParseBounded(name, value, 0, kMaxByteCount);
        } else if (name == "function") {
            if (value.size() > 64)
                throw std::invalid_argument("fault switch \"function\" is too long");
            next.function = value;
        } else if (name == "times") {
            next.times = ParseBounded(name, value, 0, 1000000);
        } else {
            throw std::invalid_argument("unknown fault switch \"" + rawName + "\"");
        }
    }
    *this = next;
}

std::string FaultSettings::DescribeXml() const {
    XmlWriter xml;
    xml.Open("faults")
        .Element("delay_ms", delayMs)
        .Element("drop_after", dropAfter)
        .Element("stall_after", stallAfter)
        .Element("stall_ms", stallMs)
        .Element("http500", http500 ? 1 : 0)
        .Element("garbage", garbage ? 1 : 0)
        .Element("rate", rate)
        .Element("times", times)
        .Element("function", function)
        .Status(true, "Ok")
        .Close("faults");
    return xml.Take();
}

std::optional<FaultSettings> FaultState::TakeForReply(const std::string& function) {
    std::lock_guard lock(mutex_);
    if (!settings_.Any() || (!settings_.function.empty() && settings_.function != function)) {
        return std::nullopt;
    }
    FaultSettings taken = settings_;
    if (settings_.times > 0 && --settings_.times == 0) {
        settings_ = FaultSettings{};
    }
    return taken;
}

FaultSettings FaultState::Get() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

void FaultState::Set(const FaultSettings& settings) {
    std::lock_guard lock(mutex_);
    settings_ = settings;
}

void StopSignal::Raise() {
    {
        std::lock_guard lock(mutex_);
        raised_ = true;
    }
    cv_.notify_all();
}

bool StopSignal::Raised() const {
    std::lock_guard lock(mutex_);
    return raised_;
}

bool StopSignal::WaitFor(std::chrono::milliseconds duration) const {
    std::unique_lock lock(mutex_);
    return !cv_.wait_for(lock, duration, [this] { return raised_; });
}

std::string GarbageBody(size_t size) {
    std::string body;
    body.reserve(size);
    unsigned int x = 0x2545F491u;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        char c = static_cast<char>(x & 0xff);
        // Never "<", so neither markup nor the declaration can appear.
        body += c == '<' ? '#' : c;
    }
    return body;
}

} // namespace parlomar::standin
