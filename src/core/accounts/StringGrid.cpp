#include "core/accounts/StringGrid.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>

namespace parlomar {

namespace grid_detail {

TCellText& TCellText::operator=(const TCellText& other) {
    if (this != &other) {
        Release();
        CopyFrom(other);
    }
    return *this;
}

TCellText& TCellText::operator=(TCellText&& other) noexcept {
    if (this != &other) {
        Release();
        TakeFrom(other);
    }
    return *this;
}

void TCellText::Own(std::string_view text) {
    // The text may be this cell's own: it is copied before the old one goes.
    const auto size = static_cast<std::uint32_t>(
        std::min<std::size_t>(text.size(), std::numeric_limits<std::uint32_t>::max()));
    if (size <= sizeof(small_)) {
        char copy[sizeof(small_)] = {};
        if (size > 0) {
            std::memcpy(copy, text.data(), size);
        }
        Release();
        std::memcpy(small_, copy, sizeof(small_));
        kind_ = kInline;
    } else {
        char* copy = new char[size];
        std::memcpy(copy, text.data(), size);
        Release();
        text_ = copy;
        kind_ = kOwned;
    }
    size_ = size;
}

void TCellText::Refer(std::string_view text) {
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
        Own(text);
        return;
    }
    Release();
    text_ = text.data();
    size_ = static_cast<std::uint32_t>(text.size());
    kind_ = kView;
}

void TCellText::Release() {
    if (kind_ == kOwned) {
        delete[] text_;
    }
    text_ = nullptr;
    size_ = 0;
    kind_ = kInline;
}

void TCellText::CopyFrom(const TCellText& other) {
    if (other.kind_ == kOwned) {
        kind_ = kInline;
        Own(other.View());
        return;
    }
    std::memcpy(small_, other.small_, sizeof(small_));
    size_ = other.size_;
    kind_ = other.kind_;
}

void TCellText::TakeFrom(TCellText& other) noexcept {
    std::memcpy(small_, other.small_, sizeof(small_));
    size_ = other.size_;
    kind_ = other.kind_;
    other.text_ = nullptr;
    other.size_ = 0;
    other.kind_ = kInline;
}

} // namespace grid_detail

TStringGridData::TStringGridData(int colCount, int rowCount) {
    SetColCount(colCount);
    SetRowCount(rowCount);
}

void TStringGridData::SetColCount(int count) {
    count = std::max(0, count);
    if (count == colCount_) {
        return;
    }
    const size_t rows = heights_.size();
    const size_t to = static_cast<size_t>(count), from = static_cast<size_t>(colCount_);
    std::vector<grid_detail::TCellText> cells(rows * to);
    std::vector<int> objects(rows * to, 0);
    const size_t common = std::min(to, from);
    for (size_t r = 0; r < rows; ++r) {
        for (size_t c = 0; c < common; ++c) {
            cells[r * to + c] = std::move(cells_[r * from + c]);
            objects[r * to + c] = objects_[r * from + c];
        }
    }
    cells_ = std::move(cells);
    objects_ = std::move(objects);
    colCount_ = count;
}

void TStringGridData::SetRowCount(int count) {
    const size_t rows = static_cast<size_t>(std::max(0, count));
    cells_.resize(rows * static_cast<size_t>(colCount_));
    objects_.resize(rows * static_cast<size_t>(colCount_), 0);
    heights_.resize(rows, defaultRowHeight_);
}

void TStringGridData::ReserveRows(int count) {
    const size_t rows = static_cast<size_t>(std::max(0, count));
    cells_.reserve(rows * static_cast<size_t>(colCount_));
    objects_.reserve(rows * static_cast<size_t>(colCount_));
    heights_.reserve(rows);
}

std::string_view TStringGridData::Cell(int col, int row) const {
    return Inside(col, row) ? cells_[Index(col, row)].View() : std::string_view();
}

void TStringGridData::SetCell(int col, int row, std::string_view text) {
    if (Inside(col, row)) {
        cells_[Index(col, row)].Own(text);
    }
}

void TStringGridData::AddTexts(std::shared_ptr<const void> owner, std::string_view text) {
    if (owner && !text.empty()) {
        blocks_.push_back(TextBlock{std::move(owner), text});
    }
}

