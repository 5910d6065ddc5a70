#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace parlomar {

// The system traceroute prints a hop as
//    " 4  core1.isp.example (198.51.100.17)  11.873 ms  11.021 ms  12.402 ms"
// while the route table reads the fixed columns of the classic route-tracing layout:
//    "  4    12 ms    11 ms    12 ms  core1.isp.example [198.51.100.17]"
// that is the hop number right-aligned in 3 characters, three time fields of 9 characters each
// ("    <1 ms" below one millisecond, whole milliseconds otherwise, "        *" for a lost probe),
// two blanks and the host ("name [address]", or the address alone when it has no name).
//
// RewriteTraceLine converts one line (without its line break):
// - a hop line becomes the fixed-column line. The host is the first host that answered; when no
//   probe was answered it is "Request timed out.". Probes of one hop answered by other hosts are
//   kept as times. Annotations such as "!H", "!N" or "!X" are appended once each after the host.
//   Only the first three probes are shown; missing ones leave their field blank.
// - a line whose trimmed text does not begin with a digit (the "traceroute to ..." banner, blank
//   lines) is returned unchanged: the table skips it anyway.
// - any other line beginning with a digit is not understood and is dropped (nullopt), so it can
//   never become a garbled row.
std::optional<std::string> RewriteTraceLine(std::string_view line);

// Rewrites traceroute output as it arrives in pieces. Lines end with CR, LF or CR LF, as in the
// route table. Only complete lines are rewritten: an incomplete last line is kept pending until its
// line break arrives (or Finish is called at the end of the output), so a hop never shows
// half-read. A pending line longer than kMaxPendingLine is rewritten as it is, which bounds the
// memory held for output that never ends its line.
class TraceOutputRewriter {
public:
    static constexpr size_t kMaxPendingLine = 64 * 1024;

    // The rewritten text of every line completed by chunk, each ended by "\n".
    std::string Feed(std::string_view chunk);
    // The rewritten pending line, if any (end of output).
    std::string Finish();

private:
    static void AppendLine(std::string& out, std::string_view line);
    std::string pending_;
    bool afterCR_ = false;
};

} // namespace parlomar
