#include "app/GuiTransportUi.h"

#include "app/MainUnit.h"
#include "info/MessageUnit.h"
#include "server/GetXMLThreadUnit.h"
#include "settings/Captions.h"

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace parlomar {

GuiTransportUi::GuiTransportUi() = default;

void GuiTransportUi::SetMainForm(TParlomarClientMainForm* form) {
    mainForm_ = form;
}

void GuiTransportUi::BeginShutdown() {
    shuttingDown_ = true;
}

void GuiTransportUi::ShowRequestStatus(int n, const std::string& suffix) {
    if (mainForm_)
        mainForm_->ShowRequestStatus(n, suffix);
}

bool GuiTransportUi::IsGuiThread() {
    return QThread::currentThread() == thread();
}

void GuiTransportUi::ProcessPendingEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void GuiTransportUi::PostToGuiThread(std::function<void()> function) {
    QMetaObject::invokeMethod(this, std::move(function), Qt::QueuedConnection);
}

std::string GuiTransportUi::CertificateQuestion(const CertificateInfo& info) {
    std::string text;
    if (info.changed)
        text += "The server sent a different certificate than the one accepted before.\n";
    else
        text += "The server's certificate is not trusted: " + info.problem + ".\n";
    text += "Host: " + info.host + ":" + std::to_string(info.port) + "\n";
    text += "Subject: " + info.subject + "\n";
    text += "Issuer: " + info.issuer + "\n";
    text += "Valid: " + info.notBefore + " to " + info.notAfter + "\n";
    text += "SHA-256: " + info.fingerprint + "\n";
    if (info.changed && !info.previousFingerprint.empty())
        text += "Accepted before: " + info.previousFingerprint + "\n";
    text += "Accept this certificate?";
    return text;
}

bool GuiTransportUi::RunOnGui(std::function<bool()> dialog) {
    if (shuttingDown_)
        return false;
    if (IsGuiThread())
        return dialog();
    struct Wait {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        bool answer = false;
    };
    auto wait = std::make_shared<Wait>();
    PostToGuiThread([wait, dialog] {
        const bool answer = dialog();
        std::lock_guard lock(wait->mutex);
        wait->answer = answer;
        wait->finished = true;
        wait->done.notify_all();
    });
    std::unique_lock lock(wait->mutex);
    // The GUI thread may be waiting for this thread at exit: then the question counts as declined.
    while (!wait->finished) {
        if (shuttingDown_ || FetchShutdownBegun())
            return false;
        wait->done.wait_for(lock, std::chrono::milliseconds(50));
    }
    return wait->answer;
}

void GuiTransportUi::ShowMessage(const std::string& text) {
    RunOnGui([this, text] {
        ShowMessageOnGui(text);
        return true;
    });
}

bool GuiTransportUi::AskQuestion(const std::string& text) {
    return RunOnGui([this, text] { return AskQuestionOnGui(text); });
}

bool GuiTransportUi::AskCertificate(const CertificateInfo& info) {
    return RunOnGui([this, info] { return AskCertificateOnGui(info); });
}

void GuiTransportUi::ShowMessageOnGui(const std::string& text) {
    ShowMessageWindow(Q(text), kMessageText);
}

bool GuiTransportUi::AskQuestionOnGui(const std::string& text) {
    return AskQuestionWindow(Q(text));
}

bool GuiTransportUi::AskCertificateOnGui(const CertificateInfo& info) {
    return AskQuestionWindow(Q(CertificateQuestion(info)));
}

} // namespace parlomar
