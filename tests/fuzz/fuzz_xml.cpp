// Fuzzes the four tag-search operations. Input layout: byte 0 = tag length, byte 1 = section length,
// byte 2 = value length (each modulo 16), then the tag, the section and the value, then the data.
#include "core/accounts/StringGrid.h"
#include "core/server/XMLParser.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 3) {
        return 0;
    }
    std::string_view input(reinterpret_cast<const char*>(bytes), size);
    const size_t tagLength = static_cast<uint8_t>(input[0]) % 16;
    const size_t sectionLength = static_cast<uint8_t>(input[1]) % 16;
    const size_t valueLength = static_cast<uint8_t>(input[2]) % 16;
    input.remove_prefix(3);
    auto take = [&input](size_t length) {
        const std::string_view part = input.substr(0, length);
        input.remove_prefix(part.size());
        return part;
    };
    const std::string_view tag = take(tagLength);
    const std::string_view section = take(sectionLength);
    const std::string_view value = take(valueLength);
    const std::string_view data = input;

    parlomar::TStringGridData grid(3, 4);
    parlomar::XmlExtract(data, section, tag, parlomar::kXmlFillColumn, &grid, 2);
    const std::string last = parlomar::XmlExtract(data, section, tag, parlomar::kXmlLastValue);
    const std::string all = parlomar::XmlExtract(data, section, tag, parlomar::kXmlAllValues);
    // Every value is a piece of the data.
    if (last.size() > data.size() || (!last.empty() && all.find(last) == std::string::npos)) {
        __builtin_trap();
    }
    parlomar::XmlInnerText(tag, data);
    parlomar::TStringGridData list(2, 0);
    parlomar::XmlChildrenToList(data, tag, &list);
    const std::string element = parlomar::XmlFindElement(data, tag, section, value);
    if (element.size() > data.size() + 2 * tag.size() + 5) {
        __builtin_trap();
    }
    return 0;
}
