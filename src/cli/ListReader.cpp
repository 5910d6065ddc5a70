#include "cli/ListReader.h"

#include "core/server/Global.h"

#include <algorithm>

namespace parlomar::cli {

namespace {
constexpr std::size_t kHeadBytes = 64 * 1024;
}

ListReader::ListReader(std::vector<std::string> fields, RowSink sink)
    : values_(std::move(fields)), sink_(std::move(sink)) {}

void ListReader::Restart() {
    skip_ = std::max(skip_, handed_);
    handed_ = 0;
    next_ = 0;
    bytes_ = 0;
    head_.clear();
    values_.Reset();
}

void ListReader::Take(std::string_view bytes) {
    bytes_ += bytes.size();
    if (handed_ == 0 && head_.size() < kHeadBytes)
        head_.append(bytes.substr(0, kHeadBytes - head_.size()));
    values_.Feed(bytes);
    Hand(false);
}

void ListReader::Finish() {
    values_.Finish();
    Hand(true);
}

void ListReader::Hand(bool final) {
    const std::size_t fields = values_.TagCount();
    std::size_t complete = SIZE_MAX;
    std::size_t longest = 0;
    for (std::size_t f = 0; f < fields; ++f) {
        complete = std::min(complete, values_.Values(f).size());
        longest = std::max(longest, values_.Values(f).size());
    }
    const std::size_t last = final ? longest : complete;
    static const std::string empty;
    for (; next_ < last; ++next_) {
        row_.clear();
        for (std::size_t f = 0; f < fields; ++f) {
            const auto& column = values_.Values(f);
            row_.push_back(next_ < column.size() ? std::string_view(column[next_]) : std::string_view(empty));
        }
        if (handed_++ >= skip_)
            sink_(row_);
    }
    // Every value held was handed on: let them go.
    if (next_ == longest && next_ > 0) {
        for (std::size_t f = 0; f < fields; ++f)
            values_.Values(f).clear();
        next_ = 0;
    }
}

bool ListReader::SignedOut(long httpStatus) const {
    if (httpStatus == 401 || httpStatus == 403)
        return true;
    return bytes_ > 0 && head_.find(kServerMarker) == std::string::npos;
}

} // namespace parlomar::cli
