#include "config/CalibrationSettings.h"
#include "device/QtSerialLink.h"
#include "support/E2eRig.h"
#include "support/RecordingMessages.h"
#include "support/SettableClock.h"
#include "support/WindowRig.h"
#include "ui/Calibrate.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// The simulator on a real pseudo-terminal: its frames through to the files and the
// calibration dialog, a flood of garbage, and the device unplugged and back.
class TestEndToEndSerial : public QObject
{
    Q_OBJECT

private slots:
    // With automatic start at 10 s, the first record must hold the peaks of what the device
    // sent, and the web page and spreadsheet must be written beside it.
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

        const QString day = E2eRig::today();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.read("logs/" + day + ".txt").isEmpty(), 25000);
        // 14 V, (700 - 512) / 20 = 9.4 A, 131.6 W, 30 / 4 * 60 = 450 RPM, 80 / 2.5 = 32 km/h,
        // then "<T>hh:mm</T>\r\n".
        QCOMPARE(rig.read("logs/" + day + ".txt").chopped(14),
                 QByteArray("<V>14</V><I>9.4</I><W>131.6</W><R>450</R><S>32</S><M>1</M>"));
        // The page is written just after the log line.
        QTRY_VERIFY_WITH_TIMEOUT(rig.read("html/log.asp").contains("131.6"), 5000);
        const QByteArray html = rig.read("html/log.asp");
        QVERIFY2(!QRegularExpression("<(VV|II|WW|WH|RR|SS|TT|MM)>").match(html).hasMatch() &&
                     html.contains("Load On") && html.endsWith("\r\n"),
                 html.constData());
        QVERIFY(rig.read("Excel/" + day + ".xls")
                    .contains("<b>Time</b></td></tr>\r\n\r\n<tr><td>14</td><td>9.4</td><td>131.6"
                              "</td><td>450</td><td>32</td><td>Load On</td><td>"));
    }

    // The calibration dialog must take over the port and show raw values live, and a saved
    // divider must convert the main window's next frames.
    void calibrationIsLiveAndItsSaveApplies()
    {
        E2eRig rig;
        QVERIFY2(rig.startSim({"--interval-ms", "100"}), qPrintable(rig.error()));
        SettableClock clock;
        RecordingMessages messages;
        const QString dir = rig.path("");
        const AppServices services{
            {dir, &clock, [dir] { return std::make_unique<QtSerialLink>(dir); }}, &messages};
        Station station(services);
        MainWindow w(station, services);
        station.start();
        QTRY_VERIFY_WITH_TIMEOUT(w.reading().Volts > 10, 5000);
        QVERIFY(w.reading().Volts < 16); // 50 counts per volt: a 12 V bank

        QString liveRaw;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<Calibrate*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            auto* raw = dialog->findChild<QLabel*>("txtBattV");
            QTRY_VERIFY_WITH_TIMEOUT(raw->text().toInt() > 500, 5000);
            liveRaw = raw->text();
            dialog->findChild<QLineEdit*>("BatteryVolts")->setText("25");
            WindowRig::press(*dialog, "Save Calibration");
        });
        WindowRig::press(w, "Calibrate");
        QVERIFY2(!liveRaw.isEmpty(), "the dialog showed no raw volts");
        QCOMPARE(CalibrationSettings::load(dir).VoltDivider, QString("25"));
        // 25 counts per volt now: the same bank reads about twice as high.
        QTRY_VERIFY_WITH_TIMEOUT(w.reading().Volts > 20, 5000);
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

QTEST_MAIN(TestEndToEndSerial)
#include "tst_e2e_serial.moc"
