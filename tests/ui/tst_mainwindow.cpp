#include "config/ProgramConfig.h"
#include "support/ConfigBuilder.h"
#include "support/WindowRig.h"
#include "ui/Calibrate.h"
#include "ui/Graph.h"
#include "ui/Lamp.h"
#include "ui/MainWindow.h"
#include "ui/ProgramSetup.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

const QByteArray frame = "[<V>625</V><I>562</I><R>10</R><S>50</S><M>1</M>]\r\n";
const QString live = "Wendro  12.5V 2.5A", waiting = "Wendro - Waiting for Signal";

QStringList column(const MainWindow& w, int col)
{
    auto* list = w.findChild<QTreeWidget*>("ListView1");
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(col).trimmed();
    return texts;
}

MainWindow& open(WindowRig& rig, const ProgramConfig& program = ProgramConfig::defaults())
{
    rig.writeConfig(program);
    return rig.mainWindow();
}

// Presses the main window's button, runs work against the modal dialog it shows and leaves
// that by pressing its button captioned leave.
template <class Dialog, class Work>
void withDialog(MainWindow& w, const char* button, const char* leave, Work work)
{
    QTimer::singleShot(0, [work, leave] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        work(dialog);
        WindowRig::press(*dialog, leave);
    });
    WindowRig::press(w, button);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    // Nothing is shown or flashed before the closing bracket, the mode label is for mode 1
    // only, and a frame whose conversion stops leaves the display alone.
    void framesBecomeRowsCaptionModeLabelAndLamp()
    {
        WindowRig rig;
        auto& w = open(rig);
        auto* lamp = w.findChild<Lamp*>("BlinkData");
        rig.link()->feed(frame.left(30));
        QCOMPARE(w.windowTitle(), waiting);
        QCOMPARE(lamp->state(), Lamp::State::Normal);
        rig.link()->feed(frame.mid(30));
        QCOMPARE(w.windowTitle(), live);
        QCOMPARE(column(w, 1), (QStringList{"12.5", "2.5", "31.25", "0", "150", "20"}));
        QCOMPARE(w.findChild<QLabel*>("txtMode")->text(), QString("On Load"));
        QCOMPARE(lamp->state(), Lamp::State::Red);
        QTRY_COMPARE_WITH_TIMEOUT(lamp->state(), Lamp::State::Normal, 1000);

        rig.link()->feed("[<V>700</V><I>1e308</I>]"); // volts converted, then amps overflow
        QCOMPARE(w.windowTitle(), live);
        QCOMPARE(lamp->state(), Lamp::State::Red);
        rig.link()->feed("[<V>650</V><M>2</M>]");
        QCOMPARE(w.findChild<QLabel*>("txtMode")->text(), QString());
    }

    // Only a flag that reads as the number 1 adds its row and shrinks the font.
    void listFollowsConfiguration_data()
    {
        QTest::addColumn<QStringList>("display"); // DisplayRPM, DisplayWS
        QTest::addColumn<QStringList>("extraRows");
        QTest::addColumn<int>("points");
        QTest::newRow("neither") << QStringList{"2", "0"} << QStringList() << 24;
        QTest::newRow("wind") << QStringList{"0", "1"} << QStringList{"knots"} << 20;
        QTest::newRow("both") << QStringList{"1.0", "1"} << QStringList{"RPM", "knots"} << 18;
    }
    void listFollowsConfiguration()
    {
        QFETCH(QStringList, display);
        QFETCH(QStringList, extraRows);
        QFETCH(int, points);
        WindowRig rig;
        auto& w = open(rig, config().rpm(display[0]).wind(display[1]).units("knots"));
        const QStringList labels = QStringList{"Volts", "Amps", "Watts", "WattHours"} + extraRows;
        QCOMPARE(column(w, 2), labels);
        QCOMPARE(column(w, 1), QStringList(labels.size(), "0.0"));
        QCOMPARE(w.findChild<QTreeWidget*>("ListView1")->font().pointSize(), points);
        QVERIFY(w.findChild<QTreeWidget*>("ListView1")->isHeaderHidden());
    }

    // A first start must not stop for want of files: it writes the defaults and says so.
    void firstStartCreatesBothFiles()
    {
        WindowRig rig;
        MainWindow& w = rig.mainWindow();
        // Made by fileText(), pinned by the dialogs' saves; a damaged file would add a status line.
        QVERIFY(QFile::exists(rig.path("prog.cfg")) && QFile::exists(rig.path("settings.cfg")));
        QCOMPARE(w.statusText(), QString("prog.cfg was missing: created it with default "
                                         "settings.\nsettings.cfg was missing: created it with "
                                         "default settings."));
    }

    // Only the timer retries a port, so neither a refused open nor an unplug loops; the unplug
    // is said once, and the half frame in the buffer survives the replug.
    void portTroubleIsRetriedWithoutBusyLoop()
    {
        WindowRig rig;
        rig.refuseOpen = true;
        auto& w = open(rig);
        MemorySerialLink* link = rig.link();
        QCOMPARE(w.statusText(), QString("Cannot open COM1: missing (no such device). Trying "
                                         "again every 5 seconds."));
        auto* retry = rig.station().findChild<QTimer*>("PortRetry");
        // No attempt before the 5 s timer fires; once it does, the port opens and all is well.
        const auto reopens = [&](int attemptsSoFar) {
            QTest::qWait(50);
            QCOMPARE(link->openAttempts, attemptsSoFar);
            link->refuseOpen = false;
            retry->setInterval(10);
            QTRY_VERIFY_WITH_TIMEOUT(link->isOpen(), 1000);
            QVERIFY(w.statusText().isEmpty());
            retry->setInterval(Station::PortRetryMs);
        };
        reopens(1);
        link->feed("[<V>625</V><I>5");
        link->unplug();
        QCOMPARE(w.statusText(),
                 QString("COM1: device disconnected. Trying again every 5 seconds."));
        reopens(2);
        link->feed("62</I>]");
        QCOMPARE(w.windowTitle(), live);
    }

    // The logging row follows the station: Start refuses text that is not a number with the
    // message, shows the clamped delay and swaps the buttons; a record that could not be
    // written keeps the log lamp amber until one is.
    void loggingRowAndLamp()
    {
        WindowRig rig;
        MainWindow& w = open(rig, config().spreadsheet());
        auto* delay = w.findChild<QLineEdit*>("delay");
        auto* start = w.findChild<QPushButton*>("StartLogging");
        auto* stop = w.findChild<QPushButton*>("StopLogging");
        auto* lamp = w.findChild<Lamp*>("BlinkLog");
        const auto logging = [&](bool on) {
            return delay->isEnabled() != on && start->isEnabled() != on && stop->isEnabled() == on;
        };
        delay->setText("abc");
        start->click();
        QCOMPARE(rig.messages.shown,
                 QStringList{"Invalid delay period, needs to be a number between 10 and 600"});
        QVERIFY(logging(false));
        delay->setText("5");
        start->click();
        QCOMPARE(delay->text(), QString("10"));
        QVERIFY(logging(true));

        QVERIFY(QDir(rig.path("Excel")).removeRecursively());
        WindowRig::tick(rig.station(), "logTimer");
        QCOMPARE(lamp->state(), Lamp::State::Error);
        QVERIFY(QDir(rig.path(".")).mkdir("Excel"));
        WindowRig::tick(rig.station(), "logTimer");
        QCOMPARE(lamp->state(), Lamp::State::Red);
        QTRY_COMPARE_WITH_TIMEOUT(lamp->state(), Lamp::State::Normal, 1000);
        stop->click();
        QVERIFY(logging(false));
    }

    // The history window is modal, but frames keep arriving behind it; Exit closes the window
    // (the program then stops the station, the port with it).
    void historyWindowKeepsThePortOpenExitClosesIt()
    {
        WindowRig rig;
        auto& w = open(rig);
        w.show();
        withDialog<Graph>(w, "Show Logs", "Exit", [&](Graph* graph) {
            QCOMPARE(graph->windowTitle(), QString("Graph"));
            rig.link()->feed(frame);
        });
        QCOMPARE(w.windowTitle(), live);
        WindowRig::press(w, "Exit");
        QVERIFY(!w.isVisible());
    }

    // The port is handed over while setup is open, and a new number is used as soon as it
    // closes. A new interval goes into the box at once, but a running log timer keeps its own.
    void setupMovesThePortAndReloads()
    {
        WindowRig rig;
        rig.refuseOpen = true; // retrying when setup opens, which must stop the retries
        MainWindow& w = rig.mainWindow(); // writes the default files
        WindowRig::press(w, "Start");
        withDialog<ProgramSetup>(w, "Program Setup", "Save Setings", [&](ProgramSetup* setup) {
            QVERIFY(!rig.station().findChild<QTimer*>("PortRetry")->isActive());
            rig.link()->refuseOpen = false;
            setup->findChild<QLineEdit*>("PortNumber")->setText("3");
            setup->findChild<QLineEdit*>("LogDelay")->setText("30");
        });
        QVERIFY(rig.link()->isOpen());
        QCOMPARE(rig.link()->lastPortNumber, 3);
        QCOMPARE(w.findChild<QLineEdit*>("delay")->text(), QString("30"));
        QVERIFY(rig.station().isLogging());
        QCOMPARE(rig.station().loggingIntervalMs(), 60000);
    }

    // A Port that is not a number once opened port 1, where another device may be: now no
    // port is opened or retried, the status says why, and setup shows the text to mend.
    void portThatIsNotANumberOpensNothing()
    {
        WindowRig rig;
        auto& w = open(rig, config().port("COM2"));
        rig.station().findChild<QTimer*>("PortRetry")->setInterval(10);
        QTest::qWait(50);
        QCOMPARE(rig.link()->openAttempts, 0);
        QCOMPARE(w.statusText(), QString("prog.cfg: Port \"COM2\" is not a port number: no port "
                                         "opened. Set the port in Program Setup."));
        withDialog<ProgramSetup>(w, "Program Setup", "Save Setings", [&](ProgramSetup* setup) {
            auto* port = setup->findChild<QLineEdit*>("PortNumber");
            QCOMPARE(port->text(), QString("COM2"));
            port->setText("2");
        });
        QVERIFY(rig.link()->isOpen() && rig.link()->lastPortNumber == 2 &&
                w.statusText().isEmpty());
    }

    // Watt-hours stopped a minute into a dialog that holds the port: its time does not count
    // towards the limit after the last frame, before or after it closes. The dialog reads the
    // device meanwhile, and the divider saved there converts the next frame.
    void calibrationHoldsThePortWattHoursGoOnItsSaveApplies()
    {
        WindowRig rig;
        const auto at = [&](int m, int s) { rig.clock.set({QDate(2031, 5, 5), QTime(12, m, s)}); };
        at(0, 0);
        MainWindow& w = rig.mainWindow();
        rig.link()->feed(frame); // 12.5 V x 2.5 A = 31.25 W
        const auto stepAt = [&](int m, int s) {
            at(m, s);
            WindowRig::tick(rig.station(), "wattHourTimer");
            return w.reading().WattHours * 720 / 31.25; // in steps of 5 s
        };
        at(0, 50);
        withDialog<Calibrate>(w, "Calibrate", "Save Calibration", [&](Calibrate* dialog) {
            QCOMPARE(stepAt(5, 0), 1.0);
            at(10, 0);
            rig.link(1)->feed(frame);
            QCOMPARE(WindowRig::texts(*dialog, {"txtBattV"}), QString("625"));
            dialog->findChild<QLineEdit*>("BatteryVolts")->setText("25");
        });
        QCOMPARE(stepAt(10, 5), 2.0);  // 55 s of ours since the frame
        QCOMPARE(stepAt(10, 15), 2.0); // 65 s: the logger has gone quiet
        rig.link()->feed(frame);
        QCOMPARE(w.reading().Volts, 25.0); // 625 counts at 25 a volt
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
