#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace parlomar::standin {

// The fields of an account, in the order the API lists them.
inline constexpr std::array<std::string_view, 23> kAccountFields = {
    "user",   "domain", "suspended",     "diskused",    "disklimit", "email",
    "ip",     "owner",  "partition",     "plan",        "startdate", "unix_startdate",
    "theme",  "shell",  "suspendreason", "suspendtime", "maxftp",    "maxsql",
    "maxpop", "maxlst", "maxsub",        "maxparked",   "maxaddons"};
enum AccountField : size_t {
    kUser = 0,
    kDomain = 1,
    kSuspended = 2,
    kDiskLimit = 4,
    kIp = 6,
    kPlan = 9,
    kSuspendReason = 14
};
// The account summary's name of the suspension reason (the list calls it "suspendreason").
inline constexpr std::string_view kSummarySuspendReasonTag = "suspendedreason";

// The fields of a package, in the order the API lists them ("name" first, the limits in capitals).
inline constexpr std::array<std::string_view, 17> kPackageFields = {
    "name", "QUOTA",    "BWLIMIT", "CGI",    "CPMOD",   "FEATURELIST", "FRONTPAGE", "HASSHELL", "IP",
    "LANG", "MAXADDON", "MAXFTP",  "MAXLST", "MAXPARK", "MAXPOP",      "MAXSQL",    "MAXSUB"};

using AccountValues = std::array<std::string, kAccountFields.size()>;
using PackageValues = std::array<std::string, kPackageFields.size()>;
using AccountView = std::array<std::string_view, kAccountFields.size()>;

// Settings of an account that the listing does not show.
struct AccountExtras {
    std::string bwlimit = "unlimited";
    std::string passwordHash;
    std::string featurelist = "default";
    std::string language = "en";
    bool cgi = true;
    bool frontpage = false;
    bool reseller = false;
};

class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A prepared statement bound to the store's connection.
class Statement {
public:
    Statement(sqlite3* db, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, std::string_view text);
    Statement& Bind(int index, long long number);
    bool Step(); // true while a row is available
    void Reset();
    std::string_view Text(int column) const;
    long long Int(int column) const;

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// The server's state: one SQLite file (WAL mode) behind one connection; every use holds the
// store's lock through a Session, so parallel requests are serialised.
class Store {
public:
    explicit Store(const std::filesystem::path& file);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // True when the file had no schema before this store opened it.
    bool WasCreated() const { return created_; }

    class Session {
    public:
        explicit Session(Store& store) : store_(store), lock_(store.mutex_) {}

        void Begin();
        void Commit();
        void Rollback();
        void Exec(std::string_view sql);
        sqlite3* Db() { return store_.db_; }

        bool HasUser(std::string_view user);
        bool HasDomain(std::string_view domain);
        std::optional<AccountValues> GetAccount(std::string_view user);
        std::optional<PackageValues> GetPackage(std::string_view name);
        std::optional<std::string> PackageNameOf(std::string_view name); // stored spelling
        long long CountAccounts();

        void InsertAccount(const AccountValues& account, const AccountExtras& extras);
        void InsertPackage(const PackageValues& package);
        void UpdatePackage(const PackageValues& package);
        void DeleteAccount(std::string_view user);
        void DeletePackage(std::string_view name);
        void SetSuspended(std::string_view user, bool suspended, std::string_view reason, long long when);
        void SetPasswordHash(std::string_view user, std::string_view hash);
        void SetBandwidthLimit(std::string_view user, std::string_view limit);
        std::string BandwidthLimit(std::string_view user);
        void RemoveAll();

        // Calls back once per account, ordered by user name; the views last for the call only.
        void ForEachAccount(const std::function<void(const AccountView&)>& callback);
        void ForEachPackage(const std::function<void(const PackageValues&)>& callback);

    private:
        Store& store_;
        std::unique_lock<std::mutex> lock_;        // declared first: statements are finalised under it
        std::unique_ptr<Statement> insertAccount_; // reused by bulk inserts
    };

private:
    friend class Session;
    sqlite3* db_ = nullptr;
    std::mutex mutex_;
    bool created_ = false;
};

// Salted SHA-256 of a password, as stored.
std::string HashPassword(std::string_view password);

} // namespace parlomar::standin
