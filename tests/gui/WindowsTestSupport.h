#pragma once

// Shared pieces of the editor, details and settings window tests: the shipped data files and a
// stand-in server signed in to through the transport.

#include "GuiTestSupport.h"
#include "StandinProcess.h"
#include "server/Global.h"
#include "server/HttpTransport.h"
#include "server/PasswordCipher.h"

#include <fstream>
#include <sstream>
#include <string>

namespace parlomar::test {

inline std::string ShippedFile(const std::string& relative) {
    std::ifstream in(std::string(PARLOMAR_SOURCE_DIR) + "/data/" + relative, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A program folder with the shipped language and settings files.
struct ShippedProgramFolder : ProgramFolder {
    ShippedProgramFolder() {
        WriteLanguage(ShippedFile("Localization/English.lng"));
        WriteSettings(ShippedFile("ParlomarClient.ini"));
    }
};

// The stand-in server with its demo data; the transport's sign-in values point at it.
struct SignedInServer {
    standin_test::TempDir data;
    standin_test::StandinProcess server{data.Path(), {"--seed", "demo"}};

    SignedInServer() {
        CloseConnection();
        SetSignInValues({"127.0.0.1", static_cast<std::uint16_t>(server.Port()), standin_test::kUser,
                         EncipherPassword(standin_test::kPassword)});
    }
    ~SignedInServer() { CloseConnection(); }
    std::string Get(const std::string& url) const { return HttpGet(url).text; }
    std::string PackageList() const { return Get(ListPackagesUrl(ServerBaseUrl())); }
    std::string Summary(const std::string& user) const {
        return Get(AccountSummaryUrl(ServerBaseUrl(), user));
    }
};

} // namespace parlomar::test
