#pragma once

#include "core/accounts/StringGrid.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace parlomar {

// The shown list as a CSV file (RFC 4180): a heading row, then one record per row, fields joined by
// ",", records ended by CR LF, UTF-8 (a byte sequence that is no UTF-8 becomes U+FFFD). A field that
// holds a comma, a quote, CR or LF is quoted, its quotes doubled. A field that a spreadsheet would
// take for a formula (beginning with "=", "+", "-", "@", a tab or CR) gets an apostrophe in front, so
// that it is read as text; a number (such as "-1" or "+2.5e3") is no formula and stays as it is.

// One field as written.
std::string CsvField(std::string_view text);

// The heading texts of the columns (row 0), then the given rows, each with the given columns.
std::string ListCsv(const TStringGridData& grid, const std::vector<int>& cols, const std::vector<int>& rows);

// Writes ListCsv to path atomically, readable by the user only (0600), after a UTF-8 byte order mark
// when byteOrderMark (for spreadsheet programs that need one to read UTF-8): the file is whole or,
// on any failure, not there (an earlier file of that name stays as it was). Throws
// Error("Unable to write to <path>").
void ExportListCsv(const std::filesystem::path& path, const TStringGridData& grid,
                   const std::vector<int>& cols, const std::vector<int>& rows, bool byteOrderMark = false);

} // namespace parlomar
