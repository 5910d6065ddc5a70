#pragma once

#include <string>

namespace parlomar {

class TParlomarClientMainForm;

// The working windows that the main window's menus, the list grid and the details windows open.
// Each function creates its window owned by the main window, shows it (modally, except the details
// windows, which are modeless and may be open several at once) and cleans up after it. After a
// modal window closed, the main window may already be signed out or closing: implementations check
// a QPointer to it before touching it again.

// "Create account" (kind account) and "Create package"; refetch the opener's list after success.
void OpenAccountEditor(TParlomarClientMainForm* main);
void OpenPackageEditor(TParlomarClientMainForm* main);
// "Edit..." on a package row: the editor in package-edit mode for that package.
void OpenPackageEditorFor(TParlomarClientMainForm* main, const std::string& packageName);
// "View details", a double click or a click on the name: a new details window.
void OpenAccountDetails(TParlomarClientMainForm* main, const std::string& userName);
void OpenPackageDetails(TParlomarClientMainForm* main, const std::string& packageName);
// The settings dialog on the given page (0 General, 1 Proxy, 2 View).
void OpenSettingsDialog(TParlomarClientMainForm* main, int page);

} // namespace parlomar
