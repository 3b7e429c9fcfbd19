#include "config/CalibrationSettings.h"
#include "support/E2eRig.h"

// The real program as a service with no display, fed by the simulator on a real
// pseudo-terminal: its command line, its first record, a flood of garbage, the device
// unplugged and back, a stop and a restart; and faults of its folder and configuration files,
// each said once while the program keeps converting new values, with every logging tick's
// whole record once the fault is gone. What each fault does to a tick is tried quickly, one by
// one, by the logging tests.
class TestEndToEndService : public QObject
{
    Q_OBJECT

private slots:
    // None of these may need a display, and each must answer on the right stream with the
    // status a script or a service manager acts on.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments"); // DIR stands for the program folder
        QTest::addColumn<QByteArray>("program");    // prog.cfg, when not as installed
        QTest::addColumn<int>("status");
        // The start of standard output when the status is 0, else a part of standard error;
        // the other stream must stay empty.
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, const QStringList& arguments, int status,
                            const char* text, const QByteArray& program = {}) {
            QTest::newRow(name) << arguments << program << status << QString(text);
        };
        row("help", {"--help"}, 0, "Usage: wendro");
        row("version", {"--version"}, 0, "Wendro 0.1");
        row("unknown", {"--bogus"}, 2, "wendro: unknown option --bogus\n\nUsage: wendro");
        row("dir without folder", {"--dir"}, 2, "--dir needs a value");
        // An interval that is not a number cannot log: said before any record.
        row("interval not a number", {"--headless", "--dir", "DIR"}, 2,
            "prog.cfg: LogDelay \"soon\" is not a number",
            config().logEvery("soon").fileText());
        // Broker options are checked before any window or file; a password on the command line
        // is refused, since ps shows it to everyone.
        const QString f = "/etc/hostname"; // a file, but no certificate
        row("station", {"--station", "my plant"}, 2, "wendro: --station \"my plant\"");
        row("not mqtt", {"--mqtt", "http://h"}, 2, "is not an address");
        row("port 0", {"--mqtt", "mqtt://h:0"}, 2, "port must be 1 to 65535");
        row("password", {"--mqtt", "mqtt://u:pw@h"}, 2, "no password");
        row("no user", {"--mqtt", "mqtt://h", "--mqtt-password-file", f}, 2, "needs a user name");
        row("no password file", {"--mqtt", "mqtt://u@h", "--mqtt-password-file", "/nonexistent"}, 2,
            "--mqtt-password-file /nonexistent:");
        row("ca, plain", {"--mqtt", "mqtt://h", "--mqtt-ca", f}, 2,
            "--mqtt-ca needs an mqtts:// address");
        row("ca unreadable", {"--mqtt", "mqtts://h", "--mqtt-ca", f}, 2,
            "no certificate OpenSSL can read");
        row("ca alone", {"--mqtt-ca", "x"}, 2, "need --mqtt");
        row("power curve, one date", {"--power-curve", "2031-05-01"}, 2, "needs two dates");
        row("power curve, bad date", {"--power-curve", "2031-5-1", "2031-05-31", "--dir", "DIR"}, 2,
            "dates as YYYY-MM-DD");
        row("power curve, no minutes", {"--power-curve", "2031-05-01", "2031-05-31", "--dir", "DIR"},
            2, "no minutes to use from 2031-05-01 to 2031-05-31");
        // Two programs once appended to one daily log; the second now writes nothing.
        row("folder in use", {"--headless", "--dir", "DIR"}, 2,
            "Only one program may use a program folder");
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, program);
        QFETCH(int, status);
        QFETCH(QString, text);
        E2eRig rig;
        if (!program.isEmpty())
            rig.write("prog.cfg", program);
        if (QTest::currentDataTag() == QLatin1String("folder in use"))
            QVERIFY2(rig.startProgram(), qPrintable(rig.error()));
        QProcess p;
        p.setProcessEnvironment(E2eRig::noDisplay());
        p.start(WENDRO_BINARY,
                arguments.replaceInStrings(QRegularExpression("^DIR$"), rig.path("")));
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), status);
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(status == 0 ? out.startsWith(text) && err.isEmpty()
                             : err.contains(text) && out.isEmpty(),
                 qPrintable(out + err));
        QVERIFY(!QFileInfo::exists(rig.path("logs/" + E2eRig::today() + ".txt")));
    }

    // A damaged calibration file and a read-only folder must neither stop the program nor be
    // said again at every tick; the damaged file is left for the user to repair, and the
    // records the fault held back arrive once it is repaired.
    void faultsAreSaidOnceAndRecordsArriveAfterRepair()
    {
        E2eRig rig;
        const QByteArray calibration = CalibrationSettings::defaults().fileText();
        const QByteArray damaged = calibration.left(calibration.indexOf("<AmpDivider>") + 7);
        rig.write("prog.cfg", E2eRig::loggingConfig());
        rig.write("settings.cfg", damaged);
        const QString day = E2eRig::today();
        const QStringList named{"settings.cfg", "logs/" + day + ".txt", "html/log.asp",
                                "Excel/" + day + ".xls"};
        QVERIFY2(rig.startSim() && rig.makeReadOnly(), qPrintable(rig.error()));
        VERIFY_NO_PROBLEM(rig.startLive());
        const QString status = rig.waitForStatus(named, E2eRig::IntervalMs + 15000);
        QVERIFY(QTest::qWaitFor([&] { return rig.ticksAtLeast() >= 2; }, 30000));
        for (const QString& name : named)
            QVERIFY2(status.count(name) == 1 && rig.said().count(name) == 1,
                     qPrintable(name + " in: " + status + "\nsaid: " + rig.said()));
        VERIFY_NO_PROBLEM(rig.stillLive());

        QVERIFY2(rig.makeWritable(), qPrintable(rig.error()));
        QVERIFY(QTest::qWaitFor([&] { return !rig.status().contains("log.asp"); },
                                E2eRig::IntervalMs + 5000));
        VERIFY_NO_PROBLEM(rig.stillLive());
        VERIFY_NO_PROBLEM(rig.everyTickLogged());
        const int records = int(rig.logLines().size());
        QCOMPARE(rig.linesIn("html", "history*.txt", "\t\t"), records);
        QCOMPARE(rig.linesIn("Excel", "*.xls", "<tr><td>"), records);
        QCOMPARE(rig.read("settings.cfg"), damaged);
    }

    // With automatic start at 10 s, the first record must hold the peaks of what the device
    // sent. (What the page and the spreadsheet make of a record is the logging tests'.)
    void firstRecordHoldsThePeaksSent()
    {
        E2eRig rig;
        rig.write("prog.cfg", E2eRig::loggingConfig());
        // Ordinary frames with a peak late enough that the program has the port by then, and
        // all sent well inside the first 10-second interval. The peak comes five times: a
        // read that joins the end of one frame to the start of the next loses the latter.
        // The load switches on with the peak, so the record's mode must be 1.
        const QByteArray low = "[<V>640</V><I>560</I><R>16</R><S>40</S><M>";
        const QByteArray peak = "[<V>700</V><I>700</I><R>30</R><S>80</S><M>1</M>]\r\n";
        rig.write("frames.txt", (low + "0</M>]\r\n").repeated(40) + peak.repeated(5) +
                                    (low + "1</M>]\r\n").repeated(15));
        QVERIFY2(rig.startSim({"--replay", rig.path("frames.txt"), "--interval-ms", "150"}),
                 qPrintable(rig.error()));
        QVERIFY2(rig.startProgram(), qPrintable(rig.error()));

        const QString log = "logs/" + E2eRig::today() + ".txt";
        QTRY_VERIFY_WITH_TIMEOUT(!rig.read(log).isEmpty(), 25000);
        // 14 V, (700 - 512) / 20 = 9.4 A, 131.6 W, 30 / 4 * 60 = 450 RPM, 80 / 2.5 = 32 km/h,
        // then "<T>hh:mm</T>\r\n".
        QCOMPARE(rig.read(log).chopped(14),
                 QByteArray("<V>14</V><I>9.4</I><W>131.6</W><R>450</R><S>32</S><M>1</M>"));
    }

    // 100 MB of random bytes on the line must neither stop nor freeze the program, and the
    // frames that follow must show.
    void randomBytesThenFrames()
    {
        E2eRig rig;
        // A status line to read while the stream runs.
        QByteArray settings = rig.read("settings.cfg");
        rig.write("settings.cfg", settings.left(settings.indexOf("<WSDivider>")));
        const QByteArray frame = "[<V>777</V><I>612</I><R>20</R><S>50</S><M>1</M>]\r\n";
        rig.write("frames.txt", frame.repeated(20000));
        const qint64 garbage = 100000000;
        QVERIFY2(rig.startSim({"--garbage-bytes", QString::number(garbage), "--fast", "--replay",
                               rig.path("frames.txt"), "--seed", "11"}),
                 qPrintable(rig.error()));
        QVERIFY2(rig.startProgram(), qPrintable(rig.error()));

        // The API answers on the event loop, so a frozen loop shows as no answer.
        const auto frames = [&] {
            const QJsonObject live = rig.live();
            return live.value("volts").toDouble() == 15.54 && live.value("amps").toDouble() == 5;
        };
        while (rig.programRunning() && rig.programBytesRead() < garbage && !frames()) {
            const QString status = rig.status();
            QVERIFY2(status.contains("WSDivider"), qPrintable("while the stream ran: " + status));
        }
        QVERIFY2(QTest::qWaitFor(frames, 30000), qPrintable(rig.said()));
        QVERIFY2(rig.programRunning() && rig.programBytesRead() >= garbage,
                 qPrintable(QString::number(rig.programBytesRead())));
    }

    // Unplugging the device during logging must be said once each way, the device must be
    // picked up again on the same link, and no tick may be missing from the log, not even
    // while unplugged. SIGTERM then ends the service with whole records and none for the
    // unfinished interval; a damaged line of the day's energy is said once and kept, and a
    // restart goes on from the saved watt-hours.
    void unplugReplugStopAndRestart()
    {
        E2eRig rig;
        rig.write("prog.cfg", E2eRig::loggingConfig());
        rig.write("logs/energy.txt", "rubbish\r\n");
        VERIFY_NO_PROBLEM(rig.startLive());
        QVERIFY(QTest::qWaitFor([&] { return rig.logLines().size() >= 1; }, 25000));
        VERIFY_NO_PROBLEM(rig.everyTickLogged());
        QVERIFY2(!rig.said().contains("Cannot"), qPrintable(rig.said()));

        // Half way to the next tick, so that tick falls while the device is away.
        rig.killSim();
        const QString status = rig.waitForStatus({"disconnected"}, 10000);
        QVERIFY2(status.count("disconnected") == 1, qPrintable(status));
        VERIFY_NO_PROBLEM(rig.everyTickLogged());

        QVERIFY(rig.startSim({"--interval-ms", "200", "--seed", "4"}));
        QVERIFY2(rig.waitToSay("port: all well again", 20000), qPrintable(rig.said()));
        VERIFY_NO_PROBLEM(rig.stillLive());
        QVERIFY(QTest::qWaitFor([&] { return rig.logLines().size() >= 4; }, 25000));
        VERIFY_NO_PROBLEM(rig.everyTickLogged());
        const QList<QByteArray> lines = rig.logLines();
        QCOMPARE(rig.stopProgram(), 0);
        QCOMPARE(rig.logLines(), lines);
        const QString said = rig.said();
        // Once when unplugged, then once for each new reason a retry finds; never the same
        // reason again at the next retry.
        QCOMPARE(said.count("COM1: device disconnected. Trying again"), 1);
        QStringList reasons = said.split('\n').filter("Cannot open");
        reasons.replaceInStrings(QRegularExpression("^.*?COM1"), ""); // without the time
        QVERIFY2(reasons.removeDuplicates() == 0, qPrintable(said));
        QCOMPARE(said.count("logs/energy.txt line 1 is not a date and watt-hours"), 1);
        QVERIFY2(rig.energy() > 0, rig.read("logs/energy.txt").constData());
        QVERIFY(rig.read("logs/energy.txt").endsWith("rubbish\r\n"));

        // A long day so far, so that a count started again from 0 cannot pass for it.
        rig.write("logs/energy.txt", QDate::currentDate().toString("yyyy-MM-dd 5000\r\n").toLatin1());
        VERIFY_NO_PROBLEM(rig.startLive());
        QVERIFY(QTest::qWaitFor([&] { return rig.live().value("watt_hours").toDouble() > 5000; },
                                15000));
        QCOMPARE(rig.stopProgram(), 0);
        QVERIFY2(rig.energy() > 5000, qPrintable(QString::number(rig.energy())));
    }
};

QTEST_GUILESS_MAIN(TestEndToEndService)
#include "tst_e2e_service.moc"
