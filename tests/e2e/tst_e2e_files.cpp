#include "config/CalibrationSettings.h"
#include "support/E2eRig.h"


// The real program as a service against faults of its command line, its folder and its
// configuration files: each is said once while the program keeps converting new values, and
// every logging tick has its whole record once the fault is gone. What each fault does to a
// tick is tried quickly, one by one, by the logging tests.
class TestEndToEndFiles : public QObject
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
        row("unknown, headless", {"--headless", "-x"}, 2, "unknown option -x");
        row("dir without folder", {"--dir"}, 2, "--dir needs a value");
        // An interval that is not a number cannot log: said before any record.
        row("interval not a number", {"--headless", "--dir", "DIR"}, 2,
            "prog.cfg: LogDelay \"soon\" is not a number",
            E2eRig::loggingConfig().replace("<LogDelay>10<", "<LogDelay>soon<"));
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
};

QTEST_GUILESS_MAIN(TestEndToEndFiles)
#include "tst_e2e_files.moc"
