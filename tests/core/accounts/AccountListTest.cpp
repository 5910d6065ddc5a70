#include "core/accounts/AccountList.h"
#include "core/accounts/PackageList.h"
#include "core/server/Global.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace parlomar;

namespace {

std::string Acct(const std::string& user, const std::string& domain, const std::string& suspended) {
    return "<acct><user>" + user + "</user><domain>" + domain + "</domain><suspended>" + suspended +
           "</suspended><diskused>172M</diskused><disklimit>unlimited</disklimit><email>x@y</email></acct>";
}

std::string Reply(const std::vector<std::string>& accts) {
    std::string r = "<?xml version=\"1.0\" ?><listaccts>";
    for (const auto& a : accts) {
        r += a;
    }
    return r + "<status>1</status></listaccts>";
}

std::string Text(int n) {
    return "T" + std::to_string(n);
}

std::vector<std::string> Column(const TStringGridData& grid, int col) {
    std::vector<std::string> out;
    for (int row = 1; row < grid.RowCount(); ++row) {
        out.emplace_back(grid.Cell(col, row));
    }
    return out;
}

using Strings = std::vector<std::string>;

const std::string kFour = Reply({Acct("dave", "dave.example", "0"), Acct("bob", "bob.example", "1"),
                                 Acct("carol", "cab.example", "0"), Acct("alice", "alice.example", "1")});

} // namespace

TEST(AccountList, BuildsSortedRowsWithHeadingsAndCountsTheFullListing) {
    TStringGridData grid(1, 1);
    TListState state;
    BeginListAllAccounts(state);
    const AccountListView view = ShowAccountList(grid, state, 0, kFour, "", Text);

    EXPECT_TRUE(view.shown);
    EXPECT_EQ(view.listMessage, 0);
    EXPECT_EQ(view.fetchedRows, 4);
    EXPECT_EQ(view.getListCaption, 68);
    EXPECT_EQ(view.addCaption, 15);
    EXPECT_EQ(view.selectRow, 1);
    EXPECT_TRUE(view.slot1.Empty());
    EXPECT_EQ(state.serverAccountCount, 4);
    ASSERT_EQ(grid.ColCount(), kAccountColumns);
    EXPECT_EQ(Column(grid, 0), (Strings{"1", "2", "3", "4"}));
    EXPECT_EQ(Column(grid, 1), (Strings{"alice", "bob", "carol", "dave"}));
    EXPECT_EQ(Column(grid, 3), (Strings{"1", "1", "0", "0"})) << "rows move as a whole";
    EXPECT_EQ(grid.Cell(kAccPanelCol, 3), "http://cab.example/panel");
    EXPECT_EQ(grid.Cell(kAccDiskUsedCol, 1), "172M");
    EXPECT_EQ(grid.Cell(kAccDiskLimitCol, 1), "unlimited");
    EXPECT_EQ(grid.Cell(1, 0), "T27");
    EXPECT_EQ(grid.Cell(7, 0), "T29");
    EXPECT_EQ(AccountCopyText(grid, 2), "bob bob.example");
    EXPECT_EQ(AccountUsageHint(grid, 2), "172M/unlimited");

    // A rebuild (refresh, tab switch, filter bar) keeps the order the operator chose, and a server
    // search does not recount the server's accounts.
    ShowAccountList(grid, state, 0, kFour, "", Text);
    EXPECT_EQ(Column(grid, 1), (Strings{"alice", "bob", "carol", "dave"})) << "a rebuild flips nothing";
    ASSERT_TRUE(SortByHeaderClick(grid, kListModeAccounts, kAccDomainCol));
    ASSERT_TRUE(SortByHeaderClick(grid, kListModeAccounts, kAccDomainCol));
    state.accountSort = ListSortOf(grid, kListModeAccounts);
    BeginServerSearch(state, "b");
    const AccountListView again = ShowAccountList(grid, state, 0, kFour, "", Text);
    EXPECT_EQ(again.getListCaption, 55);
    EXPECT_EQ(Column(grid, 2), (Strings{"dave.example", "cab.example", "bob.example", "alice.example"}));
    EXPECT_EQ(grid.Object(kAccDomainCol, 0), kSortDescending);
    EXPECT_EQ(grid.Object(kAccUserCol, 0), kSortNone);
    EXPECT_EQ(state.serverAccountCount, 4);
    EXPECT_EQ(BeginServerSearch(state, ""), 5);
    EXPECT_EQ(state.lastSearchText, "b");
}

