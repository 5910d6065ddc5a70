#pragma once

#include <string_view>

namespace parlomar {

// Filters for characters typed into edit fields. Each takes the typed character's code and says
// whether it goes into the field, as which character, and whether the field's whole text is to be
// selected first (Ctrl+A, character 1). Codes 128 and above are rejected by every filter that
// filters at all. Text pasted or set by the program is not filtered.
struct KeyFilterResult {
    bool accept = false;
    int key = 0;            // the character to insert when accepted (may differ from the typed one)
    bool selectAll = false; // select the whole text of the field

    bool operator==(const KeyFilterResult&) const = default;
};

// Editing characters every filtering field lets through: 1 (select all), 3 (copy), 8 (backspace),
// 22 (paste) and 26 (undo).
bool IsEditingKey(int key);

// Server address (also the proxy address fields): "," becomes "."; ".", digits and "A" to "z".
KeyFilterResult IPEditKeyPress(int key);
// Server port: digits.
KeyFilterResult PortEditKeyPress(int key);
// User name and password: nothing filtered.
KeyFilterResult LoginEditKeyPress(int key);

// Settings dialog.
KeyFilterResult ProxyPortEditKeyPress(int key);
KeyFilterResult ProxyAdrEditKeyPress(int key);
KeyFilterResult ProxyUserEditKeyPress(int key);

// Account and package editor.
KeyFilterResult NameEditKeyPress(int key);     // digits and "A" to "z"
KeyFilterResult QuotaEditKeyPress(int key);    // digits
KeyFilterResult CustomipEditKeyPress(int key); // "." and digits
// "-", ".", digits and "A" to "z"; "," becomes "."; "-" is refused while the field is empty.
KeyFilterResult DomainEditKeyPress(int key, std::string_view currentText);
KeyFilterResult ContactemailEditKeyPress(int key); // "-" to "9" and "@" to "z"

// Input dialog's bandwidth field: while digitsOnly > 0 only digits and backspace; else anything.
KeyFilterResult BandWidthEditKeyPress(int key, int digitsOnly);

} // namespace parlomar
