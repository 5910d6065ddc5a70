#pragma once

#include "core/accounts/BulkRun.h"
#include "core/server/ServerSession.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <vector>

class QTimer;

namespace parlomar {

// One run of an action on several accounts at a time: the requests one after another on a worker
// (TBulkRun), the outcomes brought to the GUI thread, Stop with its grace period. It knows nothing
// of windows: the main window puts what it reports into the progress window and the grid.
class TBulkController : public QObject {
    Q_OBJECT
public:
    explicit TBulkController(QObject* parent = nullptr);
    ~TBulkController() override;

    // Starts a run for the session unless one runs. True when it started.
    bool Start(BulkKind kind, std::vector<BulkEntry> entries, SessionPtr session);
    // Nothing more is sent; a request in flight has 2 s to finish before it is ended.
    void Stop();

    bool Running() const { return run_ != nullptr; }
    bool StopRequested() const { return run_ && run_->StopRequested(); }
    BulkKind Kind() const { return kind_; }
    // The session of the running run (none when none runs).
    SessionPtr RunSession() const { return run_ ? run_->Session : nullptr; }
    // The accounts changed since the last call, for the grid.
    std::vector<BulkEntry> TakeChanged();

signals:
    void EntryDone(std::size_t index, const BulkEntry& entry);
    // Changed accounts are waiting (at most every 100 ms, so the grid is passed over once for many).
    void ChangesWaiting();
    // The run has ended (by itself or stopped); session is the one it ran for.
    void Finished(const std::vector<BulkEntry>& entries, bool stopped, const SessionPtr& session);

private:
    void Step(std::uint64_t run, std::size_t index, const BulkEntry& entry);
    void End(std::uint64_t run, const std::vector<BulkEntry>& entries);

    std::unique_ptr<TBulkRun> run_;
    std::uint64_t runId_ = 0;
    BulkKind kind_ = BulkKind::Suspend;
    std::vector<BulkEntry> changed_;
    QTimer* changeTimer_;
};

} // namespace parlomar
