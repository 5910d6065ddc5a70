#include "core/accounts/GridSort.h"
#include "core/accounts/ListGrid.h"
#include "core/accounts/StringGrid.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace parlomar;

namespace {

// The list sort as an operator would do it by hand: each row in turn is moved up past the rows
// above it while its text is smaller (larger when descending). A move carries the row's height and
// the texts of columns 1 to the last; column 0 stays. Visible rows are then numbered.
void InsertionSortReference(TStringGridData& grid, int col, bool ascending) {
    for (int i = 2; i < grid.RowCount(); ++i) {
        int j = i;
        while (j > 1) {
            const int c = CompareListTexts(grid.Cell(col, j), grid.Cell(col, j - 1));
            if (!(ascending ? c < 0 : c > 0)) {
                break;
            }
            for (int k = 1; k < grid.ColCount(); ++k) {
                const std::string above(grid.Cell(k, j - 1));
                grid.SetCell(k, j - 1, grid.Cell(k, j));
                grid.SetCell(k, j, above);
            }
            const int h = grid.RowHeight(j - 1);
            grid.SetRowHeight(j - 1, grid.RowHeight(j));
            grid.SetRowHeight(j, h);
            --j;
        }
    }
    int n = 0;
    for (int row = 1; row < grid.RowCount(); ++row) {
        if (grid.RowHeight(row) > 0) {
            grid.SetCell(0, row, std::to_string(++n));
        }
    }
}

std::vector<std::vector<std::string>> Texts(const TStringGridData& grid) {
    std::vector<std::vector<std::string>> out;
    for (int row = 0; row < grid.RowCount(); ++row) {
        std::vector<std::string> cells;
        for (int col = 0; col < grid.ColCount(); ++col) {
            cells.emplace_back(grid.Cell(col, row));
        }
        cells.push_back("h" + std::to_string(grid.RowHeight(row)));
        out.push_back(cells);
    }
    return out;
}

TStringGridData RandomGrid(std::mt19937& rng, int rows) {
    // Few distinct values so that ties are common; texts as the server sends them.
    const std::vector<std::string> values = {
        "172M", "20M", "1000", "200", "unlimited",         "Unlimited", "",  "abc",   "ABC",
        "ab",   "b",   "a-b",  "a b", "\xc3\xa9t\xc3\xa9", "zz",        "0", "1000M", "2"};
    std::uniform_int_distribution<size_t> pick(0, values.size() - 1);
    std::uniform_int_distribution<int> coin(0, 4);
    TStringGridData grid(5, rows + 1);
    for (int row = 1; row <= rows; ++row) {
        grid.SetCell(0, row, "n" + std::to_string(row));
        grid.SetCell(1, row, values[pick(rng)]);
        grid.SetCell(2, row, values[pick(rng)]);
        grid.SetCell(3, row, "id" + std::to_string(row)); // identifies the row, shows stability
        grid.SetCell(4, row, values[pick(rng)]);
        if (coin(rng) == 0) {
            grid.SetRowHeight(row, -1);
        }
    }
    return grid;
}

} // namespace

TEST(ListSort, SameOrderAsTheInsertionSortOnRandomData) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 40; ++round) {
        const int rows = round < 10 ? round : 10 + round * 4;
        TStringGridData original = RandomGrid(rng, rows);
        for (int col : {1, 2, 4}) {
            for (bool ascending : {true, false}) {
                TStringGridData expected = original;
                TStringGridData actual = original;
                InsertionSortReference(expected, col, ascending);
                SortRows(actual, col, ascending);
                ASSERT_EQ(Texts(actual), Texts(expected))
                    << "rows " << rows << " column " << col << (ascending ? " ascending" : " descending");
            }
        }
    }
}

