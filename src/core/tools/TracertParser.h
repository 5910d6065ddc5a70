#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/accounts/StringGrid.h"

namespace parlomar {

// The route table: row 0 is the heading row, each further row one hop of the route-tracing
// command's output in its fixed columns (hop number, three probe times, host).
inline constexpr int kTraceColumnCount = 5;
inline constexpr std::array<std::string_view, kTraceColumnCount> kTraceHeaders = {"#", "min", "average",
                                                                                  "max", "host"};

// The output of one trace as it is collected, tick by tick, for ParseTraceOutput. It is bounded: a
// piece that would make it longer than kMaxSize is kept only up to its last line that still fits,
// and everything after it is dropped, so the table never shows a later hop without an earlier one.
// A route of 30 hops needs a few kilobytes.
class TraceOutputBuffer {
public:
    static constexpr size_t kMaxSize = 64 * 1024;

    // Appends a piece of output (whole lines, as TraceCommand hands them on).
    void Append(std::string_view piece);
    void Clear();
    const std::string& Text() const { return text_; }
    // True once output has been dropped.
    bool Full() const { return full_; }

private:
    std::string text_;
    bool full_ = false;
};

// Fills grid from the whole output collected so far. Only lines whose trimmed text begins with a
// digit are hops; every other line (banner, blank lines, the closing line) is skipped. Each hop line
// is cut into the fixed columns 1-3, 4-12, 13-21, 22-30 and 33-end (characters 31 and 32 are the
// gap before the host), each cell trimmed; a short line gives empty cells. The row count becomes
// hops + 1 and the column count 5; row 0 is left as it is (see SetTraceGridHeaders).
void ParseTraceOutput(std::string_view text, TStringGridData& grid);

// Row 0 texts: "#", "min", "average", "max", "host".
void SetTraceGridHeaders(TStringGridData& grid);

// Column widths for a grid of the given client size: 7 % for the hop number, 12 % for each time
// column and 57 % - 8 for the host column, which also gives up the width of the vertical scroll bar
// when the rows (each row height plus the grid line width) are taller than the grid.
std::array<int, kTraceColumnCount> TraceColumnWidths(int gridWidth, int gridHeight,
                                                     const std::vector<int>& rowHeights, int gridLineWidth,
                                                     int scrollBarWidth);

} // namespace parlomar
