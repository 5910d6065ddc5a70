// The route table is re-parsed from the whole collected output on every 500 ms tick, and each
// piece of traceroute output is rewritten as it arrives: both must stay far below a tick.
#include <benchmark/benchmark.h>

#include <string>

#include "core/tools/TraceRewriter.h"
#include "core/tools/TracertParser.h"

using namespace parlomar;

namespace {

// A full 30-hop trace as the system traceroute prints it.
std::string ThirtyHops() {
    std::string text = "traceroute to far.example (203.0.113.80), 30 hops max, 60 byte packets\n";
    for (int hop = 1; hop <= 30; ++hop) {
        const std::string n = std::to_string(hop);
        if (hop % 7 == 0) {
            text += (hop < 10 ? " " : "") + n + "  * * *\n";
            continue;
        }
        text += (hop < 10 ? " " : "") + n + "  router" + n + ".transit.example (198.51.100." + n + ")  " + n +
                ".412 ms  " + n + ".388 ms router" + n + "b.transit.example (198.51.100.1" + n + ")  " + n +
                ".371 ms\n";
    }
    return text;
}

void BM_RewriteThirtyHops(benchmark::State& state) {
    const std::string text = ThirtyHops();
    for (auto _ : state) {
        TraceOutputRewriter rewriter;
        std::string out = rewriter.Feed(text) + rewriter.Finish();
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_RewriteThirtyHops);

void BM_ParseThirtyHops(benchmark::State& state) {
    TraceOutputRewriter rewriter;
    const std::string table = rewriter.Feed(ThirtyHops()) + rewriter.Finish();
    TStringGridData grid;
    for (auto _ : state) {
        ParseTraceOutput(table, grid);
        benchmark::DoNotOptimize(grid);
    }
}
BENCHMARK(BM_ParseThirtyHops);

// The worst a tick can meet: the collected output at its bound, all hop lines.
void BM_ParseFullBuffer(benchmark::State& state) {
    TraceOutputBuffer buffer;
    const std::string hop = " 30    12 ms    11 ms    12 ms  router30.transit.example [198.51.100.30]\n";
    while (!buffer.Full()) {
        buffer.Append(hop);
    }
    TStringGridData grid;
    for (auto _ : state) {
        ParseTraceOutput(buffer.Text(), grid);
        benchmark::DoNotOptimize(grid);
    }
    state.counters["rows"] = grid.RowCount();
}
BENCHMARK(BM_ParseFullBuffer);

} // namespace

BENCHMARK_MAIN();
