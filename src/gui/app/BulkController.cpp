#include "gui/app/BulkController.h"

#include <QPointer>
#include <QTimer>

namespace parlomar {

namespace {

// How long a request in flight may still take after Stop before it is ended.
constexpr int kStopGraceMs = 2000;
// Changed accounts reach the grid at most this often.
constexpr int kGridUpdateMs = 100;

} // namespace

TBulkController::TBulkController(QObject* parent) : QObject(parent), changeTimer_(new QTimer(this)) {
    changeTimer_->setSingleShot(true);
    changeTimer_->setInterval(kGridUpdateMs);
    connect(changeTimer_, &QTimer::timeout, this, &TBulkController::ChangesWaiting);
}

TBulkController::~TBulkController() = default;

bool TBulkController::Start(BulkKind kind, std::vector<BulkEntry> entries, SessionPtr session) {
    if (run_)
        return false;
    const std::uint64_t run = ++runId_;
    kind_ = kind;
    changed_.clear();
    QPointer<TBulkController> self(this);
    run_ = std::make_unique<TBulkRun>(
        kind, std::move(entries), std::move(session),
        [self, run](std::size_t index, const BulkEntry& entry) {
            if (self)
                self->Step(run, index, entry);
        },
        [self, run](const std::vector<BulkEntry>& done) {
            if (self)
                self->End(run, done);
        });
    run_->Start();
    return true;
}

void TBulkController::Stop() {
    if (!run_ || run_->StopRequested())
        return;
    run_->Stop();
    const std::uint64_t run = runId_;
    QTimer::singleShot(kStopGraceMs, this, [this, run] {
        if (run_ && run == runId_)
            run_->Abort();
    });
}

std::vector<BulkEntry> TBulkController::TakeChanged() {
    std::vector<BulkEntry> changed;
    changed.swap(changed_);
    return changed;
}

void TBulkController::Step(std::uint64_t run, std::size_t index, const BulkEntry& entry) {
    if (run != runId_ || !run_)
        return;
    if (entry.outcome == BulkOutcome::Done) {
        changed_.push_back(entry);
        if (!changeTimer_->isActive())
            changeTimer_->start();
    }
    emit EntryDone(index, entry);
}

void TBulkController::End(std::uint64_t run, const std::vector<BulkEntry>& entries) {
    if (run != runId_ || !run_)
        return;
    const SessionPtr session = run_->Session;
    const bool stopped = run_->StopRequested();
    run_.reset();
    changeTimer_->stop();
    emit Finished(entries, stopped, session);
    changed_.clear();
}

} // namespace parlomar
