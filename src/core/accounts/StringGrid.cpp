#include "accounts/StringGrid.h"

#include <algorithm>

namespace parlomar {

namespace {
const std::string kEmpty;
}

TStringGridData::TStringGridData(int colCount, int rowCount) {
    SetColCount(colCount);
    SetRowCount(rowCount);
}

void TStringGridData::SetColCount(int count) {
    colCount_ = std::max(0, count);
    for (auto& row : rows_) {
        row.resize(static_cast<size_t>(colCount_));
    }
}

void TStringGridData::SetRowCount(int count) {
    rows_.resize(static_cast<size_t>(std::max(0, count)), std::vector<std::string>(static_cast<size_t>(colCount_)));
}

const std::string& TStringGridData::Cell(int col, int row) const {
    if (col < 0 || row < 0 || col >= colCount_ || row >= RowCount()) {
        return kEmpty;
    }
    return rows_[static_cast<size_t>(row)][static_cast<size_t>(col)];
}

void TStringGridData::SetCell(int col, int row, std::string text) {
    if (col < 0 || row < 0 || col >= colCount_ || row >= RowCount()) {
        return;
    }
    rows_[static_cast<size_t>(row)][static_cast<size_t>(col)] = std::move(text);
}

} // namespace parlomar
