#include "cli/OutputWriters.h"

#include "core/accounts/ListExport.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace parlomar::cli {

namespace {

void AppendCsvLine(std::string& line, const std::vector<std::string_view>& fields) {
    line.clear();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        line += CsvField(fields[i]);
    }
    line += "\r\n";
}

std::vector<std::string_view> Views(const std::vector<std::string>& texts) {
    return {texts.begin(), texts.end()};
}

void WriteTable(std::ostream& out, const Rows& rows) {
    std::vector<std::size_t> widths(rows.columns.size());
    for (std::size_t c = 0; c < rows.columns.size(); ++c)
        widths[c] = DisplayWidth(rows.columns[c]);
    for (const auto& row : rows.rows)
        for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c)
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    const auto line = [&](const std::vector<std::string>& cells) {
        std::string text;
        for (std::size_t c = 0; c < widths.size(); ++c) {
            const std::string& cell = c < cells.size() ? cells[c] : std::string();
            text += cell;
            if (c + 1 < widths.size())
                text.append(widths[c] - DisplayWidth(cell) + 2, ' ');
        }
        out << text << '\n';
    };
    line(rows.columns);
    for (const auto& row : rows.rows)
        line(row);
}

void WriteJson(std::ostream& out, const Rows& rows) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& row : rows.rows) {
        nlohmann::ordered_json object = nlohmann::ordered_json::object();
        for (std::size_t c = 0; c < rows.columns.size(); ++c)
            object[rows.columns[c]] = c < row.size() ? row[c] : std::string();
        list.push_back(std::move(object));
    }
    out << list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

} // namespace

Format FormatOf(std::string_view name) {
    if (name == "csv")
        return Format::Csv;
    if (name == "json")
        return Format::Json;
    return Format::Table;
}

std::size_t DisplayWidth(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

void WriteRows(std::ostream& out, Format format, const Rows& rows) {
    switch (format) {
    case Format::Table:
        WriteTable(out, rows);
        break;
    case Format::Csv: {
        CsvStream csv(out, rows.columns);
        for (const auto& row : rows.rows)
            csv.Row(Views(row));
        break;
    }
    case Format::Json:
        WriteJson(out, rows);
        break;
    }
    out.flush();
}

CsvStream::CsvStream(std::ostream& out, const std::vector<std::string>& columns) : out_(out) {
    AppendCsvLine(line_, Views(columns));
    out_ << line_;
}

void CsvStream::Row(const std::vector<std::string_view>& fields) {
    AppendCsvLine(line_, fields);
    out_ << line_;
}

} // namespace parlomar::cli
