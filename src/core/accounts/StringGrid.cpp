#include "core/accounts/StringGrid.h"

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
    count = std::max(0, count);
    if (count == colCount_) {
        return;
    }
    std::vector<int> objects(rows_.size() * static_cast<size_t>(count), 0);
    const int common = std::min(count, colCount_);
    for (size_t r = 0; r < rows_.size(); ++r) {
        for (int c = 0; c < common; ++c) {
            objects[r * static_cast<size_t>(count) + static_cast<size_t>(c)] =
                objects_[r * static_cast<size_t>(colCount_) + static_cast<size_t>(c)];
        }
        rows_[r].resize(static_cast<size_t>(count));
    }
    objects_ = std::move(objects);
    colCount_ = count;
}

void TStringGridData::SetRowCount(int count) {
    const size_t rows = static_cast<size_t>(std::max(0, count));
    // Grows one row at a time in the tag extraction: no prototype row is built for the call.
    if (rows < rows_.size()) {
        rows_.resize(rows);
    }
    while (rows_.size() < rows) {
        rows_.emplace_back(static_cast<size_t>(colCount_));
    }
    objects_.resize(rows * static_cast<size_t>(colCount_), 0);
    heights_.resize(rows, defaultRowHeight_);
}

void TStringGridData::ReserveRows(int count) {
    const size_t rows = static_cast<size_t>(std::max(0, count));
    rows_.reserve(rows);
    objects_.reserve(rows * static_cast<size_t>(colCount_));
    heights_.reserve(rows);
}

const std::string& TStringGridData::Cell(int col, int row) const {
    if (!Inside(col, row)) {
        return kEmpty;
    }
    return rows_[static_cast<size_t>(row)][static_cast<size_t>(col)];
}

void TStringGridData::SetCell(int col, int row, std::string text) {
    if (!Inside(col, row)) {
        return;
    }
    rows_[static_cast<size_t>(row)][static_cast<size_t>(col)] = std::move(text);
}

int TStringGridData::Object(int col, int row) const {
    return Inside(col, row) ? objects_[ObjectIndex(col, row)] : 0;
}

void TStringGridData::SetObject(int col, int row, int value) {
    if (Inside(col, row)) {
        objects_[ObjectIndex(col, row)] = value;
    }
}

int TStringGridData::RowHeight(int row) const {
    return (row >= 0 && row < RowCount()) ? heights_[static_cast<size_t>(row)] : 0;
}

void TStringGridData::SetRowHeight(int row, int height) {
    if (row >= 0 && row < RowCount()) {
        heights_[static_cast<size_t>(row)] = height;
    }
}

void TStringGridData::SetDefaultRowHeight(int height) {
    defaultRowHeight_ = height;
    std::fill(heights_.begin(), heights_.end(), height);
}

bool TStringGridData::PermuteRows(int first, const std::vector<int>& order,
                                  const std::vector<int>& keepCols) {
    const size_t n = order.size();
    if (first < 0 || static_cast<size_t>(first) + n > rows_.size()) {
        return false;
    }
    std::vector<bool> seen(n, false);
    for (int source : order) {
        if (source < 0 || static_cast<size_t>(source) >= n || seen[static_cast<size_t>(source)]) {
            return false;
        }
        seen[static_cast<size_t>(source)] = true;
    }
    const size_t base = static_cast<size_t>(first);
    const size_t cols = static_cast<size_t>(colCount_);

    // The kept columns' texts stay with their position: take them out before the rows move.
    std::vector<std::vector<std::string>> kept;
    std::vector<size_t> keptCols;
    for (int col : keepCols) {
        if (col >= 0 && col < colCount_) {
            keptCols.push_back(static_cast<size_t>(col));
            auto& texts = kept.emplace_back(n);
            for (size_t i = 0; i < n; ++i) {
                texts[i] = std::move(rows_[base + i][static_cast<size_t>(col)]);
            }
        }
    }
    // Moving a row's vector moves its cells without copying any text.
    std::vector<std::vector<std::string>> rows(n);
    std::vector<int> objects(n * cols);
    std::vector<int> heights(n);
    for (size_t i = 0; i < n; ++i) {
        const size_t from = base + static_cast<size_t>(order[i]);
        rows[i] = std::move(rows_[from]);
        std::copy_n(objects_.begin() + static_cast<std::ptrdiff_t>(from * cols), cols,
                    objects.begin() + static_cast<std::ptrdiff_t>(i * cols));
        heights[i] = heights_[from];
    }
    for (size_t k = 0; k < keptCols.size(); ++k) {
        for (size_t i = 0; i < n; ++i) {
            rows[i][keptCols[k]] = std::move(kept[k][i]);
        }
    }
    for (size_t i = 0; i < n; ++i) {
        rows_[base + i] = std::move(rows[i]);
        heights_[base + i] = heights[i];
    }
    std::copy(objects.begin(), objects.end(), objects_.begin() + static_cast<std::ptrdiff_t>(base * cols));
    return true;
}

void TStringGridData::KeepRows(const std::vector<bool>& keep) {
    const size_t cols = static_cast<size_t>(colCount_);
    size_t to = 0;
    for (size_t from = 0; from < rows_.size(); ++from) {
        if (from < keep.size() && !keep[from]) {
            continue;
        }
        if (to != from) {
            rows_[to] = std::move(rows_[from]);
            std::copy_n(objects_.begin() + static_cast<std::ptrdiff_t>(from * cols), cols,
                        objects_.begin() + static_cast<std::ptrdiff_t>(to * cols));
            heights_[to] = heights_[from];
        }
        ++to;
    }
    rows_.resize(to);
    objects_.resize(to * cols);
    heights_.resize(to);
}

} // namespace parlomar
