#pragma once

#include "core/server/Global.h"

#include <string>
#include <string_view>

namespace parlomar {

// Which requests change something on the control server. This is the one place that says so: the
// transport refuses the changing ones while signed in to a read-only server and records each of them
// in the activity log, and the windows disable the actions that send them.

// The XML API function a request URL names: the path after "/xml-api/" up to "?", as sent ("" when
// the path does not start with "/xml-api/").
std::string ApiFunctionOf(std::string_view url);

// The functions that only list or view: version, listaccts, listpkgs and accountsummary, exactly so
// spelt.
bool IsViewingFunction(std::string_view function);

// Whether a request may change something on the server: every request except those of a viewing
// function and the sign-out (path "/" with the query "logout"). Whatever is not recognised counts as
// changing.
bool ChangesServer(std::string_view url);

// The query of a request URL as key/value pairs in the order sent, percent-decoded ("+" stays "+").
QueryFields RequestQuery(std::string_view url);

// Whether a query key carries a password: any key holding "pass" or "psw" in any letter case ("pass"
// of passwd, "password" of createacct).
bool IsPasswordParameter(std::string_view key);

// The account or package a request acts on: the value of its "user", "pkg", "name" or "username"
// key, the first of them present ("" when none is).
std::string RequestTarget(const QueryFields& query);

// One request as the transport, the read-only guard and the activity log read it: the URL is taken
// apart once, where the request is made, and every later step reads these fields.
struct ApiRequest {
    std::string scheme;   // "https://", "http://" or "" (see SplitUrl part 1)
    std::string host;     // the host the URL names (the session decides where it goes)
    std::string path;     // from the "/" after the host on, the query included, as sent
    std::string function; // the XML API function (ApiFunctionOf), "" for another path
    QueryFields query;    // decoded, in the order sent
    std::string target;   // RequestTarget of the query
    bool changes = true;  // ChangesServer
    bool signOut = false; // the sign-out (path "/?logout")

    // The URL text again: scheme, host and path.
    std::string Url() const;
};

// The one parse of a request URL.
ApiRequest ParseApiRequest(std::string_view url);

} // namespace parlomar
