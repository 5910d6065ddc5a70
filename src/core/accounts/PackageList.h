#pragma once

#include "core/accounts/AccountList.h"
#include "core/accounts/StringGrid.h"

#include <string>
#include <string_view>

namespace parlomar {

// The package list in the grid, built from a listpkgs reply, and the counts derived from it.

inline constexpr int kPackageColumns = 4;
inline constexpr int kPkgNumberCol = 0;
inline constexpr int kPkgNameCol = 1;
inline constexpr int kPkgQuotaCol = 2;
inline constexpr int kPkgBwLimitCol = 3;

// "List packages": a full listing. The window then fetches ListPackagesUrl.
void BeginListPackages(TListState& state);

// The status a switch to the package tab shows the stored reply with: 0, or 12 when no package
// reply is stored.
int PackageTabStatus(const TListState& state);

// Fills the package columns 1, 2, 3 from every `name`, `QUOTA` and `BWLIMIT` of the reply (row n:
// the n-th occurrence of each tag), numbers column 0 and shows every data row. The heading row is
// kept. Returns the number of data rows.
int FillPackageRows(TStringGridData& grid, std::string_view reply);

struct PackageListView {
    int addCaption = 0;     // status text for AddButton
    int getListCaption = 0; // status text for GetListButton
    int listMessage = 0;    // ShowListMessage with this code (the transport status; 0 hides it)
    bool shown = false;     // packages were listed: hide the message, lay out
    int fetchedRows = 0;    // ShowRequestStatus with 40 and this number (when shown)
    int selectRow = 0;      // row to select (0: none)
};

// The data part of `ShowPackageList` (transport status, reply), in list mode 2 only: builds the
// package grid and keeps it in the order the operator chose (state.packageSort). A reply without
// packages leaves the heading row as it was and shows error text 12.
PackageListView ShowPackageList(TStringGridData& grid, TListState& state, int status, std::string_view reply,
                                const StatusTextLookup& statusText);

// Clipboard text of a package row: name + " " + QUOTA + " " + BWLIMIT.
std::string PackageCopyText(const TStringGridData& grid, int row);

// The number of packages in a listpkgs reply: the number of `name` values (an empty name counts).
int PackageCountOf(std::string_view packageReply);

// A package deletion: a success fetches the package list, and in package mode it is fetched once
// more after any answer, the declined question included.
AfterDelete AfterPackageDelete(int result, int listMode);

} // namespace parlomar
