#include "core/tools/TracertParser.h"

#include "core/Text.h"

#include <cmath>
#include <string>

namespace parlomar {

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

// Characters first..last (1-based, inclusive; last 0 = to the end) of line, trimmed; empty when
// the line is shorter.
std::string Slice(std::string_view line, size_t first, size_t last) {
    if (line.size() < first) {
        return {};
    }
    const size_t count = last == 0 ? std::string_view::npos : last - first + 1;
    return std::string(TrimmedBy(line.substr(first - 1, count), IsBlank));
}

// Calls f for every line of text; CR, LF and CR LF each end a line.
template <typename F>
void ForEachLine(std::string_view text, F&& f) {
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            f(text.substr(start));
            return;
        }
        f(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') {
            ++start;
        }
    }
}

} // namespace

void TraceOutputBuffer::Append(std::string_view piece) {
    if (full_ || piece.empty()) {
        return;
    }
    if (piece.size() <= kMaxSize - text_.size()) {
        text_.append(piece);
        return;
    }
    full_ = true;
    const std::string_view fits = piece.substr(0, kMaxSize - text_.size());
    const size_t lastBreak = fits.find_last_of("\r\n");
    if (lastBreak != std::string_view::npos) {
        text_.append(fits.substr(0, lastBreak + 1));
    }
}

void TraceOutputBuffer::Clear() {
    text_.clear();
    full_ = false;
}

void ParseTraceOutput(std::string_view text, TStringGridData& grid) {
    std::vector<std::string_view> hops;
    ForEachLine(text, [&](std::string_view line) {
        const std::string_view trimmed = TrimmedBy(line, IsBlank);
        if (!trimmed.empty() && trimmed.front() >= '0' && trimmed.front() <= '9') {
            hops.push_back(line);
        }
    });
    grid.SetColCount(kTraceColumnCount);
    grid.SetRowCount(static_cast<int>(hops.size()) + 1);
    for (size_t k = 0; k < hops.size(); ++k) {
        const int row = static_cast<int>(k) + 1;
        const std::string_view line = hops[k];
        grid.SetCell(0, row, Slice(line, 1, 3));
        grid.SetCell(1, row, Slice(line, 4, 12));
        grid.SetCell(2, row, Slice(line, 13, 21));
        grid.SetCell(3, row, Slice(line, 22, 30));
        grid.SetCell(4, row, Slice(line, 33, 0));
    }
}

void SetTraceGridHeaders(TStringGridData& grid) {
    if (grid.ColCount() < kTraceColumnCount) {
        grid.SetColCount(kTraceColumnCount);
    }
    if (grid.RowCount() < 1) {
        grid.SetRowCount(1);
    }
    for (int col = 0; col < kTraceColumnCount; ++col) {
        grid.SetCell(col, 0, std::string(kTraceHeaders[static_cast<size_t>(col)]));
    }
}

std::array<int, kTraceColumnCount> TraceColumnWidths(int gridWidth, int gridHeight,
                                                     const std::vector<int>& rowHeights, int gridLineWidth,
                                                     int scrollBarWidth) {
    const double w = gridWidth;
    const int time = static_cast<int>(std::lround(0.12 * w));
    long long rowsHeight = 0;
    for (int h : rowHeights) {
        rowsHeight += static_cast<long long>(h) + gridLineWidth;
    }
    int host = static_cast<int>(std::lround(0.57 * w)) - 8;
    if (rowsHeight > gridHeight) {
        host -= scrollBarWidth;
    }
    return {static_cast<int>(std::lround(0.07 * w)), time, time, time, host};
}

} // namespace parlomar
