// Fuzzes the reading of a reply while it arrives against the reading of the whole text: any cut of
// the reply into pieces must give the same values and account rows. Input layout: byte 0 = how
// often the tags are looked for (1 to 64 bytes), byte 1 = the seed of the piece sizes, byte 2 = tag
// length (modulo 8), then the tag, then the reply.
#include "core/accounts/AccountList.h"
#include "core/accounts/StringGrid.h"
#include "core/server/XMLParser.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 3) {
        return 0;
    }
    std::string_view input(reinterpret_cast<const char*>(bytes), size);
    const size_t scanEvery = static_cast<uint8_t>(input[0]) % 64 + 1;
    uint32_t seed = static_cast<uint8_t>(input[1]) + 1;
    const size_t tagLength = static_cast<uint8_t>(input[2]) % 8;
    input.remove_prefix(3);
    const std::string tag(input.substr(0, tagLength));
    input.remove_prefix(tag.size());
    const std::string_view reply = input;

    parlomar::TAccountReplyReader reader(scanEvery);
    parlomar::TXmlExtractStream values({tag.empty() ? std::string("user") : tag}, scanEvery);
    reader.Restart();
    for (size_t at = 0; at < reply.size();) {
        seed = seed * 1103515245u + 12345u;
        const std::string_view piece = reply.substr(at, (seed >> 16) % 40 + 1);
        reader.Take(piece);
        values.Feed(piece);
        at += piece.size();
    }
    reader.Finish();
    values.Finish();

    parlomar::TStringGridData whole;
    parlomar::TStringGridData read;
    parlomar::FillAccountRows(whole, reply);
    parlomar::FillAccountRows(read, reader.Values());
    if (whole.RowCount() != read.RowCount()) {
        __builtin_trap();
    }
    // The grid that views the kept values of the reply shows the same rows.
    parlomar::TStringGridData viewed;
    parlomar::FillAccountRows(
        viewed, std::make_shared<const parlomar::TAccountValues>(parlomar::TAccountValues::FromReply(reply)));
    if (whole.RowCount() != viewed.RowCount()) {
        __builtin_trap();
    }
    for (int row = 0; row < whole.RowCount(); ++row) {
        if (whole.RowTexts(row) != read.RowTexts(row) || whole.RowTexts(row) != viewed.RowTexts(row)) {
            __builtin_trap();
        }
    }

    parlomar::TStringGridData column(2, 1);
    parlomar::XmlExtract(reply, "", tag.empty() ? "user" : tag, parlomar::kXmlFillColumn, &column, 1);
    const std::vector<std::string>& streamed = values.Values(0);
    if (static_cast<size_t>(column.RowCount()) != streamed.size() + 1) {
        __builtin_trap();
    }
    for (size_t n = 0; n < streamed.size(); ++n) {
        if (column.Cell(1, static_cast<int>(n) + 1) != streamed[n]) {
            __builtin_trap();
        }
    }
    return 0;
}
