#pragma once

#include <string>
#include <string_view>

namespace parlomar {

// Turning texts read out of replies into what a window shows.

// Decodes the character references of XML text: &lt; &gt; &amp; &quot; &apos; and the numeric
// forms &#NNN; and &#xHHH; (written as UTF-8). A reference that names no character XML allows
// (NUL, a surrogate, above U+10FFFF), an unknown name or one without its ";" stays as it is. Never
// longer than the input.
std::string DecodeCharacterReferences(std::string_view text);

// A server message as readable words. A text holding no "<" comes back unchanged. Otherwise it is
// read as HTML: script and style elements and comments are dropped whole, other tags are dropped
// (their words kept), references are decoded, and every run of white space becomes one blank.
std::string ReadableMessageText(std::string_view text);

} // namespace parlomar