TEST(AccountList, FailuresEmptyAndMalformedRepliesLeaveAMessageNotACrash) {
    TStringGridData grid(1, 1);
    TListState state;
    ShowAccountList(grid, state, 0, kFour, "", Text);
    const auto before = Column(grid, 1);

    AccountListView failed = ShowAccountList(grid, state, 12029, kFour, "", Text);
    EXPECT_EQ(failed.listMessage, 12029);
    EXPECT_FALSE(failed.shown);
    EXPECT_EQ(failed.getListCaption, 0);
    EXPECT_EQ(Column(grid, 1), before) << "the previous rows stay behind the message";

    AccountListView empty = ShowAccountList(grid, state, 0, "", "", Text);
    EXPECT_EQ(empty.listMessage, 12);
    EXPECT_FALSE(empty.noAccounts);
    EXPECT_EQ(Column(grid, 1), before);

    state.serverAccountCount = -1;
    AccountListView none =
        ShowAccountList(grid, state, 0, "<?xml?><listaccts><status>1</status></listaccts>", "", Text);
    EXPECT_EQ(none.listMessage, 12);
    EXPECT_TRUE(none.noAccounts);
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(state.serverAccountCount, -1);

    // Tags missing, cut off or unclosed: each column holds the n-th occurrence of its tag, and a tag
    // with fewer occurrences cuts the rows that the columns read before it had.
    const std::string odd = "<acct><user>a</user><domain>a.shop</domain><suspended>0</suspended>"
                            "<diskused>1M</diskused><disklimit>1</disklimit></acct><acct><user>b</user>"
                            "<domain>b.shop</domain><diskused>2M</diskused><disklimit>2</disklimit>"
                            "<acct><user>c<domain>c.ex";
    AccountListView malformed = ShowAccountList(grid, state, 0, odd, "", Text);
    EXPECT_TRUE(malformed.shown);
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(Column(grid, 1), (Strings{"", "a"}));
    EXPECT_EQ(Column(grid, 6), (Strings{"2", "1"}));
    EXPECT_EQ(Column(grid, 7), (Strings{"http:///panel", "http://a.shop/panel"}));
    for (const std::string& junk :
         {std::string("<user>"), std::string("</user><user"), std::string(1000, '<')}) {
        ShowAccountList(grid, state, 0, junk, "", Text);
        EXPECT_GE(grid.RowCount(), 1);
    }
}

TEST(AccountList, FilterBarRemovesRowsAndRenumbers) {
    TStringGridData grid(1, 1);
    TListState state;
    const std::string reply = Reply({Acct("a", "a.ex", "1"), Acct("b", "b.ex", "0"), Acct("c", "c.ex", ""),
                                     Acct("d", "d.ex", "1"), Acct("e", "e.ex", "0")});
    state.filterMode = kFilterActive;
    AccountListView active = ShowAccountList(grid, state, 0, reply, "", Text);
    EXPECT_EQ(Column(grid, 1), (Strings{"b", "c", "e"})) << "an unknown state is not removed";
    EXPECT_EQ(Column(grid, 0), (Strings{"1", "2", "3"}));
    EXPECT_EQ(active.slot1, (ListStatusSlot{65, 3}));
    EXPECT_EQ(active.fetchedRows, 5) << "the request status counts what the server sent";

    state.filterMode = kFilterSuspended;
    AccountListView suspended = ShowAccountList(grid, state, 0, reply, "", Text);
    EXPECT_EQ(Column(grid, 1), (Strings{"a", "c", "d"}));
    EXPECT_EQ(suspended.slot1, (ListStatusSlot{66, 3}));

    state.filterMode = kFilterActive;
    AccountListView nothingLeft = ShowAccountList(grid, state, 0, Reply({Acct("x", "x.ex", "1")}), "", Text);
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(nothingLeft.slot1, (ListStatusSlot{65, 0}));
    EXPECT_EQ(nothingLeft.selectRow, 0);
}

