#include "gui/app/ListController.h"

#include <QPointer>

namespace parlomar {

TListController::TListController(QObject* parent) : QObject(parent) {}

TListController::~TListController() = default;

bool TListController::Running(std::uint8_t kind) const {
    return (kind == kFetchAccounts || kind == kFetchPackages) && fetches_[kind - 1] != nullptr;
}

void TListController::Fetch(const SessionPtr& session, const std::string& url, std::uint8_t kind) {
    if (kind != kFetchAccounts && kind != kFetchPackages)
        return;
    std::unique_ptr<TGetXMLThread>& slot = fetches_[kind - 1];
    if (slot) // the newest request for a list replaces the one still running
        slot->Stop();
    QPointer<TListController> self(this);
    // The accounts are read on the fetch thread while the reply arrives.
    auto read = kind == kFetchAccounts ? std::make_shared<TAccountReplyReader>() : nullptr;
    slot = std::make_unique<TGetXMLThread>(
        session, url, kind,
        [self, read](std::uint8_t doneKind, const HttpReply& reply) {
            if (self)
                self->Done(doneKind, reply, read);
        },
        read);
    Ask(kind);
    slot->Start();
}

void TListController::StopAll() {
    for (auto& fetch : fetches_) {
        if (fetch)
            fetch->Stop();
        fetch.reset();
    }
    asked_ = mode_;
}

void TListController::Reset() {
    StopAll();
    asked_ = 0;
    mode_ = 0;
}

void TListController::Ask(std::uint8_t kind) {
    asked_ = kind;
    for (std::uint8_t fetched : {kFetchAccounts, kFetchPackages})
        if (const auto& fetch = fetches_[fetched - 1])
            fetch->SetQuiet(fetched != kind);
}

void TListController::Done(std::uint8_t kind, const HttpReply& reply,
                           const std::shared_ptr<TAccountReplyReader>& read) {
    fetches_[kind - 1].reset();
    // An account list comes as its values (the reader keeps no reply text), else from the text.
    std::shared_ptr<const TAccountValues> accounts;
    if (kind == kFetchAccounts)
        accounts = read && read->Finished()
                       ? read->TakeAccounts()
                       : std::make_shared<const TAccountValues>(TAccountValues::FromReply(reply.text));
    emit Arrived(kind, reply, std::move(accounts), kind == asked_);
}

} // namespace parlomar
