#pragma once

#include "core/server/ActivityLog.h"
#include "gui/skins/SkinnedForm.h"

#include <QAbstractTableModel>
#include <QTableView>

#include <thread>
#include <vector>

class QSortFilterProxyModel;
class QTimer;

namespace parlomar {

class TEdit;
class TLabel;
class TSkinButton;

// The entries of the activity log as table rows: time, server, user, function, target, parameters,
// outcome.
class TActivityModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 7;
    using QAbstractTableModel::QAbstractTableModel;
    void SetEntries(std::vector<ActivityEntry> entries);
    const std::vector<ActivityEntry>& Entries() const { return entries_; }
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The text of a cell.
    QString Text(int row, int col) const;

private:
    std::vector<ActivityEntry> entries_;
};

// What became of a request, in words: done or refused with the server's message, the transport
// failure, or that no outcome was recorded.
QString ActivityOutcomeText(const ActivityEntry& entry);

// The activity log window ("ActivityForm"): every recorded change, newest first, a filter box that
// keeps the rows holding its text (letter case ignored), and copy to clipboard of the selected rows
// (all rows shown when none is selected). The log is read off the GUI thread, again when the file
// changes while the window is open.
class TActivityForm : public TSkinnedForm {
    Q_OBJECT
public:
    explicit TActivityForm(QWidget* owner = nullptr);
    ~TActivityForm() override;

    TLabel* FilterLabel;
    TEdit* FilterEdit;
    TLabel* CountLabel;
    QTableView* ActivityGrid;
    TLabel* PathLabel;
    TSkinButton *CopyButton, *RefreshButton, *CloseBtn;

    // Reads the log again (off the GUI thread); the rows change when it is read.
    void Refresh();
    bool Reading() const { return reading_; }
    // Rows shown now (after the filter).
    int ShownRows() const;
    QString ShownText(int row, int col) const;
    // The clipboard text of the selected rows, or of every row shown when none is selected.
    QString CopyText() const;
    void CopyButtonClick();

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Read();
    void EntriesRead(std::vector<ActivityEntry> entries);
    void UpdateCount();
    void PollFile();

    TActivityModel* model_;
    QSortFilterProxyModel* filter_;
    QTimer* poll_;
    std::thread reader_;
    bool reading_ = false;
    bool readAgain_ = false;
    bool shown_ = false;
    long long seenSize_ = -1;
    long long seenTime_ = -1;
};

} // namespace parlomar