TEST(AccountList, LocalFilterHidesNonMatchingRowsAndSelectionSkipsThem) {
    TStringGridData grid(1, 1);
    TListState state;
    const std::string reply =
        Reply({Acct("u1", "Abc.example", "0"), Acct("u2", "xyz.example", "0"), Acct("u3", "aBd.example", "1"),
               Acct("u4", "zz.example", "0"), Acct("u5", "ab", "0")});
    AccountListView view = ShowAccountList(grid, state, 0, reply, "aB", Text);
    EXPECT_EQ(view.slot1, (ListStatusSlot{17, 3}));
    EXPECT_EQ(Column(grid, 0), (Strings{"1", "2", "2", "4", "3"})) << "hidden rows keep their number";
    const std::vector<bool> visible = {true, false, true, false, true};
    for (int row = 1; row <= 5; ++row) {
        EXPECT_EQ(grid.RowVisible(row), visible[static_cast<size_t>(row - 1)]) << row;
        EXPECT_EQ(grid.Object(kAccountKeyColumn, row),
                  visible[static_cast<size_t>(row - 1)] ? 0 : kRowHidden);
    }

    // Selection moves past hidden rows in the direction of travel, and stays put at the ends.
    EXPECT_EQ(SelectableRow(grid, 2, 1), 3);
    EXPECT_EQ(SelectableRow(grid, 4, 5), 3);
    EXPECT_EQ(SelectableRow(grid, 4, 3), 5);
    EXPECT_EQ(SelectableRow(grid, 0, 3), -1);
    EXPECT_EQ(SelectableRow(grid, 9, 3), -1);
    ApplyLocalFilter(grid, kListModeAccounts, "abc", false, kFilterAll);
    EXPECT_EQ(SelectableRow(grid, 5, 1), -1) << "no visible row below";
    EXPECT_EQ(SelectableRow(grid, 2, 3), 1);

    LocalFilterResult cleared = ApplyLocalFilter(grid, kListModeAccounts, "", false, kFilterActive);
    EXPECT_EQ(cleared.slot1, (ListStatusSlot{65, 5}));
    EXPECT_EQ(Column(grid, 0), (Strings{"1", "2", "3", "4", "5"}));
    LocalFilterResult behindMessage = ApplyLocalFilter(grid, kListModeAccounts, "q", true, kFilterAll);
    EXPECT_TRUE(behindMessage.slot1.Empty());
    EXPECT_FALSE(ApplyLocalFilter(grid, kListModeNone, "q", false, kFilterAll).ran);
}

TEST(AccountList, ActionsUpdateOnlyTheirCells) {
    TStringGridData grid(1, 1);
    TListState state;
    ShowAccountList(grid, state, 0, Reply({Acct("a", "a.ex", ""), Acct("b", "b.ex", "0")}), "", Text);
    EXPECT_EQ(SuspendMenuCaption(grid, 1), 0);
    EXPECT_EQ(SuspendActionOf(grid, 1), SuspendAction::None);
    StoreQueriedSuspended(grid, 1, -1);
    EXPECT_EQ(SuspendMenuCaption(grid, 1), 8) << "an unresolved state counts as active";

    EXPECT_FALSE(ApplySuspendAnswer(grid, 2, true, "", "").showMessage) << "declined";
    SuspendOutcome refused = ApplySuspendAnswer(grid, 2, true, "relogin", "");
    EXPECT_TRUE(refused.showMessage);
    EXPECT_EQ(refused.message, "");
    EXPECT_EQ(grid.Cell(kAccSuspendedCol, 2), "0");
    EXPECT_EQ(ApplySuspendAnswer(grid, 2, true, "1", "done").message, "done");
    EXPECT_EQ(SuspendMenuCaption(grid, 2), 9);
    EXPECT_EQ(SuspendActionOf(grid, 2), SuspendAction::Unsuspend);

    EXPECT_TRUE(ApplyBandwidthAnswer(grid, 2, "500", true, 0, true));
    EXPECT_FALSE(ApplyBandwidthAnswer(grid, 2, "500", true, 12002, false));
    EXPECT_EQ(grid.Cell(kAccBandwidthCol, 2), "");
    ApplyBandwidthAnswer(grid, 2, "500&x=1", true, 0, false);
    EXPECT_EQ(grid.Cell(kAccBandwidthCol, 2), "500&x=1");

    // A rebuild in another order keeps the limit with its account, not with its row.
    ShowAccountList(grid, state, 0,
                    Reply({Acct("c", "c.ex", "0"), Acct("b", "b.ex", "1"), Acct("a", "a.ex", "0"),
                           Acct("aa", "aa.ex", "0")}),
                    "", Text);
    EXPECT_EQ(Column(grid, 1), (Strings{"a", "aa", "b", "c"}));
    EXPECT_EQ(Column(grid, kAccBandwidthCol), (Strings{"", "", "500&x=1", ""}));

    EXPECT_EQ(AfterAccountDelete(0, kListModeAccounts).refetchAccounts, true);
    EXPECT_EQ(AfterAccountDelete(0, kListModePackages).packageFetches, 0);
    EXPECT_EQ(AfterAccountDelete(-2, kListModePackages).packageFetches, 1);
    EXPECT_TRUE(AfterAccountDelete(12029, kListModeAccounts).showTransportError);
    EXPECT_FALSE(AfterAccountDelete(-1, kListModeAccounts).refetchAccounts);
}

