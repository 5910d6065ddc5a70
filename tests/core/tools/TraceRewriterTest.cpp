#include "core/tools/TraceRewriter.h"
#include "core/tools/TracertParser.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace parlomar {
namespace {

using Row = std::vector<std::string>;

std::string ReadFile(const std::string& name) {
    std::ifstream in(std::string(PARLOMAR_TEST_DATA_DIR) + "/trace/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string RewriteAll(const std::string& text) {
    TraceOutputRewriter rewriter;
    return rewriter.Feed(text) + rewriter.Finish();
}

TStringGridData Table(const std::string& text) {
    TStringGridData grid;
    ParseTraceOutput(text, grid);
    return grid;
}

Row RowOf(const TStringGridData& grid, int row) {
    Row r;
    for (int c = 0; c < grid.ColCount(); ++c) {
        r.emplace_back(grid.Cell(c, row));
    }
    return r;
}

TEST(TraceRewriter, SameRouteGivesTheSameTableOnBothSystems) {
    const TStringGridData classic = Table(ReadFile("windows_route.txt"));
    const TStringGridData rewritten = Table(RewriteAll(ReadFile("linux_route.txt")));
    ASSERT_EQ(rewritten.RowCount(), classic.RowCount());
    ASSERT_EQ(classic.RowCount(), 9);
    for (int row = 1; row < classic.RowCount(); ++row) {
        EXPECT_EQ(RowOf(rewritten, row), RowOf(classic, row)) << "row " << row;
    }
}

TEST(TraceRewriter, RecordedLoopbackTraces) {
    for (const char* file : {"linux_loopback.txt", "linux_localhost_name.txt"}) {
        const TStringGridData grid = Table(RewriteAll(ReadFile(file)));
        ASSERT_EQ(grid.RowCount(), 2) << file;
        EXPECT_EQ(RowOf(grid, 1), (Row{"1", "<1 ms", "<1 ms", "<1 ms", "localhost [127.0.0.1]"})) << file;
    }
    const TStringGridData numeric = Table(RewriteAll(ReadFile("linux_localhost_numeric.txt")));
    ASSERT_EQ(numeric.RowCount(), 2);
    EXPECT_EQ(numeric.Cell(4, 1), "127.0.0.1");
}

TEST(TraceRewriter, LostProbesOtherHostsAndAnnotations) {
    const TStringGridData grid = Table(RewriteAll(ReadFile("linux_unreachable.txt")));
    ASSERT_EQ(grid.RowCount(), 6);
    EXPECT_EQ(RowOf(grid, 2), (Row{"2", "*", "8 ms", "8 ms", "10.20.0.1"}));
    EXPECT_EQ(RowOf(grid, 3), (Row{"3", "*", "*", "*", "Request timed out."}));
    EXPECT_EQ(RowOf(grid, 4), (Row{"4", "12 ms", "11 ms", "*", "core1.isp.example [198.51.100.17] !H"}));
    EXPECT_EQ(RowOf(grid, 5), (Row{"5", "12 ms", "12 ms", "1874 ms", "198.51.100.9 !N !X"}));
}

TEST(TraceRewriter, IPv6AndOutputOfOtherLanguages) {
    const TStringGridData grid = Table(RewriteAll(ReadFile("linux_ipv6.txt")));
    ASSERT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(RowOf(grid, 1), (Row{"1", "<1 ms", "<1 ms", "<1 ms", "2001:db8:1::1"}));
    EXPECT_EQ(RowOf(grid, 3), (Row{"3", "20 ms", "20 ms", "20 ms", "ip6.example [2001:db8::80] !N"}));
    // A translated banner or unit gives no row rather than a garbled one.
    EXPECT_EQ(Table(RewriteAll("30 Sprünge höchstens\n 1  gw (10.0.0.1)  0,4 msec  0,3 msec\n")).RowCount(),
              1);
    EXPECT_EQ(RewriteTraceLine(" 1  fe80::1%eth0  0,5 ms  * 0,4 ms"),
              "  1    <1 ms        *    <1 ms  fe80::1%eth0");
}

TEST(TraceRewriter, SingleLines) {
    EXPECT_EQ(RewriteTraceLine(" 1  localhost (127.0.0.1)  0.228 ms  0.022 ms  0.003 ms"),
              "  1    <1 ms    <1 ms    <1 ms  localhost [127.0.0.1]");
    EXPECT_EQ(RewriteTraceLine("17  * * *"), " 17        *        *        *  Request timed out.");
    // Rounded to whole milliseconds; a decimal comma is read too; a huge time still fits its field.
    EXPECT_EQ(RewriteTraceLine(" 2  10.0.0.1  1.5 ms  2,49 ms  99999999.0 ms"),
              "  2     2 ms     2 ms999999 ms  10.0.0.1");
    // Fewer probes than three leave blank fields; more than three show the first three.
    EXPECT_EQ(RewriteTraceLine(" 3  10.0.0.1  4.0 ms"), "  3     4 ms                    10.0.0.1");
    EXPECT_EQ(RewriteTraceLine(" 3  10.0.0.1  1 ms  2 ms  3 ms  4 ms"),
              "  3     1 ms     2 ms     3 ms  10.0.0.1");
    // AS numbers and TCP flag notes are no hosts.
    EXPECT_EQ(RewriteTraceLine(" 4  r.example (10.0.0.4) [AS64500]  5 ms <syn,ack>  5 ms  5 ms"),
              "  4     5 ms     5 ms     5 ms  r.example [10.0.0.4]");
    // Not hop lines.
    EXPECT_EQ(RewriteTraceLine("traceroute to x (10.0.0.1), 30 hops max"),
              "traceroute to x (10.0.0.1), 30 hops max");
    EXPECT_EQ(RewriteTraceLine(""), "");
    EXPECT_EQ(RewriteTraceLine("256  10.0.0.1  1 ms"), std::nullopt);
    EXPECT_EQ(RewriteTraceLine("10.0.0.1: Name or service not known"), std::nullopt);
    EXPECT_EQ(RewriteTraceLine(" 5  10.0.0.1  fast ms"), std::nullopt);
    EXPECT_EQ(RewriteTraceLine(" 5"), std::nullopt);
}

TEST(TraceRewriter, PiecesAreRewrittenOnlyWhenTheirLineIsComplete) {
    const std::string text = ReadFile("linux_route.txt");
    const std::string whole = RewriteAll(text);

    TraceOutputRewriter bytewise;
    std::string pieces;
    for (char c : text) {
        pieces += bytewise.Feed(std::string_view(&c, 1));
    }
    pieces += bytewise.Finish();
    EXPECT_EQ(pieces, whole);

    TraceOutputRewriter rewriter;
    EXPECT_EQ(rewriter.Feed(" 1  a.example (10.0.0.1)  1.0 ms  1.0"), "");
    EXPECT_EQ(rewriter.Feed(" ms  1.0 ms\r\n 2  * *"),
              "  1     1 ms     1 ms     1 ms  a.example [10.0.0.1]\n");
    EXPECT_EQ(rewriter.Finish(), "  2        *        *           Request timed out.\n");
    EXPECT_EQ(rewriter.Finish(), "");

    // CR, LF and CR LF all end lines, as they do for the route table; a CR LF cut in two is one break.
    TraceOutputRewriter breaks;
    EXPECT_EQ(breaks.Feed("banner\r 1  10.0.0.1  1 ms\r"),
              "banner\n  1     1 ms                    10.0.0.1\n");
    EXPECT_EQ(breaks.Feed("\n 2  * * *\n"), "  2        *        *        *  Request timed out.\n");

    // Output that never ends its line is not held without bound.
    TraceOutputRewriter endless;
    const std::string junk(TraceOutputRewriter::kMaxPendingLine, 'x');
    EXPECT_EQ(endless.Feed(junk), "");
    EXPECT_EQ(endless.Feed("y"), junk + "\n");
    EXPECT_EQ(endless.Finish(), "y\n");
}

} // namespace
} // namespace parlomar
