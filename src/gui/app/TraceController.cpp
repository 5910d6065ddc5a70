#include "gui/app/TraceController.h"

#include <QTimer>

namespace parlomar {

namespace {

constexpr int kCollectMs = 500;
// At the end, the pipe holds at most this many pieces of what the command wrote last.
constexpr int kLastPieces = 64;

} // namespace

TTraceController::TTraceController(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
    timer_->setInterval(kCollectMs);
    connect(timer_, &QTimer::timeout, this, &TTraceController::Collect);
}

TTraceController::~TTraceController() {
    Stop();
}

bool TTraceController::Start(const std::string& host, const TTracertThread::Lookup& lookup) {
    if (running_ || tracert_)
        return false;
    output_.Clear();
    tracert_ = std::make_unique<TTracertThread>(host);
    if (lookup)
        tracert_->SetLookup(lookup);
    connect(tracert_.get(), &TTracertThread::Ended, this, &TTraceController::Finish);
    running_ = true;
    tracert_->Start();
    timer_->start();
    return true;
}

void TTraceController::Collect() {
    if (!running_ || !tracert_)
        return;
    output_.Append(tracert_->ReadTraceOutput());
    emit OutputCollected();
}

void TTraceController::Finish() {
    if (!tracert_)
        return;
    running_ = false;
    timer_->stop();
    for (int piece = 0; piece < kLastPieces; ++piece) {
        const std::string output = tracert_->ReadTraceOutput();
        if (output.empty())
            break;
        output_.Append(output);
    }
    const bool cancelled = tracert_->Cancelled();
    // The thread is the sender of this call: it is freed once the call has returned.
    finishing_ = true;
    emit Ended(cancelled);
    finishing_ = false;
    if (tracert_)
        Release();
}

void TTraceController::Release() {
    TTracertThread* ended = tracert_.release();
    ended->setParent(this);
    ended->deleteLater();
}

void TTraceController::Stop() {
    if (tracert_) {
        tracert_->StopTrace();
        disconnect(tracert_.get(), nullptr, this, nullptr); // its end is not delivered any more
        if (finishing_)
            Release(); // it is reporting its end: freed once that returns
        else
            tracert_.reset();
    }
    running_ = false;
    timer_->stop();
    output_.Clear();
}

} // namespace parlomar
