#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parlomar {

// The servers signed in to before, offered by the sign-in panel. They are kept in the settings file
// in sections of their own, "Server1" (the most recent) to "Server50", with the keys of `USERS`
// (IP, Port, Login, SavePsw, Psw) and ReadOnly. `USERS` itself stays the current server.

inline constexpr std::size_t kMaxSavedServers = 50;

struct SavedServer {
    std::string address;
    std::uint16_t port = 0;
    std::string userName;
    bool savePassword = false;      // "remember my password" was ticked for it
    std::string encipheredPassword; // only when savePassword
    bool readOnly = false;
};

// "Server" followed by the place in the list, counted from 1.
std::string SavedServerSection(std::size_t index);

// The list in a settings text, most recent first: sections Server1 to Server50 in that order, each
// with a non-empty IP; a second entry for the same server is dropped. Missing keys read as empty or
// false; a port that is not a number from 1 to 65535 reads as 0 (no port).
std::vector<SavedServer> SavedServersFromText(std::string_view settingsText);
std::vector<SavedServer> ReadSavedServers(); // from the settings file

// The same sign-in: address (blanks removed, letter case ignored), port and user name.
bool SameServer(const SavedServer& a, const SavedServer& b);

// The list with server first, an earlier entry for the same server taken out, cut to 50.
std::vector<SavedServer> WithServerFirst(std::vector<SavedServer> list, const SavedServer& server);
// The list without the entry for the same server.
std::vector<SavedServer> WithoutServer(std::vector<SavedServer> list, const SavedServer& server);

// Writes the list over the sections of the settings file in one atomic write (the sections of entries
// no longer in it are removed). Throws Error("Unable to write to <path>").
void WriteSavedServers(const std::vector<SavedServer>& list);

} // namespace parlomar