TEST(ListSort, ComparesTextsNotNumbersAndKeepsEqualRowsInOrder) {
    TStringGridData grid(3, 7);
    const char* quotas[] = {"200", "1000", "unlimited", "20M", "172M", "1000"};
    for (int row = 1; row <= 6; ++row) {
        grid.SetCell(1, row, "pkg" + std::to_string(row));
        grid.SetCell(2, row, quotas[row - 1]);
    }
    SortRows(grid, 2, true);
    std::vector<std::string> order;
    for (int row = 1; row <= 6; ++row) {
        order.push_back(std::string(grid.Cell(2, row)) + "/" + std::string(grid.Cell(1, row)));
        EXPECT_EQ(grid.Cell(0, row), std::to_string(row));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"1000/pkg2", "1000/pkg6", "172M/pkg5", "200/pkg1", "20M/pkg4",
                                               "unlimited/pkg3"}));
    SortRows(grid, 2, false);
    EXPECT_EQ(grid.Cell(1, 1), "pkg3");
    EXPECT_EQ(grid.Cell(1, 5), "pkg2") << "descending keeps equal rows in their order too";
    EXPECT_EQ(grid.Cell(1, 6), "pkg6");

    EXPECT_LT(CompareListTexts("B", "a"), 0) << "case-sensitive byte order in the C collation";
    EXPECT_EQ(CompareListTexts("same", "same"), 0);
}

TEST(ListSort, HeaderClicksToggleDirectionOnSortableColumnsOnly) {
    TStringGridData grid(8, 4);
    const char* users[] = {"bob", "alice", "carol"};
    for (int row = 1; row <= 3; ++row) {
        grid.SetCell(1, row, users[row - 1]);
        grid.SetCell(2, row, std::string(users[row - 1]) + ".example");
        grid.SetObject(2, row, 5);
    }
    grid.SetObject(2, 0, kSortDescending);

    ASSERT_TRUE(SortByHeaderClick(grid, kListModeAccounts, 1));
    EXPECT_EQ(grid.Cell(1, 1), "alice");
    EXPECT_EQ(grid.Object(1, 0), kSortAscending);
    EXPECT_EQ(grid.Object(2, 0), kSortNone) << "the other heading loses its arrow";
    EXPECT_EQ(grid.Object(2, 1), kRowVisibleAccount);

    ASSERT_TRUE(SortByHeaderClick(grid, kListModeAccounts, 1));
    EXPECT_EQ(grid.Cell(1, 1), "carol");
    EXPECT_EQ(grid.Object(1, 0), kSortDescending);
    ASSERT_TRUE(SortByHeaderClick(grid, kListModeAccounts, 1));
    EXPECT_EQ(grid.Cell(1, 1), "alice");

    for (int col : {0, 3, 4, 5, 6, 7, 8, -1}) {
        EXPECT_FALSE(SortByHeaderClick(grid, kListModeAccounts, col)) << col;
    }
    EXPECT_EQ(grid.Object(1, 0), kSortAscending) << "a click on another heading changes nothing";

    TStringGridData packages(4, 3);
    packages.SetCell(3, 1, "b");
    packages.SetCell(3, 2, "a");
    EXPECT_FALSE(SortByHeaderClick(packages, kListModePackages, 0));
    ASSERT_TRUE(SortByHeaderClick(packages, kListModePackages, 3));
    EXPECT_EQ(packages.Cell(3, 1), "a");
    EXPECT_EQ(packages.Object(1, 1), kRowVisiblePackage);
    EXPECT_EQ(packages.Object(1, 2), kRowVisiblePackage);
}

TEST(ListSort, RowsHiddenByTheFilterStayHiddenThroughASortAndComeBackWhenItIsCleared) {
    TStringGridData grid(8, 5);
    const char* domains[] = {"delta.example", "alpha.example", "dune.example", "beta.example"};
    for (int row = 1; row <= 4; ++row) {
        grid.SetCell(1, row, "u" + std::to_string(5 - row));
        grid.SetCell(2, row, domains[row - 1]);
    }
    ApplyLocalFilter(grid, kListModeAccounts, "d", false, kFilterAll);
    ASSERT_TRUE(SortByHeaderClick(grid, kListModeAccounts, 2));
    int visible = 0;
    for (int row = 1; row <= 4; ++row) {
        const bool d = grid.Cell(2, row)[0] == 'd';
        EXPECT_EQ(grid.RowVisible(row), d) << grid.Cell(2, row);
        EXPECT_EQ(grid.Object(2, row), d ? kRowVisibleAccount : kRowHidden);
        if (d) {
            EXPECT_EQ(grid.Cell(0, row), std::to_string(++visible)) << "visible rows numbered in order";
        }
    }
    const LocalFilterResult cleared = ApplyLocalFilter(grid, kListModeAccounts, "", false, kFilterAll);
    EXPECT_EQ(cleared.matching, 4);
    for (int row = 1; row <= 4; ++row) {
        EXPECT_TRUE(grid.RowVisible(row)) << row;
        EXPECT_EQ(grid.Cell(0, row), std::to_string(row));
    }
}
