#include "config/CalibrationSettings.h"
#include "support/WindowRig.h"
#include "ui/Calibrate.h"
#include "ui/MainWindow.h"
#include "ui/ProgramSetup.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

const QByteArray frame = "[<V>625</V><I>562</I><R>10</R><S>50</S><M>0</M>]";

// Clicks the main window's button and runs work against the modal dialog it shows.
template <class Dialog, class Work> void withDialog(MainWindow& w, const char* button, Work work)
{
    QTimer::singleShot(0, [work] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        work(dialog);
        dialog->template findChild<QPushButton*>("Command1")->click(); // Save
    });
    w.findChild<QPushButton*>(button)->click();
}

} // namespace

class TestMainWindowDialogs : public QObject
{
    Q_OBJECT

private slots:
    // The port is handed over while setup is open, and a new number is used as soon as it
    // closes; the list follows the new display switches. A new interval goes into the box at
    // once, but a running log timer keeps its own.
    void setupMovesThePortAndReloads()
    {
        WindowRig rig;
        MainWindow& w = rig.mainWindow(); // writes the default files
        MemorySerialLink* link = rig.link();
        w.findChild<QPushButton*>("StartLogging")->click();
        bool portClosedMeanwhile = false;
        withDialog<ProgramSetup>(w, "Setup", [&](ProgramSetup* setup) {
            portClosedMeanwhile = !link->isOpen();
            setup->findChild<QLineEdit*>("PortNumber")->setText("3");
            setup->findChild<QLineEdit*>("LogDelay")->setText("30");
            setup->findChild<QCheckBox*>("DisplayRPM")->setChecked(false);
            setup->findChild<QCheckBox*>("DisplayWS")->setChecked(false);
        });
        QVERIFY(portClosedMeanwhile);
        QVERIFY(link->isOpen());
        QCOMPARE(link->lastPortNumber, 3);
        QCOMPARE(w.findChild<QTreeWidget*>("ListView1")->topLevelItemCount(), 4);
        QCOMPARE(w.findChild<QLineEdit*>("delay")->text(), QString("30"));
        QCOMPARE(rig.station().findChild<QTimer*>("Timer1")->interval(), 60000);
        QVERIFY(rig.station().findChild<QTimer*>("Timer1")->isActive());
    }

    // The dialog listens on its own port while the main one is closed; saved dividers
    // convert the main window's next frame on the port number it had before.
    void calibrationHasThePortAndItsDividersApplyAfter()
    {
        WindowRig rig;
        MainWindow& w = rig.mainWindow();
        MemorySerialLink* mainLink = rig.link(0);
        withDialog<Calibrate>(w, "CalibrateButton", [&](Calibrate* dialog) {
            QVERIFY(!mainLink->isOpen());
            QVERIFY(rig.link(1) && rig.link(1)->isOpen());
            dialog->findChild<QLineEdit*>("BatteryVolts")->setText("25");
        });
        QVERIFY(!rig.link(1)); // the dialog's port went with it
        QVERIFY(mainLink->isOpen());
        QCOMPARE(mainLink->lastPortNumber, 1);
        mainLink->feed(frame);
        QCOMPARE(w.reading().Volts, 25.0);
    }

    // A Port that is not a number once opened port 1, where another device may be: now no
    // port is opened or retried, the status says why, and setup shows and refuses the text.
    void portThatIsNotANumberOpensNothing()
    {
        WindowRig rig;
        ProgramConfig program = ProgramConfig::defaults();
        program.Port = "COM2";
        rig.writeConfig(program);
        MainWindow& w = rig.mainWindow();
        MemorySerialLink* link = rig.link();
        rig.station().findChild<QTimer*>("PortRetry")->setInterval(10);
        QTest::qWait(50);
        QCOMPARE(link->openAttempts, 0);
        QCOMPARE(w.statusText(), QString("prog.cfg: Port \"COM2\" is not a port number: no port "
                                         "opened. Set the port in Program Setup."));
        withDialog<ProgramSetup>(w, "Setup", [&](ProgramSetup* setup) {
            auto* port = setup->findChild<QLineEdit*>("PortNumber");
            QCOMPARE(port->text(), QString("COM2"));
            setup->findChild<QPushButton*>("Command1")->click();
            QCOMPARE(rig.messages.shown, QStringList{ProgramSetup::BadPortMessage});
            QCOMPARE(rig.read("prog.cfg"), program.fileText());
            port->setText("2");
        });
        QCOMPARE(link->lastPortNumber, 2);
        QVERIFY(link->isOpen() && w.statusText().isEmpty());
    }

    // Watt-hours stopped a minute into a dialog that holds the port: its time does not count
    // towards the limit after the last frame, before or after it closes.
    void wattHoursGoOnWhileADialogHoldsThePort()
    {
        WindowRig rig;
        rig.clock.set(QDateTime(QDate(2031, 5, 5), QTime(12, 0)));
        MainWindow& w = rig.mainWindow();
        rig.link()->feed(frame); // 12.5 V x 2.5 A = 31.25 W
        auto* wattHourTimer = rig.station().findChild<QTimer*>("Timer3");
        QVERIFY(wattHourTimer->isActive());
        const auto stepAt = [&](const QTime& time) {
            rig.clock.set(QDateTime(QDate(2031, 5, 5), time));
            QMetaObject::invokeMethod(wattHourTimer, "timeout");
            return w.reading().WattHours * 720 / 31.25; // in steps of 5 s
        };
        rig.clock.set(QDateTime(QDate(2031, 5, 5), QTime(12, 0, 50)));
        withDialog<Calibrate>(w, "CalibrateButton", [&](Calibrate*) {
            QCOMPARE(stepAt(QTime(12, 5)), 1.0);
            rig.clock.set(QDateTime(QDate(2031, 5, 5), QTime(12, 10)));
        });
        QCOMPARE(stepAt(QTime(12, 10, 5)), 2.0);  // 55 s of ours since the frame
        QCOMPARE(stepAt(QTime(12, 10, 15)), 2.0); // 65 s: the logger has gone quiet
    }
};

QTEST_MAIN(TestMainWindowDialogs)
#include "tst_mainwindow_dialogs.moc"
