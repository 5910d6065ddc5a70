// Runs every registered Qt Test class in one process (one QApplication).

#include "TestRegistry.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace parlomar::test {
std::vector<std::function<QObject*()>>& TestRegistry() {
    static std::vector<std::function<QObject*()>> registry;
    return registry;
}
} // namespace parlomar::test

int main(int argc, char* argv[]) {
    // The activity log of every changing request goes to a temporary data folder, never the user's.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    int failures = 0;
    for (const auto& make : parlomar::test::TestRegistry()) {
        std::unique_ptr<QObject> test(make());
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
