#pragma once

#include "core/accounts/StringGrid.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parlomar {

// The table of a details window ("SummaryForm") without its widgets: which rows it shows, their
// labels and values, the group headers of the account view with their collapse state, the password
// link row and the numbers of the disk usage bar. Each window owns one TDetailsTable; nothing is
// shared between windows.

// `DetailsKind`.
inline constexpr int kAccountDetails = 1;
inline constexpr int kPackageDetails = 2;

// Cell markers (the grid's cell objects): on the name cell of a group header, and on a value cell
// that is drawn and handled as the password change link.
inline constexpr int kOpenGroupMarker = 1;
inline constexpr int kClosedGroupMarker = 2;
inline constexpr int kLinkMarker = 3;

inline constexpr int kDetailsDefaultRowHeight = 24;
// Group header rows are 1.2 times the default height.
inline constexpr int kDetailsHeaderRowHeight = 29;

// The row numbers of the account view's special rows (settings section "ViewSummaryRows"). A
// stored number is used as it is (a missing key reads "0" and so gives row 0); only a text that is
// not a number gives the fallback.
struct DetailsSpecialRows {
    int psw = 7;       // the password change row
    int cred = 5;      // second group header
    int other = 8;     // third group header
    int diskUsed = 3;  // drawn as a usage bar
    int diskLimit = 4; // the limit the bar and its hint use
    friend bool operator==(const DetailsSpecialRows&, const DetailsSpecialRows&) = default;
};
// A stored row number: the integer in text (blanks around it allowed), else fallback.
int SpecialRowNumber(std::string_view text, int fallback);
DetailsSpecialRows ReadDetailsSpecialRows();

// The number made of the digits of a text, other characters skipped ("1,000M" gives 1000); 0 when
// it has none. Very long digit runs saturate instead of overflowing.
double DigitsValue(std::string_view text);

// The numbers of the disk usage bar.
struct DiskUsage {
    std::string usedText;  // the disk used value, as shown on the bar's left
    std::string limitText; // the disk limit value, as shown on the bar's right
    double used = 0;
    double limit = 0;    // 0 when the limit text has no digits ("unlimited")
    double fraction = 0; // used / limit, clipped to 0..1; 0 without a limit
    bool HasLimit() const { return limit > 0; }
    int Percent() const; // fraction in whole percent, 0..100
    // The width of the used part of a bar whose inner width is innerWidth (cell width - 4).
    int UsedWidth(int innerWidth) const;
};
DiskUsage MakeDiskUsage(std::string_view usedText, std::string_view limitText);

// The grid's column widths for a grid of the given size.
struct DetailsColumnWidths {
    int name = 0;
    int value = 0;
    friend bool operator==(const DetailsColumnWidths&, const DetailsColumnWidths&) = default;
};

// Whether a record field named tag fills the table row named rowName: the same name, or two names
// under which control servers send one field ("suspendreason" and "suspendedreason", "maxparked"
// and "maxpark", "maxaddons" and "maxaddon", "maxlst" and "maxlists", "LANG" and "language",
// "email" and "contactemail"; these compared without regard to case).
bool IsSameDetailsField(std::string_view rowName, std::string_view tag);

// Fields that servers send as Unix times: "suspendtime" and every "unix_..." field (any letter case).
bool IsUnixTimeField(std::string_view name);
// A Unix time value (digits only, no leading zero) as local date and time (LocalDateText); the
// empty text for anything else, "0" included (servers send it for a time not set).
std::string UnixTimeText(std::string_view value);

class TDetailsTable {
public:
    explicit TDetailsTable(int detailsKind);

    int Kind() const { return kind_; }
    // Account view: reads the special row numbers from the settings file (when the window is
    // shown; filling again does not read them again).
    void ReadSpecialRows() { rows_ = ReadDetailsSpecialRows(); }
    void SetSpecialRows(const DetailsSpecialRows& rows) { rows_ = rows; }
    const DetailsSpecialRows& SpecialRows() const { return rows_; }

