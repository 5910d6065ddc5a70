#include "core/accounts/EditorQuery.h"

#include "core/accounts/PasswordGenerator.h"
#include "core/server/TransportUi.h"
#include "core/settings/Localization.h"
#include "core/settings/Paths.h"
#include "settings/SettingsTestFolder.h"

#include <gtest/gtest.h>

using namespace parlomar;
using parlomar::test::SettingsTestFolder;

namespace {

const std::filesystem::path kSourceDir = PARLOMAR_SOURCE_DIR;
constexpr std::string_view kBase = "https://host:2087";
constexpr std::string_view kPlaceholder = "(no package)";

// Records the messages shown; answers no questions.
class MessageRecorder : public TransportUi {
public:
    void ShowRequestStatus(int, const std::string&) override {}
    bool IsGuiThread() override { return true; }
    bool AskCertificate(const CertificateInfo&) override { return false; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskQuestion(const std::string&) override { return false; }
    void PostToGuiThread(std::function<void()> f) override { f(); }
    std::vector<std::string> messages;
};

// A program folder with the shipped language file and a message recorder installed.
class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsTestFolder::Write(LanguageFile(),
                                  SettingsTestFolder::Read(kSourceDir / "data/Localization/English.lng"));
        ui_ = std::make_shared<MessageRecorder>();
        SetTransportUi(ui_);
    }
    void TearDown() override { SetTransportUi(nullptr); }

    SettingsTestFolder folder_;
    std::shared_ptr<MessageRecorder> ui_;
};

const std::string kPackages =
    "<?xml version=\"1.0\" ?><listpkgs>"
    "<package><name>silver</name><QUOTA>500</QUOTA><BWLIMIT>5000</BWLIMIT><CGI>y</CGI><CPMOD>x3</CPMOD>"
    "<FEATURELIST>default</FEATURELIST><FRONTPAGE>n</FRONTPAGE><HASSHELL>Y</HASSHELL><IP>n</IP>"
    "<LANG>en</LANG><MAXADDON>2</MAXADDON><MAXFTP>10</MAXFTP><MAXLST></MAXLST><MAXPARK>3</MAXPARK>"
    "<MAXPOP>20</MAXPOP><MAXSQL>4</MAXSQL><MAXSUB>unlimited</MAXSUB></package>"
    "<package><name>Bronze</name><QUOTA>100</QUOTA><BWLIMIT>1000</BWLIMIT><CGI>n</CGI><IP>y</IP></package>"
    "<package><name>gold</name><QUOTA>unlimited</QUOTA><HASSHELL>n</HASSHELL><MAXLST>30</MAXLST></package>"
    "<status>1</status><statusmsg>Ok</statusmsg></listpkgs>";

QueryFields Pairs(std::initializer_list<std::pair<const char*, const char*>> list) {
    QueryFields out;
    for (auto& [k, v] : list) {
        out.emplace_back(k, v);
    }
    return out;
}

void Set(TEditorModel& m, std::string_view control, std::string text) {
    ASSERT_GE(m.Find(control), 0) << control;
    m.SetText(m.Find(control), std::move(text));
}
void Tick(TEditorModel& m, std::string_view control, bool checked = true) {
    ASSERT_GE(m.Find(control), 0) << control;
    m.SetChecked(m.Find(control), checked);
}

HttpReply Reply(std::string text, TransportStatus status = kStatusOk, long http = 200) {
    return HttpReply{status, std::move(text), http};
}

} // namespace

TEST(EditorFields, ParametersFollowTheControlNamesAndTheGroupsKeepWindowOrder) {
    for (int kind : {kPackageEditor, kAccountEditor}) {
        for (const auto& f : EditorFields(kind)) {
            // The parameter is the control's name without its kind suffix, in lower case.
            const size_t suffix = f.kind == EditorControl::Check ? 5 : 4;
            std::string expected(f.control.substr(0, f.control.size() - suffix));
            for (auto& c : expected) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            EXPECT_EQ(f.parameter, expected) << f.control;
            EXPECT_EQ(f.kind == EditorControl::Check, f.control.ends_with("heck")) << f.control;
            EXPECT_FALSE(f.unlimitedButton && f.kind != EditorControl::Edit) << f.control;
        }
    }
    EXPECT_TRUE(EditorFields(0).empty());
    EXPECT_TRUE(EditorFields(3).empty());

    const auto account = EditorFields(kAccountEditor);
    ASSERT_EQ(account.size(), 27u);
    for (size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(account[i].section, EditorSection::DomainResources) << account[i].control;
    }
    EXPECT_EQ(account[12].shownBy, "SavepkgCheck");
    EXPECT_EQ(account[13].shownBy, "IP1heck");
    EXPECT_EQ(account[22].control, "DomainEdit");
    EXPECT_EQ(account[26].control, "PlanEdit");
    EXPECT_EQ(account[26].kind, EditorControl::Combo);
    EXPECT_EQ(EditorFields(kPackageEditor).size(), 17u);
    EXPECT_EQ(EditorFields(kPackageEditor)[0].control, "NameEdit");
}

