// Speed of the account list logic on large lists: building the grid from a listaccts reply (tag
// extraction, panel addresses, the initial sort, filter bar and local filter), one keystroke of the
// local filter, one heading-click sort, one row leaving under the filter bar, the outcomes of an
// action on many accounts reaching the grid, and the CSV export of the shown list, on 10,000 and
// 100,000 accounts shaped like the stand-in server's generated accounts. maxrss_MB is the process's peak
// resident size so far.
#include "core/accounts/AccountList.h"
#include "core/accounts/BulkAction.h"
#include "core/accounts/GridSort.h"
#include "core/accounts/ListExport.h"
#include "core/accounts/ListGrid.h"
#include "core/accounts/StringGrid.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <clocale>
#include <filesystem>
#include <iterator>
#include <string>

namespace {

using namespace parlomar;

constexpr const char* kWords[] = {"acme",  "birch",  "coast",  "delta", "ember",  "flint", "grove",
                                  "haven", "indigo", "jasper", "kite",  "lumen",  "maple", "nova",
                                  "orbit", "pixel",  "quartz", "river", "summit", "timber"};
constexpr const char* kTlds[] = {"com", "net", "org", "de", "co.uk", "io", "fr", "nl", "info", "biz"};

unsigned long long Mix(unsigned long long x) {
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

void Field(std::string& out, const char* name, const std::string& value) {
    out.append("<").append(name).append(">").append(value).append("</").append(name).append(">");
}

std::string MakeListAccountsReply(int accounts) {
    std::string reply = "<?xml version=\"1.0\" ?>\n<listaccts>\n";
    reply.reserve(static_cast<size_t>(accounts) * 700 + 100);
    const size_t words = std::size(kWords);
    for (int i = 1; i <= accounts; ++i) {
        const unsigned long long r = Mix(static_cast<unsigned long long>(i));
        const std::string n = std::to_string(i);
        const std::string domain = std::string(kWords[(r >> 8) % words]) + "-" + kWords[(r >> 16) % words] +
                                   n + "." + kTlds[(r >> 24) % std::size(kTlds)];
        const bool suspended = (r >> 58) % 16 == 0;
        reply += "<acct>";
        Field(reply, "user", std::string(kWords[r % words]) + n);
        Field(reply, "domain", domain);
        Field(reply, "suspended", suspended ? "1" : "0");
        Field(reply, "diskused", std::to_string((r >> 44) % 20000) + "M");
        Field(reply, "disklimit", (r >> 40) % 3 == 0 ? "unlimited" : "1000M");
        Field(reply, "email", "admin@" + domain);
        Field(reply, "ip", "192.0.2." + std::to_string(r % 250));
        Field(reply, "owner", "root");
        Field(reply, "partition", (r >> 55) % 3 == 0 ? "home2" : "home");
        Field(reply, "plan", "Standard");
        Field(reply, "startdate", "15 Jan 24 10:12");
        Field(reply, "unix_startdate", "1421921520");
        Field(reply, "theme", "paper_lantern");
        Field(reply, "shell", "/bin/bash");
        Field(reply, "suspendreason", suspended ? "Payment overdue" : "not suspended");
        Field(reply, "suspendtime", suspended ? "1421999999" : "0");
        for (const char* limit :
             {"maxftp", "maxsql", "maxpop", "maxlst", "maxsub", "maxparked", "maxaddons"}) {
            Field(reply, limit, "unlimited");
        }
        reply += "</acct>\n";
    }
    reply += "<status>1</status><statusmsg>Ok</statusmsg></listaccts>\n";
    return reply;
}

const std::string& Reply(int accounts) {
    static std::string r10k = MakeListAccountsReply(10000);
    static std::string r100k = MakeListAccountsReply(100000);
    return accounts == 10000 ? r10k : (accounts == 100000 ? r100k : (r10k = MakeListAccountsReply(accounts)));
}

std::string Label(int n) {
    return "Label " + std::to_string(n);
}

void ReportMemory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["maxrss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The whole list build of ShowAccountList on an empty grid, as after sign-in.
void BM_ShowAccountList(benchmark::State& state) {
    const std::string& reply = Reply(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TStringGridData grid(1, 1);
        TListState list;
        list.filterMode = kFilterAll;
        const AccountListView view = ShowAccountList(grid, list, 0, reply, "", Label);
        benchmark::DoNotOptimize(view.fetchedRows);
        if (view.fetchedRows != state.range(0)) {
            state.SkipWithError("wrong number of rows");
        }
        state.PauseTiming(); // the grid's destruction is not part of showing it
        grid = TStringGridData();
        state.ResumeTiming();
    }
    state.counters["reply_MB"] = static_cast<double>(reply.size()) / 1e6;
    ReportMemory(state);
}

// The build the window runs after the last byte of a fetch: the grid from the kept account values
// (what the reply reader read), sorted and filtered. kept_MB: the values kept between builds;
// grid_MB: the heap the built grid holds besides them (its cells view the kept texts).
void BM_ShowAccountListFromKeptValues(benchmark::State& state) {
    const std::string& reply = Reply(static_cast<int>(state.range(0)));
    TAccountReplyReader reader;
    reader.Take(reply);
    reader.Finish();
    const std::shared_ptr<const TAccountValues> kept = reader.TakeAccounts();
    double gridBytes = 0;
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks;
        TStringGridData grid(1, 1);
        TListState list;
        const AccountListView view = ShowAccountList(grid, list, 0, kept, "", Label);
        if (view.fetchedRows != state.range(0)) {
            state.SkipWithError("wrong number of rows");
        }
        state.PauseTiming();
        gridBytes = static_cast<double>(mallinfo2().uordblks - before);
        grid = TStringGridData();
        state.ResumeTiming();
    }
    state.counters["grid_MB"] = gridBytes / 1e6;
    size_t bytes = 0;
    for (int c = 0; c < TAccountValues::kColumns; ++c) {
        for (int n = 0; n < kept->Count(c); ++n) {
            bytes += kept->Value(c, n).size() + sizeof(size_t);
        }
    }
    state.counters["kept_MB"] = static_cast<double>(bytes) / 1e6;
    ReportMemory(state);
}

// Rebuilding a grid that already shows the list (tab switch, filter bar), with the filter bar on
// active accounts.
void BM_RebuildAccountListActiveOnly(benchmark::State& state) {
    const std::string& reply = Reply(static_cast<int>(state.range(0)));
    TStringGridData grid(1, 1);
    TListState list;
    list.filterMode = kFilterActive;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ShowAccountList(grid, list, 0, reply, "", Label).slot1.count);
    }
    ReportMemory(state);
}

