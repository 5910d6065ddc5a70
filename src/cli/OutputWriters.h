#pragma once

// The output writers every listing subcommand shares: a table aligned for a terminal (nothing cut),
// CSV by the list export's own rules, and JSON (one array of objects named by the columns).

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace parlomar::cli {

enum class Format { Table, Csv, Json };

// "table", "csv", "json"; anything else is table (the options only admit these three).
Format FormatOf(std::string_view name);

struct Rows {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows; // each as long as columns
};

void WriteRows(std::ostream& out, Format format, const Rows& rows);

// CSV written a row at a time, as the rows arrive: the heading first.
class CsvStream {
public:
    CsvStream(std::ostream& out, const std::vector<std::string>& columns);
    void Row(const std::vector<std::string_view>& fields);

private:
    std::ostream& out_;
    std::string line_;
};

// How many columns a text takes on a terminal: its UTF-8 characters (a stray byte counts as one).
std::size_t DisplayWidth(std::string_view text);

} // namespace parlomar::cli
