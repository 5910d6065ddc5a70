#pragma once

#include "core/accounts/BulkAction.h"
#include "core/accounts/StringGrid.h"
#include "gui/skins/SkinnedForm.h"

#include <QTableView>

#include <cstddef>
#include <vector>

class QProgressBar;

namespace parlomar {

class TImage;
class TLabel;
class TPanel;
class TSkinButton;
class TStringGridModel;

// The accounts of a run with their outcomes: user name, domain, outcome. Refusals and failures are
// drawn on a red background, skipped and unsent accounts in grey.
class TBulkGrid : public QTableView {
    Q_OBJECT
public:
    explicit TBulkGrid(QWidget* parent = nullptr);
    TStringGridData& Data() { return data_; }
    const TStringGridData& Data() const { return data_; }
    TStringGridModel* Model() const { return model_; }

    static const QColor FailureColour;

protected:
    // The whole text of a cell that is cut, as its hint (plain text).
    bool viewportEvent(QEvent* event) override;

private:
    TStringGridData data_;
    TStringGridModel* model_;
};

// The window of an action on several accounts ("BulkForm"): while the requests run, the progress
// ("12 of 40", a bar) and a Stop button; afterwards the summary: the counts and every account with
// its outcome. Modeless; it stays open after a sign-out (it sends nothing). Closing it while the run
// goes asks the run to stop; the window then stays with the summary.
class TBulkForm : public TSkinnedForm {
    Q_OBJECT
public:
    TBulkForm(QWidget* owner, BulkKind kind, const std::vector<BulkEntry>& entries);

    const BulkKind Kind;

    TPanel* ToolPanel;
    TLabel *TitleLabel, *ProgressLabel;
    QProgressBar* ProgressBar;
    TBulkGrid* ResultGrid;
    TPanel* BottomPanel;
    TSkinButton *StopButton, *CloseBtn;
    TImage* FooterImage;

    // One account's outcome arrived (index: its place in the list).
    void EntryDone(std::size_t index, const BulkEntry& entry);
    // The run has ended: the window becomes the summary.
    void RunFinished(const std::vector<BulkEntry>& entries);
    // Stop was asked for: the button waits for the run's end.
    void RunStopping();
    bool Finished() const { return finished_; }
    const std::vector<BulkEntry>& Entries() const { return entries_; }

    void FormShow();

signals:
    // Stop (the button, or closing the window while the run goes).
    void StopRequested();

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ShowEntry(std::size_t index);
    void ShowCounts();

    std::vector<BulkEntry> entries_;
    bool finished_ = false;
    bool shown_ = false;
};

} // namespace parlomar
