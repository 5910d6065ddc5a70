#pragma once

#include "core/accounts/DetailsView.h"
#include "core/server/HttpTransport.h"
#include "core/server/ServerSession.h"
#include "gui/skins/SkinnedForm.h"

#include <QTableWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QPainter;
class QPlainTextEdit;

namespace parlomar {

class TImage;
class TLabel;
class TPanel;
class TSkinButton;
class TToolButton;

// The grid of a details window: two columns, no headings, horizontal lines only; every cell is
// drawn by its window (SummaryGridDrawCell).
class TSummaryGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit TSummaryGrid(QWidget* parent = nullptr);
    // Sees every event of the viewport once, before the table does; true when handled.
    std::function<bool(QEvent*)> OnViewportEvent;

protected:
    bool viewportEvent(QEvent* event) override;
    // The current row's focus frame spans the row: drawn again when the focus or the row moves.
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
};

// What a details window asks of the main window. The opener fills these in; an empty one does
// nothing.
struct SummaryCalls {
    std::function<void()> refetchList;                      // repeat the search / fetch packages again
    std::function<void(const std::string&)> changePassword; // the password change of an account
    std::function<void()> configureView;                    // the settings dialog on its view page
    std::function<void()> signedOut;                        // a signed-out reply: back to sign-in
};

// The modeless details window ("SummaryForm") of one account or package. Several may be open at
// once; each owns its table. Escape and "Close window" close it.
class TSummaryForm : public TSkinnedForm {
    Q_OBJECT
public:
    explicit TSummaryForm(QWidget* owner = nullptr);
    ~TSummaryForm() override;

    int DetailsKind = kAccountDetails;
    std::string RecordText; // account: the accountsummary reply; package: its package element
    std::string ItemName;   // account: its domain; package: its name
    std::string UserName;   // account: its user name
    bool Suspended = false;
    SessionPtr Session; // the sign-in session the window's requests belong to (none: nothing is sent)
    // Signed in to a read-only server: Run, Pause, Delete and the password link are off.
    bool ReadOnly = false;
    SummaryCalls Calls;

    const TDetailsTable& Table() const { return *table_; }

    TPanel* ToolPanel;
    TLabel *TitleLabel, *NameLabel;
    TToolButton *RunButton, *PauseButton, *DeleteButton;
    TPanel* GridPanel;
    TSummaryGrid* SummaryGrid;
    TPanel* MessPanel;
    QPlainTextEdit* MessRichEdit;
    TPanel* BottomPanel;
    TSkinButton *ConfigureViewButton, *CloseBtn;
    TImage* FooterImage;

    void FormShow();
    // Builds the table again from RecordText and the view settings as they are now.
    void FillTable();
    void PauseButtonClick();
    void DeleteButtonClick();
    void ConfigureViewButtonClick();
    void NameLabelClick();
    // A press on a cell at a point of the grid's viewport.
    void SummaryGridMouseDown(const QPoint& at);
    void SummaryGridDrawCell(QPainter* painter, int col, int row, const QRect& rect, bool selected) const;
    // The hint shown over a point of the grid's viewport ("" for none).
    QString HintAt(const QPoint& at) const;

    // Where a header's group icon sits in a cell.
    static QRect GroupIconRect(const QRect& cell);

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void SyncGrid();
    void UpdateColumnWidths();
    QRect TextRect(int col, int row) const;
    bool OverLinkText(const QPoint& at, int* col = nullptr, int* row = nullptr) const;
    // A cell drawn and handled as a link (the password link not on a read-only server).
    bool IsLink(int col, int row) const;
    bool GridViewportEvent(QEvent* event);

    // Run, Pause and Delete are disabled while one of their requests runs.
    void SetActionsEnabled(bool runEnabled, bool pauseEnabled, bool deleteEnabled);
    // Pause's reply, on the GUI thread: the message, then the summary asked for again.
    void PauseDone(bool runWas, bool pauseWas, bool wasSuspended, const HttpReply& reply);

    std::unique_ptr<TDetailsTable> table_;
    int hoverCol_ = -1, hoverRow_ = -1;
    bool shown_ = false;
};

// The details windows open now, in opening order.
QList<TSummaryForm*> OpenDetailsWindows();
// Closes and destroys every open details window (a skin change re-creates them when opened again).
void CloseDetailsWindows();

} // namespace parlomar
