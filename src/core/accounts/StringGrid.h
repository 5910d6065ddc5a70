#pragma once

#include <string>
#include <vector>

namespace parlomar {

// A table of text cells addressed by column and row; row 0 is the heading row. This is the data
// behind every list grid of the program: the core fills and rearranges it, the windows draw it.
// Reading a cell outside the table gives the empty text; writing one outside it is ignored.
//
// Besides its text, every cell carries an integer (its "object": sort markers in heading cells, row
// markers in a list's key column), and every row a height. A row whose height is below 1 is hidden:
// it is neither drawn nor selectable. Rows added to the table start with object 0 in every cell and
// the default row height.
class TStringGridData {
public:
    TStringGridData() = default;
    TStringGridData(int colCount, int rowCount);

    int ColCount() const { return colCount_; }
    int RowCount() const { return static_cast<int>(rows_.size()); }
    void SetColCount(int count);
    void SetRowCount(int count);

    const std::string& Cell(int col, int row) const;
    void SetCell(int col, int row, std::string text);

    // The integer stored with a cell; 0 outside the table (writes there are ignored).
    int Object(int col, int row) const;
    void SetObject(int col, int row, int value);

    // Row heights; 0 outside the table (writes there are ignored).
    int RowHeight(int row) const;
    void SetRowHeight(int row, int height);
    bool RowVisible(int row) const { return RowHeight(row) > 0; }
    int DefaultRowHeight() const { return defaultRowHeight_; }
    // Also gives every row the new height, as a grid does when its default row height changes.
    void SetDefaultRowHeight(int height);

    // Reorders rows first..first+order.size()-1: position first+i receives the row that stood at
    // first+order[i] (order is a permutation of 0..n-1), with its texts, objects and height. Texts of
    // the columns listed in keepCols stay where they were. An order that is not a permutation of
    // that range, or reaches past the table, leaves the table unchanged and returns false.
    bool PermuteRows(int first, const std::vector<int>& order, const std::vector<int>& keepCols = {});

    // Keeps only the rows for which keep[row] is true (entries past keep.size() are kept), in their
    // order; the rows after a removed one move up.
    void KeepRows(const std::vector<bool>& keep);

    // The cells of one row, as a whole (for moves and sorting).
    std::vector<std::string>& Row(int row) { return rows_[static_cast<size_t>(row)]; }
    const std::vector<std::string>& Row(int row) const { return rows_[static_cast<size_t>(row)]; }

    // Reserves room for rows about to be added.
    void ReserveRows(int count);

private:
    bool Inside(int col, int row) const {
        return col >= 0 && row >= 0 && col < colCount_ && row < RowCount();
    }
    size_t ObjectIndex(int col, int row) const {
        return static_cast<size_t>(row) * static_cast<size_t>(colCount_) + static_cast<size_t>(col);
    }

    int colCount_ = 0;
    int defaultRowHeight_ = 24;
    std::vector<std::vector<std::string>> rows_;
    std::vector<int> objects_; // row-major, colCount_ per row
    std::vector<int> heights_;
};

} // namespace parlomar
