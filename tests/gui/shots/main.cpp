// Takes the pictures of docs/screenshots (scripts/screenshots runs it): the windows driven as the
// operator would, against the stand-in server, and photographed on a real X server. Not a test: it
// runs only with PARLOMAR_SCREENSHOTS naming a folder on the xcb platform, and takes the names of
// the picture functions to run (all of them when none is named).

#include "TestRegistry.h"

#include <QApplication>
#include <QMetaMethod>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>
#include <vector>

namespace parlomar::test {
std::vector<std::function<QObject*()>>& TestRegistry() {
    static std::vector<std::function<QObject*()>> registry;
    return registry;
}
} // namespace parlomar::test

namespace {

bool HasSlot(const QObject& object, const char* name) {
    const QMetaObject* meta = object.metaObject();
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
        if (meta->method(i).methodType() == QMetaMethod::Slot && meta->method(i).name() == name)
            return true;
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir dataHome; // the activity log of the pictures' requests, never the user's
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (qEnvironmentVariableIsEmpty("PARLOMAR_SCREENSHOTS") ||
        QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fputs("gui_shots: set PARLOMAR_SCREENSHOTS to a folder and run under xvfb-run with "
                   "QT_QPA_PLATFORM=xcb (scripts/screenshots does)\n",
                   stderr);
        return 2;
    }
    const std::vector<char*> names(argv + 1, argv + argc);
    int failures = 0;
    for (const auto& make : parlomar::test::TestRegistry()) {
        std::unique_ptr<QObject> shots(make());
        std::vector<char*> args{argv[0]};
        for (char* name : names)
            if (HasSlot(*shots, name))
                args.push_back(name);
        if (!names.empty() && args.size() == 1)
            continue; // none of the named functions is here
        failures += QTest::qExec(shots.get(), static_cast<int>(args.size()), args.data());
    }
    return failures == 0 ? 0 : 1;
}
