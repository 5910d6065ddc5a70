#include "Store.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sqlite3.h>

namespace parlomar::standin {

namespace {

constexpr std::string_view kSchema = R"sql(
CREATE TABLE accounts(
    user TEXT PRIMARY KEY, domain TEXT NOT NULL UNIQUE COLLATE NOCASE, suspended TEXT NOT NULL,
    diskused TEXT NOT NULL, disklimit TEXT NOT NULL, email TEXT NOT NULL, ip TEXT NOT NULL,
    owner TEXT NOT NULL, partition TEXT NOT NULL, plan TEXT NOT NULL, startdate TEXT NOT NULL,
    unix_startdate TEXT NOT NULL, theme TEXT NOT NULL, shell TEXT NOT NULL, suspendreason TEXT NOT NULL,
    suspendtime TEXT NOT NULL, maxftp TEXT NOT NULL, maxsql TEXT NOT NULL, maxpop TEXT NOT NULL,
    maxlst TEXT NOT NULL, maxsub TEXT NOT NULL, maxparked TEXT NOT NULL, maxaddons TEXT NOT NULL,
    bwlimit TEXT NOT NULL, pwhash TEXT NOT NULL, featurelist TEXT NOT NULL, language TEXT NOT NULL,
    cgi INTEGER NOT NULL, frontpage INTEGER NOT NULL, reseller INTEGER NOT NULL);
CREATE TABLE packages(
    name TEXT PRIMARY KEY COLLATE NOCASE, quota TEXT NOT NULL, bwlimit TEXT NOT NULL, cgi TEXT NOT NULL,
    cpmod TEXT NOT NULL, featurelist TEXT NOT NULL, frontpage TEXT NOT NULL, hasshell TEXT NOT NULL,
    ip TEXT NOT NULL, lang TEXT NOT NULL, maxaddon TEXT NOT NULL, maxftp TEXT NOT NULL, maxlst TEXT NOT NULL,
    maxpark TEXT NOT NULL, maxpop TEXT NOT NULL, maxsql TEXT NOT NULL, maxsub TEXT NOT NULL);
)sql";

constexpr std::string_view kAccountColumns =
    "user, domain, suspended, diskused, disklimit, email, ip, owner, partition, plan, startdate, "
    "unix_startdate, theme, shell, suspendreason, suspendtime, maxftp, maxsql, maxpop, maxlst, maxsub, "
    "maxparked, maxaddons";
constexpr std::string_view kPackageColumns =
    "name, quota, bwlimit, cgi, cpmod, featurelist, frontpage, hasshell, ip, lang, maxaddon, maxftp, "
    "maxlst, maxpark, maxpop, maxsql, maxsub";

[[noreturn]] void Fail(sqlite3* db, std::string_view what) {
    throw StoreError(std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

std::string Sql(std::initializer_list<std::string_view> parts) {
    std::string sql;
    for (auto part : parts) {
        sql.append(part);
    }
    return sql;
}

} // namespace

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) != SQLITE_OK) {
        Fail(db, "prepare");
    }
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement& Statement::Bind(int index, std::string_view text) {
    if (sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) !=
        SQLITE_OK) {
        Fail(db_, "bind");
    }
    return *this;
}

Statement& Statement::Bind(int index, long long number) {
    if (sqlite3_bind_int64(stmt_, index, number) != SQLITE_OK) {
        Fail(db_, "bind");
    }
    return *this;
}

bool Statement::Step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    Fail(db_, "step");
}

void Statement::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::string_view Statement::Text(int column) const {
    auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    if (!text) {
        return {};
    }
    return {text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))};
}

long long Statement::Int(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

Store::Store(const std::filesystem::path& file) {
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw StoreError("cannot open " + file.string() + ": " + message);
    }
    try {
        Session session(*this);
        session.Exec("PRAGMA journal_mode=WAL");
        session.Exec("PRAGMA synchronous=NORMAL");
        // Large listings read the whole table; let them read it from memory.
        session.Exec("PRAGMA cache_size=-65536");
        session.Exec("PRAGMA mmap_size=268435456");
        sqlite3_busy_timeout(db_, 5000);
        Statement probe(db_, "SELECT count(*) FROM sqlite_master WHERE type='table' AND name='accounts'");
        probe.Step();
        if (probe.Int(0) == 0) {
            session.Begin();
            session.Exec(kSchema);
            session.Commit();
            created_ = true;
        }
    } catch (...) {
        sqlite3_close(db_);
        throw;
    }
}

