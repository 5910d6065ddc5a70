// Actions on several accounts without a server: what is planned, how replies are judged, and how
// the grid and the stored-reply overlays follow the outcomes.

#include "core/accounts/BulkAction.h"

#include "core/settings/Paths.h"
#include "settings/SettingsTestFolder.h"

#include <gtest/gtest.h>

using namespace parlomar;

namespace {

std::string Reply(const std::vector<std::pair<std::string, std::string>>& accounts) {
    std::string r = "<?xml version=\"1.0\" ?><listaccts>";
    for (const auto& [user, suspended] : accounts)
        r += "<acct><user>" + user + "</user><domain>" + user + ".example</domain><suspended>" + suspended +
             "</suspended><diskused>1M</diskused><disklimit>9M</disklimit></acct>";
    return r + "<status>1</status></listaccts>";
}

const std::string kFive = Reply({{"ann", "0"}, {"bob", "1"}, {"cid", ""}, {"dan", "0"}, {"eve", "1"}});

std::vector<std::string> Users(const TStringGridData& grid) {
    std::vector<std::string> users;
    for (int row = 1; row < grid.RowCount(); ++row)
        users.push_back(std::string(grid.Cell(kAccUserCol, row)) + (grid.RowVisible(row) ? "" : "(hidden)"));
    return users;
}

BulkEntry Done(const std::string& user) {
    BulkEntry entry;
    entry.user = user;
    entry.outcome = BulkOutcome::Done;
    return entry;
}

using Strings = std::vector<std::string>;

} // namespace

TEST(BulkAction, PlansSkipsAndJudgesEveryKindOfReply) {
    TStringGridData grid;
    FillAccountRows(grid, kFive);
    auto outcomes = [](const std::vector<BulkEntry>& entries) {
        std::vector<BulkOutcome> out;
        for (const BulkEntry& e : entries)
            out.push_back(e.outcome);
        return out;
    };
    using O = BulkOutcome;
    // Accounts in the wanted state are skipped; an unknown state is sent; rows outside are left out.
    EXPECT_EQ(outcomes(PlanBulkAction(grid, {1, 2, 3, 4, 5, 9}, BulkKind::Suspend)),
              (std::vector<O>{O::Pending, O::Skipped, O::Pending, O::Pending, O::Skipped}));
    EXPECT_EQ(outcomes(PlanBulkAction(grid, {1, 2, 3}, BulkKind::Unsuspend)),
              (std::vector<O>{O::Skipped, O::Pending, O::Pending}));
    EXPECT_EQ(outcomes(PlanBulkAction(grid, {2, 5}, BulkKind::Delete)),
              (std::vector<O>{O::Pending, O::Pending}));
    EXPECT_EQ(BulkRequestUrl("https://h", BulkKind::Delete, "a&b"),
              "https://h/xml-api/removeacct?user=a%26b");

    struct Case {
        HttpReply reply;
        BulkOutcome outcome;
        std::string message;
        int transport;
    } cases[] = {
        {{0, "<?xml ?><r><result><status>1</status><statusmsg>ann is now suspended.</statusmsg></result></r>",
          200},
         O::Done,
         "ann is now suspended.",
         0},
        {{0, "<?xml ?><r><result><status>0</status><statusmsg>Already suspended</statusmsg></result></r>",
          200},
         O::Refused,
         "Already suspended",
         0},
        {{0, "<?xml ?><r><result><status></status></result></r>", 200}, O::Refused, "", 0},
        {{12029, "", 0}, O::Failed, "", 12029},
        {{0, "<html>Unauthorized</html>", 401}, O::SignedOut, "", 0},
        {{0, "<?xml ?><r/>", 403}, O::SignedOut, "", 0},
    };
    for (const Case& c : cases) {
        BulkEntry entry;
        JudgeBulkReply(entry, c.reply);
        EXPECT_EQ(entry.outcome, c.outcome) << c.reply.text;
        EXPECT_EQ(entry.message, c.message) << c.reply.text;
        EXPECT_EQ(entry.transportStatus, c.transport) << c.reply.text;
    }
}