TStringGridData BuiltGrid(int accounts) {
    TStringGridData grid(1, 1);
    TListState list;
    ShowAccountList(grid, list, 0, Reply(accounts), "", Label);
    return grid;
}

// One keystroke in the search box: the filter goes from "d" to "de" and back.
void BM_LocalFilterKeystroke(benchmark::State& state) {
    TStringGridData grid = BuiltGrid(static_cast<int>(state.range(0)));
    ApplyLocalFilter(grid, kListModeAccounts, "d", false, kFilterAll);
    bool longer = true;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            ApplyLocalFilter(grid, kListModeAccounts, longer ? "de" : "d", false, kFilterAll).matching);
        longer = !longer;
    }
    ReportMemory(state);
}

// One click on a heading; the clicks alternate between the user and the domain column, so each sort
// reorders rows sorted by the other column.
void SortClicks(benchmark::State& state) {
    TStringGridData grid = BuiltGrid(static_cast<int>(state.range(0)));
    ApplyLocalFilter(grid, kListModeAccounts, "d", false, kFilterAll); // some rows hidden, as in use
    int col = 2;
    for (auto _ : state) {
        benchmark::DoNotOptimize(SortByHeaderClick(grid, kListModeAccounts, col));
        col = 3 - col;
    }
    ReportMemory(state);
}

// A suspend under the "Active" bar: the row leaves the grid, the rows left are numbered again and
// the count is taken (on the GUI thread, after the server's answer).
void BM_SuspendUnderActiveBar(benchmark::State& state) {
    TStringGridData grid = BuiltGrid(static_cast<int>(state.range(0)));
    TListState list;
    list.filterMode = kFilterActive;
    ApplyFilterBar(grid, kFilterActive);
    for (auto _ : state) {
        state.PauseTiming();
        const int row = grid.RowCount() / 2;
        grid.SetCell(kAccSuspendedCol, row, "1");
        state.ResumeTiming();
        benchmark::DoNotOptimize(KeepFilterBarTrue(grid, list, row, "").slot1.count);
        if (grid.RowCount() < 3) {
            state.SkipWithError("the grid ran out of rows");
            break;
        }
    }
    ReportMemory(state);
}

void BM_HeaderClickSort(benchmark::State& state) {
    SortClicks(state);
}

// The same under a locale collation (collation keys computed per sort).
void BM_HeaderClickSortLocaleCollation(benchmark::State& state) {
    if (std::setlocale(LC_COLLATE, "C.UTF-8") == nullptr) {
        state.SkipWithError("no C.UTF-8 locale");
        return;
    }
    SortClicks(state);
    std::setlocale(LC_COLLATE, "C");
}

// "Export list..." of the whole account list as shown (number, user, domain, panel columns), written
// to a file atomically (flushed to disk and renamed).
void BM_ExportListCsv(benchmark::State& state) {
    const TStringGridData grid = BuiltGrid(static_cast<int>(state.range(0)));
    std::vector<int> rows;
    for (int row = 1; row < grid.RowCount(); ++row)
        rows.push_back(row);
    const auto file =
        std::filesystem::temp_directory_path() / ("parlomar-bench-" + std::to_string(::getpid()) + ".csv");
    for (auto _ : state)
        ExportListCsv(file, grid, {kAccNumberCol, kAccUserCol, kAccDomainCol, kAccPanelCol}, rows);
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
    std::filesystem::remove(file);
    ReportMemory(state);
}

// 1,000 suspends of an action on many accounts reaching the grid in one pass, under the "Active"
// bar (every row leaves; the rows left are numbered again).
void BM_BulkOutcomesIntoGrid(benchmark::State& state) {
    const TStringGridData built = BuiltGrid(static_cast<int>(state.range(0)));
    std::vector<BulkEntry> done;
    for (int row = 1; row < built.RowCount() && done.size() < 1000; row += built.RowCount() / 1000) {
        BulkEntry entry;
        entry.user = built.Cell(kAccUserCol, row);
        entry.outcome = BulkOutcome::Done;
        done.push_back(entry);
    }
    for (auto _ : state) {
        state.PauseTiming();
        TStringGridData grid = built;
        TListState list;
        list.filterMode = kFilterActive;
        state.ResumeTiming();
        benchmark::DoNotOptimize(ApplyBulkEntries(grid, list, BulkKind::Suspend, done, "").slot1.count);
        state.PauseTiming();
        grid = TStringGridData();
        state.ResumeTiming();
    }
    ReportMemory(state);
}

} // namespace

BENCHMARK(BM_ExportListCsv)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BulkOutcomesIntoGrid)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowAccountList)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowAccountListFromKeptValues)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildAccountListActiveOnly)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocalFilterKeystroke)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SuspendUnderActiveBar)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeaderClickSort)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeaderClickSortLocaleCollation)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
