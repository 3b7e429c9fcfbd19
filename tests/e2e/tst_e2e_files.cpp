#include "config/CalibrationSettings.h"
#include "support/E2eRig.h"

#include <QRandomGenerator>

// The real program as a service against faults of its command line, its folder, its
// configuration files and its disk: each is said once while the program keeps converting new
// values, and every logging tick has its whole record once the fault is gone.
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

    void folderFaults_data()
    {
        QTest::addColumn<QByteArray>("program"); // prog.cfg and settings.cfg as written
        QTest::addColumn<QByteArray>("calibration");
        QTest::addColumn<QStringList>("removed"); // then put back
        QTest::addColumn<QString>("disk");        // "read-only" or "full" until repaired
        QTest::addColumn<QStringList>("named");
        const QByteArray options = E2eRig::loggingConfig();
        const QByteArray settings = CalibrationSettings::defaults().fileText();
        const QString day = E2eRig::today();
        QByteArray noise(600, '\0');
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        const auto row = [](const char* name, const QByteArray& program,
                            const QByteArray& calibration, const QStringList& removed,
                            const char* disk, const QStringList& named) {
            QTest::newRow(name) << program << calibration << removed << QString(disk) << named;
        };
        const QString log = "logs/" + day + ".txt", sheet = "Excel/" + day + ".xls";
        const QStringList files{"prog.cfg", "settings.cfg"};
        row("template and spreadsheet folder missing", options, settings,
            {"html/template.asp", "Excel"}, "", {"html/template.asp", sheet});
        row("log folder missing", options, settings, {"logs"}, "", {log});
        row("read-only folder", options, settings, {"settings.cfg"}, "read-only",
            {"settings.cfg", log, "html/log.asp", sheet});
        row("full disk", options, settings, {}, "full", {log});
        row("options cut short, calibration binary",
            options.left(options.indexOf("<DisplayRPM>") + 5), noise, {}, "", files);
        row("options binary, calibration cut short", noise,
            settings.left(settings.indexOf("<AmpDivider>") + 7), {}, "", files);
        row("both empty", "", "", {}, "", files);
    }

    // A missing folder, template or configuration file, a damaged one, a read-only folder or
    // a full disk must neither stop the program nor be said again at every tick; a damaged file
    // is left for the user to repair, a record that fits only in part leaves no half line or
    // empty page, and the records a fault held back arrive once it is repaired.
    void folderFaults()
    {
        QFETCH(QByteArray, program);
        QFETCH(QByteArray, calibration);
        QFETCH(QStringList, removed);
        QFETCH(QString, disk);
        QFETCH(QStringList, named);
        E2eRig rig;
        // Only a mount the machine refuses is a reason to skip; anything else is a failure.
        if (disk == "full" && !rig.moveToSmallDisk(256 * 1024)) {
            QVERIFY2(rig.error().startsWith("mount"), qPrintable(rig.error()));
            QSKIP(qPrintable("cannot mount a small disk: " + rig.error()));
        }
        rig.write("prog.cfg", program);
        rig.write("settings.cfg", calibration);
        // QFile::remove refuses a folder.
        for (const QString& name : removed)
            (void)(QFile::remove(rig.path(name)) || QDir(rig.path(name)).removeRecursively());
        // The day's log ends 30 bytes short of a page (the first volts padded with zeros to
        // make it so): on a full disk the next record fits only in part.
        const QString log = "logs/" + E2eRig::today() + ".txt";
        const QByteArray line = "<V>12.5</V><I>2.5</I><W>31.25</W><R>300</R><S>10</S><M>0</M>"
                                "<T>00:00</T>\r\n";
        QByteArray earlier = line.repeated((4096 - 30) / line.size());
        earlier.insert(3, QByteArray(4096 - 30 - earlier.size(), '0'));
        if (disk == "full") {
            rig.write(log, earlier);
            rig.write("html/log.asp", "earlier page\r\n");
        }
        const int before = int(rig.logLines().size());
        QVERIFY2(rig.startSim() && (disk != "read-only" || rig.makeReadOnly()),
                 qPrintable(rig.error()));
        if (disk == "full")
            rig.write("filler", QByteArray(4 << 20, '\0')); // more than the disk holds
        VERIFY_NO_PROBLEM(rig.startLive());

        // Without its 10 s interval the program logs every 60 s: too slow to wait for here.
        const bool ticking = program.contains("<LogDelay>10</LogDelay>");
        const QString status = rig.waitForStatus(named, E2eRig::IntervalMs + 15000);
        if (ticking)
            QVERIFY(QTest::qWaitFor([&] { return rig.ticksAtLeast() >= 2; }, 30000));
        for (const QString& name : named)
            QVERIFY2(status.count(name) == 1 && rig.said().count(name) == 1,
                     qPrintable(name + " in: " + status + "\nsaid: " + rig.said()));
        VERIFY_NO_PROBLEM(rig.stillLive());
        QCOMPARE(rig.read("prog.cfg"), program);
        QCOMPARE(rig.read("settings.cfg"), removed.contains("settings.cfg") ? "" : calibration);
        if (disk == "full") {
            QVERIFY2(status.contains("No space left"), qPrintable(status));
            QCOMPARE(rig.read(log), earlier);
            QCOMPARE(rig.read("html/log.asp"), QByteArray("earlier page\r\n"));
        }
        if (!ticking)
            return;

        QVERIFY2(disk != "read-only" || rig.makeWritable(), qPrintable(rig.error()));
        QFile::remove(rig.path("filler"));
        for (const QString& name : removed)
            name.contains('.') ? QFile::copy(WENDRO_DIST "/" + name, rig.path(name))
                               : QDir(rig.path(".")).mkdir(name);
        // A tick after the repair writes what was held back, and the status forgets it.
        const auto forgotten = [&](const QString& name) {
            return name.endsWith(".cfg") || !rig.status().contains(name);
        };
        QVERIFY(QTest::qWaitFor([&] { return std::all_of(named.begin(), named.end(), forgotten); },
                                E2eRig::IntervalMs + 5000));
        VERIFY_NO_PROBLEM(rig.stillLive());
        VERIFY_NO_PROBLEM(rig.everyTickLogged(before));
        const int records = int(rig.logLines().size()) - before;
        QCOMPARE(rig.linesIn("html", "history*.txt", "\t\t"), records);
        QCOMPARE(rig.linesIn("Excel", "*.xls", "<tr><td>"), records);
    }
};

QTEST_GUILESS_MAIN(TestEndToEndFiles)
#include "tst_e2e_files.moc"
