// Pictures of the traceroute window for docs/screenshots (scripts/screenshots): a recorded route
// replayed by a fake traceroute, while it runs and once it has ended.

#include "Shots.h"
#include "TestRegistry.h"
#include "TraceTestSupport.h"
#include "WindowsTestSupport.h"
#include "gui/app/MainUnit.h"
#include "gui/skins/SkinedStringGrid.h"
#include "gui/tools/TracertUnit.h"

#include <QTest>

using namespace parlomar;
using test::FakeTraceroute;
using test::Lines;
using test::Recorded;
using test::TraceEnds;

class TracerouteShots : public test::WindowTest {
    Q_OBJECT

private slots:
    void TracerouteWindowPictures() {
        test::ShippedProgramFolder folder;
        FakeTraceroute fake(Lines(Recorded("linux_route.txt")), 0.5);
        TParlomarClientMainForm main;
        main.TraceLookup = [](const std::string&) { return std::string("203.0.113.80"); };
        QVERIFY(main.StartTrace("www.example.net"));
        QVERIFY(QTest::qWaitFor([&] { return main.TracertForm && main.TracertForm->Grid->RowCount() >= 5; }));
        const QString folderPath = test::ShotsFolder();
        QVERIFY(main.TracertForm->grab().save(folderPath + QStringLiteral("traceroute-running.png")));
        QVERIFY(TraceEnds(main));
        QTest::qWait(200);
        QVERIFY(main.TracertForm->grab().save(folderPath + QStringLiteral("traceroute.png")));
    }
};

static test::RegisterTest<TracerouteShots> registerTracerouteShots;

#include "TracerouteShots.moc"
