#pragma once

#include "Store.h"

#include <map>
#include <string>
#include <string_view>

namespace parlomar::standin {

// Query parameters as decoded from the request; names are matched without regard to case.
using Params = std::multimap<std::string, std::string>;

inline constexpr std::string_view kServerVersion = "11.110.0.7";

// The XML API: one call per request, the reply body as the result (always an XML document).
// Every refusal is a reply with status 0 and a message, and changes nothing.
class Api {
public:
    explicit Api(Store& store) : store_(store) {}

    // function is the path part after "/xml-api/". Unknown functions get a <result> with
    // status 0 and "Unknown function ...".
    std::string Handle(std::string_view function, const Params& params);

private:
    std::string Version();
    std::string ListAccounts(const Params& params);
    std::string ListPackages();
    std::string CreateAccount(const Params& params);
    std::string AddPackage(const Params& params, bool edit);
    std::string KillPackage(const Params& params);
    std::string RemoveAccount(const Params& params);
    std::string Suspend(const Params& params, bool suspend);
    std::string ChangePassword(const Params& params);
    std::string LimitBandwidth(const Params& params);
    std::string AccountSummary(const Params& params);

    Store& store_;
};

} // namespace parlomar::standin