TEST(PackageList, BuildsSortsByTextCopiesAndCounts) {
    const std::string reply =
        "<?xml?><listpkgs><package><name>gold</name><QUOTA>200</QUOTA><BWLIMIT>unlimited"
        "</BWLIMIT></package><package><name>bronze</name><QUOTA>1000</QUOTA><BWLIMIT>10"
        "</BWLIMIT></package><package><name></name><QUOTA>5</QUOTA><BWLIMIT>1</BWLIMIT>"
        "</package></listpkgs>";
    TStringGridData grid(1, 1);
    TListState state;
    EXPECT_EQ(PackageTabStatus(state), 12);
    BeginListPackages(state);
    PackageListView view = ShowPackageList(grid, state, 0, reply, Text);
    EXPECT_TRUE(view.shown);
    EXPECT_EQ(view.fetchedRows, 3);
    EXPECT_EQ(view.addCaption, 63);
    EXPECT_EQ(grid.ColCount(), kPackageColumns);
    EXPECT_EQ(Column(grid, 1), (Strings{"", "bronze", "gold"}));
    EXPECT_EQ(grid.Object(kPackageKeyColumn, 2), kRowVisiblePackage);
    EXPECT_EQ(grid.Cell(2, 0), "T38");
    EXPECT_EQ(PackageCopyText(grid, 2), "bronze 1000 10");
    EXPECT_EQ(PackageCountOf(reply), 3) << "an empty name still counts";
    EXPECT_EQ(PackageCountOf(""), 0);

    ASSERT_TRUE(SortByHeaderClick(grid, kListModePackages, 2));
    ASSERT_TRUE(SortByHeaderClick(grid, kListModePackages, 2));
    ASSERT_TRUE(SortByHeaderClick(grid, kListModePackages, 2));
    EXPECT_EQ(Column(grid, 2), (Strings{"1000", "200", "5"})) << "quotas compare as texts";

    LocalFilterResult filtered = ApplyLocalFilter(grid, kListModePackages, "G", false, kFilterAll);
    EXPECT_EQ(filtered.matching, 1);
    EXPECT_EQ(grid.Object(kPackageKeyColumn, 1), kRowHidden);

    grid.SetCell(1, 0, "kept");
    PackageListView none = ShowPackageList(grid, state, 0, "<listpkgs></listpkgs>", Text);
    EXPECT_FALSE(none.shown);
    EXPECT_EQ(none.listMessage, 12);
    EXPECT_EQ(grid.Cell(1, 0), "kept") << "no packages: the heading row is left alone";
    EXPECT_EQ(ShowPackageList(grid, state, 12002, reply, Text).listMessage, 12002);

    EXPECT_EQ(AfterPackageDelete(0, kListModePackages).packageFetches, 2);
    EXPECT_EQ(AfterPackageDelete(-2, kListModePackages).packageFetches, 1);
    EXPECT_EQ(AfterPackageDelete(-1, kListModeAccounts).packageFetches, 0);
}

