#include "support/RecordingMessages.h"
#include "support/SettableClock.h"
#include "config/CalibrationSettings.h"
#include "config/ProgramConfig.h"
#include "device/QtSerialLink.h"
#include "ui/Calibrate.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestEndToEndCalibration : public QObject
{
    Q_OBJECT

private slots:
    // With the simulator on a real pseudo-terminal, the dialog must take over the port and
    // show raw values live, and a saved divider must convert the main window's next frames.
    void calibrationIsLiveAndItsSaveApplies()
    {
        QTemporaryDir dir;
        QVERIFY(ProgramConfig::defaults().save(dir.path()).isEmpty());
        QVERIFY(CalibrationSettings::defaults().save(dir.path()).isEmpty());
        QProcess sim;
        sim.start(WENDRO_SIM, {"--dir", dir.path(), "--interval-ms", "100"});
        QVERIFY(sim.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(dir.filePath("COM1")).isSymLink(), 5000);

        SettableClock clock;
        RecordingMessages messages;
        const QString programDir = dir.path();
        AppServices services{
            {programDir, &clock, [programDir] { return std::make_unique<QtSerialLink>(programDir); }},
            &messages};
        Station station(services);
        MainWindow w(station, services);
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
            dialog->findChild<QPushButton*>("Command1")->click();
        });
        w.findChild<QPushButton*>("CalibrateButton")->click();
        QVERIFY2(!liveRaw.isEmpty(), "the dialog showed no raw volts");
        QVERIFY(CalibrationSettings::load(programDir).VoltDivider == "25");
        // 25 counts per volt now: the same bank reads about twice as high.
        QTRY_VERIFY_WITH_TIMEOUT(w.reading().Volts > 20, 5000);
        sim.terminate();
        sim.waitForFinished();
    }
};

QTEST_MAIN(TestEndToEndCalibration)
#include "tst_e2e_calibration.moc"
