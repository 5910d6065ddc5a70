#pragma once

#include <string>
#include <string_view>

namespace parlomar::standin {

// Every reply the API accepts starts with this declaration; clients look for it.
inline constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" ?>";

// Appends text with & < > " ' replaced by their entities and other control characters than
// tab, line feed and carriage return (not allowed in XML) replaced by "?".
void AppendEscaped(std::string& out, std::string_view text);
std::string XmlEscape(std::string_view text);

// A small append-only writer for the element-only documents of the API.
class XmlWriter {
public:
    XmlWriter() { out_.append(kXmlDeclaration); }
    explicit XmlWriter(size_t reserve) {
        out_.reserve(reserve);
        out_.append(kXmlDeclaration);
    }

    XmlWriter& Open(std::string_view tag);
    XmlWriter& Close(std::string_view tag);
    // <tag>escaped text</tag>
    XmlWriter& Element(std::string_view tag, std::string_view text);
    XmlWriter& Element(std::string_view tag, long long number);
    // status and statusmsg, the pair every reply carries
    XmlWriter& Status(bool ok, std::string_view message);

    std::string& Text() { return out_; }
    std::string Take() { return std::move(out_); }

private:
    std::string out_;
};

} // namespace parlomar::standin
