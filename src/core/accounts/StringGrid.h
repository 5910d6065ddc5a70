#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parlomar {

namespace grid_detail {

// The text of one cell in 16 bytes: up to 8 bytes held in place, a longer text of its own on the
// heap, or a view into a text block its grid keeps alive (TStringGridData::AddTexts). Only the grid
// makes views, so that a view never outlives its block.
class TCellText {
public:
    TCellText() = default;
    ~TCellText() { Release(); }
    TCellText(const TCellText& other) { CopyFrom(other); }
    TCellText(TCellText&& other) noexcept { TakeFrom(other); }
    TCellText& operator=(const TCellText& other);
    TCellText& operator=(TCellText&& other) noexcept;

    std::string_view View() const {
        return kind_ == kInline ? std::string_view(small_, size_) : std::string_view(text_, size_);
    }
    bool Refers() const { return kind_ == kView; }
    // Copies the text (a text longer than 4 GiB is cut there).
    void Own(std::string_view text);
    // Views the text, which must stay where it is as long as this cell shows it.
    void Refer(std::string_view text);

private:
    static constexpr std::uint8_t kInline = 0, kOwned = 1, kView = 2;
    void Release();
    void CopyFrom(const TCellText& other);
    void TakeFrom(TCellText& other) noexcept;

    union {
        const char* text_ = nullptr;
        char small_[8];
    };
    std::uint32_t size_ = 0;
    std::uint8_t kind_ = kInline;
};

} // namespace grid_detail

// A table of text cells addressed by column and row; row 0 is the heading row. This is the data
// behind every list grid of the program: the core fills and rearranges it, the windows draw it.
// Reading a cell outside the table gives the empty text; writing one outside it is ignored.
//
// Besides its text, every cell carries an integer (its "object": sort markers in heading cells, row
// markers in a list's key column), and every row a height. A row whose height is below 1 is hidden:
// it is neither drawn nor selectable. Rows added to the table start with object 0 in every cell and
// the default row height.
//
// A cell either holds its own text or shows a piece of a text block handed to the grid (AddTexts):
// a list of a hundred thousand accounts is then kept once, in the values it was built from, and
// the grid holds views into them. Copies of the grid share the blocks.
class TStringGridData {
public:
    TStringGridData() = default;
    TStringGridData(int colCount, int rowCount);

    int ColCount() const { return colCount_; }
    int RowCount() const { return static_cast<int>(heights_.size()); }
    void SetColCount(int count);
    void SetRowCount(int count);

    // The text of a cell; it stays valid until the cell is written or the rows are rearranged.
    std::string_view Cell(int col, int row) const;
    void SetCell(int col, int row, std::string_view text);

    // A block of texts that cells may show without a copy: the grid keeps owner alive while it holds
    // the block. text is the block's extent (its bytes must not move while owner lives).
    void AddTexts(std::shared_ptr<const void> owner, std::string_view text);
    // Shows text in a cell: a view when text lies inside a block the grid holds, else a copy.
    void ShowText(int col, int row, std::string_view text);
    // Lets go of the blocks that no cell shows any more.
    void DropUnshownTexts();

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

    // The texts of one row, copied (for comparisons).
    std::vector<std::string> RowTexts(int row) const;

    // Reserves room for rows about to be added.
    void ReserveRows(int count);

private:
    bool Inside(int col, int row) const {
        return col >= 0 && row >= 0 && col < colCount_ && row < RowCount();
    }
    size_t Index(int col, int row) const {
        return static_cast<size_t>(row) * static_cast<size_t>(colCount_) + static_cast<size_t>(col);
    }

    struct TextBlock {
        std::shared_ptr<const void> owner;
        std::string_view text;
    };

    int colCount_ = 0;
    int defaultRowHeight_ = 24;
    std::vector<grid_detail::TCellText> cells_; // row-major, colCount_ per row
    std::vector<int> objects_;                  // likewise
    std::vector<int> heights_;
    std::vector<TextBlock> blocks_;
};

} // namespace parlomar
