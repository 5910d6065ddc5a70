// parlomar-settings: writes values into the settings file of a program folder with the program's
// own INI rules, for scripts that prepare a program folder.
//
//   parlomar-settings [--folder DIR] set SECTION KEY VALUE
//   parlomar-settings [--folder DIR] set-password SECTION KEY      (the password on standard input)
//   parlomar-settings [--folder DIR] get SECTION KEY
//
// Without --folder it writes the settings file that the program in this executable's folder uses
// (that folder's own in portable use, else the user's).

#include "core/Error.h"
#include "core/server/PasswordCipher.h"
#include "core/settings/IniFile.h"
#include "core/settings/Paths.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

int Usage() {
    std::cerr << "usage: parlomar-settings [--folder DIR] set SECTION KEY VALUE\n"
                 "       parlomar-settings [--folder DIR] set-password SECTION KEY   (password on stdin)\n"
                 "       parlomar-settings [--folder DIR] get SECTION KEY\n";
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "--folder") {
        parlomar::SetProgramFolder(args[1]);
        args.erase(args.begin(), args.begin() + 2);
    } else {
        // The settings file that the program beside this one uses.
        const std::filesystem::path folder = parlomar::ExecutableFolder();
        parlomar::UseFileLocations(parlomar::ResolveFileLocations(folder, parlomar::FolderWritable(folder),
                                                                  parlomar::UserFolders()));
        if (const auto problem = parlomar::PrepareSettingsFile())
            std::cerr << *problem << "\n";
    }
    if (args.empty())
        return Usage();
    try {
        if (args[0] == "set" && args.size() == 4) {
            parlomar::WriteIniValue(args[1], args[2], args[3], parlomar::kSettingsTarget);
            return 0;
        }
        if (args[0] == "set-password" && args.size() == 3) {
            std::string password;
            std::getline(std::cin, password);
            if (!password.empty() && password.back() == '\r')
                password.pop_back();
            parlomar::WriteIniValue(args[1], args[2], parlomar::EncipherPassword(password),
                                    parlomar::kSettingsTarget);
            return 0;
        }
        if (args[0] == "get" && args.size() == 3) {
            std::cout << parlomar::ReadIniValue(args[1], args[2], parlomar::kSettingsTarget) << "\n";
            return 0;
        }
    } catch (const parlomar::Error& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
    return Usage();
}
