#include "gui/app/CommandChannel.h"

#include "core/ScriptCommand.h"
#include "gui/app/MainUnit.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"

#include <QSocketNotifier>
#include <QString>
#include <QTabBar>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include <memory>
#include <string>

namespace parlomar {

namespace {

QString Q(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void RunCommand(TParlomarClientMainForm* form, const std::string& line) {
    const TScriptCommand c = ParseScriptCommand(line);
    if (c.command == "sign-in") {
        form->IPEdit->setText(Q(c.host));
        form->PortEdit->setText(Q(c.port));
        form->LoginEdit->setText(Q(c.user));
        form->PswEdit->setText(Q(c.password));
        form->LoginButtonClick();
    } else if (c.command == "list-accounts") {
        form->Listaccounts1Click();
    } else if (c.command == "list-packages") {
        form->Listpakages1Click();
    } else if (c.command == "search") {
        form->QueryEdit->setText(Q(c.rest));
        form->QueryEditClickButton();
    } else if (c.command == "find-all") {
        form->FindAllCommand(c.rest);
    } else if (c.command == "tab") {
        form->TabSet->setCurrentIndex(c.rest == "packages" ? 1 : 0);
    } else if (c.command == "stop") {
        form->StopListFetches();
    } else if (c.command == "sign-out") {
        form->Signout1Click();
    } else if (c.command == "exit") {
        form->Exit1Click();
    }
}

} // namespace

void ListenForCommands(TParlomarClientMainForm* form) {
#ifdef Q_OS_UNIX
    auto* notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, form);
    auto lines = std::make_shared<TScriptLines>();
    QObject::connect(notifier, &QSocketNotifier::activated, form, [form, notifier, lines] {
        char chunk[512];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            notifier->setEnabled(false); // the end of the input
            return;
        }
        lines->Append(std::string_view(chunk, static_cast<std::size_t>(n)));
        while (const auto line = lines->Next())
            RunCommand(form, *line);
    });
#else
    (void)form;
#endif
}

} // namespace parlomar
