#pragma once

// Shared pieces of the window tests: the shipped data files, stand-in servers (signed in to through the
// transport, or with a request log), and the main window shown and signed in.

#include "GuiTestSupport.h"
#include "StandinProcess.h"
#include "core/server/Global.h"
#include "core/server/HttpTransport.h"
#include "core/server/PasswordCipher.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace parlomar {
class TParlomarClientMainForm;
}

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

// The stand-in server with its demo data and a session signed in to it.
struct SignedInServer {
    standin_test::TempDir data;
    standin_test::StandinProcess server{data.Path(), {"--seed", "demo"}};

    SessionPtr session =
        ServerSession::Make({"127.0.0.1", static_cast<std::uint16_t>(server.Port()), standin_test::kUser,
                             EncipherPassword(standin_test::kPassword)});

    std::string Get(const std::string& url) const { return HttpGet(session, url).text; }
    std::string PackageList() const { return Get(ListPackagesUrl(session->BaseUrl())); }
    std::string Summary(const std::string& user) const {
        return Get(AccountSummaryUrl(session->BaseUrl(), user));
    }
};

// A stand-in server with a request log.
struct LoggedServer {
    standin_test::TempDir dir;
    standin_test::StandinProcess process;

    explicit LoggedServer(const char* seed = "demo")
        : process(dir.Path() / "data", {"--seed", seed, "--request-log", (dir.Path() / "log").string()}) {}
    int Port() const { return process.Port(); }
    void Get(const std::string& pathAndQuery) const {
        standin_test::Get(process.Url(pathAndQuery), standin_test::RequestOptions{});
    }
    void Faults(const std::string& query) const { Get("/standin/faults?reset=1&" + query); }
    // How many requests of the path arrived (the query must contain `part`). Each carries the
    // credentials: a request without them counts too, so a call sent twice shows.
    int Requests(const std::string& path, const std::string& part = "") const;
    // The same, counting only the requests that came with the test user's credentials.
    int SignedRequests(const std::string& path, const std::string& part = "") const;
    // The paths of the API requests that arrived, in order.
    std::vector<std::string> Paths() const;

private:
    std::vector<std::string> Lines(const std::string& path, const std::string& part) const;
};

// The main window shown at 700x600, the seam's main window.
void ShowMainWindow(TParlomarClientMainForm& form, AnsweringUi& ui);
// Types the stand-in's address on the port and the test credentials into the sign-in panel.
void TypeSignIn(TParlomarClientMainForm& form, int port);
// Types the sign-in values and presses the sign-in button.
void SignIn(TParlomarClientMainForm& form, int port);
// Neither a list fetch nor a list build runs.
bool Idle(const TParlomarClientMainForm& form);

} // namespace parlomar::test
