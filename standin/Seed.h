#pragma once

#include "Store.h"

namespace parlomar::standin {

// Index names of the package fields (see kPackageFields).
enum PackageField : size_t {
    kPkgName,
    kPkgQuota,
    kPkgBwLimit,
    kPkgCgi,
    kPkgCpmod,
    kPkgFeaturelist,
    kPkgFrontpage,
    kPkgHasShell,
    kPkgIp,
    kPkgLang,
    kPkgMaxAddon,
    kPkgMaxFtp,
    kPkgMaxLst,
    kPkgMaxPark,
    kPkgMaxPop,
    kPkgMaxSql,
    kPkgMaxSub
};

inline constexpr std::string_view kSharedIp = "192.0.2.10";
inline constexpr std::string_view kShellOn = "/bin/bash";
inline constexpr std::string_view kShellOff = "/usr/sbin/nologin";

// A package with the defaults a new package gets: everything unlimited except parked and addon domains.
PackageValues DefaultPackage(std::string_view name);

// A new, active account with the given names and the defaults of an account without a plan.
AccountValues DefaultAccount(std::string_view user, std::string_view domain, long long startTime);

// Copies a package's limits into an account and makes it the account's plan.
void ApplyPackage(AccountValues& account, const PackageValues& package);

// "24 Mar 05 14:02" style (two-digit year first), in UTC.
std::string FormatStartDate(long long unixTime);

// Both seeds run inside the caller's transaction.
// About 40 believable accounts over five packages; some suspended.
void SeedDemo(Store::Session& session);

// count accounts generated deterministically from their index (the five demo packages too).
void SeedGenerated(Store::Session& session, long long count);

} // namespace parlomar::standin
