#include "core/tools/TracertParser.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace parlomar {
namespace {

using Row = std::vector<std::string>;

Row RowOf(const TStringGridData& grid, int row) {
    Row r;
    for (int c = 0; c < grid.ColCount(); ++c) {
        r.emplace_back(grid.Cell(c, row));
    }
    return r;
}

std::string ReadFile(const std::string& name) {
    std::ifstream in(std::string(PARLOMAR_TEST_DATA_DIR) + "/trace/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(TracertParser, ReadsTheFixedColumnsOfARecordedTrace) {
    TStringGridData grid;
    ParseTraceOutput(ReadFile("windows_route.txt"), grid);
    // Banner, blank lines and "Trace complete." are no hops.
    ASSERT_EQ(grid.RowCount(), 9);
    EXPECT_EQ(grid.ColCount(), 5);
    EXPECT_EQ(RowOf(grid, 1), (Row{"1", "<1 ms", "<1 ms", "<1 ms", "gateway.home.example [192.168.1.1]"}));
    EXPECT_EQ(RowOf(grid, 3), (Row{"3", "*", "*", "*", "Request timed out."}));
    EXPECT_EQ(RowOf(grid, 5), (Row{"5", "13 ms", "*", "14 ms", "edge2.isp.example [198.51.100.34]"}));
    EXPECT_EQ(RowOf(grid, 8), (Row{"8", "104 ms", "105 ms", "104 ms", "www.example.net [203.0.113.80]"}));
}

TEST(TracertParser, LineBreaksBlankLinesAndShortLines) {
    const std::string hop1 = "  1    <1 ms    <1 ms    <1 ms  10.0.0.1";
    const std::string hop2 = " 12     3 ms     4 ms     5 ms  host.example [10.0.0.2]";
    TStringGridData lf;
    TStringGridData cr;
    TStringGridData crlf;
    ParseTraceOutput("Banner\n" + hop1 + "\n   \n\t\n" + hop2 + "\n", lf);
    ParseTraceOutput("Banner\r" + hop1 + "\r   \r\t\r" + hop2, cr);
    ParseTraceOutput("Banner\r\n" + hop1 + "\r\n   \r\n\t\r\n" + hop2 + "\r\n", crlf);
    ASSERT_EQ(lf.RowCount(), 3);
    for (const TStringGridData* g : {&cr, &crlf}) {
        ASSERT_EQ(g->RowCount(), 3);
        EXPECT_EQ(RowOf(*g, 1), RowOf(lf, 1));
        EXPECT_EQ(RowOf(*g, 2), RowOf(lf, 2));
    }
    EXPECT_EQ(RowOf(lf, 2), (Row{"12", "3 ms", "4 ms", "5 ms", "host.example [10.0.0.2]"}));

    // Lines shorter than the columns give empty cells.
    TStringGridData shortLines;
    ParseTraceOutput("7\n  8    <1 ms\n  9    <1 ms    <1 ms    <1 ms  \n", shortLines);
    ASSERT_EQ(shortLines.RowCount(), 4);
    EXPECT_EQ(RowOf(shortLines, 1), (Row{"7", "", "", "", ""}));
    EXPECT_EQ(RowOf(shortLines, 2), (Row{"8", "<1 ms", "", "", ""}));
    EXPECT_EQ(RowOf(shortLines, 3), (Row{"9", "<1 ms", "<1 ms", "<1 ms", ""}));

    TStringGridData none;
    ParseTraceOutput("", none);
    EXPECT_EQ(none.RowCount(), 1);
    EXPECT_EQ(none.ColCount(), 5);
}

TEST(TracertParser, ReparsingGrowingOutputCorrectsACutLine) {
    const std::string banner = "Tracing route to example.net [10.0.0.9]\r\n\r\n";
    const std::string hop = "  1     2 ms     3 ms     4 ms  router.example [10.0.0.1]\r\n";
    TStringGridData grid;
    SetTraceGridHeaders(grid);
    ParseTraceOutput(banner + hop.substr(0, 18), grid);
    ASSERT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(RowOf(grid, 1), (Row{"1", "2 ms", "3", "", ""}));
    ParseTraceOutput(banner + hop, grid);
    EXPECT_EQ(RowOf(grid, 1), (Row{"1", "2 ms", "3 ms", "4 ms", "router.example [10.0.0.1]"}));
    // The heading row is left alone.
    EXPECT_EQ(RowOf(grid, 0), (Row{"#", "min", "average", "max", "host"}));
    // Fewer hops than before (a new trace in the same grid) leave no old rows behind.
    ParseTraceOutput(banner, grid);
    EXPECT_EQ(grid.RowCount(), 1);
}

TEST(TracertParser, ColumnWidthsMakeRoomForTheScrollBarOnlyWhenNeeded) {
    using W = std::array<int, 5>;
    const std::vector<int> fiveRows(5, 18);
    EXPECT_EQ(TraceColumnWidths(400, 200, fiveRows, 1, 17), (W{28, 48, 48, 48, 220}));
    const std::vector<int> twentyRows(20, 18); // 20 * 19 = 380 > 200
    EXPECT_EQ(TraceColumnWidths(400, 200, twentyRows, 1, 17), (W{28, 48, 48, 48, 203}));
    // Rows exactly filling the grid need no scroll bar.
    EXPECT_EQ(TraceColumnWidths(400, 95, fiveRows, 1, 17)[4], 220);
    EXPECT_EQ(TraceColumnWidths(416, 95, {}, 1, 17), (W{29, 50, 50, 50, 229}));
}

TEST(TracertParser, CollectedOutputIsBoundedAtALineEnd) {
    TraceOutputBuffer buffer;
    const std::string hop = "  1    <1 ms    <1 ms    <1 ms  10.0.0.1\n";
    std::string expected;
    while (expected.size() + hop.size() <= TraceOutputBuffer::kMaxSize) {
        buffer.Append(hop);
        expected += hop;
    }
    EXPECT_FALSE(buffer.Full());
    // The piece that does not fit is kept up to its last whole line; later pieces are dropped.
    buffer.Append(hop + hop);
    EXPECT_TRUE(buffer.Full());
    EXPECT_LE(buffer.Text().size(), TraceOutputBuffer::kMaxSize);
    EXPECT_EQ(buffer.Text().compare(0, expected.size(), expected), 0);
    EXPECT_EQ(buffer.Text().back(), '\n');
    const std::string full = buffer.Text();
    buffer.Append("x\n");
    EXPECT_EQ(buffer.Text(), full);
    buffer.Clear();
    buffer.Append(hop);
    EXPECT_EQ(buffer.Text(), hop);
}

} // namespace
} // namespace parlomar
