#include "core/accounts/StringGrid.h"

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

TEST(StringGrid, ObjectsAndHeightsTravelWithPermutedAndKeptRows) {
    TStringGridData grid(3, 4);
    grid.SetDefaultRowHeight(18);
    for (int row = 0; row < 4; ++row) {
        grid.SetCell(0, row, "n" + std::to_string(row));
        grid.SetCell(1, row, "t" + std::to_string(row));
        grid.SetObject(2, row, row * 10);
    }
    grid.SetRowHeight(3, -1);
    EXPECT_EQ(grid.RowHeight(1), 18);
    EXPECT_EQ(grid.Object(5, 1), 0);
    grid.SetObject(5, 1, 7); // outside: ignored

    ASSERT_TRUE(grid.PermuteRows(1, {2, 0, 1}, {0}));
    EXPECT_EQ(grid.Cell(1, 1), "t3");
    EXPECT_EQ(grid.Cell(0, 1), "n1") << "a kept column stays in place";
    EXPECT_EQ(grid.Object(2, 1), 30);
    EXPECT_EQ(grid.RowHeight(1), -1);
    EXPECT_EQ(grid.Cell(1, 3), "t2");
    EXPECT_FALSE(grid.PermuteRows(1, {0, 0, 1})) << "not a permutation";
    EXPECT_FALSE(grid.PermuteRows(2, {0, 1, 2})) << "past the end";
    EXPECT_EQ(grid.Cell(1, 1), "t3");

    grid.KeepRows({true, false, true});
    ASSERT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.Cell(1, 1), "t1");
    EXPECT_EQ(grid.Object(2, 1), 10);
    EXPECT_EQ(grid.Cell(1, 2), "t2");
    EXPECT_EQ(grid.Object(2, 2), 20);

    grid.SetColCount(4);
    EXPECT_EQ(grid.Object(2, 2), 20) << "objects survive a change of the column count";
    grid.SetColCount(2);
    grid.SetColCount(3);
    EXPECT_EQ(grid.Object(2, 2), 0);
    grid.SetRowCount(5);
    EXPECT_EQ(grid.RowHeight(4), 18);
    EXPECT_EQ(grid.Object(1, 4), 0);
}
