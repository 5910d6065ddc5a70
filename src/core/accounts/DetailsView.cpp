#include "core/accounts/DetailsView.h"

#include "core/server/Global.h"
#include "core/server/XMLParser.h"
#include "core/settings/IniFile.h"
#include "core/settings/Localization.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace parlomar {

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// The integer of a whole text, or nothing.
bool ParseInt(std::string_view text, int& value) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

int ViewValue(std::string_view text) {
    int value = 0;
    return ParseInt(text, value) ? value : 0;
}

struct Section {
    const char* order;
    const char* view;
    const char* labels;
    const char* recordTag;
};

Section SectionsOf(int kind) {
    if (kind == kAccountDetails) {
        return {"ViewSummaryOrder", "ViewSummary", "Details", "acct"};
    }
    return {"ViewpackageOrder", "ViewPackage", "Package", "package"};
}

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualFolded(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

// Names under which control servers send one and the same field.
constexpr std::string_view kFieldNames[][2] = {
    {"suspendreason", "suspendedreason"},
    {"maxparked", "maxpark"},
    {"maxaddons", "maxaddon"},
    {"maxlst", "maxlists"},
    {"lang", "language"},
    {"email", "contactemail"},
};

int FieldNamesGroup(std::string_view name) {
    for (int g = 0; g < static_cast<int>(std::size(kFieldNames)); ++g) {
        for (std::string_view known : kFieldNames[g]) {
            if (EqualFolded(known, name)) {
                return g;
            }
        }
    }
    return -1;
}

} // namespace

bool IsSameDetailsField(std::string_view rowName, std::string_view tag) {
    if (rowName == tag) {
        return true;
    }
    const int group = FieldNamesGroup(rowName);
    return group >= 0 && group == FieldNamesGroup(tag);
}

bool IsUnixTimeField(std::string_view name) {
    return EqualFolded(name, "suspendtime") || (name.size() > 5 && EqualFolded(name.substr(0, 5), "unix_"));
}

std::string UnixTimeText(std::string_view value) {
    // Whole seconds as digits only, at most up to the year 9999; "0" is no time but "not set".
    constexpr long long kLast = 253402300799; // 9999-12-31 23:59:59 UTC
    long long seconds = 0;
    if (value.empty() || value.size() > 12 || value.front() == '0') {
        return "";
    }
    for (char c : value) {
        if (c < '0' || c > '9') {
            return "";
        }
        seconds = seconds * 10 + (c - '0');
    }
    return seconds > kLast ? std::string() : LocalDateText(seconds);
}

int SpecialRowNumber(std::string_view text, int fallback) {
    int value = 0;
    return ParseInt(text, value) ? value : fallback;
}

DetailsSpecialRows ReadDetailsSpecialRows() {
    auto read = [](const char* key, int fallback) {
        return SpecialRowNumber(ReadIniValue("ViewSummaryRows", key, kSettingsTarget), fallback);
    };
    DetailsSpecialRows rows;
    rows.psw = read("pswrow", 7);
    rows.cred = read("credrow", 5);
    rows.other = read("otherrow", 8);
    rows.diskUsed = read("diskusedrow", 3);
    rows.diskLimit = read("disklimitrow", 4);
    return rows;
}

double DigitsValue(std::string_view text) {
    constexpr double kSaturation = 1e300;
    double value = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9' && value < kSaturation) {
            value = value * 10 + (c - '0');
        }
    }
    return value;
}

int DiskUsage::Percent() const {
    return static_cast<int>(std::lround(fraction * 100));
}

int DiskUsage::UsedWidth(int innerWidth) const {
    if (innerWidth <= 0) {
        return 0;
    }
    return static_cast<int>(std::lround(fraction * innerWidth));
}

DiskUsage MakeDiskUsage(std::string_view usedText, std::string_view limitText) {
    DiskUsage usage;
    usage.usedText = usedText;
    usage.limitText = limitText;
    usage.used = DigitsValue(usedText);
    usage.limit = DigitsValue(limitText);
    // Without a limit ("unlimited") nothing is used up: the bar stays empty, its text says so.
    const double fraction = usage.limit > 0 ? usage.used / usage.limit : 0;
    usage.fraction = fraction < 0 ? 0 : (fraction > 1 ? 1 : fraction);
    return usage;
}

TDetailsTable::TDetailsTable(int detailsKind) : kind_(detailsKind), grid_(2, 0) {
    grid_.SetDefaultRowHeight(kDetailsDefaultRowHeight);
}

