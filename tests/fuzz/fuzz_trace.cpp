// Route table parsing and traceroute output rewriting over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/tools/TraceRewriter.h"
#include "core/tools/TracertParser.h"

using namespace parlomar;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte chooses the size of the pieces the output arrives in.
    const size_t piece = 1 + data[0] % 64;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    TStringGridData raw;
    ParseTraceOutput(text, raw);
    if (raw.ColCount() != kTraceColumnCount || raw.RowCount() < 1) {
        std::abort();
    }

    TraceOutputRewriter rewriter;
    std::string rewritten;
    for (size_t at = 0; at < text.size(); at += piece) {
        rewritten += rewriter.Feed(text.substr(at, piece));
    }
    rewritten += rewriter.Finish();

    // Fed in pieces or whole, the result is the same.
    TraceOutputRewriter whole;
    if (whole.Feed(text) + whole.Finish() != rewritten) {
        std::abort();
    }

    // Collected tick by tick (whole lines, as the command hands them on), the output stays within
    // its bound and ends with a whole line.
    if (!rewritten.empty()) {
        std::string tick = rewritten;
        while (tick.size() < 4096) {
            tick += rewritten;
        }
        TraceOutputBuffer collected;
        for (int i = 0; i < 20 && !collected.Full(); ++i) {
            collected.Append(tick);
        }
        if (!collected.Full() || collected.Text().size() > TraceOutputBuffer::kMaxSize ||
            (!collected.Text().empty() && collected.Text().back() != '\n')) {
            std::abort();
        }
    }

    TStringGridData table;
    ParseTraceOutput(rewritten, table);
    // Every rewritten hop has a hop number of at most three digits in its first column.
    for (int row = 1; row < table.RowCount(); ++row) {
        const std::string_view hop = table.Cell(0, row);
        if (hop.empty() || hop.size() > 3) {
            std::abort();
        }
    }
    return 0;
}