void TStringGridData::ShowText(int col, int row, std::string_view text) {
    if (!Inside(col, row)) {
        return;
    }
    grid_detail::TCellText& cell = cells_[Index(col, row)];
    if (text.size() > 8) {
        const std::less<const char*> before;
        for (const TextBlock& block : blocks_) {
            const char* begin = block.text.data();
            if (!before(text.data(), begin) &&
                !before(begin + block.text.size(), text.data() + text.size())) {
                cell.Refer(text);
                return;
            }
        }
    }
    cell.Own(text);
}

void TStringGridData::DropUnshownTexts() {
    if (blocks_.empty()) {
        return;
    }
    std::vector<bool> shown(blocks_.size(), false);
    const std::less<const char*> before;
    for (const grid_detail::TCellText& cell : cells_) {
        if (!cell.Refers()) {
            continue;
        }
        const char* at = cell.View().data();
        for (size_t b = 0; b < blocks_.size(); ++b) {
            const char* begin = blocks_[b].text.data();
            if (!before(at, begin) && before(at, begin + blocks_[b].text.size())) {
                shown[b] = true;
                break;
            }
        }
    }
    size_t to = 0;
    for (size_t b = 0; b < blocks_.size(); ++b) {
        if (shown[b]) {
            blocks_[to++] = std::move(blocks_[b]);
        }
    }
    blocks_.resize(to);
}

int TStringGridData::Object(int col, int row) const {
    return Inside(col, row) ? objects_[Index(col, row)] : 0;
}

void TStringGridData::SetObject(int col, int row, int value) {
    if (Inside(col, row)) {
        objects_[Index(col, row)] = value;
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

std::vector<std::string> TStringGridData::RowTexts(int row) const {
    std::vector<std::string> texts;
    if (row >= 0 && row < RowCount()) {
        for (int col = 0; col < colCount_; ++col) {
            texts.emplace_back(Cell(col, row));
        }
    }
    return texts;
}

bool TStringGridData::PermuteRows(int first, const std::vector<int>& order,
                                  const std::vector<int>& keepCols) {
    const size_t n = order.size();
    if (first < 0 || static_cast<size_t>(first) + n > heights_.size()) {
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
    std::vector<bool> kept(cols, false);
    for (int col : keepCols) {
        if (col >= 0 && col < colCount_) {
            kept[static_cast<size_t>(col)] = true;
        }
    }
    // Cells move without copying any text; the kept columns' cells stay with their position.
    std::vector<grid_detail::TCellText> cells(n * cols);
    std::vector<int> objects(n * cols);
    std::vector<int> heights(n);
    for (size_t i = 0; i < n; ++i) {
        const size_t from = base + static_cast<size_t>(order[i]);
        for (size_t c = 0; c < cols; ++c) {
            cells[i * cols + c] = std::move(cells_[(kept[c] ? base + i : from) * cols + c]);
            objects[i * cols + c] = objects_[from * cols + c];
        }
        heights[i] = heights_[from];
    }
    std::move(cells.begin(), cells.end(), cells_.begin() + static_cast<std::ptrdiff_t>(base * cols));
    std::copy(objects.begin(), objects.end(), objects_.begin() + static_cast<std::ptrdiff_t>(base * cols));
    std::copy(heights.begin(), heights.end(), heights_.begin() + static_cast<std::ptrdiff_t>(base));
    return true;
}

void TStringGridData::KeepRows(const std::vector<bool>& keep) {
    const size_t cols = static_cast<size_t>(colCount_);
    size_t to = 0;
    for (size_t from = 0; from < heights_.size(); ++from) {
        if (from < keep.size() && !keep[from]) {
            continue;
        }
        if (to != from) {
            std::move(cells_.begin() + static_cast<std::ptrdiff_t>(from * cols),
                      cells_.begin() + static_cast<std::ptrdiff_t>((from + 1) * cols),
                      cells_.begin() + static_cast<std::ptrdiff_t>(to * cols));
            std::copy_n(objects_.begin() + static_cast<std::ptrdiff_t>(from * cols), cols,
                        objects_.begin() + static_cast<std::ptrdiff_t>(to * cols));
            heights_[to] = heights_[from];
        }
        ++to;
    }
    cells_.resize(to * cols);
    objects_.resize(to * cols);
    heights_.resize(to);
}

} // namespace parlomar
