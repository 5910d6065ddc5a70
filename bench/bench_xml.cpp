// Speed of reading the account list out of a large listaccts reply: the five column extractions that
// build the account grid, on 10,000 and 100,000 accounts (about 1 KB each).
#include "core/accounts/StringGrid.h"
#include "core/server/XMLParser.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string Field(const char* name, const std::string& value) {
    return std::string("<") + name + ">" + value + "</" + name + ">";
}

std::string MakeListAccountsReply(int accounts, bool attributes = false) {
    std::string reply = "<?xml version=\"1.0\" ?>\n<listaccts>\n";
    reply.reserve(static_cast<size_t>(accounts) * 1100 + 100);
    for (int i = 0; i < accounts; ++i) {
        const std::string n = std::to_string(i);
        const std::string user = "user" + n;
        std::string acct = attributes ? "<acct id=\"" + n + "\">" : "<acct>";
        acct += attributes ? "<user kind=\"owner\">" + user + "</user>" : Field("user", user);
        acct += Field("domain", "domain-number-" + n + ".example.com");
        acct += Field("suspended", i % 7 == 0 ? "1" : "0");
        acct += Field("diskused", std::to_string(i % 1000) + "M");
        acct += Field("disklimit", "unlimited");
        acct += Field("email", "owner-of-account-" + n + "@mail.example.com");
        acct += Field("ip", "192.0.2." + std::to_string(i % 250));
        acct += Field("owner", "root");
        acct += Field("partition", "home");
        acct += Field("plan", "Standard hosting plan with extras " + std::to_string(i % 5));
        acct += Field("startdate", "24 Jan 15 10:12");
        acct += Field("unix_startdate", "1421921520");
        acct += Field("theme", "paper_lantern");
        acct += Field("shell", "/usr/local/bin/restricted-shell");
        acct += Field("suspendreason", i % 7 == 0 ? "Suspended for non-payment of the invoice of last month, "
                                                    "contact billing to restore the service"
                                                  : "not suspended");
        acct += Field("suspendtime", i % 7 == 0 ? "1421921999" : "0");
        for (const char* limit :
             {"maxftp", "maxsql", "maxpop", "maxlst", "maxsub", "maxparked", "maxaddons"}) {
            acct += Field(limit, "unlimited");
        }
        // Padding so that each account is about 1 KB, as real replies carry more fields.
        const size_t padding = acct.size() < 1000 ? 1000 - acct.size() : 0;
        acct += "<!-- " + std::string(padding, 'x') + " --></acct>\n";
        reply += acct;
    }
    reply += "<status>1</status><statusmsg>Ok</statusmsg></listaccts>\n";
    return reply;
}

void ExtractAccountColumns(benchmark::State& state, bool attributes) {
    const std::string reply = MakeListAccountsReply(static_cast<int>(state.range(0)), attributes);
    parlomar::TStringGridData grid(8, 1);
    for (auto _ : state) {
        parlomar::XmlExtract(reply, "", "user", parlomar::kXmlFillColumn, &grid, 1);
        parlomar::XmlExtract(reply, "", "domain", parlomar::kXmlFillColumn, &grid, 2);
        parlomar::XmlExtract(reply, "", "suspended", parlomar::kXmlFillColumn, &grid, 3);
        parlomar::XmlExtract(reply, "", "diskused", parlomar::kXmlFillColumn, &grid, 5);
        parlomar::XmlExtract(reply, "", "disklimit", parlomar::kXmlFillColumn, &grid, 6);
        benchmark::DoNotOptimize(grid.Cell(1, grid.RowCount() - 1));
    }
    if (grid.RowCount() != state.range(0) + 1) {
        state.SkipWithError("wrong number of rows");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(reply.size()) *
                            5);
    state.counters["reply_MB"] = static_cast<double>(reply.size()) / 1e6;
}

void BM_ListAccountsFiveColumns(benchmark::State& state) {
    ExtractAccountColumns(state, false);
}
void BM_ListAccountsFiveColumnsAttributedTags(benchmark::State& state) {
    ExtractAccountColumns(state, true);
}

void BM_FindLastPackage(benchmark::State& state) {
    std::string reply = "<listpkgs>";
    const int packages = static_cast<int>(state.range(0));
    for (int i = 0; i < packages; ++i) {
        reply += "<package>" + Field("name", "pkg" + std::to_string(i)) + Field("QUOTA", "1000") +
                 Field("BWLIMIT", "unlimited") + "</package>";
    }
    reply += "</listpkgs>";
    const std::string last = "pkg" + std::to_string(packages - 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(parlomar::XmlFindElement(reply, "package", "name", last));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(reply.size()));
}

} // namespace

BENCHMARK(BM_ListAccountsFiveColumns)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListAccountsFiveColumnsAttributedTags)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindLastPackage)->Arg(10000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
