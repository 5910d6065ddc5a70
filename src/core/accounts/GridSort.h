#pragma once

#include "core/accounts/StringGrid.h"

#include <string>
#include <string_view>
#include <vector>

namespace parlomar {

// Sort markers, kept in the heading cell of each column.
inline constexpr int kSortNone = 0;
inline constexpr int kSortAscending = -1;
inline constexpr int kSortDescending = 1;

// Row markers, kept in the key column of each data row.
inline constexpr int kRowVisibleAccount = 0;
inline constexpr int kRowVisiblePackage = -10;
inline constexpr int kRowHidden = -20;

// Which list the grid shows.
inline constexpr int kListModeNone = 0;
inline constexpr int kListModeAccounts = 1;
inline constexpr int kListModePackages = 2;

// Compares two cell texts as the list sorts them: by the collation of the user's locale (LC_COLLATE
// of the process), case-sensitive. Under the "C"/"POSIX" collation this is the order of the unsigned
// bytes. Texts are compared as text, so "1000" < "200" and "172M" < "20M" < "unlimited". A text is
// compared up to its first NUL byte when the locale's collation is used. Negative, 0 or positive.
int CompareListTexts(std::string_view a, std::string_view b);

// The data rows 1..last in the order of a stable sort by the text of column col: position i of the
// result names the row (0-based from row 1) that goes there. Ascending, equal texts keep their
// order; descending likewise (a stable sort with the comparison reversed, not a reversed ascending
// sort). The same order as inserting each row in turn above the rows whose text is greater (smaller
// when descending), but computed in O(n log n) with one collation key per row.
std::vector<int> SortedRowOrder(const TStringGridData& grid, int col, bool ascending);

// Sorts the data rows by column col (SortedRowOrder) and moves each row with its height and
// objects and the texts of columns 1 to the last; column 0 stays in place. Afterwards column 0 is
// numbered 1, 2, 3 ... over the visible rows (height above 0); hidden rows keep the number they
// found at their new place.
void SortRows(TStringGridData& grid, int col, bool ascending);

// Columns a heading click sorts: 1 and 2 of the account list, every column from 1 of the package list.
bool IsSortableColumn(int listMode, int col);

// The order the operator chose for a list: the sorted column and its direction. A list that was
// never sorted by a heading click is kept by its name column (user name, package name) ascending.
struct TListSort {
    int col = 1;
    bool ascending = true;
    friend bool operator==(const TListSort&, const TListSort&) = default;
};

// Sorts the data rows by sort.col in sort's direction (a column that is not sortable in this list
// mode counts as the name column ascending). Afterwards every heading marker is none except the
// sorted column's (ascending or descending), and every data row's marker is the list's visible
// marker, or kRowHidden for a row still hidden by the local filter. Returns the sort applied.
TListSort ApplyListSort(TStringGridData& grid, int listMode, const TListSort& sort);

// A click on the heading of column col (the list's `AccListMouseUp` on row 0): ApplyListSort with
// that column, ascending when the column's sort marker is none or descending, else descending.
// Returns false (nothing changed) for a column that is not sortable in this list mode.
bool SortByHeaderClick(TStringGridData& grid, int listMode, int col);
// The sort a heading row shows: the first sortable column with a marker, else the name column
// ascending.
TListSort ListSortOf(const TStringGridData& grid, int listMode);

} // namespace parlomar