    // Builds the table from a record (an accountsummary reply for accounts, a package element for
    // packages) and the view sections of the settings file and labels of the language file as they
    // are now. A row takes the value of the record field of its own name, or else of the first field
    // that IsSameDetailsField names (a non-empty value preferred). A record with at most one field
    // shows the text panel instead of the grid.
    void Fill(std::string_view recordText);

    const TStringGridData& Grid() const { return grid_; }
    int RowCount() const { return grid_.RowCount(); }
    bool ShowsTextPanel() const { return textPanel_; }
    // What the text panel shows: the reply's statusmsg, or error text 11 when it has none.
    const std::string& PanelText() const { return panelText_; }

    // Group headers (account view): rows 0, cred and other while they carry a group marker.
    bool IsGroupHeader(int row) const;
    bool IsGroupOpen(int row) const { return grid_.Object(0, row) == kOpenGroupMarker; }
    // Flips a header between open and closed and hides or shows the rows of its group: row 0 owns
    // rows 1 .. cred-1, cred owns cred+1 .. other-1, other owns the rows after it. Rows that the
    // view section keeps hidden ("-2") stay hidden when a group opens. False for any other row.
    bool ToggleGroup(int row);

    // What a cell shows: a Unix time field's value as local date and time; otherwise in the value
    // column "1"/"y" and "0"/"n" become the yes and no words.
    std::string DisplayText(int col, int row) const;
    // A value cell of a Unix time field whose value is a time (shown as a date).
    bool IsUnixTimeCell(int col, int row) const;
    // The hint of a value cell: the value as received where DisplayText shows it otherwise ("" when
    // none).
    std::string ValueHint(int col, int row) const;
    // Cells the window does not draw: the value cell of a group header, every cell of a hidden row.
    bool DrawsNothing(int col, int row) const;
    // A cell drawn and handled as a link: its text is link text (IsLinkText), or it carries the link
    // marker.
    bool IsLinkCell(int col, int row) const;
    // The value cell whose click starts the password change.
    bool IsPasswordLink(int col, int row) const;
    // The value cell drawn as the disk usage bar.
    bool IsUsageBar(int col, int row) const;
    DiskUsage Usage() const;
    // The grid hint over the usage bar: "<Disk limit>=<limit>, <Disk used>=<used>".
    std::string UsageHint() const;

    // Name column 0.4 of the width; value column 0.6 of it less 4, or less 20 when the rows (heights
    // plus grid lines) need at least the grid height + 10 (room for a vertical scroll bar).
    DetailsColumnWidths ColumnWidths(int gridWidth, int gridHeight, int gridLineWidth = 1) const;

private:
    bool InTable(int row) const { return row >= 0 && row < grid_.RowCount(); }
    void SetVisible(int row, bool visible);

    int kind_;
    DetailsSpecialRows rows_;
    TStringGridData grid_;
    std::vector<char> viewHidden_;        // rows the view section keeps hidden ("-2")
    std::vector<std::string> fieldNames_; // the record field of each row (before its label)
    bool textPanel_ = false;
    std::string panelText_;
};

// The window title: the account's domain or the package name, " - ", AppName.
std::string DetailsTitle(std::string_view itemName);
// The heading of the top strip: status text 21 (account) or 22 (package).
std::string DetailsHeading(int detailsKind);

// Run and Pause: the question asked before suspending (status text 19) or unsuspending (20).
std::string SuspendQuestion(bool suspended, std::string_view user);
// The function sent: "unsuspendacct" for a suspended account, else "suspendacct".
std::string_view SuspendFunction(bool suspended);
// The buttons and state after the server answered status to a suspend or unsuspend of an account
// that was (not) suspended: a refusal leaves things as they were.
struct SuspendButtons {
    bool runEnabled = false;
    bool pauseEnabled = false;
    bool suspended = false;
    friend bool operator==(const SuspendButtons&, const SuspendButtons&) = default;
};
SuspendButtons ButtonsFor(bool suspended);
SuspendButtons ButtonsAfterSuspendReply(bool wasSuspended, std::string_view status);

} // namespace parlomar
