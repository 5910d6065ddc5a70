// The main window's side of the traceroute tool: the hidden "Test" command, the 500 ms timer that
// carries the output into the traceroute window, the end of a trace, and stopping it.

#include "core/server/Global.h"
#include "gui/app/MainUnit.h"
#include "gui/app/SessionController.h"
#include "gui/app/TraceController.h"

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
    if (!SignedIn())
        return "localhost";
    return sessions_->Current() ? sessions_->Current()->Address() : std::string("localhost");
}

void TParlomarClientMainForm::est1Click() {
    if (!trace_->Running())
        StartTrace(TestHost());
}

bool TParlomarClientMainForm::StartTrace(const std::string& typedHost) {
    if (trace_->Running() || trace_->Thread())
        return false;
    // An internationalised domain is traced by its ASCII form, as it is sent everywhere else.
    const std::string host = AsciiDomainName(typedHost);
    if (host.empty() || !TraceCommand::IsAcceptableHost(host)) {
        ShowMessageText(StatusText(73) + "\"" + PrintableHost(typedHost) + "\"");
        return false;
    }
    if (!trace_->Start(host, TraceLookup))
        return false;
    Traceroute1->setEnabled(false);
    auto* form = new TTracertForm(this, &ImageList->Images);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->SetStayOnTop(Alwaysontop1->isChecked());
    form->Thread = trace_->Thread();
    connect(form, &TTracertForm::Closed, this, [this, form] {
        if (TracertForm == form)
            TracertForm = nullptr; // closed: the end of the trace leaves it alone
        Traceroute1->setEnabled(true);
    });
    TracertForm = form;
    form->TraceStarted();
    return true;
}

void TParlomarClientMainForm::TimerTimer() {
    trace_->Collect();
}

void TParlomarClientMainForm::TraceCollected() {
    ShowTrace();
    if (TracertForm)
        TracertForm->StepProgress();
}

void TParlomarClientMainForm::ShowTrace() {
    TTracertThread* tracert = trace_->Thread();
    if (!TracertForm || !tracert)
        return;
    TracertForm->ShowTraceOutput(trace_->Output());
    if (TracertForm->Grid->RowCount() <= 1)
        return;
    // Shown before the title is set: showing gives the window its captions, title included.
    if (TracertForm->isHidden())
        TracertForm->show();
    TracertForm->setWindowTitle(
        Q(StatusText(71) + tracert->HostName + " (" + tracert->HostAddress() + ") " + StatusText(72)));
    TracertForm->HostName = tracert->HostName;
    TracertForm->update();
}

void TParlomarClientMainForm::TraceEnded(bool cancelled) {
    ShowTrace();
    if (TracertForm)
        TracertForm->TraceEnded();
    const std::string host = trace_->Thread() ? trace_->Thread()->HostName : std::string();
    if (TracertForm && TracertForm->Grid->RowCount() <= 1) {
        delete TracertForm.data();
        if (!cancelled) {
            Traceroute1->setEnabled(true);
            ShowMessageText(StatusText(69) + host + "!");
        }
    }
}

void TParlomarClientMainForm::StopTraceAndWindow() {
    trace_->Stop();
    CloseTracertWindows();
    Traceroute1->setEnabled(true);
}

bool TParlomarClientMainForm::TraceRunning() const {
    return trace_->Running();
}

TTracertThread* TParlomarClientMainForm::Tracert() const {
    return trace_->Thread();
}

const std::string& TParlomarClientMainForm::TraceOutput() const {
    return trace_->Output();
}

} // namespace parlomar
