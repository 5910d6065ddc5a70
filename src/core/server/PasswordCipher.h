#pragma once

#include <string>
#include <string_view>

namespace parlomar {

// The printable form in which passwords are held in memory and stored in the settings file. It is an
// obfuscation with a fixed key, not protection: anyone with this program can reverse it. Stored files
// rely on the exact form, so it must not change:
//   key      SHA-1 of the empty byte string, all 20 bytes, as a Blowfish key;
//   register a block of 8 zero bytes enciphered once with that key;
//   mode     8-bit cipher feedback (each byte XORed with the first byte of the enciphered register,
//            then the cipher byte shifted into the register);
//   text     standard Base64 with "=" filling: 4 * ceil(n / 3) characters for n bytes.
// Both are pure functions; the key schedule is wiped after every call.

std::string EncipherPassword(std::string_view plain);

// Never fails. Decoding stops at the first character that cannot continue a Base64 text (blanks and
// line breaks are skipped); the bytes decoded up to there are deciphered, and bits of an unfinished
// last group are dropped. So a damaged stored password simply gives different bytes.
std::string DecipherPassword(std::string_view enciphered);

} // namespace parlomar
