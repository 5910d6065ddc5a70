#pragma once

#include "core/server/ApiFunctions.h"
#include "core/server/HttpTransport.h"

#include <functional>
#include <string_view>

namespace parlomar {

// What every request passes before the transport sends it (HttpGet runs it first): a request that
// changes something on the server (ChangesServer) is refused while its session is read-only
// (ServerSession::ReadOnly), and is recorded in the activity log before it is sent and again with its
// outcome.

// The status of a request refused because the server is read-only; nothing was sent.
inline constexpr TransportStatus kStatusReadOnly = 14;
// The status of a changing request that was not sent because its line could not be written to the
// activity log (unless the settings say [General] SendWithoutLog=1).
inline constexpr TransportStatus kStatusNotLogged = 15;

// Runs send() for the request under the rules above and returns its reply, or the refusal. When the activity
// log cannot be written the request is not sent (kStatusNotLogged) unless the settings allow it; the
// operator is told why once per session. Passwords in the recorded server texts become "***".
HttpReply GuardRequest(ServerSession& session, const ApiRequest& request,
                       const std::function<HttpReply()>& send);

} // namespace parlomar
