#pragma once

#include <string>
#include <vector>

namespace parlomar {

// A table of text cells addressed by column and row; row 0 is the heading row. This is the data
// behind every list grid of the program: the core fills and rearranges it, the windows draw it.
// Reading a cell outside the table gives the empty text; writing one outside it is ignored.
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

    // The cells of one row, as a whole (for moves and sorting).
    std::vector<std::string>& Row(int row) { return rows_[static_cast<size_t>(row)]; }
    const std::vector<std::string>& Row(int row) const { return rows_[static_cast<size_t>(row)]; }

private:
    int colCount_ = 0;
    std::vector<std::vector<std::string>> rows_;
};

} // namespace parlomar
