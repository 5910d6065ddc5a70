#include "XmlWriter.h"

#include <charconv>

namespace parlomar::standin {

void AppendEscaped(std::string& out, std::string_view text) {
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char* entity = nullptr;
        switch (text[i]) {
        case '&':
            entity = "&amp;";
            break;
        case '<':
            entity = "&lt;";
            break;
        case '>':
            entity = "&gt;";
            break;
        case '"':
            entity = "&quot;";
            break;
        case '\'':
            entity = "&apos;";
            break;
        case '\t':
        case '\n':
        case '\r':
            continue;
        default:
            // Other control characters are not allowed in XML 1.0 documents.
            if (static_cast<unsigned char>(text[i]) >= 0x20) {
                continue;
            }
            entity = "?";
        }
        out.append(text.substr(start, i - start));
        out.append(entity);
        start = i + 1;
    }
    out.append(text.substr(start));
}

std::string XmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendEscaped(out, text);
    return out;
}

XmlWriter& XmlWriter::Open(std::string_view tag) {
    out_ += '<';
    out_.append(tag);
    out_ += '>';
    return *this;
}

XmlWriter& XmlWriter::Close(std::string_view tag) {
    out_.append("</");
    out_.append(tag);
    out_ += '>';
    return *this;
}

XmlWriter& XmlWriter::Element(std::string_view tag, std::string_view text) {
    Open(tag);
    AppendEscaped(out_, text);
    return Close(tag);
}

XmlWriter& XmlWriter::Element(std::string_view tag, long long number) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return Element(tag, std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)));
}

XmlWriter& XmlWriter::Status(bool ok, std::string_view message) {
    Element("status", ok ? "1" : "0");
    return Element("statusmsg", message);
}

} // namespace parlomar::standin