TEST_F(EditorTest, AccountQuerySendsFilledEditsEveryShownCheckBoxAndTheOnDemandEditsOnlyWhenTicked) {
    TEditorModel m(kAccountEditor, kNoPackageAction);
    EXPECT_EQ(m.Function(), "createacct");
    Set(m, "Quota1dit", "250");
    Set(m, "DomainEdit", "Example.COM");
    Set(m, "UsernameEdit", "alice");
    Set(m, "PasswordEdit", "Mixed&Case=Pw");
    Set(m, "PlanEdit", std::string(kPlaceholder));
    Set(m, "CustomipEdit", "10.0.0.9"); // typed, then its box unticked: hidden, not sent
    Set(m, "PkgNameEdit", "mypack");
    Tick(m, "CGI1heck");
    Tick(m, "SavepkgCheck");

    EXPECT_FALSE(m.Shown(m.Find("CustomipEdit")));
    EXPECT_TRUE(m.Shown(m.Find("PkgNameEdit")));
    EXPECT_EQ(m.BuildQuery(kPlaceholder), Pairs({{"quota", "250"},
                                                 {"pkgname", "mypack"},
                                                 {"hasuseregns", "0"},
                                                 {"useregns", "0"},
                                                 {"reseller", "0"},
                                                 {"cgi", "1"},
                                                 {"frontpage", "0"},
                                                 {"hasshell", "0"},
                                                 {"ip", "0"},
                                                 {"savepkg", "1"},
                                                 {"domain", "Example.COM"},
                                                 {"username", "alice"},
                                                 {"password", "Mixed&Case=Pw"}}));

    // Ticking "Set custom IP" shows the address edit and sends it; a chosen plan is sent as typed.
    Tick(m, "IP1heck");
    Set(m, "PlanEdit", "Bronze");
    auto q = m.BuildQuery(kPlaceholder);
    EXPECT_EQ(q[2], (std::pair<std::string, std::string>{"customip", "10.0.0.9"}));
    EXPECT_EQ(q.back(), (std::pair<std::string, std::string>{"plan", "Bronze"}));
    // Values are percent-encoded into the URL, never lower-cased.
    EXPECT_NE(m.RequestUrl(kBase, kPlaceholder).find("&password=Mixed%26Case%3DPw&plan=Bronze"),
              std::string::npos);
    EXPECT_EQ(m.RequestUrl(kBase, kPlaceholder).rfind("https://host:2087/xml-api/createacct?quota=250&", 0),
              0u);
}

TEST_F(EditorTest, UnlimitedButtonsAndGeneratedPasswords) {
    TEditorModel m(kAccountEditor, kNoPackageAction);
    const int quota = m.Find("Quota1dit");
    EXPECT_EQ(m.MaxLength(quota), 20);
    m.PressUnlimited(quota);
    EXPECT_EQ(m.Text(quota), "unlimited");
    EXPECT_EQ(m.MaxLength(quota), 9);
    m.SetText(quota, "123");
    EXPECT_EQ(m.MaxLength(quota), 9); // stays 9
    // Fields without the button are not touched.
    const int domain = m.Find("DomainEdit");
    m.PressUnlimited(domain);
    EXPECT_EQ(m.Text(domain), "");
    EXPECT_EQ(m.MaxLength(domain), 30);

    TEditorModel p(kPackageEditor, kCreatePackage);
    p.PressUnlimited(p.Find("BwLimitEdit"));
    EXPECT_EQ(p.BuildQuery(kPlaceholder)[0], (std::pair<std::string, std::string>{"bwlimit", "unlimited"}));

    const std::string pw = m.GenerateNewPassword();
    ASSERT_EQ(pw.size(), 12u);
    for (char c : pw) {
        EXPECT_TRUE(IsPasswordCharacter(c));
    }
    EXPECT_EQ(m.Text(m.Find("PasswordEdit")), pw);
    bool sentAsGenerated = false;
    for (auto& [k, v] : m.BuildQuery(kPlaceholder)) {
        sentAsGenerated |= (k == "password" && v == pw);
    }
    EXPECT_TRUE(sentAsGenerated);
}

