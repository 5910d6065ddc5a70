#pragma once

// A fake traceroute for the window tests and the pictures: found before the system's, it replays
// recorded output slowly.

#include "core/tools/TraceCommand.h"
#include "gui/app/MainUnit.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace parlomar::test {

inline std::string Recorded(const char* name) {
    std::ifstream in(std::string(PARLOMAR_SOURCE_DIR) + "/tests/data/trace/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The pieces of a recorded output: one per line, each with its line feed.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, next - start));
        start = next;
    }
    return lines;
}

// A program "traceroute" found first that writes its arguments to a file and then prints the
// given pieces, waiting before each one.
class FakeTraceroute {
public:
    FakeTraceroute(const std::vector<std::string>& pieces, double delaySeconds, double firstDelay = 0) {
        oldPath_ = qgetenv("PATH");
        std::string script = "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + ArgsFile() + "'\n";
        bool first = true;
        for (const std::string& piece : pieces) {
            std::string quoted;
            for (char c : piece)
                quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
            script += "sleep " + std::to_string(first && firstDelay > 0 ? firstDelay : delaySeconds) + "\n";
            script += "printf '%s' '" + quoted + "'\n";
            first = false;
        }
        const QString path = dir_.path() + QStringLiteral("/traceroute");
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(script.data(), static_cast<qint64>(script.size()));
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", dir_.path().toUtf8() + ':' + oldPath_);
        TraceCommand::SetSystemFolders({dir_.path().toStdString()}); // found before the system's
    }
    ~FakeTraceroute() {
        TraceCommand::SetSystemFolders({});
        qputenv("PATH", oldPath_);
    }
    std::string ArgsFile() const { return dir_.path().toStdString() + "/args"; }
    // The arguments of the last run, one per line; empty when it never ran.
    std::string Args() const {
        std::ifstream in(ArgsFile());
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    QTemporaryDir dir_;
    QByteArray oldPath_;
};

// Waits until the trace of the main window has ended (its end handling has run).
inline bool TraceEnds(TParlomarClientMainForm& main, int ms = 15000) {
    return QTest::qWaitFor([&] { return !main.TraceRunning() && !main.Tracert(); }, ms);
}

} // namespace parlomar::test
