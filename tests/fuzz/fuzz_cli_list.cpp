// Fuzzes parlomar-cli's reading of a list reply while it arrives (ListReader) against the whole
// text: any cut into pieces gives the rows that the column fill over the whole text gives (row n the
// n-th value of each field, a missing value empty). Input layout: byte 0 = the seed of the piece
// sizes, then the reply.
#include "cli/ListReader.h"
#include "core/accounts/StringGrid.h"
#include "core/server/XMLParser.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 1) {
        return 0;
    }
    std::string_view input(reinterpret_cast<const char*>(bytes), size);
    uint32_t seed = static_cast<uint8_t>(input[0]) + 1;
    const std::string_view reply = input.substr(1);
    const std::vector<std::string> fields = {"user", "domain", "suspended"};

    std::vector<std::vector<std::string>> rows;
    parlomar::cli::ListReader reader(fields, [&rows](const std::vector<std::string_view>& row) {
        rows.emplace_back(row.begin(), row.end());
    });
    reader.Restart();
    for (size_t at = 0; at < reply.size();) {
        seed = seed * 1103515245u + 12345u;
        const std::string_view piece = reply.substr(at, (seed >> 16) % 40 + 1);
        reader.Take(piece);
        at += piece.size();
    }
    reader.Finish();

    std::vector<std::vector<std::string>> columns;
    size_t longest = 0;
    for (const std::string& field : fields) {
        parlomar::TStringGridData column(2, 1);
        parlomar::XmlExtract(reply, "", field, parlomar::kXmlFillColumn, &column, 1);
        std::vector<std::string> values;
        for (int row = 1; row < column.RowCount(); ++row) {
            values.emplace_back(column.Cell(1, row));
        }
        longest = std::max(longest, values.size());
        columns.push_back(std::move(values));
    }
    if (rows.size() != longest) {
        __builtin_trap();
    }
    for (size_t n = 0; n < longest; ++n) {
        for (size_t f = 0; f < fields.size(); ++f) {
            const std::string expected = n < columns[f].size() ? columns[f][n] : std::string();
            if (rows[n][f] != expected) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