TEST_F(EditorTest, PackageEditFillsFromTheListAndCreateClears) {
    TEditorModel edit(kPackageEditor, kEditPackage);
    EXPECT_EQ(edit.Function(), "editpkg");
    Tick(edit, "FrontPageCheck");       // "n" in the package: unticked by the fill
    Tick(edit, "IPCheck");              // "n"
    Set(edit, "LanguageEdit", "typed"); // filled from the package's LANG
    Set(edit, "MaxListsEdit", "7");     // kept: silver's MAXLST is empty
    edit.FillFromPackage(kPackages, "silver");
    EXPECT_EQ(edit.Text(edit.Find("NameEdit")), "silver");
    EXPECT_EQ(edit.Text(edit.Find("QuotaEdit")), "500");
    EXPECT_EQ(edit.Text(edit.Find("MaxSubEdit")), "unlimited");
    EXPECT_EQ(edit.Text(edit.Find("CpmodEdit")), "x3");
    EXPECT_EQ(edit.Text(edit.Find("LanguageEdit")), "en");
    EXPECT_EQ(edit.Text(edit.Find("MaxListsEdit")), "7");
    EXPECT_TRUE(edit.Checked(edit.Find("CGICheck")));
    EXPECT_TRUE(edit.Checked(edit.Find("hasshellCheck"))); // "Y"
    EXPECT_FALSE(edit.Checked(edit.Find("FrontPageCheck")));
    EXPECT_FALSE(edit.Checked(edit.Find("IPCheck")));

    // A package that lacks a tag leaves that control as it was; an unknown package changes nothing.
    edit.FillFromPackage(kPackages, "gold");
    EXPECT_EQ(edit.Text(edit.Find("QuotaEdit")), "unlimited");
    EXPECT_EQ(edit.Text(edit.Find("CpmodEdit")), "x3");
    EXPECT_TRUE(edit.Checked(edit.Find("CGICheck")));
    EXPECT_FALSE(edit.Checked(edit.Find("hasshellCheck")));
    EXPECT_EQ(edit.Text(edit.Find("MaxListsEdit")), "30"); // from MAXLST
    edit.FillFromPackage(kPackages, "nosuch");
    EXPECT_EQ(edit.Text(edit.Find("NameEdit")), "gold");
    EXPECT_NE(edit.RequestUrl(kBase, kPlaceholder).find("/xml-api/editpkg?name=gold&featurelist=default"),
              std::string::npos);

    TEditorModel create(kPackageEditor, kCreatePackage);
    EXPECT_EQ(create.Function(), "addpkg");
    Set(create, "QuotaEdit", "1");
    Tick(create, "CGICheck");
    create.FillFromPackage(kPackages, "");
    EXPECT_EQ(create.Text(create.Find("QuotaEdit")), "");
    EXPECT_FALSE(create.Checked(create.Find("CGICheck")));
    EXPECT_EQ(create.BuildQuery(kPlaceholder),
              Pairs({{"hasshell", "0"}, {"ip", "0"}, {"cgi", "0"}, {"frontpage", "0"}}));
}

