#pragma once

// The subcommand families of parlomar-cli, one unit each.

#include "cli/CliCommand.h"

#include <memory>

namespace parlomar::cli {

std::unique_ptr<Command> MakeServersCommand(); // ServersCommands.cpp
std::unique_ptr<Command> MakeTrustCommand();
std::unique_ptr<Command> MakeAccountsCommand(); // ListCommands.cpp
std::unique_ptr<Command> MakePackagesCommand();
std::unique_ptr<Command> MakeShowCommand();
std::unique_ptr<Command> MakeFindCommand(); // FindCommand.cpp
// ActionCommands.cpp
std::unique_ptr<Command> MakeSuspendCommand();
std::unique_ptr<Command> MakeUnsuspendCommand();
std::unique_ptr<Command> MakeDeleteCommand();
std::unique_ptr<Command> MakePasswdCommand();
std::unique_ptr<Command> MakeLimitBandwidthCommand();

} // namespace parlomar::cli
