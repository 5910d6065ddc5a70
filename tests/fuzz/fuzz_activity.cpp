// Reads arbitrary bytes as activity log files (one whole, and split in two as a rotated file and the
// current one): lines that are not records are skipped, never a crash; a record written from the
// values read back is read back the same.

#include "core/server/ActivityLog.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const parlomar::ActivityEntry& entry : parlomar::ActivityEntriesOf({text})) {
        (void)parlomar::ActivityLocalTime(entry.record.time);
        // What was read is written out again as one line that reads back the same (text that is
        // not UTF-8 cannot have come from a JSON reader, so it round-trips exactly).
        const std::string line = parlomar::ActivityLine(entry.record);
        if (line.find('\n') != line.size() - 1)
            std::abort();
        const auto again = parlomar::ParseActivityLine(std::string_view(line).substr(0, line.size() - 1));
        if (!again || again->entry != entry.record.entry || again->message != entry.record.message ||
            again->parameters != entry.record.parameters)
            std::abort();
    }
    const std::size_t half = size / 2;
    (void)parlomar::ActivityEntriesOf({text.substr(0, half), text.substr(half)});
    return 0;
}