TEST_F(EditorTest, PlanListAndPlanSelectionChangeOnlyFieldsThePackageFills) {
    EXPECT_EQ(PlanListItems(kPackages, kPlaceholder),
              (std::vector<std::string>{"(no package)", "Bronze", "gold", "silver"}));
    EXPECT_EQ(PlanListItems("", kPlaceholder), (std::vector<std::string>{"(no package)"}));
    EXPECT_EQ(PlanListItems("<package><name></name></package>", "-"), (std::vector<std::string>{"-"}));

    TEditorModel m(kAccountEditor, kNoPackageAction);
    Set(m, "DomainEdit", "typed.example");
    Set(m, "Quota1dit", "42");
    Set(m, "Maxpark1dit", "9");
    Tick(m, "ResellerCheck");
    Tick(m, "CGI1heck");

    m.SelectPlan(kPackages, kPlaceholder); // names no package
    m.SelectPlan("", kPlaceholder);
    EXPECT_EQ(m.Text(m.Find("Quota1dit")), "42");
    EXPECT_TRUE(m.Checked(m.Find("CGI1heck")));

    m.SelectPlan(kPackages, "Bronze");
    EXPECT_EQ(m.Text(m.Find("Quota1dit")), "100");
    EXPECT_EQ(m.Text(m.Find("Bwlimit1dit")), "1000");
    EXPECT_EQ(m.Text(m.Find("Maxpark1dit")), "9"); // Bronze has no MAXPARK
    EXPECT_EQ(m.Text(m.Find("DomainEdit")), "typed.example");
    EXPECT_FALSE(m.Checked(m.Find("CGI1heck"))); // "n"
    EXPECT_TRUE(m.Checked(m.Find("ResellerCheck")));
    EXPECT_TRUE(m.Checked(m.Find("IP1heck"))); // "y": the custom IP edit shows
    EXPECT_TRUE(m.Shown(m.Find("CustomipEdit")));
    EXPECT_EQ(m.Text(m.Find("PlanEdit")), ""); // the combo box itself is never filled

    m.SelectPlan(kPackages, "silver");
    EXPECT_EQ(m.Text(m.Find("Maxlst1dit")), ""); // no such control; nothing breaks
    EXPECT_EQ(m.Text(m.Find("MaxlstEdit")), ""); // <MAXLST></MAXLST> is empty: unchanged
    EXPECT_EQ(m.Text(m.Find("maxftp1dit")), "10");
    EXPECT_EQ(m.Text(m.Find("Language1dit")), "en"); // from the package's LANG
}

TEST_F(EditorTest, OkChecksTheDomainShowsTheServerMessageAndClosesOnlyOnSuccess) {
    TEditorModel m(kAccountEditor, kNoPackageAction);
    int requests = 0;
    std::string sentUrl;
    HttpReply next;
    auto request = [&](std::string_view url) {
        ++requests;
        sentUrl = url;
        return next;
    };

    // An invalid domain: status text 57, nothing sent, ResultQuery untouched.
    Set(m, "DomainEdit", "example.c0m");
    auto r = m.Ok(kBase, kPlaceholder, request);
    EXPECT_EQ(r.outcome, EditorOkOutcome::InvalidDomain);
    EXPECT_EQ(requests, 0);
    EXPECT_EQ(m.ResultQuery(), "");
    ASSERT_EQ(ui_->messages.size(), 1u);
    EXPECT_EQ(ui_->messages[0], "Please enter a valid domain name, for example example.com.");

    // An internationalised domain goes in its ASCII form; one without such a form is not sent.
    Set(m, "DomainEdit", "\xE2\x82\xAC.example");
    EXPECT_EQ(m.Ok(kBase, kPlaceholder, request).outcome, EditorOkOutcome::InvalidDomain);
    EXPECT_EQ(requests, 0);
    Set(m, "DomainEdit",
        "b\xC3\xBC"
        "cher-stra\xC3\x9F"
        "e.de");
    next = Reply("<?xml version=\"1.0\"?><createacct><result><status>0</status>"
                 "<statusmsg>no</statusmsg></result></createacct>");
    m.Ok(kBase, kPlaceholder, request);
    EXPECT_NE(sentUrl.find("domain=xn--bcher-strae-46a18a.de"), std::string::npos) << sentUrl;

    // A refusal: the server's message, the window stays, ResultQuery holds the refused query.
    Set(m, "DomainEdit", "new.example.com");
    Set(m, "UsernameEdit", "root");
    next = Reply("<?xml version=\"1.0\"?><createacct><result><status>0</status>"
                 "<statusmsg>The user name \"root\" is reserved.</statusmsg></result></createacct>");
    r = m.Ok(kBase, kPlaceholder, request);
    EXPECT_EQ(r.outcome, EditorOkOutcome::StaysOpen);
    EXPECT_EQ(ui_->messages.back(), "The user name \"root\" is reserved.");
    EXPECT_EQ(sentUrl, std::string(kBase) + "/xml-api/createacct?" + m.ResultQuery());
    EXPECT_NE(m.ResultQuery().find("domain=new.example.com&username=root"), std::string::npos);
    m.Cancel();
    EXPECT_EQ(m.ResultQuery(), "");

    // Success closes; an empty statusmsg is shown as it is.
    next = Reply("<?xml version=\"1.0\"?><createacct><result><status>1</status><statusmsg></statusmsg>"
                 "</result></createacct>");
    r = m.Ok(kBase, kPlaceholder, request);
    EXPECT_EQ(r.outcome, EditorOkOutcome::Close);
    EXPECT_EQ(ui_->messages.back(), "");
    EXPECT_FALSE(m.ResultQuery().empty());

    // A failed transfer shows its error text; a signed-out reply is reported.
    next = Reply("", kStatusCannotConnect, 0);
    r = m.Ok(kBase, kPlaceholder, request);
    EXPECT_EQ(r.outcome, EditorOkOutcome::StaysOpen);
    EXPECT_EQ(ui_->messages.back(), ErrorText(kStatusCannotConnect));
    EXPECT_FALSE(r.signedOut);
    next = Reply("<html>Unauthorized</html>", kStatusOk, 401);
    r = m.Ok(kBase, kPlaceholder, request);
    EXPECT_EQ(r.outcome, EditorOkOutcome::StaysOpen);
    EXPECT_TRUE(r.signedOut);
    EXPECT_EQ(ui_->messages.back(), ErrorText(11));

    // The package kinds have no domain check.
    TEditorModel p(kPackageEditor, kCreatePackage);
    Set(p, "NameEdit", "pack");
    next = Reply("<?xml version=\"1.0\"?><addpkg><result><status>1</status><statusmsg>Created</statusmsg>"
                 "</result></addpkg>");
    EXPECT_EQ(p.Ok(kBase, kPlaceholder, request).outcome, EditorOkOutcome::Close);
    EXPECT_EQ(sentUrl, std::string(kBase) + "/xml-api/addpkg?name=pack&hasshell=0&ip=0&cgi=0&frontpage=0");
    EXPECT_EQ(p.ResultQuery(), "name=pack&hasshell=0&ip=0&cgi=0&frontpage=0");
}

