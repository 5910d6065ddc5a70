// The details window's table over any reply: built for an account summary and for a package,
// every cell's shown text, hint and role read, every group toggled.
#include "core/accounts/DetailsView.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    for (int kind : {parlomar::kAccountDetails, parlomar::kPackageDetails}) {
        parlomar::TDetailsTable table(kind);
        table.Fill(reply);
        for (int row = 0; row < table.RowCount(); ++row) {
            for (int col = 0; col < 2; ++col) {
                (void)table.DisplayText(col, row);
                (void)table.ValueHint(col, row);
                (void)table.IsLinkCell(col, row);
                (void)table.IsUsageBar(col, row);
            }
            table.ToggleGroup(row);
        }
        const parlomar::DiskUsage usage = table.Usage();
        (void)usage;
        (void)table.UsageHint();
        (void)table.ColumnWidths(300, 200);
    }
    return 0;
}
