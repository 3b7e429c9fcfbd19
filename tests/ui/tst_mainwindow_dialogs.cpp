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
        MainWindow w(rig.services()); // writes the default files
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
        QCOMPARE(w.findChild<QTimer*>("Timer1")->interval(), 60000);
        QVERIFY(w.findChild<QTimer*>("Timer1")->isActive());
    }

    // The dialog listens on its own port while the main one is closed; saved dividers
    // convert the main window's next frame on the port number it had before.
    void calibrationHasThePortAndItsDividersApplyAfter()
    {
        WindowRig rig;
        MainWindow w(rig.services());
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
};

QTEST_MAIN(TestMainWindowDialogs)
#include "tst_mainwindow_dialogs.moc"
