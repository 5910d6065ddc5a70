#pragma once

#include "core/tools/TracertParser.h"
#include "gui/tools/TracertThreadUnit.h"

#include <QObject>

#include <memory>
#include <string>

class QTimer;

namespace parlomar {

// One traceroute at a time: the command on its own thread, its output collected every 500 ms while
// it runs and once more at its end. It knows nothing of windows; the main window shows what it
// reports.
class TTraceController : public QObject {
    Q_OBJECT
public:
    explicit TTraceController(QObject* parent = nullptr);
    ~TTraceController() override;

    // Starts a trace of host (an acceptable host name in its ASCII form) unless one runs or has not
    // yet been wound up. True when it started.
    bool Start(const std::string& host, const TTracertThread::Lookup& lookup);
    // Ends a running trace at once: its end is not reported and its output is forgotten.
    void Stop();
    // One collection of the output: what the command wrote since the last one.
    void Collect();

    bool Running() const { return running_; }
    // The trace's thread while a trace runs or its end is being reported, else none.
    TTracertThread* Thread() const { return tracert_.get(); }
    const std::string& Output() const { return output_.Text(); }
    QTimer* Timer() const { return timer_; }

signals:
    // New output was collected while the trace runs.
    void OutputCollected();
    // The command ended by itself or was cancelled in its window: the whole output is collected and
    // Thread() still answers for the host until the handlers return.
    void Ended(bool cancelled);

private:
    void Finish();
    // Hands the thread over to be freed once the event loop runs again.
    void Release();

    QTimer* timer_;
    bool running_ = false;
    bool finishing_ = false;
    std::unique_ptr<TTracertThread> tracert_;
    TraceOutputBuffer output_;
};

} // namespace parlomar
