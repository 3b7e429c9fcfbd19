#include "FaultChecks.h"

using namespace FaultChecks;

class TestEndToEndDiskFaults : public QObject
{
    Q_OBJECT

private slots:
    // A read-only folder must neither stop the program nor be reported anew at every tick,
    // and the records of the ticks it blocked must reach the files once it is writable.
    void readOnlyFolder()
    {
        E2eRig rig;
        rig.write("prog.cfg", loggingConfig());
        QFile::remove(rig.path("settings.cfg"));
        VERIFY_NO_PROBLEM(startSimulator(rig));
        QVERIFY2(rig.makeReadOnly(), qPrintable(rig.error()));
        VERIFY_NO_PROBLEM(startProgram(rig));

        const QString status = waitForStatus(rig, "logs/" + today(), IntervalMs + 15000);
        for (const QString& file : QStringList{"settings.cfg", "logs/" + today() + ".txt",
                                               "html/log.asp", "Excel/" + today() + ".xls"})
            QVERIFY2(status.count(file) == 1, qPrintable(file + " in: " + status));
        QVERIFY(QTest::qWaitFor([&] { return rig.ticksAtLeast(IntervalMs) >= 2; }, 30000));
        QCOMPARE(rig.statusText(), status);
        VERIFY_NO_PROBLEM(stillLive(rig));

        QVERIFY2(rig.makeWritable(), qPrintable(rig.error()));
        QVERIFY(QTest::qWaitFor([&] { return !rig.logLines().isEmpty(); }, IntervalMs + 5000));
        VERIFY_NO_PROBLEM(everyTickLogged(rig));
        const int records = int(rig.logLines().size());
        QCOMPARE(historyLines(rig), records);
        QCOMPARE(sheetRows(rig), records);
        QVERIFY(!rig.statusText().contains("logs/"));
    }

    // On a full disk a record that only fits in part must not leave half a line or an empty
    // page behind, and once there is room again every tick must be in the log.
    void fullDisk()
    {
        E2eRig rig;
        QVERIFY2(rig.ok(), qPrintable(rig.error()));
        if (!rig.moveToSmallDisk(256 * 1024)) {
            // Only a mount the machine refuses is a reason to skip; anything else is a failure.
            if (rig.error().startsWith("mount"))
                QSKIP(
                    qPrintable("cannot mount a small disk for the program folder: " + rig.error()));
            QFAIL(qPrintable(rig.error()));
        }
        rig.write("prog.cfg", loggingConfig());
        // The day's log ends 30 bytes short of a page (the first volts padded with zeros to
        // make it so): the next record fits only in part.
        const QByteArray line = "<V>12.5</V><I>2.5</I><W>31.25</W><R>300</R><S>10</S><M>0</M>"
                                "<T>00:00</T>\r\n";
        const int left = 30;
        QByteArray earlier;
        while (earlier.size() + line.size() <= 4096 - left)
            earlier += line;
        earlier.insert(3, QByteArray(4096 - left - earlier.size(), '0'));
        const QString log = rig.path("logs/" + today() + ".txt");
        rig.write("logs/" + today() + ".txt", earlier);
        rig.write("html/log.asp", "earlier page\r\n");
        VERIFY_NO_PROBLEM(startSimulator(rig));
        const QString filler = rig.fillDisk();
        VERIFY_NO_PROBLEM(startProgram(rig));

        const QString status = waitForStatus(rig, "No space left", IntervalMs + 15000);
        QVERIFY2(status.count("logs/" + today() + ".txt") == 1, qPrintable(status));
        QCOMPARE(readFile(log), earlier);
        QCOMPARE(readFile(rig.path("html/log.asp")), QByteArray("earlier page\r\n"));
        VERIFY_NO_PROBLEM(stillLive(rig));

        QVERIFY(QFile::remove(rig.path(filler)));
        const int before = int(earlier.count('\n'));
        QVERIFY(QTest::qWaitFor([&] { return rig.logLines().size() > before; }, IntervalMs + 5000));
        VERIFY_NO_PROBLEM(everyTickLogged(rig, before));
        QVERIFY(!readFile(rig.path("html/log.asp")).contains("earlier"));
        QVERIFY(!rig.statusText().contains("No space left"));
    }
};

QTEST_GUILESS_MAIN(TestEndToEndDiskFaults)
#include "tst_e2e_disk_faults.moc"
