// The stored-password decipher over any text (a settings file is outside input), and the round
// trip of any bytes.
#include "core/server/PasswordCipher.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string plain = parlomar::DecipherPassword(text);
    if (plain.size() > size * 3 / 4 + 3)
        __builtin_trap(); // more bytes than the Base64 text can hold
    if (parlomar::DecipherPassword(parlomar::EncipherPassword(text)) != text)
        __builtin_trap();
    return 0;
}
