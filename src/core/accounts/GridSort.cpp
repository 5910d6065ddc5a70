#include "core/accounts/GridSort.h"

#include <algorithm>
#include <clocale>
#include <cstring>
#include <numeric>

namespace parlomar {

namespace {

bool ByteCollation() {
    const char* name = std::setlocale(LC_COLLATE, nullptr);
    return name == nullptr || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0;
}

int ByteCompare(std::string_view a, std::string_view b) {
    const int c = a.compare(b); // char_traits<char>::compare orders unsigned bytes
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// The locale's collation key of a text: comparing keys bytewise gives the order of strcoll.
std::string CollationKey(std::string_view cell) {
    const std::string text(cell);
    std::string key(text.size() * 4 + 16, '\0');
    size_t needed = std::strxfrm(key.data(), text.c_str(), key.size());
    if (needed >= key.size()) {
        key.assign(needed + 1, '\0');
        needed = std::strxfrm(key.data(), text.c_str(), key.size());
    }
    key.resize(std::min(needed, key.size()));
    return key;
}

int MarkerOfVisibleRow(int listMode) {
    return listMode == kListModePackages ? kRowVisiblePackage : kRowVisibleAccount;
}

int KeyColumn(int listMode) {
    return listMode == kListModePackages ? 1 : 2;
}

} // namespace

int CompareListTexts(std::string_view a, std::string_view b) {
    if (ByteCollation()) {
        return ByteCompare(a, b);
    }
    const int c = std::strcoll(std::string(a).c_str(), std::string(b).c_str());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::vector<int> SortedRowOrder(const TStringGridData& grid, int col, bool ascending) {
    const int n = std::max(0, grid.RowCount() - 1);
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    if (n < 2 || col < 0 || col >= grid.ColCount()) {
        return order;
    }

    // One key per row, so each comparison is a plain byte comparison. Under the byte collation the
    // keys are the cell texts themselves and nothing is copied.
    std::vector<std::string> ownKeys;
    std::vector<std::string_view> keys(static_cast<size_t>(n));
    if (ByteCollation()) {
        for (int i = 0; i < n; ++i) {
            keys[static_cast<size_t>(i)] = grid.Cell(col, i + 1);
        }
    } else {
        ownKeys.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            ownKeys.emplace_back(CollationKey(grid.Cell(col, i + 1)));
        }
        for (int i = 0; i < n; ++i) {
            keys[static_cast<size_t>(i)] = ownKeys[static_cast<size_t>(i)];
        }
    }
    if (ascending) {
        std::stable_sort(order.begin(), order.end(), [&keys](int x, int y) {
            return keys[static_cast<size_t>(x)] < keys[static_cast<size_t>(y)];
        });
    } else {
        std::stable_sort(order.begin(), order.end(), [&keys](int x, int y) {
            return keys[static_cast<size_t>(y)] < keys[static_cast<size_t>(x)];
        });
    }
    return order;
}

void SortRows(TStringGridData& grid, int col, bool ascending) {
    if (grid.RowCount() < 2) {
        return;
    }
    grid.PermuteRows(1, SortedRowOrder(grid, col, ascending), {0});
    int number = 0;
    for (int row = 1; row < grid.RowCount(); ++row) {
        if (grid.RowVisible(row)) {
            grid.SetCell(0, row, std::to_string(++number));
        }
    }
}

bool IsSortableColumn(int listMode, int col) {
    if (listMode == kListModeAccounts) {
        return col == 1 || col == 2;
    }
    if (listMode == kListModePackages) {
        return col >= 1;
    }
    return false;
}

TListSort ApplyListSort(TStringGridData& grid, int listMode, const TListSort& sort) {
    TListSort applied = sort;
    if (!IsSortableColumn(listMode, applied.col) || applied.col >= grid.ColCount()) {
        applied = TListSort{};
    }
    if (applied.col >= grid.ColCount() || grid.RowCount() < 1) {
        return applied;
    }
    SortRows(grid, applied.col, applied.ascending);

    for (int c = 0; c < grid.ColCount(); ++c) {
        grid.SetObject(c, 0, kSortNone);
    }
    grid.SetObject(applied.col, 0, applied.ascending ? kSortAscending : kSortDescending);
    // Every other data cell's object is cleared; the key column carries the row marker. A row the
    // local filter hides keeps its hidden marker so that the next filter change shows it again.
    const int key = KeyColumn(listMode);
    const int visible = MarkerOfVisibleRow(listMode);
    for (int row = 1; row < grid.RowCount(); ++row) {
        for (int c = 0; c < grid.ColCount(); ++c) {
            grid.SetObject(c, row, 0);
        }
        grid.SetObject(key, row, grid.RowVisible(row) ? visible : kRowHidden);
    }
    return applied;
}

bool SortByHeaderClick(TStringGridData& grid, int listMode, int col) {
    if (!IsSortableColumn(listMode, col) || col >= grid.ColCount() || grid.RowCount() < 1) {
        return false;
    }
    ApplyListSort(grid, listMode, TListSort{col, grid.Object(col, 0) != kSortAscending});
    return true;
}

TListSort ListSortOf(const TStringGridData& grid, int listMode) {
    if (grid.RowCount() > 0) {
        for (int col = 0; col < grid.ColCount(); ++col) {
            const int marker = grid.Object(col, 0);
            if (IsSortableColumn(listMode, col) && (marker == kSortAscending || marker == kSortDescending)) {
                return TListSort{col, marker == kSortAscending};
            }
        }
    }
    return TListSort{};
}

} // namespace parlomar