void TDetailsTable::SetVisible(int row, bool visible) {
    grid_.SetRowHeight(row, visible ? grid_.DefaultRowHeight() : -1);
}

void TDetailsTable::Fill(std::string_view recordText) {
    const Section s = SectionsOf(kind_);

    // The record's fields, in reply order.
    TStringGridData fields(2, 0);
    XmlChildrenToList(recordText, s.recordTag, &fields);

    grid_ = TStringGridData(2, 0);
    grid_.SetDefaultRowHeight(kDetailsDefaultRowHeight);
    viewHidden_.clear();
    fieldNames_.clear();
    textPanel_ = fields.RowCount() <= 1;
    panelText_.clear();
    if (textPanel_) {
        panelText_ = StatusMessageOf(recordText);
        if (panelText_.empty()) {
            panelText_ = ErrorText(11);
        }
        return;
    }

    // One row per entry of the order section, with the record's value of that field (first match).
    std::vector<std::string> order;
    ReadIniSection(s.order, kSettingsTarget, order);
    std::vector<std::pair<std::string, std::string>> rows;
    for (const auto& line : order) {
        const auto eq = line.find('=');
        std::string name = eq == std::string::npos ? std::string() : line.substr(eq + 1);
        // The field of the row's own name; else one the server names differently.
        int match = -1;
        int other = -1;
        for (int r = 0; r < fields.RowCount(); ++r) {
            const std::string_view tag = fields.Cell(0, r);
            if (tag == name) {
                match = match < 0 ? r : match;
            } else if (!name.empty() && (other < 0 || fields.Cell(1, other).empty()) &&
                       IsSameDetailsField(name, tag)) {
                other = r;
            }
        }
        if (match < 0 || (fields.Cell(1, match).empty() && other >= 0 && !fields.Cell(1, other).empty())) {
            match = other;
        }
        std::string value = match >= 0 ? std::string(fields.Cell(1, match)) : std::string();
        rows.emplace_back(std::move(name), std::move(value));
    }

    // Visibility: 1 or 2 shown, "-2" kept hidden, anything else removed; an empty name stays.
    for (auto& [name, value] : rows) {
        bool hidden = false;
        if (!name.empty()) {
            const std::string view = ReadIniValue(s.view, name, kSettingsTarget);
            if (Trimmed(view) == "-2") {
                hidden = true;
            } else if (const int v = ViewValue(view); v != 1 && v != 2) {
                continue;
            }
        }
        std::string label = name.empty() ? std::string() : ReadIniValue(s.labels, name, kLanguageTarget);
        const int row = grid_.RowCount();
        grid_.SetRowCount(row + 1);
        fieldNames_.push_back(name);
        grid_.SetCell(0, row, (label.empty() || label == "0") ? std::move(name) : std::move(label));
        grid_.SetCell(1, row, std::move(value));
        viewHidden_.push_back(hidden ? 1 : 0);
        if (hidden) {
            grid_.SetRowHeight(row, -1);
        }
    }

    if (kind_ != kAccountDetails) {
        return;
    }
    if (rows_.other == grid_.RowCount() - 1) {
        grid_.SetRowCount(rows_.other);
        viewHidden_.resize(static_cast<size_t>(grid_.RowCount()));
        fieldNames_.resize(static_cast<size_t>(grid_.RowCount()));
    }
    if (InTable(rows_.psw)) {
        grid_.SetCell(0, rows_.psw, StatusText(24));
        grid_.SetCell(1, rows_.psw, StatusText(25));
        grid_.SetObject(1, rows_.psw, kLinkMarker);
    }
    for (int header : {0, rows_.other, rows_.cred}) {
        grid_.SetObject(0, header, kOpenGroupMarker);
    }
    grid_.SetCell(0, rows_.cred, StatusText(32));
    grid_.SetCell(0, 0, StatusText(16));
    grid_.SetRowHeight(0, kDetailsHeaderRowHeight);
    grid_.SetRowHeight(rows_.cred, kDetailsHeaderRowHeight);
    if (InTable(rows_.other)) {
        grid_.SetCell(0, rows_.other, StatusText(33));
        grid_.SetRowHeight(rows_.other, kDetailsHeaderRowHeight);
    }
}

bool TDetailsTable::IsGroupHeader(int row) const {
    const int marker = grid_.Object(0, row);
    return kind_ == kAccountDetails && (marker == kOpenGroupMarker || marker == kClosedGroupMarker);
}