TEST(ListLinks, OnlyWebAndMailAddressesAreOpened) {
    EXPECT_EQ(LinkAddress("example.com"), "http://www.example.com");
    EXPECT_EQ(LinkAddress("www.example.com"), "http://www.example.com");
    EXPECT_EQ(LinkAddress("http://a.example/panel"), "http://a.example/panel");
    EXPECT_EQ(LinkAddress("HTTPS://a.example"), "HTTPS://a.example");
    EXPECT_EQ(LinkAddress("owner@mail.example"), "mailto:owner@mail.example");
    for (const char* refused : {"", "javascript:alert(1)", "file:///etc/passwd", "a b.example", "x@y:z",
                                "http\n.example", "httpx:foo"}) {
        EXPECT_EQ(LinkAddress(refused), "") << refused;
    }
    EXPECT_TRUE(IsLinkCell("shop.com", 0));
    EXPECT_TRUE(IsLinkCell("plain", kRowVisiblePackage));
    EXPECT_FALSE(IsLinkCell("plain", 0));
}

// The accounts read while a reply arrives, in pieces cut anywhere, give the rows that the whole
// text gives: odd replies included, where the n-th value of each tag makes row n.
TEST(AccountList, ReadingWhileTheReplyArrivesGivesTheRowsOfTheWholeText) {
    const std::vector<std::string> replies = {
        Reply({Acct("j&amp;o", "caf\xC3\xA9.example", "0"), Acct("bob", "&#x263A;&#65;&lt;b&gt;.ex", "1"),
               "<ACCT><USER>Up</USER><Domain>up.ex</Domain><suspended>1</suspended></ACCT>"}),
        // A start tag with attributes counts only after the last plain one; no closing tag ends the list.
        "<user a=\"1\">early</user>" + Reply({Acct("a", "a.ex", "0"), Acct("b", "b.ex", "1")}) +
            "<user b=\"2\">late</user><domain "
            "x>d-late</domain><suspended>1</suspended><diskused>1M</diskused>"
            "<disklimit>open",
        // Tags outside any acct, an acct without a domain, nesting, a closing tag that runs on.
        "<user>loose</user><acct><user>a</userx><suspended>0</suspended></acct><acct><user><user>n</user>"
        "</user><domain>d.ex</domain><disklimit>9M</disklimit></acct><disklimit>&#0;&bogus;</disklimit>"
        "<disklimit>1</disklimit><disklimit>2</disklimit><disklimit>3</disklimit>",
        "<?xml version=\"1.0\" ?><result><status>0</status><statusmsg>No &amp; way</statusmsg></result>",
        "<html><body>Login required</body></html>",
        "",
    };
    TStringGridData seed(kAccountColumns, 2); // a limit set in this run stays with its account
    seed.SetCell(kAccUserCol, 1, "bob");
    seed.SetCell(kAccBandwidthCol, 1, "50");

    for (const std::string& reply : replies) {
        TStringGridData whole = seed;
        FillAccountRows(whole, reply);
        auto expectSame = [&](TAccountReplyReader& reader, const std::string& how) {
            ASSERT_TRUE(reader.Finished()) << how;
            TStringGridData read = seed;
            FillAccountRows(read, reader.Values());
            ASSERT_EQ(read.RowCount(), whole.RowCount()) << how << " in " << reply;
            for (int row = 0; row < whole.RowCount(); ++row) {
                EXPECT_EQ(read.RowTexts(row), whole.RowTexts(row))
                    << how << " row " << row << " in " << reply;
                EXPECT_EQ(read.RowHeight(row), whole.RowHeight(row)) << how;
            }
        };
        // The account values kept in place of the reply text: the same rows, the same judgement
        // (signed out, refused with the server's words).
        auto expectSameKept = [&](const std::shared_ptr<const TAccountValues>& values,
                                  const std::string& how) {
            const TAccountValues& kept = *values;
            TStringGridData read = seed;
            FillAccountRows(read, values);
            ASSERT_EQ(read.RowCount(), whole.RowCount()) << how << " in " << reply;
            for (int row = 0; row < whole.RowCount(); ++row) {
                EXPECT_EQ(read.RowTexts(row), whole.RowTexts(row))
                    << how << " row " << row << " in " << reply;
            }
            EXPECT_EQ(kept.Empty(), reply.empty()) << how;
            EXPECT_EQ(kept.SignedOut(200), IsSignedOutReply(reply, 200)) << how << " in " << reply;
            if (whole.RowCount() == 1) {
                EXPECT_EQ(kept.status, XmlExtract(reply, "", "status", kXmlLastValue)) << how;
                EXPECT_EQ(kept.statusMessage, StatusMessageOf(reply)) << how;
            }
        };
        expectSameKept(std::make_shared<TAccountValues>(TAccountValues::FromReply(reply)), "from the text");
        for (size_t cut = 0; cut <= reply.size(); ++cut) {
            TAccountReplyReader reader(1), kept(1);
            reader.Take("<user>before the request went out again</user>");
            reader.Restart();
            for (TAccountReplyReader* r : {&reader, &kept}) {
                r->Take(std::string_view(reply).substr(0, cut));
                r->Take(std::string_view(reply).substr(cut));
                r->Finish();
            }
            expectSame(reader, "cut at " + std::to_string(cut));
            expectSameKept(kept.TakeAccounts(), "kept, cut at " + std::to_string(cut));
        }
        TAccountReplyReader bytes(1), once;
        for (char c : reply) {
            bytes.Take(std::string_view(&c, 1));
        }
        once.Take(reply);
        bytes.Finish();
        once.Finish();
        expectSame(bytes, "byte by byte");
        expectSame(once, "in one piece");
        // Taken by a build: a second build reads the text instead.
        EXPECT_FALSE(once.Finished());
    }

    // The list build takes the values instead of reading the text.
    TAccountReplyReader reader;
    reader.Take(kFour);
    reader.Finish();
    TStringGridData grid;
    TListState state;
    const AccountListView view = ShowAccountList(grid, state, 0, kFour, "", Text, &reader.Values());
    EXPECT_EQ(view.fetchedRows, 4);
    EXPECT_EQ(Column(grid, kAccUserCol), (Strings{"alice", "bob", "carol", "dave"}));
}

