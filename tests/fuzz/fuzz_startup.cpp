// Fuzzes what the program reads before it shows anything: the environment that places the user's
// folders and the command line. The input is split at NUL bytes: four variable values, then arguments.
#include "core/CommandLine.h"
#include "core/settings/Paths.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] == 0) {
            parts.emplace_back();
        } else {
            parts.back() += static_cast<char>(bytes[i]);
        }
    }
    parts.resize(std::max<size_t>(parts.size(), 4));
    const char* names[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"};
    const auto folders = parlomar::UserFolders([&](const char* name) -> const char* {
        for (int i = 0; i < 4; ++i) {
            if (std::string(name) == names[i]) {
                return parts[static_cast<size_t>(i)].c_str();
            }
        }
        return nullptr;
    });
    // A folder is absolute or not there: a relative value never places a file.
    for (const auto* folder : {&folders.config, &folders.data, &folders.runtime}) {
        if (!folder->empty() && !folder->is_absolute()) {
            __builtin_trap();
        }
    }
    const std::vector<std::string> args(parts.begin() + 4, parts.end());
    const parlomar::TCommandLine command = parlomar::ParseCommandLine(args);
    // Without arguments the program starts; with some it starts only when the first is an option
    // (one the toolkit takes). Anything it refuses is told on a line of its own.
    const bool runs = command.action == parlomar::TCommandLine::Action::Run;
    if ((args.empty() && !runs) || (runs && !args.empty() && args.front().rfind('-', 0) != 0)) {
        __builtin_trap();
    }
    if (command.action != parlomar::TCommandLine::Action::Run &&
        (command.text.empty() || command.text.back() != '\n')) {
        __builtin_trap();
    }
    return 0;
}
