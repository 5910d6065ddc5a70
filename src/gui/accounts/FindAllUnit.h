#pragma once

#include "core/accounts/FindAll.h"
#include "gui/skins/SkinnedForm.h"

#include <QTableWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace parlomar {

class TComboBox;
class TEdit;
class TLabel;
class TSkinButton;

// "Find on every server..." ("FindAllForm"), modeless: a search text and type, Find and Stop, each
// saved server with how its search went, and the accounts found with the server they are on. The
// search runs off the GUI thread (TFindAll); nothing in it asks a question. Enter or a double click on
// an account hands it to ShowAccount. Closing the window stops the search.
class TFindAllForm : public TSkinnedForm {
    Q_OBJECT
public:
    explicit TFindAllForm(QWidget* owner = nullptr);
    ~TFindAllForm() override;

    TLabel *TextLabel, *TypeLabel, *ProgressLabel;
    TEdit* TextEdit;
    TComboBox* TypeCombo; // item data: the search type ("" chooses as the search box does)
    TSkinButton *FindButton, *StopButton, *CloseBtn;
    QTableWidget* ServersGrid; // server, outcome
    QTableWidget* ResultGrid;  // server, user, domain, state, disk used, disk limit

    // The columns of ResultGrid.
    static constexpr int kServerCol = 0;
    static constexpr int kUserCol = 1;
    static constexpr int kDomainCol = 2;

    // The saved servers to search; ReadSavedServers() unless a test sets them.
    std::function<std::vector<SavedServer>()> Servers;
    // An account chosen in the results: its server and user name.
    std::function<void(const SavedServer& server, const std::string& user)> ShowAccount;
    // A search has ended (also after Stop), on the GUI thread.
    std::function<void(const FindAllResult& result)> Finished;

    // Starts a search with the text and type shown (an empty text starts nothing); one running is
    // stopped first.
    void FindButtonClick();
    void StopButtonClick();
    bool Searching() const { return find_ != nullptr; }
    // The account of a result row goes to ShowAccount.
    void ResultChosen(int row);

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ServerDone(std::uint64_t run, const FindServerResult& result);
    void AllDone(std::uint64_t run, const FindAllResult& result);
    void UpdateProgress();
    void UpdateButtons();

    std::unique_ptr<TFindAll> find_;
    std::uint64_t run_ = 0; // the search whose outcomes are shown; older ones are dropped
    std::vector<SavedServer> servers_;
    std::size_t done_ = 0;
    std::size_t answered_ = 0;
    bool shown_ = false;
};

} // namespace parlomar
