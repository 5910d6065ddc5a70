// Walks arbitrary bytes as a skin package and reads every entry: damaged input must end in a
// parlomar::Error or an empty result, never a crash, an overread or a huge allocation.
#include "core/skins/SciZipFile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    parlomar::TZipFile zip;
    try {
        zip.ReadArchive(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const parlomar::Error&) {
        return 0;
    }
    for (int i = 0; i < zip.EntryCount(); ++i) {
        try {
            (void)zip.EntryName(i);
            (void)zip.EntryData(i);
        } catch (const parlomar::Error&) {
        }
    }
    return 0;
}
