#include "core/accounts/ListGrid.h"

#include "core/server/Global.h"

namespace parlomar {

namespace {

inline unsigned char Upper(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

bool StartsWithFolded(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (Upper(text[i]) != Upper(prefix[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

int KeyColumnOf(int listMode) {
    return listMode == kListModePackages ? kPackageKeyColumn : kAccountKeyColumn;
}

int VisibleRowMarkerOf(int listMode) {
    return listMode == kListModePackages ? kRowVisiblePackage : kRowVisibleAccount;
}

ListStatusSlot FilterBarSlot(int filterMode, int rows) {
    if (filterMode == kFilterActive) {
        return {65, rows};
    }
    if (filterMode == kFilterSuspended) {
        return {66, rows};
    }
    return {};
}

LocalFilterResult ApplyLocalFilter(TStringGridData& grid, int listMode, std::string_view boxText,
                                   bool listMessageShown, int filterMode) {
    LocalFilterResult result;
    if (listMode != kListModeAccounts && listMode != kListModePackages) {
        return result;
    }
    result.ran = true;
    const int key = KeyColumnOf(listMode);
    const int visible = VisibleRowMarkerOf(listMode);
    const int height = grid.DefaultRowHeight();
    int matching = 0;
    for (int row = 1; row < grid.RowCount(); ++row) {
        if (StartsWithFolded(grid.Cell(key, row), boxText)) {
            grid.SetRowHeight(row, height);
            grid.SetObject(key, row, visible);
            grid.SetCell(0, row, std::to_string(++matching));
        } else {
            grid.SetRowHeight(row, -1);
            grid.SetObject(key, row, kRowHidden);
        }
    }
    result.matching = matching;
    if (!boxText.empty() && !listMessageShown) {
        result.slot1 = {17, matching};
    } else {
        int shown = 0;
        for (int row = 1; row < grid.RowCount(); ++row) {
            shown += grid.RowVisible(row) ? 1 : 0;
        }
        result.slot1 = FilterBarSlot(filterMode, shown);
    }
    return result;
}

int NextVisibleRow(const TStringGridData& grid, int row) {
    for (int r = std::max(row + 1, 1); r < grid.RowCount(); ++r) {
        if (grid.RowVisible(r)) {
            return r;
        }
    }
    return -1;
}

int PreviousVisibleRow(const TStringGridData& grid, int row) {
    for (int r = std::min(row - 1, grid.RowCount() - 1); r >= 1; --r) {
        if (grid.RowVisible(r)) {
            return r;
        }
    }
    return -1;
}

int FirstVisibleRow(const TStringGridData& grid) {
    const int row = NextVisibleRow(grid, 0);
    return row < 0 ? 0 : row;
}

int SelectableRow(const TStringGridData& grid, int requested, int lastSelected) {
    if (requested < 1 || requested >= grid.RowCount()) {
        return -1;
    }
    if (grid.RowVisible(requested)) {
        return requested;
    }
    return requested > lastSelected ? NextVisibleRow(grid, requested) : PreviousVisibleRow(grid, requested);
}

bool IsLinkCell(std::string_view text, int object) {
    return object == kRowVisiblePackage || IsLinkText(text);
}

std::string LinkAddress(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    for (char c : text) {
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) {
            return {};
        }
    }
    const bool hasAt = text.find('@') != std::string_view::npos;
    if (hasAt) {
        // A mail address: no scheme of its own may ride along ("mailto:" is added here only).
        if (text.find(':') != std::string_view::npos) {
            return {};
        }
        return "mailto:" + std::string(text);
    }
    auto contains = [text](std::string_view part) {
        for (size_t i = 0; i + part.size() <= text.size(); ++i) {
            if (StartsWithFolded(text.substr(i), part)) {
                return true;
            }
        }
        return false;
    };
    const bool hasWww = contains("www");
    const bool hasHttp = contains("http");
    if (StartsWithFolded(text, "http://") || StartsWithFolded(text, "https://")) {
        return std::string(text);
    }
    if (text.find(':') != std::string_view::npos) {
        return {}; // some other scheme (or an "http" that is not one): never opened
    }
    if (!hasWww && !hasHttp) {
        return "http://www." + std::string(text);
    }
    return "http://" + std::string(text);
}

} // namespace parlomar
