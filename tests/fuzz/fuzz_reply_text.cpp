// Fuzzes the readers that turn reply texts into what windows show: character reference decoding and
// the reduction of markup in status messages to their words.
#include "core/server/ReplyText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);

    const std::string decoded = parlomar::DecodeCharacterReferences(text);
    // A reference is always longer than the character it stands for; text without "&" is kept.
    if (decoded.size() > text.size() || (text.find('&') == std::string_view::npos && decoded != text)) {
        __builtin_trap();
    }

    const std::string words = parlomar::ReadableMessageText(decoded);
    // Without markup the text stays as it is; with it, no blank runs and no blanks at the ends.
    if (decoded.find('<') == std::string::npos) {
        if (words != decoded) {
            __builtin_trap();
        }
    } else if (!words.empty() &&
               (words.front() == ' ' || words.back() == ' ' || words.find("  ") != std::string::npos)) {
        __builtin_trap();
    }
    return 0;
}
