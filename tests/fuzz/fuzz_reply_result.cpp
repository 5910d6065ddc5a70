// The readers of an action reply: its result, the status message a password change shows, the
// signed-out test, the suspended state and the judgement of one account of an action on several.
#include "core/accounts/BulkAction.h"
#include "core/server/Global.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    const parlomar::ApiResult result = parlomar::ReadApiResult(reply);
    if (result.IsSuccess() != (result.status == "1"))
        __builtin_trap();
    const std::string message = parlomar::StatusMessageOf(reply);
    if (message.size() > 3 * size + 3)
        __builtin_trap();
    const bool signedOut = parlomar::IsSignedOutReply(reply, 200);
    if (!reply.empty() && reply.find(parlomar::kServerMarker) == std::string_view::npos && !signedOut)
        __builtin_trap();
    const int suspended = parlomar::SuspendedStateOf(reply);
    if (suspended < -1 || suspended > 1)
        __builtin_trap();
    parlomar::BulkEntry entry;
    parlomar::HttpReply http;
    http.status = parlomar::kStatusOk;
    http.httpStatus = 200;
    http.text = std::string(reply);
    parlomar::JudgeBulkReply(entry, http);
    return 0;
}