// The grid built from kept values shows their texts without a copy, keeps them alive as long as a
// cell shows them, and its cells survive sorting, filtering, copies and writes of their own text.
TEST(AccountList, TheGridShowsTheKeptValuesAndHoldsThemOnlyWhileACellShowsThem) {
    auto values = std::make_shared<TAccountValues>(TAccountValues::FromReply(
        Reply({Acct("zed-the-long-user", "zed.example", "1"), Acct("amy", "a.ex", "0"),
               Acct("mona-lisa-smith", "mona.example.org", "0")})));
    const std::weak_ptr<const TAccountValues> watch = values;
    const std::string_view kept = values->Texts();

    TStringGridData grid(kAccountColumns, 1);
    TListState state;
    ShowAccountList(grid, state, 0, std::shared_ptr<const TAccountValues>(values), "", Text);
    values.reset();
    ASSERT_FALSE(watch.expired());                           // the grid holds them
    const std::string_view user = grid.Cell(kAccUserCol, 3); // sorted: amy, mona..., zed...
    EXPECT_EQ(user, "zed-the-long-user");
    EXPECT_TRUE(user.data() >= kept.data() && user.data() < kept.data() + kept.size()) << "a copy";
    EXPECT_EQ(grid.Cell(kAccPanelCol, 2), "http://mona.example.org/panel");

    TStringGridData copy = grid;
    SortByHeaderClick(copy, kListModeAccounts, kAccUserCol);     // descending
    copy.SetCell(kAccDomainCol, 1, copy.Cell(kAccDomainCol, 1)); // its own text, written back
    copy.SetCell(kAccSuspendedCol, 1, copy.Cell(kAccSuspendedCol, 1));
    copy.KeepRows({true, true, false, true});
    ASSERT_EQ(copy.RowCount(), 3);
    EXPECT_EQ(copy.RowTexts(1), (std::vector<std::string>{"1", "zed-the-long-user", "zed.example", "1", "",
                                                          "172M", "unlimited", "http://zed.example/panel"}));
    EXPECT_EQ(copy.Cell(kAccUserCol, 2), "amy");
    EXPECT_EQ(grid.Cell(kAccUserCol, 1), "amy"); // the first grid is as it was

    // A new list in both: the old values go once no cell shows them any more.
    auto next =
        std::make_shared<const TAccountValues>(TAccountValues::FromReply(Reply({Acct("bob", "b.ex", "0")})));
    FillAccountRows(grid, next);
    EXPECT_FALSE(watch.expired()); // the copy still shows them
    FillAccountRows(copy, next);
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(copy.RowTexts(1), (std::vector<std::string>{"1", "bob", "b.ex", "0", "", "172M", "unlimited",
                                                          "http://b.ex/panel"}));
}