TEST_F(EditorTest, Titles) {
    EXPECT_EQ(EditorTitle(kPackageEditor, kEditPackage, "Editor", "silver"), "silver - Edit package");
    EXPECT_EQ(EditorTitle(kPackageEditor, kCreatePackage, "Editor", ""), "Editor - New package");
    EXPECT_EQ(EditorTitle(kAccountEditor, kNoPackageAction, "Editor", ""), "Editor - New account");
}

TEST(EditorKeyFilters, EachFieldRunsItsOwnFilter) {
    auto filterOf = [](int kind, std::string_view control) {
        TEditorModel m(kind, kNoPackageAction);
        return m.Fields()[static_cast<size_t>(m.Find(control))].filter;
    };
    const auto domain = filterOf(kAccountEditor, "DomainEdit");
    EXPECT_EQ(FilterEditorKey(domain, ',', "a"), (KeyFilterResult{true, '.', false}));
    EXPECT_FALSE(FilterEditorKey(domain, '-', "").accept);
    EXPECT_TRUE(FilterEditorKey(domain, '-', "a").accept);
    EXPECT_TRUE(FilterEditorKey(domain, 0xFC, "b").accept); // a letter of an internationalised name
    EXPECT_FALSE(FilterEditorKey(domain, '&', "b").accept);
    EXPECT_EQ(EditorKeyRefusal(domain).substr(0, 34), "A domain name takes letters, digit");
    const auto quota = filterOf(kAccountEditor, "Quota1dit");
    EXPECT_FALSE(FilterEditorKey(quota, 'u', "").accept);
    EXPECT_TRUE(FilterEditorKey(quota, '7', "").accept);
    EXPECT_TRUE(FilterEditorKey(quota, 1, "12").selectAll);
    EXPECT_FALSE(FilterEditorKey(filterOf(kAccountEditor, "CustomipEdit"), 'a', "").accept);
    EXPECT_TRUE(FilterEditorKey(filterOf(kAccountEditor, "ContactemailEdit"), '@', "").accept);
    // Fields without a filter take anything, the password and the package's language among them.
    EXPECT_TRUE(FilterEditorKey(filterOf(kAccountEditor, "PasswordEdit"), '&', "").accept);
    EXPECT_TRUE(FilterEditorKey(filterOf(kPackageEditor, "LanguageEdit"), ' ', "").accept);
    EXPECT_FALSE(FilterEditorKey(filterOf(kPackageEditor, "NameEdit"), ' ', "").accept);
}
