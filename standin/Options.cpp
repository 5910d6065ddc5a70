#include "Options.h"

#include <charconv>
#include <stdexcept>

namespace parlomar::standin {

namespace {

long long ParseNumber(const std::string& option, const std::string& value, long long low, long long high) {
    long long number = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || error != std::errc() || end != value.data() + value.size() || number < low ||
        number > high) {
        throw std::invalid_argument(option + " expects a number from " + std::to_string(low) + " to " +
                                    std::to_string(high) + ", not \"" + value + "\"");
    }
    return number;
}

} // namespace

std::string UsageText() {
    return "usage: parlomar-standin --data DIR --user U --password P [options]\n"
           "  --listen HOST:PORT   address to listen on (default 127.0.0.1:0, 0 picks a free port)\n"
           "  --data DIR           folder of the database and the generated certificate\n"
           "  --user U --password P  the credentials the API accepts (HTTP Basic)\n"
           "  --seed demo|N        fill a new database with demo data or N generated accounts\n"
           "  --reseed             replace the data with the seed even when the database exists\n"
           "  --plain-http         serve plain HTTP instead of HTTPS\n"
           "  --cert F --key F     serve this certificate instead of the generated one\n"
           "  --port-file F        also write the chosen port to F\n"
           "  --request-log F      append one line per request to F: time, path, query, user\n"
           "  --realm TEXT         the authentication realm\n"
           "  fault switches: --delay-ms N --drop-after N --stall-after N --stall-ms N --http500\n"
           "                  --garbage --rate N (bytes per second) --fault-times N\n";
}

Options ParseOptions(const std::vector<std::string>& args) {
    Options options;
    Params faults;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) {
                throw std::invalid_argument(option + " needs a value");
            }
            return args[++i];
        };
        if (option == "--help" || option == "-h") {
            options.help = true;
        } else if (option == "--listen") {
            const std::string& listen = value();
            size_t colon = listen.rfind(':');
            if (colon == std::string::npos || colon == 0) {
                throw std::invalid_argument("--listen expects HOST:PORT, not \"" + listen + "\"");
            }
            options.host = listen.substr(0, colon);
            options.port = static_cast<int>(ParseNumber(option, listen.substr(colon + 1), 0, 65535));
        } else if (option == "--data") {
            options.dataDir = value();
        } else if (option == "--user") {
            options.user = value();
        } else if (option == "--password") {
            options.password = value();
        } else if (option == "--seed") {
            options.seed = value();
            if (options.seed != "demo") {
                ParseNumber(option, options.seed, 0, kMaxSeedAccounts);
            }
        } else if (option == "--reseed") {
            options.reseed = true;
        } else if (option == "--plain-http") {
            options.plainHttp = true;
        } else if (option == "--cert") {
            options.certFile = value();
        } else if (option == "--key") {
            options.keyFile = value();
        } else if (option == "--port-file") {
            options.portFile = value();
        } else if (option == "--request-log") {
            options.requestLog = value();
        } else if (option == "--realm") {
            options.realm = value();
        } else if (option == "--delay-ms") {
            faults.emplace("delay_ms", value());
        } else if (option == "--drop-after") {
            faults.emplace("drop_after", value());
        } else if (option == "--stall-after") {
            faults.emplace("stall_after", value());
        } else if (option == "--stall-ms") {
            faults.emplace("stall_ms", value());
        } else if (option == "--rate") {
            faults.emplace("rate", value());
        } else if (option == "--fault-times") {
            faults.emplace("times", value());
        } else if (option == "--http500") {
            faults.emplace("http500", "1");
        } else if (option == "--garbage") {
            faults.emplace("garbage", "1");
        } else {
            throw std::invalid_argument("unknown option \"" + option + "\"");
        }
    }
    if (options.help) {
        return options;
    }
    if (options.dataDir.empty()) {
        throw std::invalid_argument("--data DIR is required");
    }
    if (options.user.empty() || options.password.empty()) {
        throw std::invalid_argument("--user and --password are required");
    }
    if (options.certFile.empty() != options.keyFile.empty()) {
        throw std::invalid_argument("--cert and --key go together");
    }
    options.faults.Update(faults);
    return options;
}

} // namespace parlomar::standin
