#pragma once

#include "core/settings/SavedServers.h"

#include <QFrame>

#include <functional>
#include <vector>

class QListWidget;

namespace parlomar {

// The drop-down list of saved servers under the sign-in panel's address field: one row per server,
// most recent first, each with a button that removes it. A click or Enter chooses a row, Delete
// removes it, Escape or a click elsewhere closes the list.
class TServerList : public QFrame {
    Q_OBJECT
public:
    explicit TServerList(QWidget* owner);

    // Shows the servers below the anchor (as wide as it) with the first row current.
    void Open(const std::vector<SavedServer>& servers, QWidget* anchor);
    // The text of a row.
    static QString RowText(const SavedServer& server);

    std::function<void(const SavedServer&)> Chosen;
    std::function<void(const SavedServer&)> Removed;

    QListWidget* ServersList;

    void ChooseRow(int row);
    void RemoveRow(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Fill();
    std::vector<SavedServer> servers_;
    QWidget* anchor_ = nullptr;
};

} // namespace parlomar
