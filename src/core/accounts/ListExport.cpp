#include "core/accounts/ListExport.h"

#include "core/Error.h"
#include "core/settings/IniFile.h"

namespace parlomar {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// The length of the well-formed UTF-8 sequence at text[i], or 0 when there is none.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A number as a spreadsheet reads one: an optional sign, digits with an optional decimal point (at
// least one digit), an optional exponent. Such a field is no formula and is written as it is.
bool IsPlainNumber(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
        ++i, ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            ++i, ++digits;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        const std::size_t exponent = i;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
        }
        if (i == exponent) {
            return false;
        }
    }
    return i == text.size();
}

void AppendField(std::string& out, std::string_view text) {
    bool quote = false;
    bool ascii = true;
    for (char c : text) {
        quote = quote || c == ',' || c == '"' || c == '\r' || c == '\n';
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    const bool formula = !text.empty() &&
                         (text.front() == '=' || text.front() == '+' || text.front() == '-' ||
                          text.front() == '@' || text.front() == '\t' || text.front() == '\r') &&
                         !IsPlainNumber(text);
    if (quote) {
        out += '"';
    }
    if (formula) {
        out += '\'';
    }
    if (ascii && !quote) {
        out.append(text);
        return;
    }
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) < 0x80) {
            if (c == '"') {
                out += '"';
            }
            out += c;
            ++i;
        } else if (const std::size_t length = Utf8Length(text, i); length > 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out.append(kReplacement);
            ++i;
        }
    }
    if (quote) {
        out += '"';
    }
}

} // namespace

std::string CsvField(std::string_view text) {
    std::string out;
    AppendField(out, text);
    return out;
}

std::string ListCsv(const TStringGridData& grid, const std::vector<int>& cols, const std::vector<int>& rows) {
    std::string out;
    std::size_t estimate = 0;
    if (!rows.empty()) { // the first row as a guide to the length of every row
        for (int col : cols) {
            estimate += grid.Cell(col, rows.front()).size() + 1;
        }
    }
    out.reserve((estimate + 2) * (rows.size() + 1));
    const auto record = [&](int row) {
        bool first = true;
        for (int col : cols) {
            if (!first) {
                out += ',';
            }
            first = false;
            AppendField(out, grid.Cell(col, row));
        }
        out += "\r\n";
    };
    record(0);
    for (int row : rows) {
        record(row);
    }
    return out;
}

void ExportListCsv(const std::filesystem::path& path, const TStringGridData& grid,
                   const std::vector<int>& cols, const std::vector<int>& rows, bool byteOrderMark) {
    std::string text = byteOrderMark ? "\xEF\xBB\xBF" : "";
    text += ListCsv(grid, cols, rows);
    // The accounts of a server are nobody else's business: readable by the user only.
    if (path.empty() || !WriteFileAtomically(path, text, 0600)) {
        throw Error("Unable to write to " + path.string());
    }
}

} // namespace parlomar
