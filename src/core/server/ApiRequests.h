#pragma once

#include "core/server/HttpTransport.h"

#include <string>
#include <string_view>

namespace parlomar {

// The request operations shared by several windows. Values are percent-encoded into the URL. Each
// sends for the window's session, so that nothing of it reaches a server once that has ended.

// Results of ConfirmAndCall besides a positive transport status.
inline constexpr int kCallDeclined = -2;
inline constexpr int kCallSucceeded = 0;
inline constexpr int kCallRefused = -1;

// Asks "<question> <noun> <item>?"; when accepted, requests functionWithKey + item (for example
// "killpkg?pkg=" and a package name) and shows the server's statusmsg, or "<noun> <item> <done>"
// for a success without one, or error text 11. Returns -2 declined, 0 success, -1 the server
// answered with failure, or the transport status of a failed transfer (not shown here).
int ConfirmAndCall(std::string_view functionWithKey, std::string_view item, std::string_view noun,
                   std::string_view doneText, std::string_view question, const SessionPtr& session);

// Asks "<question>?"; when accepted, requests function + "?user=" + user. statusText is emptied
// first; it becomes "relogin" for a signed-out reply, else (transport status 0) the reply's status
// while messageText becomes its statusmsg. A transport failure is shown as its error text.
// Declined: statusText stays empty and messageText is not touched.
void ConfirmAndCallForUser(std::string_view user, std::string_view function, std::string_view question,
                           std::string& statusText, std::string& messageText, const SessionPtr& session);

// The account's suspended flag from accountsummary: 1 suspended, 0 active, -1 no usable answer.
// Shows nothing.
int QuerySuspended(std::string_view user, const SessionPtr& session);

// The same operations in their steps, for a window that asks first, sends on a worker and goes on
// with the reply later: the question asked, and what is made of the reply.
std::string CallQuestion(std::string_view question, std::string_view noun, std::string_view item);
// ConfirmAndCall's result for a reply, with the message it shows.
int CallOutcome(const HttpReply& reply, std::string_view noun, std::string_view item,
                std::string_view doneText);
// ConfirmAndCallForUser's statusText and messageText for a reply (statusText emptied first).
void ReadUserCallReply(const HttpReply& reply, std::string& statusText, std::string& messageText);
// QuerySuspended's answer for an accountsummary reply.
int SuspendedOfReply(const HttpReply& reply);

} // namespace parlomar
