#include "support/WindowRig.h"
#include "ui/Calibrate.h"
#include "ui/MainWindow.h"
#include "ui/ProgramSetup.h"

#include <QLineEdit>
#include <QPushButton>
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
    // closes. A new interval goes into the box at once, but a running log timer keeps its own.
    void setupMovesThePortAndReloads()
    {
        WindowRig rig;
        MainWindow& w = rig.mainWindow(); // writes the default files
        MemorySerialLink* link = rig.link();
        w.findChild<QPushButton*>("StartLogging")->click();
        withDialog<ProgramSetup>(w, "Setup", [&](ProgramSetup* setup) {
            QVERIFY(!link->isOpen());
            setup->findChild<QLineEdit*>("PortNumber")->setText("3");
            setup->findChild<QLineEdit*>("LogDelay")->setText("30");
        });
        QVERIFY(link->isOpen());
        QCOMPARE(link->lastPortNumber, 3);
        QCOMPARE(w.findChild<QLineEdit*>("delay")->text(), QString("30"));
        QCOMPARE(rig.station().findChild<QTimer*>("Timer1")->interval(), 60000);
        QVERIFY(rig.station().findChild<QTimer*>("Timer1")->isActive());
    }

    // A Port that is not a number once opened port 1, where another device may be: now no
    // port is opened or retried, the status says why, and setup shows the text to mend.
    void portThatIsNotANumberOpensNothing()
    {
        WindowRig rig;
        rig.writeConfig({"COM2", "0", "0", "60", "0", "1", "1", "km/h"});
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
        const auto at = [&](int m, int s) { rig.clock.set({QDate(2031, 5, 5), QTime(12, m, s)}); };
        at(0, 0);
        MainWindow& w = rig.mainWindow();
        rig.link()->feed(frame); // 12.5 V x 2.5 A = 31.25 W
        const auto stepAt = [&](int m, int s) {
            at(m, s);
            QMetaObject::invokeMethod(rig.station().findChild<QTimer*>("Timer3"), "timeout");
            return w.reading().WattHours * 720 / 31.25; // in steps of 5 s
        };
        at(0, 50);
        withDialog<Calibrate>(w, "CalibrateButton", [&](Calibrate*) {
            QCOMPARE(stepAt(5, 0), 1.0);
            at(10, 0);
        });
        QCOMPARE(stepAt(10, 5), 2.0);  // 55 s of ours since the frame
        QCOMPARE(stepAt(10, 15), 2.0); // 65 s: the logger has gone quiet
    }
};

QTEST_MAIN(TestMainWindowDialogs)
#include "tst_mainwindow_dialogs.moc"
