#include "app/WindowOpeners.h"

#include "server/TransportUi.h"
#include "settings/Localization.h"

// Stand-ins until the editor, details and settings windows exist: they say the command is not
// available yet.
namespace parlomar {

namespace {
void NotAvailable() {
    ShowMessageText(StatusText(10));
}
} // namespace

void OpenAccountEditor(TParlomarClientMainForm*) {
    NotAvailable();
}
void OpenPackageEditor(TParlomarClientMainForm*) {
    NotAvailable();
}
void OpenPackageEditorFor(TParlomarClientMainForm*, const std::string&) {
    NotAvailable();
}
void OpenAccountDetails(TParlomarClientMainForm*, const std::string&) {
    NotAvailable();
}
void OpenPackageDetails(TParlomarClientMainForm*, const std::string&) {
    NotAvailable();
}
void OpenSettingsDialog(TParlomarClientMainForm*, int) {
    NotAvailable();
}

} // namespace parlomar