Store::~Store() {
    sqlite3_close(db_);
}

void Store::Session::Exec(std::string_view sql) {
    std::string text(sql);
    char* error = nullptr;
    if (sqlite3_exec(store_.db_, text.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw StoreError(message);
    }
}

void Store::Session::Begin() {
    Exec("BEGIN IMMEDIATE");
}
void Store::Session::Commit() {
    Exec("COMMIT");
}
void Store::Session::Rollback() {
    if (!sqlite3_get_autocommit(store_.db_)) {
        sqlite3_exec(store_.db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

bool Store::Session::HasUser(std::string_view user) {
    Statement st(store_.db_, "SELECT 1 FROM accounts WHERE user = ?1");
    return st.Bind(1, user).Step();
}

bool Store::Session::HasDomain(std::string_view domain) {
    Statement st(store_.db_, "SELECT 1 FROM accounts WHERE domain = ?1");
    return st.Bind(1, domain).Step();
}

std::optional<AccountValues> Store::Session::GetAccount(std::string_view user) {
    Statement st(store_.db_, Sql({"SELECT ", kAccountColumns, " FROM accounts WHERE user = ?1"}));
    if (!st.Bind(1, user).Step()) {
        return std::nullopt;
    }
    AccountValues values;
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = st.Text(static_cast<int>(i));
    }
    return values;
}

std::optional<PackageValues> Store::Session::GetPackage(std::string_view name) {
    Statement st(store_.db_, Sql({"SELECT ", kPackageColumns, " FROM packages WHERE name = ?1"}));
    if (!st.Bind(1, name).Step()) {
        return std::nullopt;
    }
    PackageValues values;
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = st.Text(static_cast<int>(i));
    }
    return values;
}

std::optional<std::string> Store::Session::PackageNameOf(std::string_view name) {
    Statement st(store_.db_, "SELECT name FROM packages WHERE name = ?1");
    if (!st.Bind(1, name).Step()) {
        return std::nullopt;
    }
    return std::string(st.Text(0));
}

long long Store::Session::CountAccounts() {
    Statement st(store_.db_, "SELECT count(*) FROM accounts");
    st.Step();
    return st.Int(0);
}

void Store::Session::InsertAccount(const AccountValues& account, const AccountExtras& extras) {
    if (!insertAccount_) {
        insertAccount_ = std::make_unique<Statement>(
            store_.db_, Sql({"INSERT INTO accounts(", kAccountColumns,
                             ", bwlimit, pwhash, featurelist, language, cgi, frontpage, reseller) VALUES("
                             "?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16,?17,?18,?19,?20,?21,"
                             "?22,?23,?24,?25,?26,?27,?28,?29,?30)"}));
    } else {
        insertAccount_->Reset();
    }
    Statement& st = *insertAccount_;
    int i = 1;
    for (const auto& value : account) {
        st.Bind(i++, value);
    }
    st.Bind(i, extras.bwlimit).Bind(i + 1, extras.passwordHash).Bind(i + 2, extras.featurelist);
    st.Bind(i + 3, extras.language)
        .Bind(i + 4, extras.cgi ? 1LL : 0LL)
        .Bind(i + 5, extras.frontpage ? 1LL : 0LL);
    st.Bind(i + 6, extras.reseller ? 1LL : 0LL);
    st.Step();
}

void Store::Session::InsertPackage(const PackageValues& package) {
    Statement st(store_.db_, Sql({"INSERT INTO packages(", kPackageColumns,
                                  ") VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16,?17)"}));
    int i = 1;
    for (const auto& value : package) {
        st.Bind(i++, value);
    }
    st.Step();
}

void Store::Session::UpdatePackage(const PackageValues& package) {
    Statement st(store_.db_,
                 "UPDATE packages SET quota=?2, bwlimit=?3, cgi=?4, cpmod=?5, featurelist=?6, "
                 "frontpage=?7, hasshell=?8, ip=?9, lang=?10, maxaddon=?11, maxftp=?12, maxlst=?13, "
                 "maxpark=?14, maxpop=?15, maxsql=?16, maxsub=?17 WHERE name=?1");
    int i = 1;
    for (const auto& value : package) {
        st.Bind(i++, value);
    }
    st.Step();
}

void Store::Session::DeleteAccount(std::string_view user) {
    Statement st(store_.db_, "DELETE FROM accounts WHERE user = ?1");
    st.Bind(1, user).Step();
}

void Store::Session::DeletePackage(std::string_view name) {
    Statement st(store_.db_, "DELETE FROM packages WHERE name = ?1");
    st.Bind(1, name).Step();
}

void Store::Session::SetSuspended(std::string_view user, bool suspended, std::string_view reason,
                                  long long when) {
    Statement st(store_.db_,
                 "UPDATE accounts SET suspended=?2, suspendreason=?3, suspendtime=?4 WHERE user=?1");
    st.Bind(1, user).Bind(2, suspended ? "1" : "0");
    st.Bind(3, suspended ? reason : std::string_view("not suspended"));
    st.Bind(4, suspended ? std::to_string(when) : std::string());
    st.Step();
}

void Store::Session::SetPasswordHash(std::string_view user, std::string_view hash) {
    Statement st(store_.db_, "UPDATE accounts SET pwhash=?2 WHERE user=?1");
    st.Bind(1, user).Bind(2, hash).Step();
}

void Store::Session::SetBandwidthLimit(std::string_view user, std::string_view limit) {
    Statement st(store_.db_, "UPDATE accounts SET bwlimit=?2 WHERE user=?1");
    st.Bind(1, user).Bind(2, limit).Step();
}

std::string Store::Session::BandwidthLimit(std::string_view user) {
    Statement st(store_.db_, "SELECT bwlimit FROM accounts WHERE user=?1");
    return st.Bind(1, user).Step() ? std::string(st.Text(0)) : std::string();
}

void Store::Session::RemoveAll() {
    Exec("DELETE FROM accounts; DELETE FROM packages;");
}

void Store::Session::ForEachAccount(const std::function<void(const AccountView&)>& callback) {
    Statement st(store_.db_, Sql({"SELECT ", kAccountColumns, " FROM accounts ORDER BY user"}));
    AccountView view;
    while (st.Step()) {
        for (size_t i = 0; i < view.size(); ++i) {
            view[i] = st.Text(static_cast<int>(i));
        }
        callback(view);
    }
}

void Store::Session::ForEachPackage(const std::function<void(const PackageValues&)>& callback) {
    Statement st(store_.db_,
                 Sql({"SELECT ", kPackageColumns, " FROM packages ORDER BY name COLLATE NOCASE"}));
    PackageValues values;
    while (st.Step()) {
        for (size_t i = 0; i < values.size(); ++i) {
            values[i] = st.Text(static_cast<int>(i));
        }
        callback(values);
    }
}

std::string HashPassword(std::string_view password) {
    static constexpr char kHex[] = "0123456789abcdef";
    unsigned char salt[8];
    if (RAND_bytes(salt, sizeof salt) != 1) {
        throw StoreError("no random bytes for a password salt");
    }
    std::string input(reinterpret_cast<const char*>(salt), sizeof salt);
    input.append(password);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(input.data(), input.size(), digest, &length, EVP_sha256(), nullptr) != 1) {
        throw StoreError("password digest failed");
    }
    std::string out = "sha256$";
    for (unsigned char byte : salt) {
        out += kHex[byte >> 4];
        out += kHex[byte & 15];
    }
    out += '$';
    for (unsigned int i = 0; i < length; ++i) {
        out += kHex[digest[i] >> 4];
        out += kHex[digest[i] & 15];
    }
    return out;
}

} // namespace parlomar::standin
