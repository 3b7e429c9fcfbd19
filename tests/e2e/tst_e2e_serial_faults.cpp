#include "FaultChecks.h"
#include "config/CalibrationSettings.h"

using namespace FaultChecks;

class TestEndToEndSerialFaults : public QObject
{
    Q_OBJECT

private slots:
    // 100 MB of random bytes on the line must neither stop nor freeze the program, and the
    // frames that follow must show.
    void randomBytesThenFrames()
    {
        E2eRig rig;
        QVERIFY2(rig.ok(), qPrintable(rig.error()));
        // A status line to copy while the stream runs: copying needs a free event loop.
        QByteArray settings = CalibrationSettings::defaults().fileText();
        settings.truncate(settings.indexOf("<WSDivider>"));
        rig.write("settings.cfg", settings);
        QByteArray frames;
        for (int i = 0; i < 20000; ++i)
            frames += "[<V>777</V><I>612</I><R>20</R><S>50</S><M>1</M>]\r\n";
        rig.write("frames.txt", frames);
        const qint64 garbage = 100000000;
        QVERIFY(rig.startSim({"--garbage-bytes", QString::number(garbage), "--fast", "--replay",
                              rig.path("frames.txt"), "--seed", "11"}));
        QVERIFY(rig.startProgram());
        QVERIFY(!rig.waitForTitle("Wendro ", {}, StartupMs).isEmpty());

        int copies = 0;
        while (rig.programRunning() && rig.programBytesRead() < garbage &&
               !rig.windowTitles().join('|').contains("15.54V")) {
            const QString status = rig.statusText();
            QVERIFY2(status.contains("WSDivider"), qPrintable("while the stream ran: " + status));
            ++copies;
        }
        qDebug("status line copied %d times during the stream", copies);
        QVERIFY2(!rig.waitForTitle("Wendro  15.54V 5A", {}, 30000).isEmpty(),
                 qPrintable(rig.windowTitles().join(" | ")));
        QVERIFY2(rig.programBytesRead() >= garbage,
                 qPrintable(QString::number(rig.programBytesRead())));
        QVERIFY(rig.programRunning());
        QCOMPARE(rig.programWindowCount(), 1);
    }

    // Unplugging the device during logging must be said once, the device must be picked up
    // again on the same link, and no tick may be missing from the log, not even while unplugged.
    void unplugAndReplugWhileLogging()
    {
        E2eRig rig;
        rig.write("prog.cfg", loggingConfig());
        VERIFY_NO_PROBLEM(startSimulator(rig));
        VERIFY_NO_PROBLEM(startProgram(rig));
        QVERIFY(QTest::qWaitFor([&] { return rig.logLines().size() >= 1; }, IntervalMs + 15000));
        VERIFY_NO_PROBLEM(everyTickLogged(rig));

        // Half way to the next tick, so that tick falls while the device is away.
        rig.killSim();
        const QString status = waitForStatus(rig, "disconnected", 10000);
        QVERIFY2(status.count("disconnected") == 1, qPrintable(status));
        const QString unplugged = rig.waitForTitle(Live, Waiting, 1000);
        VERIFY_NO_PROBLEM(everyTickLogged(rig));
        QVERIFY(rig.logLines().size() >= 2);
        QCOMPARE(rig.programWindowCount(), 1);

        QVERIFY(rig.startSim({"--interval-ms", "200", "--seed", "4"}));
        QVERIFY(!rig.waitForTitle(Live, unplugged, 20000).isEmpty());
        QVERIFY(QTest::qWaitFor([&] { return !rig.statusText().contains("COM1"); }, 10000));
        QVERIFY(QTest::qWaitFor([&] { return rig.logLines().size() >= 4; }, 2 * IntervalMs + 5000));
        VERIFY_NO_PROBLEM(everyTickLogged(rig));
        VERIFY_NO_PROBLEM(stillLive(rig));
    }
};

QTEST_GUILESS_MAIN(TestEndToEndSerialFaults)
#include "tst_e2e_serial_faults.moc"