bool TDetailsTable::ToggleGroup(int row) {
    if (!IsGroupHeader(row)) {
        return false;
    }
    const bool open = !IsGroupOpen(row);
    grid_.SetObject(0, row, open ? kOpenGroupMarker : kClosedGroupMarker);
    int first = 0;
    int last = -1;
    if (row == 0) {
        first = 1;
        last = rows_.cred - 1;
    } else if (row == rows_.cred) {
        first = rows_.cred + 1;
        last = rows_.other - 1;
    } else if (row == rows_.other) {
        first = rows_.other + 1;
        last = grid_.RowCount() - 1;
    }
    first = std::max(first, 0);
    last = std::min(last, grid_.RowCount() - 1);
    for (int r = first; r <= last; ++r) {
        SetVisible(r, open && !viewHidden_[static_cast<size_t>(r)]);
    }
    return true;
}

bool TDetailsTable::IsUnixTimeCell(int col, int row) const {
    return col == 1 && InTable(row) && static_cast<size_t>(row) < fieldNames_.size() &&
           IsUnixTimeField(fieldNames_[static_cast<size_t>(row)]) && !IsGroupHeader(row) &&
           !IsPasswordLink(col, row) && !UnixTimeText(grid_.Cell(col, row)).empty();
}

std::string TDetailsTable::ValueHint(int col, int row) const {
    return IsUnixTimeCell(col, row) ? std::string(grid_.Cell(col, row)) : std::string();
}

std::string TDetailsTable::DisplayText(int col, int row) const {
    const std::string text(grid_.Cell(col, row));
    if (IsUnixTimeCell(col, row)) {
        return UnixTimeText(text);
    }
    if (col == 1) {
        if (text == "1" || text == "y") {
            return BoolNames[1];
        }
        if (text == "0" || text == "n") {
            return BoolNames[0];
        }
    }
    return text;
}

bool TDetailsTable::DrawsNothing(int col, int row) const {
    return !grid_.RowVisible(row) || (col == 1 && IsGroupHeader(row));
}

bool TDetailsTable::IsLinkCell(int col, int row) const {
    return grid_.Object(col, row) == kLinkMarker || IsLinkText(grid_.Cell(col, row));
}

bool TDetailsTable::IsPasswordLink(int col, int row) const {
    return col > 0 && row > 0 && grid_.Object(col, row) == kLinkMarker;
}

bool TDetailsTable::IsUsageBar(int col, int row) const {
    return kind_ == kAccountDetails && col == 1 && row == rows_.diskUsed && InTable(row) &&
           !IsGroupHeader(row);
}

DiskUsage TDetailsTable::Usage() const {
    return MakeDiskUsage(grid_.Cell(1, rows_.diskUsed), grid_.Cell(1, rows_.diskLimit));
}

std::string TDetailsTable::UsageHint() const {
    const DiskUsage usage = Usage();
    return StatusText(48) + "=" + usage.limitText + ", " + StatusText(49) + "=" + usage.usedText;
}

DetailsColumnWidths TDetailsTable::ColumnWidths(int gridWidth, int gridHeight, int gridLineWidth) const {
    long long rowsHeight = 0;
    for (int r = 0; r < grid_.RowCount(); ++r) {
        rowsHeight += grid_.RowHeight(r) + gridLineWidth;
    }
    DetailsColumnWidths widths;
    widths.name = static_cast<int>(std::lround(0.4 * gridWidth));
    widths.value = static_cast<int>(std::lround(0.6 * gridWidth)) -
                   (rowsHeight >= static_cast<long long>(gridHeight) + 10 ? 20 : 4);
    return widths;
}

std::string DetailsTitle(std::string_view itemName) {
    return std::string(itemName) + " - " + AppName;
}

std::string DetailsHeading(int detailsKind) {
    return detailsKind == kAccountDetails ? StatusText(21) : StatusText(22);
}

std::string SuspendQuestion(bool suspended, std::string_view user) {
    return (suspended ? StatusText(20) : StatusText(19)) + " " + std::string(user);
}

std::string_view SuspendFunction(bool suspended) {
    return suspended ? "unsuspendacct" : "suspendacct";
}

SuspendButtons ButtonsFor(bool suspended) {
    return {suspended, !suspended, suspended};
}

SuspendButtons ButtonsAfterSuspendReply(bool wasSuspended, std::string_view status) {
    const bool done = status == "1";
    return ButtonsFor(wasSuspended ? !done : done);
}

} // namespace parlomar
