#include "support/E2eRig.h"

#include <QtTest>

class TestEndToEndLive : public QObject
{
    Q_OBJECT

private slots:
    // The real binary must show the simulator's values, survive the device going away, and
    // pick up the same link again when the device comes back.
    void liveValuesSurviveUnplugAndReplug()
    {
        E2eRig rig;
        QVERIFY2(rig.ok(), qPrintable(rig.error()));
        QVERIFY(rig.startSim({"--interval-ms", "200", "--seed", "1"}));
        QVERIFY(rig.startProgram());

        const QString waiting = "Wendro - Waiting for Signal";
        const QString first = rig.waitForTitle("Wendro  ", waiting, 60000);
        QVERIFY2(!first.isEmpty(), qPrintable(rig.windowTitles().join(" | ")));
        QVERIFY(first.endsWith("A"));

        rig.stopSim();
        QTest::qWait(1000);
        const QString frozen = rig.waitForTitle("Wendro  ", waiting, 2000);
        QVERIFY(!frozen.isEmpty());
        QVERIFY(!rig.waitForTitle("Wendro  ", frozen, 1500).size()); // nothing new arrives

        QVERIFY(rig.startSim({"--interval-ms", "200", "--seed", "2"}));
        const QString again = rig.waitForTitle("Wendro  ", frozen, 15000);
        QVERIFY2(!again.isEmpty(), "no values after the simulator came back");
    }
};

QTEST_GUILESS_MAIN(TestEndToEndLive)
#include "tst_e2e_live.moc"
