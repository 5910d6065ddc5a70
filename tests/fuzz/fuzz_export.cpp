// Fuzzes what the export and the details window do with server texts: a CSV field is well-formed
// UTF-8, quoted exactly when it must be, never starts a formula, and reads back as the text; a Unix
// time value is shown as a date or not at all.
#include "core/accounts/DetailsView.h"
#include "core/accounts/ListExport.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// The text of one CSV field as a reader takes it: outer quotes removed, doubled quotes single.
std::string Unquoted(std::string_view field) {
    if (field.size() < 2 || field.front() != '"' || field.back() != '"')
        return std::string(field);
    std::string text;
    for (size_t i = 1; i + 1 < field.size(); ++i) {
        if (field[i] == '"' && (i + 2 >= field.size() || field[++i] != '"'))
            __builtin_trap(); // a lone quote inside a quoted field
        text += field[i];
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    const std::string field = parlomar::CsvField(text);
    const bool quoted = text.find_first_of(",\"\r\n") != std::string_view::npos;
    if (quoted != (field.size() >= 2 && field.front() == '"'))
        __builtin_trap();
    if (!quoted && field.find('"') != std::string::npos)
        __builtin_trap();
    std::string read = Unquoted(field);
    // A number as the C library reads one (sign, digits, point, exponent; no hex, inf or nan)
    // is no formula and comes back as it is.
    const bool number = [&] {
        const std::string copy(text);
        if (copy.empty() || copy.find_first_not_of("+-.0123456789eE") != std::string::npos ||
            std::isspace(static_cast<unsigned char>(copy[0])))
            return false;
        char* end = nullptr;
        std::strtod(copy.c_str(), &end);
        return end == copy.c_str() + copy.size() &&
               copy.find_first_of("0123456789") < copy.find_first_of("eE");
    }();
    if (!read.empty() && (read[0] == '=' || read[0] == '+' || read[0] == '-' || read[0] == '@') && !number)
        __builtin_trap();
    const bool formula =
        !number && !text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos;
    if (formula && (read.empty() || read[0] != '\''))
        __builtin_trap(); // a formula-like text without its guard
    if (formula)
        read.erase(0, 1);
    // Nothing comes back longer than three bytes per byte; plain ASCII comes back unchanged.
    if (read.size() > 3 * text.size())
        __builtin_trap();
    bool ascii = true;
    for (char c : text)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii && read != text)
        __builtin_trap();
    const std::string date = parlomar::UnixTimeText(text);
    if (!date.empty() && text.find_first_not_of("0123456789") != std::string_view::npos)
        __builtin_trap();
    return 0;
}
