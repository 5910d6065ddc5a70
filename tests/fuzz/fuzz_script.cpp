// The command channel of scripted runs: any input, in pieces of any size, gives whole lines of at
// most the line limit, each parsed into its command.
#include "core/ScriptCommand.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0] % 64;
    std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    parlomar::TScriptLines lines;
    while (!input.empty()) {
        lines.Append(input.substr(0, piece));
        input.remove_prefix(std::min(piece, input.size()));
        while (const auto line = lines.Next()) {
            if (line->size() > parlomar::TScriptLines::kMaxLine || line->find('\n') != std::string::npos)
                __builtin_trap();
            const parlomar::TScriptCommand command = parlomar::ParseScriptCommand(*line);
            if (command.command.find(' ') != std::string::npos)
                __builtin_trap();
            if (command.command == "sign-in" &&
                (command.host.find(' ') != std::string::npos || command.port.find(' ') != std::string::npos ||
                 command.user.find(' ') != std::string::npos))
                __builtin_trap();
        }
    }
    return 0;
}
