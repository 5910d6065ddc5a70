#include "core/server/TransportUi.h"

#include <mutex>
#include <utility>

namespace parlomar {

namespace {

std::mutex& UiMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<TransportUi>& UiSlot() {
    static std::shared_ptr<TransportUi> ui;
    return ui;
}

} // namespace

void SetTransportUi(std::shared_ptr<TransportUi> ui) {
    std::lock_guard lock(UiMutex());
    UiSlot() = std::move(ui);
}

std::shared_ptr<TransportUi> CurrentTransportUi() {
    std::lock_guard lock(UiMutex());
    return UiSlot();
}

bool OnGuiThread() {
    auto ui = CurrentTransportUi();
    return !ui || ui->IsGuiThread();
}

void ShowMessageText(const std::string& text) {
    if (auto ui = CurrentTransportUi())
        ui->ShowMessage(text);
}

bool AskQuestionText(const std::string& text) {
    auto ui = CurrentTransportUi();
    return ui && ui->AskQuestion(text);
}

void PostToGui(std::function<void()> function) {
    if (auto ui = CurrentTransportUi())
        ui->PostToGuiThread(std::move(function));
    else
        function();
}

void ShowRequestStatusOnGui(int n, const std::string& suffix) {
    auto ui = CurrentTransportUi();
    if (!ui)
        return;
    if (ui->IsGuiThread())
        ui->ShowRequestStatus(n, suffix);
    else
        ui->PostToGuiThread([weak = std::weak_ptr<TransportUi>(ui), n, suffix] {
            if (const auto shown = weak.lock())
                shown->ShowRequestStatus(n, suffix);
        });
}

} // namespace parlomar
