#pragma once

#include "core/accounts/StringGrid.h"
#include "gui/skins/SkinnedForm.h"

#include <QPointer>
#include <QTableView>

#include <string>

class QMenu;
class QPainter;
class QProgressBar;
class QStatusBar;
class QToolButton;

namespace parlomar {

class TImage;
class TMenuItem;
class TPanel;
class TSkinButton;
class TStringGridModel;
class TTracertThread;

// The route table of the traceroute window: five columns, whole-row selection, no lines between
// the cells; every cell, the heading row too, is drawn by its window (GridDrawCell).
class TTracertGrid : public QTableView {
    Q_OBJECT
public:
    explicit TTracertGrid(QWidget* parent = nullptr);
    TStringGridData& Data() { return data_; }
    const TStringGridData& Data() const { return data_; }
    TStringGridModel* Model() const { return model_; }
    int RowCount() const { return data_.RowCount(); }
    // The grid row selected (0 when none).
    int SelectedRow() const;

signals:
    // Ctrl+C on the grid (in place of the view's own copy of one cell).
    void CopyRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    TStringGridData data_;
    TStringGridModel* model_;
};

// The traceroute window ("TracertForm"): the hops of one trace, filled by the main window's timer
// while the trace runs, a progress bar and a cancel button while it runs, OK to close. Closing it
// stops a running trace; the window then goes away.
class TTracertForm : public TSkinnedForm {
    Q_OBJECT
public:
    // images: the main window's shared icons (image 16 is the cancel button's); may be null.
    explicit TTracertForm(QWidget* owner = nullptr, const QList<QPixmap>* images = nullptr);
    ~TTracertForm() override;

    // The trace this window shows, for the cancel button and for closing; set by the main window.
    QPointer<TTracertThread> Thread;
    // The host shown, stored by the main window on each tick.
    std::string HostName;

    TTracertGrid* Grid;
    QMenu* GridMenu;
    TMenuItem* Copytoclipboard1;
    TPanel* OkCancelPanel;
    TSkinButton* OKButton;
    TImage* FooterImage;
    QStatusBar* StatusBar;
    QWidget* StatusPanels[2];
    QToolButton* CancelButton;
    QProgressBar* ProgressBar;

    // ParseTraceOutput into the grid, then LayoutTraceGrid; only when the text changed since the
    // last call, so that a selection made between ticks stays.
    void ShowTraceOutput(const std::string& text);
    // Header texts, column widths, last row selected.
    void LayoutTraceGrid();
    // While the trace runs: the second status bar panel with the cancel button, the progress bar.
    void TraceStarted();
    // After it: progress bar and cancel button hidden, back to one status bar panel.
    void TraceEnded();
    // A tick: one step of the progress bar, back to 0 once it has passed its maximum.
    void StepProgress();

    void CancelButtonClick();
    void OKButtonClick();
    void Copytoclipboard1Click();
    // The text Ctrl+C copies: the selected hop's cells joined by tabs ("" without a hop).
    QString CopyText() const;
    void FormShow();

    void GridDrawCell(QPainter* painter, int col, int row, const QRect& rect, bool selected) const;
    // Whether the selection was made by the user (a press or a key on the grid) since the newest hop
    // was selected by the window.
    bool UserSelection() const { return userSelection_; }

signals:
    // The window was closed (the main window enables "Traceroute..." again).
    void Closed();

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void PlaceStatusControls();
    const QList<QPixmap>* images_;
    std::string shownText_;
    bool shown_ = false;
    bool userSelection_ = false;
};

// Closes every traceroute window (a running trace stops with it).
void CloseTracertWindows();

} // namespace parlomar