TEST(BulkAction, GridFollowsTheOutcomesAndRebuildsKeepThem) {
    const auto text = [](int n) { return "T" + std::to_string(n); };
    TListState state;
    state.serverAccountCount = 5;
    state.filterMode = kFilterActive;
    TStringGridData grid;
    ShowAccountList(grid, state, 0, kFive, "", text);
    ASSERT_EQ(Users(grid), (Strings{"ann", "cid", "dan"}));

    // Done suspends leave the "Active" bar; a refusal or failure changes nothing.
    BulkEntry refused = Done("cid");
    refused.outcome = BulkOutcome::Refused;
    BulkGridChange change = ApplyBulkEntries(grid, state, BulkKind::Suspend, {Done("ann"), refused}, "");
    EXPECT_TRUE(change.rowsChanged);
    EXPECT_EQ(Users(grid), (Strings{"cid", "dan"}));
    EXPECT_EQ(grid.Cell(kAccNumberCol, 2), "2");
    EXPECT_EQ(change.slot1, (ListStatusSlot{65, 2}));

    // Under "All" a suspend changes the cell only; with a search text typed the count is the matches.
    state.filterMode = kFilterAll;
    ShowAccountList(grid, state, 0, kFive, "", text);
    change = ApplyBulkEntries(grid, state, BulkKind::Suspend, {Done("dan")}, "d");
    EXPECT_TRUE(change.cellsChanged && !change.rowsChanged);
    EXPECT_EQ(grid.Cell(kAccSuspendedCol, 4), "1");

    // Deleted accounts leave the grid and the server's count, also in rebuilds from the stored reply.
    change = ApplyBulkEntries(grid, state, BulkKind::Delete, {Done("bob"), Done("eve"), Done("nobody")}, "");
    EXPECT_TRUE(change.rowsChanged);
    EXPECT_EQ(Users(grid), (Strings{"ann", "cid", "dan"}));
    EXPECT_EQ(state.serverAccountCount, 2);
    ShowAccountList(grid, state, 0, kFive, "", text);
    EXPECT_EQ(Users(grid), (Strings{"ann", "cid", "dan"}));
    EXPECT_EQ(std::string(grid.Cell(kAccSuspendedCol, 1)) + std::string(grid.Cell(kAccSuspendedCol, 3)),
              "11");
    // The same outcome twice counts once.
    ApplyBulkEntries(grid, state, BulkKind::Delete, {Done("bob")}, "");
    EXPECT_EQ(state.serverAccountCount, 2);

    // A grid built before outcomes arrived takes them when it is shown.
    TListState later;
    later.filterMode = kFilterActive;
    TStringGridData built;
    ShowAccountList(built, later, 0, kFive, "", text);
    const std::uint64_t changes = later.listChanges;
    TStringGridData onItsWay; // the grid is still being built: only the list state takes them
    ApplyBulkEntries(onItsWay, later, BulkKind::Suspend, {Done("dan")}, "");
    ApplyBulkEntries(onItsWay, later, BulkKind::Delete, {Done("ann")}, "");
    EXPECT_NE(later.listChanges, changes);
    const ListChangesApplied applied = ReapplyListChanges(built, later, "");
    EXPECT_EQ(Users(built), (Strings{"cid"}));
    EXPECT_EQ(applied.deletedRows, 1);
    EXPECT_EQ(applied.slot1, (ListStatusSlot{65, 1}));
}

TEST(BulkAction, SentRequestsWithoutAReplyAreUnknownAndTheQuestionCountsInWords) {
    test::SettingsTestFolder folder;
    test::SettingsTestFolder::Write(
        LanguageFile(), test::SettingsTestFolder::Read(std::filesystem::path(PARLOMAR_SOURCE_DIR) /
                                                       "data/Localization/English.lng"));
    TStringGridData grid;
    FillAccountRows(grid, kFive);
    using O = BulkOutcome;
    // A request that went out and got no judged reply may have been carried out: its outcome is
    // unknown, never "failed" or "not sent"; only one that never went out is "not sent".
    const struct {
        HttpReply reply;
        bool stillWanted;
        BulkOutcome outcome;
    } ended[] = {
        {{2, "", 0, true}, false, O::Unknown},
        {{12030, "", 0, true}, true, O::Unknown},
        {{2, "", 0, false}, false, O::NotSent},
        {{12029, "", 0, false}, true, O::Failed},
    };
    std::vector<BulkEntry> judged;
    for (const auto& e : ended) {
        BulkEntry entry;
        JudgeBulkReply(entry, e.reply, e.stillWanted);
        EXPECT_EQ(entry.outcome, e.outcome) << e.reply.status << " " << e.reply.sent;
        judged.push_back(entry);
    }
    EXPECT_EQ(BulkOutcomeText(judged[0], BulkKind::Suspend),
              "Sent, outcome unknown: the wait for the reply was ended");
    EXPECT_EQ(BulkCountsText(CountBulk(judged)),
              "0 done, 0 skipped, 0 refused, 1 failed, 1 not sent, 2 sent, outcome unknown");
    EXPECT_TRUE(BulkNeedsRefetch(judged));
    EXPECT_FALSE(BulkNeedsRefetch({judged[2], judged[3]}));

    // The question counts in words that agree with the number.
    std::vector<BulkEntry> two = PlanBulkAction(grid, {1, 2}, BulkKind::Suspend);
    EXPECT_EQ(
        BulkQuestion(two, BulkKind::Suspend),
        "Do you want to suspend 1 account?\nann\n1 of the selected accounts is suspended already and will be "
        "skipped.");
    EXPECT_EQ(BulkQuestion(PlanBulkAction(grid, {1, 2, 4, 5}, BulkKind::Unsuspend), BulkKind::Unsuspend),
              "Do you want to unsuspend 2 accounts?\nbob, eve\n2 of the selected accounts are active already "
              "and will "
              "be skipped.");
}
