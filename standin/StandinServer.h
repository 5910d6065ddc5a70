#pragma once

#include "ApiHandlers.h"
#include "Faults.h"
#include "Options.h"
#include "Store.h"

#include <memory>
#include <string>

namespace httplib {
class Server;
}

namespace parlomar::standin {

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
    void Install();

    Options options_;
    std::unique_ptr<Store> store_;
    std::unique_ptr<Api> api_;
    FaultState faults_;
    StopSignal stop_;
    std::unique_ptr<httplib::Server> server_;
};

// The path of the database inside the data folder.
std::filesystem::path DatabaseFile(const std::filesystem::path& dataDir);

} // namespace parlomar::standin
