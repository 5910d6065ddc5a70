#pragma once

#include "Faults.h"

#include <filesystem>
#include <string>
#include <vector>

namespace parlomar::standin {

inline constexpr long long kMaxSeedAccounts = 200000;

struct Options {
    std::string host = "127.0.0.1";
    int port = 0; // 0 picks a free port
    std::filesystem::path dataDir;
    std::string user;
    std::string password;
    std::string seed; // "", "demo" or a number of generated accounts
    bool reseed = false;
    bool plainHttp = false;
    std::filesystem::path certFile; // empty: generated into dataDir
    std::filesystem::path keyFile;
    std::filesystem::path portFile;
    std::filesystem::path requestLog; // empty: no log
    std::string realm = "Parlomar stand-in";
    FaultSettings faults;
    bool help = false;
};

// Parses the command line (without the program name). Throws std::invalid_argument with a
// readable message for a missing or malformed option.
Options ParseOptions(const std::vector<std::string>& args);

std::string UsageText();

} // namespace parlomar::standin
