#include "FaultChecks.h"
#include "config/CalibrationSettings.h"

#include <QRandomGenerator>

using namespace FaultChecks;

class TestEndToEndInstallFaults : public QObject
{
    Q_OBJECT

private slots:
    void missingTemplateAndFolders_data()
    {
        QTest::addColumn<QStringList>("removed");
        QTest::addColumn<QStringList>("named");
        QTest::newRow("template and spreadsheet folder")
            << QStringList{"html/template.asp", "Excel"}
            << QStringList{"html/template.asp", "Excel/" + today() + ".xls"};
        QTest::newRow("log folder")
            << QStringList{"logs"} << QStringList{"logs/" + today() + ".txt"};
    }

    // A missing folder or template is named once while everything else is still written,
    // and the records it held back arrive when the installation is repaired.
    void missingTemplateAndFolders()
    {
        QFETCH(QStringList, removed);
        QFETCH(QStringList, named);
        E2eRig rig;
        rig.write("prog.cfg", loggingConfig());
        for (const QString& name : removed) {
            QFileInfo(rig.path(name)).isDir() ? QDir(rig.path(name)).removeRecursively()
                                              : QFile::remove(rig.path(name));
        }
        VERIFY_NO_PROBLEM(startSimulator(rig));
        VERIFY_NO_PROBLEM(startProgram(rig));

        QVERIFY(QTest::qWaitFor([&] { return historyLines(rig) >= 1; }, IntervalMs + 15000));
        const QString status = rig.statusText();
        for (const QString& name : named)
            QVERIFY2(status.count(name) == 1, qPrintable(name + " in: " + status));
        VERIFY_NO_PROBLEM(stillLive(rig));

        for (const QString& name : removed) {
            if (name.contains('.'))
                QFile::copy(QStringLiteral(WENDRO_DIST) + "/" + name, rig.path(name));
            else
                QDir(rig.path(".")).mkdir(name);
        }
        QVERIFY(QTest::qWaitFor([&] { return rig.statusText().isEmpty(); }, IntervalMs + 5000));
        VERIFY_NO_PROBLEM(everyTickLogged(rig));
        const int records = int(rig.logLines().size());
        QCOMPARE(historyLines(rig), records);
        QCOMPARE(sheetRows(rig), records);
        QVERIFY(QFileInfo::exists(rig.path("html/log.asp")));
    }

    void damagedConfiguration_data()
    {
        QTest::addColumn<QByteArray>("program");
        QTest::addColumn<QByteArray>("calibration");
        QTest::addColumn<QStringList>("named");
        const QByteArray options = loggingConfig();
        const QByteArray plain = ProgramConfig::defaults().fileText();
        const QByteArray settings = CalibrationSettings::defaults().fileText();
        QByteArray noise(600, '\0');
        QRandomGenerator random(7);
        for (char& c : noise)
            c = char(random.bounded(256));

        QTest::newRow("options cut short") << options.left(options.indexOf("<DisplayRPM>") + 5)
                                           << settings << QStringList{"prog.cfg"};
        QTest::newRow("calibration cut short")
            << plain << settings.left(settings.indexOf("<AmpDivider>") + 7)
            << QStringList{"settings.cfg"};
        QTest::newRow("options binary") << noise << settings << QStringList{"prog.cfg"};
        QTest::newRow("calibration binary") << plain << noise << QStringList{"settings.cfg"};
        QTest::newRow("both empty")
            << QByteArray() << QByteArray() << QStringList{"prog.cfg", "settings.cfg"};
    }

    // A damaged configuration file must not stop the program, must be named once, and must
    // be left as it is for the user to repair; logging it still asks for goes on.
    void damagedConfiguration()
    {
        QFETCH(QByteArray, program);
        QFETCH(QByteArray, calibration);
        QFETCH(QStringList, named);
        E2eRig rig;
        rig.write("prog.cfg", program);
        rig.write("settings.cfg", calibration);
        VERIFY_NO_PROBLEM(startSimulator(rig));
        VERIFY_NO_PROBLEM(startProgram(rig));

        const QString status = rig.statusText();
        for (const QString& name : named)
            QVERIFY2(status.count(name) == 1, qPrintable(name + " in: " + status));
        VERIFY_NO_PROBLEM(stillLive(rig));
        QCOMPARE(readFile(rig.path("prog.cfg")), program);
        QCOMPARE(readFile(rig.path("settings.cfg")), calibration);
        if (program.contains("<LogOn>1</LogOn>")) {
            QVERIFY(QTest::qWaitFor([&] { return !rig.logLines().isEmpty(); }, IntervalMs + 15000));
            VERIFY_NO_PROBLEM(everyTickLogged(rig));
        }
    }
};

QTEST_GUILESS_MAIN(TestEndToEndInstallFaults)
#include "tst_e2e_install_faults.moc"
