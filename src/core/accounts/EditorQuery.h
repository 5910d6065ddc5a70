#pragma once

#include "core/accounts/KeyFilters.h"
#include "core/server/Global.h"
#include "core/server/HttpTransport.h"

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace parlomar {

// The logic of the account and package editor ("AddForm") without its widgets. Every input control
// carries the name of the query parameter it feeds; the same name, compared without regard to case,
// is the tag of the package element a control is filled from. The window creates one control per
// row of its field table and mirrors the controls' texts and check states into a TEditorModel.

// `EditorKind`: which field group takes part.
inline constexpr int kPackageEditor = 1;
inline constexpr int kAccountEditor = 2;
// `PackageAction`.
inline constexpr int kNoPackageAction = 0;
inline constexpr int kCreatePackage = 1;
inline constexpr int kEditPackage = 2;

enum class EditorControl { Edit, Combo, Check };
enum class EditorKeyFilter { None, Name, Quota, Customip, Domain, Contactemail };
// Where a control sits: the package panel, or one of the account panel's groups.
enum class EditorSection { Package, DomainResources, OtherOptions, CustomIpAndPackage, General };

struct EditorField {
    std::string_view control;   // the control's name, e.g. "Quota1dit"
    std::string_view caption;   // built-in caption of its label or check box ("" when none)
    std::string_view parameter; // query parameter and package tag
    EditorControl kind = EditorControl::Edit;
    int maxLength = 0; // edits; 0 = no limit
    EditorKeyFilter filter = EditorKeyFilter::None;
    bool unlimitedButton = false;
    EditorSection section = EditorSection::Package;
    // For an edit shown only while a check box is ticked: that check box's control name.
    std::string_view shownBy;
};

// The tag of a package reply that carries a parameter's value when it is not the parameter's own
// name: "LANG" for `language`, "MAXLST" for `maxlists`; empty for every other parameter.
std::string_view PackageReplyTag(std::string_view parameter);

// The field table of a group (kPackageEditor or kAccountEditor) in window order, which is also the
// order of filling and of the query. Any other kind gives an empty table.
std::span<const EditorField> EditorFields(int editorKind);

// Runs a field's key filter on a typed character; currentText is the field's text before it. The
// domain field takes every character above 159 as well (a letter of an internationalised name): the
// name is judged whole, in its ASCII form, when OK is pressed.
KeyFilterResult FilterEditorKey(EditorKeyFilter filter, int key, std::string_view currentText);
// What a field with that filter takes, said to the operator when it refuses a character or a pasted
// text; empty for a field without a filter.
std::string_view EditorKeyRefusal(EditorKeyFilter filter);
// The domain field's text as it is sent: its ASCII form (AsciiDomainName), the empty text when it
// has none.
std::string SentDomainName(std::string_view typed);

// What an "unlimited" button puts into its edit, and the edit's maximum length from then on.
inline constexpr std::string_view kUnlimitedText = "unlimited";
inline constexpr int kUnlimitedMaxLength = 9;
// The length of a password made by "Generate new".
inline constexpr int kGeneratedPasswordLength = 12;

// The plan list of the account editor: every `name` element of the package list reply (empty
// names skipped), sorted without regard to letter case, below the placeholder item 0.
std::vector<std::string> PlanListItems(std::string_view packageListText, std::string_view placeholder);

// How OK ended.
enum class EditorOkOutcome {
    InvalidDomain, // status text 57 shown; focus to the domain edit; nothing sent
    StaysOpen,     // sent; the server refused or the transfer failed; the message was shown
    Close,         // the server answered status "1": the window closes
};
struct EditorOkResult {
    EditorOkOutcome outcome = EditorOkOutcome::StaysOpen;
    std::string message;    // what was shown
    bool signedOut = false; // the reply was a signed-out reply: the opener returns to sign-in
};

using EditorRequestFunction = RequestFunction;

// The state of one editor window: its kind and the values of its controls, in the order of
// EditorFields(kind).
class TEditorModel {
public:
    TEditorModel(int editorKind, int packageAction);

    int EditorKind() const { return editorKind_; }
    int PackageAction() const { return packageAction_; }
    std::span<const EditorField> Fields() const { return fields_; }
    // The index of a control in Fields(), or -1.
    int Find(std::string_view control) const;

    const std::string& Text(int field) const;
    void SetText(int field, std::string text);
    bool Checked(int field) const;
    void SetChecked(int field, bool checked);
    // An edit shown on demand is shown exactly while its check box is ticked; every other control is
    // always shown (a collapsed section does not hide its controls).
    bool Shown(int field) const;
    int MaxLength(int field) const;

    // An "unlimited" button: the edit's maximum length becomes 9 and its text "unlimited".
    void PressUnlimited(int field);
    // "Generate new": a new 12-character password in the password edit; returns it.
    std::string GenerateNewPassword();

    // Fills this group's edits and check boxes from the package named packageName in the package
    // list reply. An empty name clears every edit and unticks every check box; otherwise only
    // controls whose parameter (or else reply tag) is a non-empty element of that package change (an
    // edit takes the value; a check box is ticked for "y"/"Y"/"1" and unticked for any other value).
    // Combo boxes are never filled. An unknown name changes nothing.
    void FillFromPackage(std::string_view packageListText, std::string_view packageName);
    // Choosing a plan: FillFromPackage with the chosen name (the placeholder names no package).
    void SelectPlan(std::string_view packageListText, std::string_view planName) {
        FillFromPackage(packageListText, planName);
    }

    // The request's function: "createacct", "addpkg" or "editpkg".
    std::string Function() const;
    // The query, in window order: a pair for every shown edit or combo box with a non-empty text
    // and for every shown check box ("1" ticked, "0" not). Parameter names are lower case; values
    // are sent exactly as typed, but for the domain, which goes in its ASCII form (SentDomainName).
    // A plan text equal to planPlaceholder is not a plan and is not sent.
    QueryFields BuildQuery(std::string_view planPlaceholder) const;
    // The whole request URL, every value percent-encoded.
    std::string RequestUrl(std::string_view baseUrl, std::string_view planPlaceholder) const;

    // OK. Account kind: the domain's ASCII form must pass the domain test, else status text 57 is shown and
    // nothing is sent. Then the request is sent, ResultQuery becomes its query (everything after
    // "?"), and the server's statusmsg is shown, whatever it is. A failed transfer shows its error
    // text; a signed-out reply shows error text 11 and is reported. Status "1" closes the window.
    EditorOkResult Ok(std::string_view baseUrl, std::string_view planPlaceholder,
                      const EditorRequestFunction& request);
    // OK in two steps, for a window that sends on a worker: the URL to send (ResultQuery set), or
    // empty for a refused domain (status text 57 shown); then what the reply makes of it.
    std::string OkRequestUrl(std::string_view baseUrl, std::string_view planPlaceholder);
    EditorOkResult OkReply(const HttpReply& reply) const;
    // Cancel: ResultQuery becomes empty.
    void Cancel() { resultQuery_.clear(); }
    // The query of the last request OK sent; empty at creation and after Cancel. When the opener
    // finds it non-empty after the window closed, it reloads its list.
    const std::string& ResultQuery() const { return resultQuery_; }

private:
    bool Valid(int field) const { return field >= 0 && field < static_cast<int>(fields_.size()); }

    int editorKind_;
    int packageAction_;
    std::span<const EditorField> fields_;
    std::vector<std::string> texts_;
    std::vector<char> checked_;
    std::vector<int> maxLengths_;
    std::string resultQuery_;
};

// The editor's title: edit → package name + " " + status text 36; create package → current title +
// " - " + status text 46; account → current title + " - " + status text 47.
std::string EditorTitle(int editorKind, int packageAction, std::string_view currentTitle,
                        std::string_view packageName);

} // namespace parlomar
