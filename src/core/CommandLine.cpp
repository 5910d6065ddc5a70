#include "CommandLine.h"

#include "settings/Localization.h"
#include "settings/Paths.h"

namespace parlomar {

namespace {

std::string HelpText() {
    std::string skins;
    for (const auto& folder : SkinFolders()) {
        skins += (skins.empty() ? "" : "\n                 ") + folder.string();
    }
    return "Usage: ParlomarClient [OPTION]\n"
           "\n"
           "Signs in to the control server of a web-hosting server and administers its hosting\n"
           "accounts and packages. Without an option the program starts; one instance runs per user.\n"
           "\n"
           "Options:\n"
           "  -h, --help     show this help and exit\n"
           "  -v, --version  show the version and exit\n"
           "\n"
           "Files:\n"
           "  settings       " +
           SettingsFile().string() +
           "\n"
           "  language file  " +
           LanguageFile().string() +
           "\n"
           "  skins          " +
           skins + "\n";
}

} // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    if (args.empty()) {
        return {};
    }
    const std::string& first = args.front();
    TCommandLine result;
    if (first == "-h" || first == "--help") {
        result = {TCommandLine::Action::Help, HelpText()};
    } else if (first == "-v" || first == "--version") {
        result = {TCommandLine::Action::Version, "ParlomarClient " + ProgramVersion() + "\n"};
    } else {
        const bool option = first.size() > 1 && first.front() == '-';
        return {TCommandLine::Action::Refuse,
                "ParlomarClient: " + std::string(option ? "unknown option '" : "unexpected argument '") +
                    first + "'\nTry 'ParlomarClient --help' for the options.\n"};
    }
    if (args.size() > 1) {
        return {TCommandLine::Action::Refuse, "ParlomarClient: unexpected argument '" + args[1] + "' after " +
                                                  first + "\nTry 'ParlomarClient --help' for the options.\n"};
    }
    return result;
}

} // namespace parlomar
