#include "WindowsTestSupport.h"

#include <QTest>

#include "gui/app/MainUnit.h"
#include "gui/skins/ButtonEdit.h"
#include "gui/skins/Controls.h"

namespace parlomar::test {

std::vector<std::string> LoggedServer::Lines(const std::string& path, const std::string& part) const {
    std::ifstream in(dir.Path() / "log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (line.find("\t" + path + "\t") != std::string::npos && line.find(part) != std::string::npos)
            lines.push_back(line);
    }
    return lines;
}

int LoggedServer::Requests(const std::string& path, const std::string& part) const {
    return static_cast<int>(Lines(path, part).size());
}

int LoggedServer::SignedRequests(const std::string& path, const std::string& part) const {
    const std::string user = std::string("\t") + standin_test::kUser;
    int count = 0;
    for (const std::string& line : Lines(path, part))
        count += line.size() > user.size() && line.compare(line.size() - user.size(), user.size(), user) == 0;
    return count;
}

std::vector<std::string> LoggedServer::Paths() const {
    std::ifstream in(dir.Path() / "log");
    std::vector<std::string> paths;
    for (std::string line; std::getline(in, line);) {
        const auto tab = line.find('\t');
        const std::string path = line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1);
        if (path.rfind("/xml-api/", 0) == 0)
            paths.push_back(path.substr(9));
    }
    return paths;
}

void ShowMainWindow(TParlomarClientMainForm& form, AnsweringUi& ui) {
    ui.SetMainForm(&form);
    form.resize(700, 600);
    form.show();
}

void TypeSignIn(TParlomarClientMainForm& form, int port) {
    form.IPEdit->setText(QStringLiteral("127.0.0.1"));
    form.PortEdit->setText(QString::number(port));
    form.LoginEdit->setText(QString::fromUtf8(standin_test::kUser));
    form.PswEdit->setText(QString::fromUtf8(standin_test::kPassword));
}

void SignIn(TParlomarClientMainForm& form, int port) {
    TypeSignIn(form, port);
    form.LoginButtonClick();
    static_cast<void>(QTest::qWaitFor([&form] { return !form.RequestRunning(); }, 20000)); // its reply
}

bool Idle(const TParlomarClientMainForm& form) {
    return !form.FetchRunning() && !form.ListBuildRunning() && RequestsInFlight() == 0;
}

} // namespace parlomar::test
