// Reads arbitrary bytes as a skin settings text and as the values in it: every key is looked up and
// every value converted as colour, integer, flag and font style. A colour that reads must read the
// same after it was written back.
#include "core/skins/SkinPackage.h"
#include "core/skins/SkinValues.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const parlomar::TSkinSettings settings(text);
    (void)settings.Value("ParlomarClientMainForm", "Color");
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            (void)settings.Value("any", line.substr(0, equals));
        }
        const std::string_view value = equals == std::string_view::npos ? line : line.substr(equals + 1);
        if (const auto colour = parlomar::ColorFromText(value)) {
            if (parlomar::ColorFromText(parlomar::ColorToText(*colour)) != colour)
                std::abort();
        }
        (void)parlomar::SkinInteger(value);
        (void)parlomar::SkinFlag(value);
        (void)parlomar::FontStyleToText(parlomar::FontStyleFromText(value));
        start = end + 1;
    }
    return 0;
}
