#pragma once

#include "ApiHandlers.h"
#include "Faults.h"
#include "Options.h"
#include "Store.h"

#include <fstream>
#include <memory>
#include <mutex>
#include <string>

namespace httplib {
class Server;
struct Response;
} // namespace httplib

namespace parlomar::standin {

// One line per request, written as it arrives: UTC time with milliseconds, the decoded path, the
// query as sent and the user name of the request's credentials ("-" without any), separated by tabs.
// Control characters (tabs included) inside a field are written as %XX; an empty field as "-".
class RequestLog {
public:
    explicit RequestLog(const std::filesystem::path& file);
    void Write(const std::string& path, const std::string& query, const std::string& user);
    static std::string Field(const std::string& text);

private:
    std::mutex mutex_;
    std::ofstream out_;
};

// Opens (and seeds) the store, prepares TLS and serves the API. Start binds the port; Run
// serves until Stop, which may be called from any thread.
class StandinServer {
public:
    explicit StandinServer(const Options& options);
    ~StandinServer();

    // Binds the listening socket; returns the port (the chosen one when the options gave 0).
    int Start();
    // Serves requests until Stop; returns false when serving failed.
    bool Run();
    void Stop();

    Store& GetStore() { return *store_; }

private:
    bool Authorized(const std::string& header) const;
    // The reply with its body, under the fault switches in force.
    // The faults set for the replies of that API function (every fault of no function applies too).
    void ApplyFaults(httplib::Response& res, std::string body, const char* type,
                     const std::string& function = std::string());
    void Install();

    Options options_;
    std::unique_ptr<Store> store_;
    std::unique_ptr<Api> api_;
    FaultState faults_;
    StopSignal stop_;
    std::unique_ptr<httplib::Server> server_;
    std::unique_ptr<RequestLog> log_;
};

// The path of the database inside the data folder.
std::filesystem::path DatabaseFile(const std::filesystem::path& dataDir);

} // namespace parlomar::standin
