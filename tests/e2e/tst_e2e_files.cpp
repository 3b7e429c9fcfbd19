#include "config/CalibrationSettings.h"
#include "support/E2eRig.h"

#include <QRandomGenerator>

// The real program against faults of its folder, its configuration files and its disk: each is
// said once in the status line while the program keeps showing new values, and every logging
// tick has its whole record once the fault is gone.
class TestEndToEndFiles : public QObject
{
    Q_OBJECT

private slots:
    void folderFaults_data()
    {
        QTest::addColumn<QByteArray>("program"); // prog.cfg and settings.cfg as written
        QTest::addColumn<QByteArray>("calibration");
        QTest::addColumn<QStringList>("removed"); // then put back
        QTest::addColumn<bool>("readOnly");       // until repaired
        QTest::addColumn<QStringList>("named");
        const QByteArray options = E2eRig::loggingConfig();
        const QByteArray settings = CalibrationSettings::defaults().fileText();
        const QString day = E2eRig::today();
        QByteArray noise(600, '\0');
        QRandomGenerator random(7);
        for (char& c : noise)
            c = char(random.bounded(256));
        QTest::newRow("template and spreadsheet folder missing")
            << options << settings << QStringList{"html/template.asp", "Excel"} << false
            << QStringList{"html/template.asp", "Excel/" + day + ".xls"};
        QTest::newRow("log folder missing") << options << settings << QStringList{"logs"} << false
                                            << QStringList{"logs/" + day + ".txt"};
        QTest::newRow("read-only folder")
            << options << settings << QStringList{"settings.cfg"} << true
            << QStringList{"settings.cfg", "logs/" + day + ".txt", "html/log.asp",
                           "Excel/" + day + ".xls"};
        QTest::newRow("options cut short, calibration binary")
            << options.left(options.indexOf("<DisplayRPM>") + 5) << noise << QStringList{} << false
            << QStringList{"prog.cfg", "settings.cfg"};
        QTest::newRow("options binary, calibration cut short")
            << noise << settings.left(settings.indexOf("<AmpDivider>") + 7) << QStringList{}
            << false << QStringList{"prog.cfg", "settings.cfg"};
        QTest::newRow("both empty") << QByteArray("") << QByteArray("") << QStringList{} << false
                                    << QStringList{"prog.cfg", "settings.cfg"};
    }

    // A missing folder, template or configuration file, a damaged one, or a read-only folder
    // must neither stop the program nor be said again at every tick; a damaged file is left
    // for the user to repair, and the records a fault held back arrive once it is repaired.
    void folderFaults()
    {
        QFETCH(QByteArray, program);
        QFETCH(QByteArray, calibration);
        QFETCH(QStringList, removed);
        QFETCH(bool, readOnly);
        QFETCH(QStringList, named);
        E2eRig rig;
        rig.write("prog.cfg", program);
        rig.write("settings.cfg", calibration);
        for (const QString& name : removed) {
            QFileInfo(rig.path(name)).isDir() ? QDir(rig.path(name)).removeRecursively()
                                              : QFile::remove(rig.path(name));
        }
        QVERIFY2(rig.startSim() && (!readOnly || rig.makeReadOnly()), qPrintable(rig.error()));
        VERIFY_NO_PROBLEM(rig.startLive());

        const bool logging = program.contains("<LogOn>1</LogOn>");
        QString status = rig.waitForStatus(named, E2eRig::IntervalMs + 15000);
        for (const QString& name : named)
            QVERIFY2(status.count(name) == 1, qPrintable(name + " in: " + status));
        if (logging) {
            QVERIFY(QTest::qWaitFor([&] { return rig.ticksAtLeast() >= 2; }, 30000));
            QCOMPARE(rig.statusText(), status);
        }
        VERIFY_NO_PROBLEM(rig.stillLive());
        QCOMPARE(rig.read("prog.cfg"), program);
        QCOMPARE(rig.read("settings.cfg"), removed.contains("settings.cfg") ? "" : calibration);
        if (!logging)
            return;

        QVERIFY2(!readOnly || rig.makeWritable(), qPrintable(rig.error()));
        for (const QString& name : removed) {
            name.contains('.') ? QFile::copy(WENDRO_DIST "/" + name, rig.path(name))
                               : QDir(rig.path(".")).mkdir(name);
        }
        // A tick after the repair writes what was held back, and the status line forgets it.
        QVERIFY(QTest::qWaitFor(
            [&] {
                status = rig.statusText();
                return std::none_of(named.begin(), named.end(), [&](const QString& name) {
                    return !name.endsWith(".cfg") && status.contains(name);
                });
            },
            E2eRig::IntervalMs + 5000));
        VERIFY_NO_PROBLEM(rig.everyTickLogged());
        const int records = int(rig.logLines().size());
        QCOMPARE(rig.historyLines(), records);
        QCOMPARE(rig.sheetRows(), records);
    }

    // On a full disk a record that only fits in part must not leave half a line or an empty
    // page behind, and once there is room again every tick must be in the log.
    void fullDisk()
    {
        E2eRig rig;
        if (!rig.moveToSmallDisk(256 * 1024)) {
            // Only a mount the machine refuses is a reason to skip; anything else is a failure.
            if (rig.error().startsWith("mount"))
                QSKIP(qPrintable("cannot mount a small disk: " + rig.error()));
            QFAIL(qPrintable(rig.error()));
        }
        rig.write("prog.cfg", E2eRig::loggingConfig());
        // The day's log ends 30 bytes short of a page (the first volts padded with zeros to
        // make it so): the next record fits only in part.
        const QByteArray line = "<V>12.5</V><I>2.5</I><W>31.25</W><R>300</R><S>10</S><M>0</M>"
                                "<T>00:00</T>\r\n";
        QByteArray earlier = line.repeated((4096 - 30) / line.size());
        earlier.insert(3, QByteArray(4096 - 30 - earlier.size(), '0'));
        const QString log = "logs/" + E2eRig::today() + ".txt";
        rig.write(log, earlier);
        rig.write("html/log.asp", "earlier page\r\n");
        QVERIFY2(rig.startSim(), qPrintable(rig.error()));
        const QString filler = rig.fillDisk();
        VERIFY_NO_PROBLEM(rig.startLive());

        const QString status = rig.waitForStatus({"No space left"}, E2eRig::IntervalMs + 15000);
        QVERIFY2(status.count(log) == 1, qPrintable(status));
        QCOMPARE(rig.read(log), earlier);
        QCOMPARE(rig.read("html/log.asp"), QByteArray("earlier page\r\n"));
        VERIFY_NO_PROBLEM(rig.stillLive());

        QVERIFY(QFile::remove(rig.path(filler)));
        const int before = int(earlier.count('\n'));
        QVERIFY(QTest::qWaitFor([&] { return rig.logLines().size() > before; }, 15000));
        VERIFY_NO_PROBLEM(rig.everyTickLogged(before));
        QVERIFY(!rig.read("html/log.asp").contains("earlier"));
        QVERIFY(!rig.statusText().contains("No space left"));
    }
};

QTEST_GUILESS_MAIN(TestEndToEndFiles)
#include "tst_e2e_files.moc"
