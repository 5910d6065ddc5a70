#include "core/settings/SavedServers.h"

#include "core/server/Global.h"
#include "core/settings/IniFile.h"

namespace parlomar {

namespace {

std::string NormalAddress(std::string_view address) {
    std::string out;
    for (char c : address) {
        if (c == ' ')
            continue;
        out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return out;
}

std::string Value(std::string_view text, const std::string& section, std::string_view key) {
    const std::string value = IniLookup(text, section, key);
    return value == "0" ? std::string() : value; // a missing key reads "0": not set
}

} // namespace

std::string SavedServerSection(std::size_t index) {
    return "Server" + std::to_string(index);
}

std::vector<SavedServer> SavedServersFromText(std::string_view settingsText) {
    std::vector<SavedServer> list;
    for (std::size_t index = 1; index <= kMaxSavedServers; ++index) {
        const std::string section = SavedServerSection(index);
        SavedServer server;
        server.address = Value(settingsText, section, "IP");
        if (server.address.empty())
            continue;
        server.port = ServerPortOf(Value(settingsText, section, "Port"));
        server.userName = Value(settingsText, section, "Login");
        server.savePassword = IniFlag(IniLookup(settingsText, section, "SavePsw"));
        if (server.savePassword)
            server.encipheredPassword = Value(settingsText, section, "Psw");
        server.readOnly = IniFlag(IniLookup(settingsText, section, "ReadOnly"));
        bool known = false;
        for (const SavedServer& earlier : list)
            known = known || SameServer(earlier, server);
        if (!known)
            list.push_back(std::move(server));
    }
    return list;
}

std::vector<SavedServer> ReadSavedServers() {
    return SavedServersFromText(ReadIniText(kSettingsTarget));
}

bool SameServer(const SavedServer& a, const SavedServer& b) {
    return a.port == b.port && a.userName == b.userName &&
           NormalAddress(a.address) == NormalAddress(b.address);
}

std::vector<SavedServer> WithServerFirst(std::vector<SavedServer> list, const SavedServer& server) {
    list = WithoutServer(std::move(list), server);
    list.insert(list.begin(), server);
    if (list.size() > kMaxSavedServers)
        list.resize(kMaxSavedServers);
    return list;
}

std::vector<SavedServer> WithoutServer(std::vector<SavedServer> list, const SavedServer& server) {
    std::erase_if(list, [&](const SavedServer& entry) { return SameServer(entry, server); });
    return list;
}

void WriteSavedServers(const std::vector<SavedServer>& list) {
    std::vector<std::string> sections;
    for (std::size_t index = 1; index <= kMaxSavedServers; ++index)
        sections.push_back(SavedServerSection(index));
    std::vector<IniValue> values;
    for (std::size_t i = 0; i < list.size() && i < kMaxSavedServers; ++i) {
        const SavedServer& server = list[i];
        const std::string section = SavedServerSection(i + 1);
        values.push_back({section, "IP", server.address});
        values.push_back({section, "Port", std::to_string(server.port)});
        values.push_back({section, "Login", server.userName});
        values.push_back({section, "SavePsw", server.savePassword ? "1" : "0"});
        if (server.savePassword)
            values.push_back({section, "Psw", server.encipheredPassword});
        values.push_back({section, "ReadOnly", server.readOnly ? "1" : "0"});
    }
    WriteIniChanges(sections, values, kSettingsTarget);
}

} // namespace parlomar
