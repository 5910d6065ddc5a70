// The main window's side of the traceroute tool: the hidden "Test" command, the 500 ms timer that
// carries the output into the traceroute window, the end of a trace, and stopping it.

#include "core/server/Global.h"
#include "gui/app/MainUnit.h"

#include "core/server/HttpTransport.h"
#include "core/server/TransportUi.h"
#include "core/settings/Localization.h"
#include "core/tools/TraceCommand.h"
#include "gui/settings/Captions.h"
#include "gui/skins/Controls.h"
#include "gui/tools/TracertUnit.h"

#include <QTimer>

#include <algorithm>

namespace parlomar {

namespace {

constexpr size_t kShownHostLength = 60;

// A refused host as the message shows it: control characters as "?", cut when long.
std::string PrintableHost(const std::string& host) {
    size_t length = std::min(host.size(), kShownHostLength);
    while (length < host.size() && length > 0 && (static_cast<unsigned char>(host[length]) & 0xC0) == 0x80)
        --length; // not inside a character
    std::string shown;
    for (char c : host.substr(0, length))
        shown += static_cast<unsigned char>(c) < ' ' || c == 0x7f ? '?' : c;
    if (length < host.size())
        shown += "...";
    return shown;
}

} // namespace

std::string TParlomarClientMainForm::TestHost() const {
    if (!signedIn_)
        return "localhost";
    return session_ ? session_->Address() : std::string("localhost");
}

void TParlomarClientMainForm::est1Click() {
    if (!traceRunning_)
        StartTrace(TestHost());
}

bool TParlomarClientMainForm::StartTrace(const std::string& typedHost) {
    if (traceRunning_ || tracert_)
        return false;
    // An internationalised domain is traced by its ASCII form, as it is sent everywhere else.
    const std::string host = AsciiDomainName(typedHost);
    if (host.empty() || !TraceCommand::IsAcceptableHost(host)) {
        ShowMessageText(StatusText(73) + "\"" + PrintableHost(typedHost) + "\"");
        return false;
    }
    Traceroute1->setEnabled(false);
    traceOutput_.Clear();
    tracert_ = std::make_unique<TTracertThread>(host);
    if (TraceLookup)
        tracert_->SetLookup(TraceLookup);
    connect(tracert_.get(), &TTracertThread::Ended, this, &TParlomarClientMainForm::TraceEnded);

    auto* form = new TTracertForm(this, &ImageList->Images);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->SetStayOnTop(Alwaysontop1->isChecked());
    form->Thread = tracert_.get();
    connect(form, &TTracertForm::Closed, this, [this, form] {
        if (TracertForm == form)
            TracertForm = nullptr; // closed: the end of the trace leaves it alone
        Traceroute1->setEnabled(true);
    });
    TracertForm = form;

    traceRunning_ = true;
    tracert_->Start();
    form->TraceStarted();
    Timer->start();
    return true;
}

void TParlomarClientMainForm::TimerTimer() {
    if (!traceRunning_ || !tracert_)
        return;
    traceOutput_.Append(tracert_->ReadTraceOutput());
    ShowTrace();
    if (TracertForm)
        TracertForm->StepProgress();
}

void TParlomarClientMainForm::ShowTrace() {
    if (!TracertForm || !tracert_)
        return;
    TracertForm->ShowTraceOutput(traceOutput_.Text());
    if (TracertForm->Grid->RowCount() <= 1)
        return;
    // Shown before the title is set: showing gives the window its captions, title included.
    if (TracertForm->isHidden())
        TracertForm->show();
    TracertForm->setWindowTitle(
        Q(StatusText(71) + tracert_->HostName + " (" + tracert_->HostAddress() + ") " + StatusText(72)));
    TracertForm->HostName = tracert_->HostName;
    TracertForm->update();
}

void TParlomarClientMainForm::TraceEnded() {
    if (!tracert_)
        return;
    traceRunning_ = false;
    // The command has ended: what it wrote last is all in the pipe now.
    for (int piece = 0; piece < 64; ++piece) {
        const std::string output = tracert_->ReadTraceOutput();
        if (output.empty())
            break;
        traceOutput_.Append(output);
    }
    ShowTrace();
    Timer->stop();
    if (TracertForm)
        TracertForm->TraceEnded();
    const bool cancelled = tracert_->Cancelled();
    const std::string host = tracert_->HostName;
    TTracertThread* ended = tracert_.release(); // the sender of this call: freed once it returns
    ended->setParent(this);
    ended->deleteLater();
    if (TracertForm && TracertForm->Grid->RowCount() <= 1) {
        delete TracertForm.data();
        if (!cancelled) {
            Traceroute1->setEnabled(true);
            ShowMessageText(StatusText(69) + host + "!");
        }
    }
}

void TParlomarClientMainForm::StopTraceAndWindow() {
    if (tracert_) {
        tracert_->StopTrace();
        tracert_.reset(); // its end is not delivered any more
    }
    traceRunning_ = false;
    Timer->stop();
    traceOutput_.Clear();
    CloseTracertWindows();
    Traceroute1->setEnabled(true);
}

} // namespace parlomar
