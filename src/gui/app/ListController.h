#pragma once

#include "core/accounts/AccountList.h"
#include "core/server/GetXMLThreadUnit.h"
#include "core/server/ServerSession.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <string>

namespace parlomar {

// The list fetches of a sign-in and the list mode: which list the results area is on, and which
// list was asked for last (the one whose fetch shows its progress and whose reply is shown; a
// reply of the other list arrives quietly and is only stored). One fetch per list runs at a time:
// a newer one replaces it. It knows nothing of the grid; the main window shows what arrives.
class TListController : public QObject {
    Q_OBJECT
public:
    explicit TListController(QObject* parent = nullptr);
    ~TListController() override;

    // Starts the fetch of a list (kFetchAccounts, kFetchPackages) for session. A fetch of the same
    // list that still runs is stopped and its reply never delivered. The list becomes the one asked
    // for.
    void Fetch(const SessionPtr& session, const std::string& url, std::uint8_t kind);
    // Stops every fetch; their replies are never delivered. The list asked for is again the one
    // the results area is on.
    void StopAll();
    // The fetches and the modes forgotten (a sign-out): nothing arrives any more.
    void Reset();

    bool Running() const { return fetches_[0] != nullptr || fetches_[1] != nullptr; }
    bool Running(std::uint8_t kind) const;

    // The list asked for last (0 none, else kFetchAccounts or kFetchPackages).
    std::uint8_t Asked() const { return asked_; }
    void Ask(std::uint8_t kind);
    // The list the results area is on (kListModeNone, kListModeAccounts, kListModePackages).
    std::uint8_t Mode() const { return mode_; }
    void SetMode(std::uint8_t mode) { mode_ = mode; }

signals:
    // A fetch ended with a reply. accounts: an account list's values (read while the reply arrived,
    // or from its text); asked: whether it is the list asked for last, to be shown.
    void Arrived(std::uint8_t kind, const HttpReply& reply, std::shared_ptr<const TAccountValues> accounts,
                 bool asked);

private:
    void Done(std::uint8_t kind, const HttpReply& reply, const std::shared_ptr<TAccountReplyReader>& read);

    std::unique_ptr<TGetXMLThread> fetches_[2]; // the running fetch of each list: accounts, packages
    std::uint8_t asked_ = 0;
    std::uint8_t mode_ = 0;
};

} // namespace parlomar
