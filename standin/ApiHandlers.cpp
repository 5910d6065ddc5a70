#include "ApiHandlers.h"

#include "Seed.h"
#include "Validation.h"
#include "XmlWriter.h"

#include <regex.h>

#include <ctime>
#include <optional>

namespace parlomar::standin {

namespace {

// Parameter lookup with names compared without regard to case; the first occurrence wins.
class Query {
public:
    explicit Query(const Params& params) {
        for (const auto& [name, value] : params) {
            values_.emplace(ToLower(name), value);
        }
    }
    std::optional<std::string> Get(std::string_view name) const {
        auto it = values_.find(std::string(name));
        if (it == values_.end()) {
            return std::nullopt;
        }
        return it->second;
    }
    std::string Text(std::string_view name) const { return Get(name).value_or(std::string()); }
    // The first of several accepted spellings that is present.
    std::optional<std::string> GetAny(std::initializer_list<std::string_view> names) const {
        for (auto name : names) {
            if (auto value = Get(name)) {
                return value;
            }
        }
        return std::nullopt;
    }

private:
    std::map<std::string, std::string> values_;
};

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// <function><result><status>..</status><statusmsg>..</statusmsg></result></function>
std::string ActionReply(std::string_view function, bool ok, std::string_view message) {
    XmlWriter xml;
    xml.Open(function).Open("result").Status(ok, message).Close("result").Close(function);
    return xml.Take();
}

long long Now() {
    return static_cast<long long>(std::time(nullptr));
}

// A refusal raised while checking a request; becomes a status 0 reply.
struct Refusal {
    std::string message;
};

std::string RequireLimit(const Query& q, std::initializer_list<std::string_view> names, std::string current) {
    auto value = q.GetAny(names);
    if (!value || value->empty()) {
        return current;
    }
    auto limit = NormalizeLimit(*value);
    if (!limit) {
        throw Refusal{"Invalid value for " + std::string(*names.begin()) + ": " + Quoted(*value) +
                      " (digits or \"unlimited\")."};
    }
    return *limit;
}

std::optional<bool> RequireFlag(const Query& q, std::string_view name) {
    auto value = q.Get(name);
    if (!value || value->empty()) {
        return std::nullopt;
    }
    auto flag = ParseFlag(*value);
    if (!flag) {
        throw Refusal{"Invalid value for " + std::string(name) + ": " + Quoted(*value) + " (1 or 0)."};
    }
    return flag;
}

std::string RequireWord(const Query& q, std::initializer_list<std::string_view> names, std::string current) {
    auto value = q.GetAny(names);
    if (!value || value->empty()) {
        return current;
    }
    if (!IsValidPackageName(*value)) {
        throw Refusal{"Invalid value for " + std::string(*names.begin()) + ": " + Quoted(*value) + "."};
    }
    return *value;
}

// Applies the limit fields of an addpkg/editpkg/createacct query to a package.
void ApplyPackageQuery(const Query& q, PackageValues& p) {
    p[kPkgQuota] = RequireLimit(q, {"quota"}, p[kPkgQuota]);
    p[kPkgBwLimit] = RequireLimit(q, {"bwlimit"}, p[kPkgBwLimit]);
    p[kPkgMaxFtp] = RequireLimit(q, {"maxftp"}, p[kPkgMaxFtp]);
    p[kPkgMaxSql] = RequireLimit(q, {"maxsql"}, p[kPkgMaxSql]);
    p[kPkgMaxPop] = RequireLimit(q, {"maxpop"}, p[kPkgMaxPop]);
    p[kPkgMaxLst] = RequireLimit(q, {"maxlst", "maxlists"}, p[kPkgMaxLst]);
    p[kPkgMaxSub] = RequireLimit(q, {"maxsub"}, p[kPkgMaxSub]);
    p[kPkgMaxPark] = RequireLimit(q, {"maxpark", "maxparked"}, p[kPkgMaxPark]);
    p[kPkgMaxAddon] = RequireLimit(q, {"maxaddon", "maxaddons"}, p[kPkgMaxAddon]);
    p[kPkgCpmod] = RequireWord(q, {"cpmod"}, p[kPkgCpmod]);
    p[kPkgFeaturelist] = RequireWord(q, {"featurelist"}, p[kPkgFeaturelist]);
    p[kPkgLang] = RequireWord(q, {"language", "lang"}, p[kPkgLang]);
    struct FlagField {
        std::string_view name;
        size_t index;
    };
    for (auto [name, index] : {FlagField{"cgi", kPkgCgi}, FlagField{"frontpage", kPkgFrontpage},
                               FlagField{"hasshell", kPkgHasShell}, FlagField{"ip", kPkgIp}}) {
        if (auto flag = RequireFlag(q, name)) {
            p[index] = *flag ? "y" : "n";
        }
    }
}

} // namespace

std::string Api::Handle(std::string_view function, const Params& params) {
    try {
        if (function == "version") {
            return Version();
        }
        if (function == "listaccts") {
            return ListAccounts(params);
        }
        if (function == "listpkgs") {
            return ListPackages();
        }
        if (function == "createacct") {
            return CreateAccount(params);
        }
        if (function == "addpkg") {
            return AddPackage(params, false);
        }
        if (function == "editpkg") {
            return AddPackage(params, true);
        }
        if (function == "killpkg") {
            return KillPackage(params);
        }
        if (function == "removeacct") {
            return RemoveAccount(params);
        }
        if (function == "suspendacct") {
            return Suspend(params, true);
        }
        if (function == "unsuspendacct") {
            return Suspend(params, false);
        }
        if (function == "passwd") {
            return ChangePassword(params);
        }
        if (function == "limitbw") {
            return LimitBandwidth(params);
        }
        if (function == "accountsummary") {
            return AccountSummary(params);
        }
    } catch (const StoreError& e) {
        XmlWriter xml;
        xml.Open("result").Status(false, std::string("Internal error: ") + e.what()).Close("result");
        return xml.Take();
    }
    XmlWriter xml;
    xml.Open("result").Status(false, "Unknown function " + Quoted(function)).Close("result");
    return xml.Take();
}

std::string Api::Version() {
    XmlWriter xml;
    xml.Open("version").Element("version", kServerVersion).Close("version");
    return xml.Take();
}

std::string Api::ListAccounts(const Params& params) {
    Query q(params);
    std::string type = ToLower(q.Text("searchtype"));
    std::string search = q.Text("search");
    size_t column = kDomain;
    if (type == "user") {
        column = kUser;
    } else if (type == "ip") {
        column = kIp;
    } else if (type == "owner") {
        column = 7;
    } else if (type == "package" || type == "plan") {
        column = kPlan;
    } else if (!type.empty() && type != "domain") {
        XmlWriter xml;
        xml.Open("listaccts")
            .Status(false, "Unknown searchtype " + Quoted(type) + " (domain, ip, user, owner or package).")
            .Close("listaccts");
        return xml.Take();
    }
    // POSIX extended expressions: matched anywhere in the field, ignoring letter case, and
    // without the exponential backtracking of a recursive matcher.
    std::optional<regex_t> expression;
    struct Freer {
        std::optional<regex_t>& e;
        ~Freer() {
            if (e) {
                regfree(&*e);
            }
        }
    } freer{expression};
    if (!search.empty()) {
        regex_t compiled;
        int rc = search.size() > 256
                     ? REG_ESIZE
                     : regcomp(&compiled, search.c_str(), REG_EXTENDED | REG_ICASE | REG_NOSUB);
        if (rc != 0) {
            char reason[128] = "expression too long";
            if (search.size() <= 256) {
                regerror(rc, &compiled, reason, sizeof reason);
            }
            XmlWriter xml;
            xml.Open("listaccts")
                .Status(false, "Invalid search expression " + Quoted(search) + ": " + reason)
                .Close("listaccts");
            return xml.Take();
        }
        expression = compiled;
    }

    Store::Session session(store_);
    size_t count = static_cast<size_t>(session.CountAccounts());
    XmlWriter xml(expression ? 4096 : 256 + count * 900);
    std::string& out = xml.Text();
    out.append("<listaccts>");
    session.ForEachAccount([&](const AccountView& account) {
        // Field texts from SQLite are NUL-terminated, as regexec needs.
        if (expression && regexec(&*expression, account[column].data(), 0, nullptr, 0) != 0) {
            return;
        }
        out.append("<acct>");
        for (size_t i = 0; i < account.size(); ++i) {
            out += '<';
            out.append(kAccountFields[i]);
            out += '>';
            AppendEscaped(out, account[i]);
            out.append("</");
            out.append(kAccountFields[i]);
            out += '>';
        }
        out.append("</acct>");
    });
    xml.Status(true, "Ok").Close("listaccts");
    return xml.Take();
}

std::string Api::ListPackages() {
    XmlWriter xml;
    xml.Open("listpkgs");
    Store::Session session(store_);
    session.ForEachPackage([&](const PackageValues& package) {
        xml.Open("package");
        for (size_t i = 0; i < package.size(); ++i) {
            xml.Element(kPackageFields[i], package[i]);
        }
        xml.Close("package");
    });
    xml.Status(true, "Ok").Close("listpkgs");
    return xml.Take();
}

std::string Api::CreateAccount(const Params& params) {
    constexpr std::string_view kFn = "createacct";
    Query q(params);
    Store::Session session(store_);
    try {
        std::string domain = ToLower(q.Text("domain"));
        std::string user = q.Text("username");
        std::string password = q.Text("password");
        if (domain.empty()) {
            throw Refusal{"A domain name is required."};
        }
        if (!IsValidDomain(domain)) {
            throw Refusal{Quoted(q.Text("domain")) + " is not a valid domain name."};
        }
        if (session.HasDomain(domain)) {
            throw Refusal{"The domain " + Quoted(domain) + " already belongs to an account."};
        }
        if (user.empty()) {
            throw Refusal{"A user name is required."};
        }
        if (!IsValidUserName(user)) {
            throw Refusal{Quoted(user) +
                          " is not a valid user name: it must start with a lower-case letter "
                          "and hold only lower-case letters and digits, at most 16 characters."};
        }
        if (user == "root" || user == "nobody" || user == "admin") {
            throw Refusal{"The user name " + Quoted(user) + " is reserved."};
        }
        if (session.HasUser(user)) {
            throw Refusal{"The user name " + Quoted(user) + " is already taken."};
        }
        if (password.empty()) {
            throw Refusal{"A password is required."};
        }

        AccountValues account = DefaultAccount(user, domain, Now());
        PackageValues limits = DefaultPackage("");
        if (std::string plan = q.Text("plan"); !plan.empty()) {
            auto package = session.GetPackage(plan);
            if (!package) {
                throw Refusal{"The plan " + Quoted(plan) + " does not exist."};
            }
            limits = *package;
        }
        ApplyPackageQuery(q, limits);

        AccountExtras extras;
        extras.bwlimit = limits[kPkgBwLimit];
        extras.featurelist = limits[kPkgFeaturelist];
        extras.language = limits[kPkgLang];
        extras.cgi = limits[kPkgCgi] == "y";
        extras.frontpage = limits[kPkgFrontpage] == "y";
        extras.reseller = RequireFlag(q, "reseller").value_or(false);
        RequireFlag(q, "hasuseregns");
        RequireFlag(q, "useregns");

        if (std::string email = q.Text("contactemail"); !email.empty()) {
            if (!IsValidEmail(email)) {
                throw Refusal{Quoted(email) + " is not a valid contact e-mail address."};
            }
            account[5] = email;
        }
        if (limits[kPkgIp] == "y") {
            std::string custom = q.Text("customip");
            if (!custom.empty() && !IsIPv4Address(custom)) {
                throw Refusal{Quoted(custom) + " is not a valid IPv4 address."};
            }
            account[kIp] =
                custom.empty() ? "198.51.100." + std::to_string(session.CountAccounts() % 254 + 1) : custom;
        }

        // The account's limits are saved as a new package when asked to; a package name alone
        // (without an explicit savepkg=0) asks for it too.
        std::string packageName = q.Text("pkgname");
        bool savePackage = RequireFlag(q, "savepkg").value_or(!packageName.empty());
        if (!savePackage) {
            packageName.clear();
        } else {
            if (packageName.empty()) {
                throw Refusal{"A package name is required to save the account's limits as a package."};
            }
            if (!IsValidPackageName(packageName)) {
                throw Refusal{Quoted(packageName) + " is not a valid package name."};
            }
            if (session.PackageNameOf(packageName)) {
                throw Refusal{"The package " + Quoted(packageName) + " already exists."};
            }
            limits[kPkgName] = packageName;
        }
        ApplyPackage(account, limits);
        if (limits[kPkgName].empty()) {
            account[kPlan] = "default";
        }
        extras.passwordHash = HashPassword(password);

        session.Begin();
        try {
            if (!packageName.empty()) {
                session.InsertPackage(limits);
            }
            session.InsertAccount(account, extras);
            session.Commit();
        } catch (...) {
            session.Rollback();
            throw;
        }

        XmlWriter xml;
        xml.Open(kFn).Open("result").Open("options");
        xml.Element("ip", account[kIp])
            .Element("nameserver", "ns1.standin.test")
            .Element("nameserver2", "ns2.standin.test")
            .Element("nameserver3", "")
            .Element("nameserver4", "")
            .Element("package", account[kPlan]);
        xml.Close("options");
        std::string raw = "Creating the account " + user + " for " + domain + "\n";
        raw += "Home folder /" + account[8] + "/" + user + " created\n";
        raw += "DNS zone " + domain + " added on ns1.standin.test\n";
        raw += "Web server configuration updated (" + account[kIp] + ")\n";
        if (!packageName.empty()) {
            raw += "Limits saved as the package " + packageName + "\n";
        }
        xml.Element("rawout", raw);
        xml.Status(true, "Account created: " + user + " (" + domain + ")").Close("result").Close(kFn);
        return xml.Take();
    } catch (const Refusal& refusal) {
        return ActionReply(kFn, false, refusal.message);
    }
}

std::string Api::AddPackage(const Params& params, bool edit) {
    const std::string_view fn = edit ? "editpkg" : "addpkg";
    Query q(params);
    Store::Session session(store_);
    try {
        std::string name = q.Text("name");
        if (name.empty()) {
            throw Refusal{"A package name is required."};
        }
        if (!IsValidPackageName(name)) {
            throw Refusal{Quoted(name) + " is not a valid package name."};
        }
        auto existing = session.GetPackage(name);
        if (edit && !existing) {
            throw Refusal{"The package " + Quoted(name) + " does not exist."};
        }
        if (!edit && existing) {
            throw Refusal{"The package " + Quoted((*existing)[kPkgName]) + " already exists."};
        }
        PackageValues package = edit ? *existing : DefaultPackage(name);
        ApplyPackageQuery(q, package);
        if (edit) {
            session.UpdatePackage(package);
        } else {
            session.InsertPackage(package);
        }
        return ActionReply(fn, true,
                           (edit ? "Modified the package " : "Created the package ") +
                               Quoted(package[kPkgName]) + ".");
    } catch (const Refusal& refusal) {
        return ActionReply(fn, false, refusal.message);
    }
}

std::string Api::KillPackage(const Params& params) {
    Query q(params);
    std::string name = q.Text("pkg");
    Store::Session session(store_);
    auto stored = session.PackageNameOf(name);
    if (name.empty() || !stored) {
        return ActionReply("killpkg", false,
                           name.empty() ? "A package name is required."
                                        : "The package " + Quoted(name) + " does not exist.");
    }
    session.DeletePackage(*stored);
    return ActionReply("killpkg", true, "Deleted the package " + Quoted(*stored) + ".");
}

std::string Api::RemoveAccount(const Params& params) {
    constexpr std::string_view kFn = "removeacct";
    Query q(params);
    std::string user = q.Text("user");
    Store::Session session(store_);
    auto account = session.GetAccount(user);
    if (!account) {
        return ActionReply(kFn, false,
                           user.empty() ? "A user name is required."
                                        : "The account " + Quoted(user) + " does not exist.");
    }
    session.DeleteAccount(user);
    const std::string& domain = (*account)[kDomain];
    std::string raw = "Removing the account " + user + " (" + domain + ")\n";
    raw += "Removed the home folder /" + (*account)[8] + "/" + user + "\n";
    raw += "Removed the mail spool and " + (*account)[18] + " mailboxes limit\n";
    raw += "Removed the DNS zone " + domain + "\n";
    raw += "Web server configuration updated\n";
    XmlWriter xml;
    xml.Open(kFn).Open("result").Element("rawout", raw);
    xml.Status(true, user + " account removed").Close("result").Close(kFn);
    return xml.Take();
}

std::string Api::Suspend(const Params& params, bool suspend) {
    const std::string_view fn = suspend ? "suspendacct" : "unsuspendacct";
    Query q(params);
    std::string user = q.Text("user");
    Store::Session session(store_);
    auto account = session.GetAccount(user);
    if (!account) {
        return ActionReply(fn, false,
                           user.empty() ? "A user name is required."
                                        : "The account " + Quoted(user) + " does not exist.");
    }
    bool suspended = (*account)[kSuspended] == "1";
    if (suspend && suspended) {
        return ActionReply(fn, false, "The account " + Quoted(user) + " is already suspended.");
    }
    if (!suspend && !suspended) {
        return ActionReply(fn, false, "The account " + Quoted(user) + " is not suspended.");
    }
    std::string reason = q.Text("reason");
    session.SetSuspended(user, suspend, reason.empty() ? "No reason given" : reason, Now());
    return ActionReply(fn, true, user + (suspend ? " account is now suspended." : " account is now active."));
}

std::string Api::ChangePassword(const Params& params) {
    Query q(params);
    std::string user = q.Text("user");
    std::string password = q.Text("pass");
    Store::Session session(store_);
    bool ok = false;
    std::string message;
    if (!session.HasUser(user)) {
        message =
            user.empty() ? "A user name is required." : "The account " + Quoted(user) + " does not exist.";
    } else if (password.empty()) {
        message = "A new password is required.";
    } else {
        session.SetPasswordHash(user, HashPassword(password));
        ok = true;
        message = "Password changed for user " + user;
    }
    XmlWriter xml;
    xml.Open("passwd").Open("passwd");
    if (ok) {
        xml.Element("rawout",
                    "Updated the system password of " + user + "\nUpdated the mail and FTP logins\n");
    }
    xml.Status(ok, message).Close("passwd").Close("passwd");
    return xml.Take();
}

std::string Api::LimitBandwidth(const Params& params) {
    Query q(params);
    std::string user = q.Text("user");
    std::string value = q.Text("bwlimit");
    Store::Session session(store_);
    bool ok = false;
    std::string message;
    std::optional<std::string> limit = NormalizeLimit(value);
    if (!session.HasUser(user)) {
        message =
            user.empty() ? "A user name is required." : "The account " + Quoted(user) + " does not exist.";
    } else if (!limit) {
        message = "Invalid bandwidth limit " + Quoted(value) + " (megabytes as digits, or \"unlimited\").";
    } else {
        session.SetBandwidthLimit(user, *limit);
        ok = true;
        message =
            "Bandwidth limit of " + user + " set to " + (*limit == "unlimited" ? *limit : *limit + " MB");
    }
    XmlWriter xml;
    xml.Open("limitbw").Open("result");
    if (ok) {
        xml.Element("bwlimit", *limit);
    }
    xml.Status(ok, message).Close("result").Close("limitbw");
    return xml.Take();
}

std::string Api::AccountSummary(const Params& params) {
    Query q(params);
    std::string user = q.Text("user");
    Store::Session session(store_);
    auto account = session.GetAccount(user);
    XmlWriter xml;
    xml.Open("accountsummary");
    if (!account) {
        xml.Status(false, user.empty() ? "A user name is required."
                                       : "The account " + Quoted(user) + " does not exist.");
    } else {
        xml.Open("acct");
        for (size_t i = 0; i < account->size(); ++i) {
            // Like some control servers, the summary names the suspension reason differently from
            // the account list.
            xml.Element(i == kSuspendReason ? kSummarySuspendReasonTag : kAccountFields[i], (*account)[i]);
        }
        xml.Close("acct").Status(true, "Ok");
    }
    xml.Close("accountsummary");
    return xml.Take();
}

} // namespace parlomar::standin
