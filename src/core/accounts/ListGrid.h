#pragma once

#include "core/accounts/GridSort.h"
#include "core/accounts/StringGrid.h"

#include <string>
#include <string_view>

namespace parlomar {

// The list grid logic shared by the account and the package list: the local filter, selection over
// hidden rows, link cells. Pure operations on the grid data; the window draws the result.

// The key column of a list (row markers, row icon, the local filter's column).
inline constexpr int kAccountKeyColumn = 2;
inline constexpr int kPackageKeyColumn = 1;
int KeyColumnOf(int listMode);
int VisibleRowMarkerOf(int listMode);

// `FilterMode` of the filter bar.
inline constexpr int kFilterAll = 1;
inline constexpr int kFilterActive = 2;
inline constexpr int kFilterSuspended = 3;

// What a status slot shows: StatusText(text) + " " + count, or nothing when text is 0.
struct ListStatusSlot {
    int text = 0;
    int count = 0;
    bool Empty() const { return text == 0; }
    friend bool operator==(const ListStatusSlot&, const ListStatusSlot&) = default;
};

// Status slot 1 after the filter bar: status text 65 (active) or 66 (suspended) with the number of
// rows; empty for all accounts.
ListStatusSlot FilterBarSlot(int filterMode, int rows);

struct LocalFilterResult {
    bool ran = false;     // false outside list modes 1 and 2: nothing changed
    int matching = 0;     // rows whose key text starts with the box text
    ListStatusSlot slot1; // what status slot 1 shows now
};

// `QueryEditChange`: every data row is shown again, then each row whose key column text does not
// start with the box text (A-Z and a-z counted equal, no other folding) is hidden: row marker
// kRowHidden and height -1. Matching rows are numbered 1, 2, 3 ... in column 0; hidden rows keep
// their number. Slot 1: status text 17 with the number of matching rows when the box is not empty
// and no list message covers the grid, else the filter bar's text with the number of visible rows.
LocalFilterResult ApplyLocalFilter(TStringGridData& grid, int listMode, std::string_view boxText,
                                   bool listMessageShown, int filterMode);

// The first visible data row after `row` (or before it), or -1 when there is none.
int NextVisibleRow(const TStringGridData& grid, int row);
int PreviousVisibleRow(const TStringGridData& grid, int row);
// The first visible data row, or 0 when every data row is hidden or there is none.
int FirstVisibleRow(const TStringGridData& grid);

// `AccListSelectCell`: the row that becomes selected when `requested` is asked for while
// `lastSelected` is the last accepted row. A visible data row is accepted as it is; for a hidden one
// the nearest visible row in the direction of travel (downwards when requested > lastSelected,
// upwards otherwise); -1 when there is none, or for the heading row or a row outside the grid (the
// selection stays).
int SelectableRow(const TStringGridData& grid, int requested, int lastSelected);

// A cell drawn and handled as a link: its text is link text (IsLinkText), or its object is the package
// row marker.
bool IsLinkCell(std::string_view text, int object);

// The address opened for a link cell's text, or the empty text when it must not be opened. A text
// with "@" becomes "mailto:" + text; a text containing none of "www", "@" and "http" gets "www." in
// front; an address without a scheme is opened as "http://" + it. Only http, https and mailto
// addresses are ever returned; texts with blanks or control characters are refused.
std::string LinkAddress(std::string_view text);

} // namespace parlomar
