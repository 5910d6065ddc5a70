// Parses arbitrary bytes as an INI file: reads sections and keys, writes a key and reads it back.

#include "core/settings/IniFile.h"
#include "core/settings/SavedServers.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    // Names taken from the input itself, so that lookups hit existing sections and keys.
    std::string_view firstLine = text.substr(0, text.find('\n'));
    std::string_view name = firstLine.substr(0, 300);

    (void)parlomar::IniLookup(text, "General", "ShowTray");
    (void)parlomar::IniLookup(text, name, name);
    (void)parlomar::IniLookup(text, "ViewSummaryOrder", name);
    for (auto& line : parlomar::IniSectionLines(text, "ViewSummaryOrder")) {
        (void)parlomar::IniFlag(line);
    }
    (void)parlomar::IniSectionLines(text, name);
    (void)parlomar::IniFlag(name);
    (void)parlomar::CutBytes(text, size / 2);
    (void)parlomar::SavedServersFromText(text);

    // A value written is read back exactly, whatever the file held before.
    std::string edited = parlomar::IniSetValue(text, "General", "ShowTray", "written value");
    if (parlomar::IniLookup(edited, "general", "SHOWTRAY") != "written value") {
        std::abort();
    }
    // Writing names and a value taken from the input never breaks the file's other entries.
    std::string before = parlomar::IniLookup(edited, "General", "ShowTray");
    edited = parlomar::IniSetValue(edited, "Other", name, name);
    if (parlomar::IniLookup(edited, "General", "ShowTray") != before) {
        std::abort();
    }
    return 0;
}
