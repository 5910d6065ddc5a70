#pragma once

#include "server/HttpTransport.h"

#include <functional>
#include <string_view>

namespace parlomar {

// What every request passes before the transport sends it (HttpGet runs it first): a request that
// changes something on the server (ChangesServer) is refused while the signed-in server is
// read-only, and is recorded in the activity log before it is sent and again with its outcome.

// The status of a request refused because the server is read-only; nothing was sent.
inline constexpr TransportStatus kStatusReadOnly = 14;

// The read-only switch of the sign-in: set by the sign-in before its first request.
void SetReadOnlyServer(bool readOnly);
bool ReadOnlyServer();

// Runs send() for url under the rules above and returns its reply, or the refusal. When the activity
// log cannot be written the request still goes; the operator is told once per run.
HttpReply GuardRequest(std::string_view url, const std::function<HttpReply()>& send);

} // namespace parlomar
