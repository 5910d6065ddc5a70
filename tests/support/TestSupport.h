#pragma once
// What every test binary needs to set up: temporary folders, free ports, commands run to their end.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace parlomar::test {

// A private temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A TCP port on 127.0.0.1 that was free a moment ago.
int FreePort();

// Runs a command without a shell, its output thrown away; returns its exit status (-1 when it did
// not exit by itself).
int RunCommand(const std::vector<std::string>& argv);

// Runs a command without a shell and without a terminal (a session of its own), input given on its
// standard input and the variables added to its environment; its exit status (-1 when it did not
// exit by itself) and what it wrote to standard output and error.
struct CommandOutput {
    int status = -1;
    std::string out;
    std::string err;
};
CommandOutput RunCapturing(const std::vector<std::string>& argv, const std::string& input = {},
                           const std::vector<std::pair<std::string, std::string>>& environment = {});

// The SHA-256 fingerprint of a PEM certificate as the openssl tool prints it ("AB:CD:..."); empty
// when it cannot be read.
std::string CertificateFingerprint(const std::filesystem::path& cert);

} // namespace parlomar::test
