#include "accounts/StringGrid.h"

#include <gtest/gtest.h>

using parlomar::TStringGridData;

TEST(StringGrid, CellsOutsideTheTableReadEmptyAndIgnoreWrites) {
    TStringGridData grid(3, 2);
    grid.SetCell(1, 1, "x");
    grid.SetCell(3, 1, "outside");
    grid.SetCell(0, 2, "outside");
    grid.SetCell(-1, 0, "outside");
    EXPECT_EQ(grid.Cell(1, 1), "x");
    EXPECT_EQ(grid.Cell(3, 1), "");
    EXPECT_EQ(grid.Cell(0, 2), "");
    grid.SetRowCount(1);
    grid.SetRowCount(2);
    EXPECT_EQ(grid.Cell(1, 1), "") << "a row dropped and added again starts empty";
    grid.SetColCount(5);
    grid.SetCell(4, 1, "wide");
    EXPECT_EQ(grid.Cell(4, 1), "wide");
}
