#include "core/CommandLine.h"

#include "core/server/ActivityLog.h"
#include "core/settings/Localization.h"
#include "core/settings/Paths.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace parlomar {

namespace {

// The options every Qt program takes (the toolkit reads them when the application object is made),
// written with one dash or two; "value" ones take the next argument or "=value".
struct ToolkitOption {
    std::string_view name;
    bool value;
};
constexpr std::array kToolkitOptions{
    ToolkitOption{"platform", true},        ToolkitOption{"platformpluginpath", true},
    ToolkitOption{"platformtheme", true},   ToolkitOption{"plugin", true},
    ToolkitOption{"qwindowgeometry", true}, ToolkitOption{"qwindowicon", true},
    ToolkitOption{"qwindowtitle", true},    ToolkitOption{"session", true},
    ToolkitOption{"display", true},         ToolkitOption{"geometry", true},
    ToolkitOption{"style", true},           ToolkitOption{"stylesheet", true},
    ToolkitOption{"qmljsdebugger", true},   ToolkitOption{"dialogs", true},
    ToolkitOption{"fontengine", true},      ToolkitOption{"reverse", false},
    ToolkitOption{"widgetcount", false},
};

// The toolkit option an argument names, if any.
const ToolkitOption* ToolkitOptionOf(std::string_view arg) {
    if (arg.size() < 2 || arg[0] != '-') {
        return nullptr;
    }
    arg.remove_prefix(arg[1] == '-' ? 2 : 1);
    arg = arg.substr(0, arg.find('='));
    const auto it = std::find_if(kToolkitOptions.begin(), kToolkitOptions.end(),
                                 [arg](const ToolkitOption& option) { return option.name == arg; });
    return it == kToolkitOptions.end() ? nullptr : &*it;
}

TCommandLine Refusal(const std::string& text) {
    return {TCommandLine::Action::Refuse,
            "ParlomarClient: " + text + "\nTry 'ParlomarClient --help' for the options.\n"};
}

std::string HelpText() {
    const std::string indent = "\n                    ";
    std::string skins;
    for (const auto& folder : SkinFolders()) {
        skins += (skins.empty() ? "" : indent) + folder.string();
    }
    const TFileLocations& at = FileLocations();
    std::string files = "  settings          " + SettingsFile().string() + "\n" + "  language file     " +
                        LanguageFile().string() + "\n";
    if (!at.portable && !at.userFolder.empty()) {
        files += "  saved captions    " + (at.userFolder / "Localization" / "English.lng").string() +
                 " (read instead of the shipped language file once it exists)\n";
    }
    files += "  skins             " + skins + "\n";
    files += "  activity log      " + ActivityLogFile().string() + " (and .1, .2)\n";
    return "Usage: ParlomarClient [OPTION]\n"
           "\n"
           "Signs in to the control server of a web-hosting server and administers its hosting\n"
           "accounts and packages. Without an option the program starts; one instance runs per user.\n"
           "\n"
           "Options:\n"
           "  -h, --help     show this help and exit\n"
           "  -v, --version  show the version and exit\n"
           "The standard Qt options (-platform NAME, -style NAME, -reverse ...) are taken as well.\n"
           "\n"
           "Files:\n" +
           files + "\nParlomarClient " + ProgramVersion() + ", " + PARLOMAR_RELEASE_DATE + "\n";
}

} // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& allArgs) {
    // The toolkit's own options are left to the toolkit.
    std::vector<std::string> args;
    for (std::size_t i = 0; i < allArgs.size(); ++i) {
        const ToolkitOption* option = ToolkitOptionOf(allArgs[i]);
        if (option == nullptr) {
            args.push_back(allArgs[i]);
        } else if (option->value && allArgs[i].find('=') == std::string::npos && ++i == allArgs.size()) {
            return Refusal("option '" + allArgs.back() + "' needs a value");
        }
    }
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
        return Refusal(std::string(option ? "unknown option '" : "unexpected argument '") + first + "'");
    }
    if (args.size() > 1) {
        return Refusal("unexpected argument '" + args[1] + "' after " + first);
    }
    return result;
}

} // namespace parlomar
