#include "app/CommandChannel.h"

#include "app/MainUnit.h"
#include "skins/ButtonEdit.h"
#include "skins/Controls.h"

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

void RunCommand(TParlomarClientMainForm* form, const QString& line) {
    const QString command = line.section(QLatin1Char(' '), 0, 0);
    const QString rest = line.section(QLatin1Char(' '), 1);
    if (command == QLatin1String("sign-in")) {
        form->IPEdit->setText(rest.section(QLatin1Char(' '), 0, 0));
        form->PortEdit->setText(rest.section(QLatin1Char(' '), 1, 1));
        form->LoginEdit->setText(rest.section(QLatin1Char(' '), 2, 2));
        form->PswEdit->setText(rest.section(QLatin1Char(' '), 3));
        form->LoginButtonClick();
    } else if (command == QLatin1String("list-accounts")) {
        form->Listaccounts1Click();
    } else if (command == QLatin1String("list-packages")) {
        form->Listpakages1Click();
    } else if (command == QLatin1String("search")) {
        form->QueryEdit->setText(rest);
        form->QueryEditClickButton();
    } else if (command == QLatin1String("tab")) {
        form->TabSet->setCurrentIndex(rest == QLatin1String("packages") ? 1 : 0);
    } else if (command == QLatin1String("stop")) {
        form->StopListFetches();
    } else if (command == QLatin1String("sign-out")) {
        form->Signout1Click();
    } else if (command == QLatin1String("exit")) {
        form->Exit1Click();
    }
}

} // namespace

void ListenForCommands(TParlomarClientMainForm* form) {
#ifdef Q_OS_UNIX
    auto* notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, form);
    auto pending = std::make_shared<std::string>();
    QObject::connect(notifier, &QSocketNotifier::activated, form, [form, notifier, pending] {
        char chunk[512];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            notifier->setEnabled(false); // the end of the input
            return;
        }
        pending->append(chunk, static_cast<std::size_t>(n));
        for (std::size_t at; (at = pending->find('\n')) != std::string::npos;) {
            const QString line = QString::fromUtf8(pending->data(), static_cast<qsizetype>(at)).trimmed();
            pending->erase(0, at + 1);
            RunCommand(form, line);
        }
    });
#else
    (void)form;
#endif
}

} // namespace parlomar
