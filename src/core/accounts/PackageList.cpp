#include "core/accounts/PackageList.h"

#include "core/accounts/GridSort.h"
#include "core/server/XMLParser.h"

namespace parlomar {

void BeginListPackages(TListState& state) {
    state.PackagesListedInFull = true;
}

int PackageTabStatus(const TListState& state) {
    return state.packageReplyStored ? 0 : 12;
}

int FillPackageRows(TStringGridData& grid, std::string_view reply) {
    grid.SetColCount(kPackageColumns);
    XmlExtract(reply, "", "name", kXmlFillColumn, &grid, kPkgNameCol);
    XmlExtract(reply, "", "QUOTA", kXmlFillColumn, &grid, kPkgQuotaCol);
    XmlExtract(reply, "", "BWLIMIT", kXmlFillColumn, &grid, kPkgBwLimitCol);
    const int height = grid.DefaultRowHeight();
    for (int row = 1; row < grid.RowCount(); ++row) {
        grid.SetRowHeight(row, height);
    }
    return grid.RowCount() - 1;
}

PackageListView ShowPackageList(TStringGridData& grid, TListState& state, int status, std::string_view reply,
                                const StatusTextLookup& statusText) {
    PackageListView view;
    view.addCaption = 63;
    view.getListCaption = state.PackagesListedInFull ? 68 : 55;
    view.listMessage = status;
    if (status != 0) {
        return view;
    }
    const int rows = FillPackageRows(grid, reply);
    if (rows < 1) {
        view.listMessage = 12; // said over the results area, not an empty grid under other headings
        return view;
    }
    if (statusText) {
        grid.SetCell(0, 0, statusText(26));
        grid.SetCell(1, 0, statusText(37));
        grid.SetCell(2, 0, statusText(38));
        grid.SetCell(3, 0, statusText(39));
    }
    state.packageSort = ApplyListSort(grid, kListModePackages, state.packageSort);
    view.shown = true;
    view.fetchedRows = rows;
    view.selectRow = FirstVisibleRow(grid);
    return view;
}

std::string PackageCopyText(const TStringGridData& grid, int row) {
    std::string text(grid.Cell(kPkgNameCol, row));
    return text.append(" ")
        .append(grid.Cell(kPkgQuotaCol, row))
        .append(" ")
        .append(grid.Cell(kPkgBwLimitCol, row));
}

int PackageCountOf(std::string_view packageReply) {
    TStringGridData names(1, 1);
    XmlExtract(packageReply, "", "name", kXmlFillColumn, &names, 0);
    return names.RowCount() - 1;
}

AfterDelete AfterPackageDelete(int result, int listMode) {
    AfterDelete after;
    after.showTransportError = result > 0;
    after.packageFetches = (result == 0 ? 1 : 0) + (listMode == kListModePackages ? 1 : 0);
    return after;
}

} // namespace parlomar
