// parlomar-cli: the accounts and packages of the saved servers from a shell, on the core alone. It
// reads the window's settings file (saved servers, certificate pins, proxy, read-only flags) and
// writes the same activity log.

#include "cli/CliCommand.h"
#include "cli/ListCommands.h"
#include "cli/ServerCommand.h"

#include "core/Error.h"
#include "core/server/TransportUi.h"
#include "core/settings/Paths.h"

#include <curl/curl.h>

#include <iostream>

namespace parlomar::cli {

std::vector<std::unique_ptr<Command>> MakeCommands() {
    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(MakeServersCommand());
    commands.push_back(MakeAccountsCommand());
    commands.push_back(MakePackagesCommand());
    commands.push_back(MakeShowCommand());
    commands.push_back(MakeFindCommand());
    commands.push_back(MakeSuspendCommand());
    commands.push_back(MakeUnsuspendCommand());
    commands.push_back(MakeDeleteCommand());
    commands.push_back(MakePasswdCommand());
    commands.push_back(MakeLimitBandwidthCommand());
    commands.push_back(MakeTrustCommand());
    return commands;
}

} // namespace parlomar::cli

int main(int argc, char* argv[]) {
    using namespace parlomar::cli;
    std::ios::sync_with_stdio(false);

    CLI::App app("The accounts and packages of the saved control servers, from a shell.\n"
                 "Exit status: 0 done, 1 a server or an action failed, 2 usage, 3 certificate not trusted,\n"
                 "4 refused by a read-only server, 5 sign-in refused.",
                 "parlomar-cli");
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("parlomar-cli ") + PARLOMAR_CLI_VERSION);
    std::vector<std::unique_ptr<Command>> commands = MakeCommands();
    Command* chosen = nullptr;
    for (auto& command : commands) {
        CLI::App* sub = app.add_subcommand(command->Name(), command->Description());
        command->AddOptions(*sub);
        sub->callback([&chosen, raw = command.get()] { chosen = raw; });
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? kExitDone : kExitUsage;
    }

    const std::filesystem::path folder = parlomar::ExecutableFolder();
    parlomar::UseFileLocations(
        parlomar::ResolveFileLocations(folder, parlomar::FolderWritable(folder), parlomar::UserFolders()));
    if (const auto problem = parlomar::PrepareSettingsFile())
        Complain(*problem);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    InstallTransportUi();
    int status = kExitFailed;
    try {
        status = chosen ? chosen->Run() : kExitUsage;
    } catch (const Failure& failure) {
        Complain(failure.what());
        status = failure.Status();
    } catch (const parlomar::Error& error) {
        Complain(error.what());
        status = kExitFailed;
    }
    std::cout.flush();
    parlomar::SetTransportUi(nullptr);
    return status;
}
