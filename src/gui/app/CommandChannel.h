#pragma once

namespace parlomar {

class TParlomarClientMainForm;

// Scripted runs (PARLOMAR_REPORT set): commands read from standard input, one a line, carried out on
// the main window as the operator would do them:
//   sign-in HOST PORT USER PASSWORD   (the password is the rest of the line)
//   list-accounts | list-packages | search TEXT | tab accounts|packages | stop | sign-out | exit
//   find-all TEXT   (the search on every saved server; reports "found N accounts on M servers")
// Unknown lines are ignored. Nothing is read on platforms without a notifier for standard input.
void ListenForCommands(TParlomarClientMainForm* form);

} // namespace parlomar
