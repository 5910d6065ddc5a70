#pragma once

#include <string>
#include <vector>

namespace parlomar {

// The program's command line. The program takes no arguments; it answers --help and --version
// (without needing a display) and refuses everything else.
struct TCommandLine {
    enum class Action { Run, Help, Version, Refuse };
    Action action = Action::Run;
    std::string text; // the help or version text (standard output), or the refusal (standard error)
};

// args without the program's own name; the help text names the files of the locations in use.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

} // namespace parlomar
