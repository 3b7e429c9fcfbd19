#include "support/WindowRig.h"
#include "config/CalibrationSettings.h"
#include "config/ProgramConfig.h"
#include "ui/Calibrate.h"
#include "ui/MainWindow.h"
#include "ui/ProgramSetup.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

const QByteArray frame = "[<V>625</V><I>562</I><R>10</R><S>50</S><M>0</M>]";

// Runs work against the modal dialog as soon as it is shown.
template <class Dialog, class Work> void whenShown(Work work)
{
    QTimer::singleShot(0, [work] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        work(dialog);
    });
}

struct Window
{
    explicit Window(WindowRig& rig)
    {
        rig.write("prog.cfg", ProgramConfig::defaults().fileText());
        rig.write("settings.cfg", CalibrationSettings::defaults().fileText());
        w = std::make_unique<MainWindow>(rig.services());
    }
    QPushButton* button(const char* name) const { return w->findChild<QPushButton*>(name); }
    std::unique_ptr<MainWindow> w;
};

} // namespace

class TestMainWindowDialogs : public QObject
{
    Q_OBJECT

private slots:
    // The port is handed over while setup is open, and a new number is used as soon as it
    // closes; the list follows the new display switches with fresh "0.0" rows.
    void setupMovesThePortAndRebuildsTheList()
    {
        WindowRig rig;
        Window win(rig);
        MemorySerialLink* link = rig.link();
        link->feed(frame);
        bool portClosedMeanwhile = false;
        whenShown<ProgramSetup>([&](ProgramSetup* setup) {
            portClosedMeanwhile = !link->isOpen();
            setup->findChild<QLineEdit*>("PortNumber")->setText("3");
            setup->findChild<QCheckBox*>("DisplayRPM")->setChecked(false);
            setup->findChild<QCheckBox*>("DisplayWS")->setChecked(false);
            setup->findChild<QPushButton*>("Command1")->click();
        });
        win.button("Setup")->click();
        QVERIFY(portClosedMeanwhile);
        QVERIFY(link->isOpen());
        QCOMPARE(link->lastPortNumber, 3);
        auto* list = win.w->findChild<QTreeWidget*>("ListView1");
        QCOMPARE(list->topLevelItemCount(), 4);
        QCOMPARE(list->font().pointSize(), 24);
        QCOMPARE(list->topLevelItem(0)->text(1), QString("0.0"));
    }

    // A new interval is written into the box at once but the running timer keeps its own.
    void setupWhileLoggingLeavesTheRunningInterval()
    {
        WindowRig rig;
        Window win(rig);
        win.button("StartLogging")->click();
        whenShown<ProgramSetup>([](ProgramSetup* setup) {
            setup->findChild<QLineEdit*>("LogDelay")->setText("30");
            setup->findChild<QPushButton*>("Command1")->click();
        });
        win.button("Setup")->click();
        QCOMPARE(win.w->findChild<QLineEdit*>("delay")->text(), QString("30"));
        QCOMPARE(win.w->findChild<QTimer*>("Timer1")->interval(), 60000);
        QVERIFY(win.w->findChild<QTimer*>("Timer1")->isActive());
    }

    // The dialog listens on its own port; saved dividers convert the main window's next frame
    // on the port number it had before.
    void calibrationHasThePortAndItsDividersApplyAfter()
    {
        WindowRig rig;
        Window win(rig);
        MemorySerialLink* mainLink = rig.link(0);
        QString rawShown;
        whenShown<Calibrate>([&](Calibrate* dialog) {
            QVERIFY(!mainLink->isOpen());
            MemorySerialLink* own = rig.link(1);
            QVERIFY(own && own->isOpen());
            own->feed(frame);
            rawShown = dialog->findChild<QLabel*>("txtBattV")->text();
            dialog->findChild<QLineEdit*>("BatteryVolts")->setText("25");
            dialog->findChild<QPushButton*>("Command1")->click();
        });
        win.button("CalibrateButton")->click();
        QCOMPARE(rawShown, QString("625"));
        QVERIFY(!rig.link(1)); // the dialog's port went with it
        QVERIFY(mainLink->isOpen());
        QCOMPARE(mainLink->lastPortNumber, 1);
        mainLink->feed(frame);
        QCOMPARE(win.w->reading().Volts, 25.0);
    }
};

QTEST_MAIN(TestMainWindowDialogs)
#include "tst_mainwindow_dialogs.moc"
