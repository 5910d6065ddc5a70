#include "core/server/ReplyText.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <mutex>

namespace parlomar {

namespace {

bool IsXmlChar(std::uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

int DigitValue(char c, bool hex) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (hex && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The character of the reference body between "&" and ";", or 0 when it names none.
std::uint32_t ReferencedCharacter(std::string_view body) {
    static constexpr std::array<std::pair<std::string_view, char>, 5> kNamed{
        {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}}};
    for (const auto& [name, c] : kNamed)
        if (body == name)
            return static_cast<unsigned char>(c);
    if (body.size() < 2 || body[0] != '#')
        return 0;
    const bool hex = body[1] == 'x';
    const std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty())
        return 0;
    std::uint32_t value = 0;
    for (char c : digits) {
        const int digit = DigitValue(c, hex);
        if (digit < 0)
            return 0;
        value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
        if (value > 0x10FFFF)
            return 0;
    }
    return IsXmlChar(value) ? value : 0;
}

// The longest reference body looked at ("#x" and six hex digits after leading zeros would be more;
// such spellings stay as they are).
constexpr std::size_t kMaxReferenceBody = 10;

void InitParserOnce() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

bool IsDropped(const xmlNode* node) {
    if (node->type != XML_ELEMENT_NODE || !node->name)
        return false;
    const std::string_view name(reinterpret_cast<const char*>(node->name));
    return name == "script" || name == "style";
}

// Appends the words of the nodes; every element boundary counts as white space.
void CollectWords(const xmlNode* node, std::string& out, int depth) {
    for (; node; node = node->next) {
        if (node->type == XML_TEXT_NODE && node->content) {
            out += reinterpret_cast<const char*>(node->content);
        } else if (node->type == XML_ELEMENT_NODE && !IsDropped(node)) {
            out += ' ';
            if (depth < 256) // deeper nesting is not a message; its words are left out
                CollectWords(node->children, out, depth + 1);
            out += ' ';
        }
    }
}

std::string CollapseBlanks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool blank = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            blank = true;
            continue;
        }
        if (blank && !out.empty())
            out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

} // namespace

std::string DecodeCharacterReferences(std::string_view text) {
    std::size_t amp = text.find('&');
    if (amp == std::string_view::npos)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    while (amp != std::string_view::npos) {
        out.append(text.substr(from, amp - from));
        const std::size_t semicolon = text.substr(amp + 1, kMaxReferenceBody + 1).find(';');
        const std::uint32_t c =
            semicolon == std::string_view::npos ? 0 : ReferencedCharacter(text.substr(amp + 1, semicolon));
        if (c != 0) {
            AppendUtf8(out, c);
            from = amp + semicolon + 2;
        } else {
            out += '&';
            from = amp + 1;
        }
        amp = text.find('&', from);
    }
    out.append(text.substr(from));
    return out;
}

std::string ReadableMessageText(std::string_view text) {
    if (text.find('<') == std::string_view::npos)
        return std::string(text);
    if (text.size() > static_cast<std::size_t>(INT_MAX))
        return {};
    InitParserOnce();
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
        htmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8",
                       HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET),
        xmlFreeDoc);
    if (!doc)
        return {};
    std::string words;
    CollectWords(doc->children, words, 0);
    return CollapseBlanks(words);
}

} // namespace parlomar
