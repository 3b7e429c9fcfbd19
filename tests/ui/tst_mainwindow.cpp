#include "config/CalibrationSettings.h"
#include "config/ProgramConfig.h"
#include "support/WindowRig.h"
#include "ui/Lamp.h"
#include "ui/MainWindow.h"

#include <QLabel>
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

std::unique_ptr<MainWindow> open(WindowRig& rig,
                                 const ProgramConfig& program = ProgramConfig::defaults(),
                                 const CalibrationSettings& cal = CalibrationSettings::defaults())
{
    rig.write("prog.cfg", program.fileText());
    rig.write("settings.cfg", cal.fileText());
    return std::make_unique<MainWindow>(rig.services());
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    // A frame shown (or the data lamp flashed) before its closing bracket, rows in the wrong
    // order, a mode label for any mode but 1, a lamp that stays red, or a frame whose
    // conversion stops touching the display.
    void framesBecomeRowsCaptionModeLabelAndLamp()
    {
        WindowRig rig;
        auto w = open(rig);
        auto* lamp = w->findChild<Lamp*>("BlinkData");
        auto* mode = w->findChild<QLabel*>("txtMode");
        QCOMPARE(w->windowTitle(), waiting);
        QCOMPARE(rig.link()->lastPortNumber, 1);
        rig.link()->feed(frame.left(10));
        rig.link()->feed(frame.mid(10, 20));
        QCOMPARE(w->windowTitle(), waiting);
        QCOMPARE(lamp->state(), Lamp::State::Normal);
        rig.link()->feed(frame.mid(30));
        QCOMPARE(w->windowTitle(), live);
        QCOMPARE(column(*w, 1), (QStringList{"12.5", "2.5", "31.25", "0", "150", "20"}));
        QCOMPARE(column(*w, 2),
                 (QStringList{"Volts", "Amps", "Watts", "WattHours", "RPM", "km/h"}));
        QCOMPARE(mode->text(), QString("On Load"));
        QCOMPARE(lamp->colour(), QColor(255, 0, 0));
        auto* timer2 = w->findChild<QTimer*>("Timer2");
        QVERIFY(timer2->isActive() && timer2->isSingleShot());
        QCOMPARE(timer2->interval(), 250);
        QTRY_COMPARE_WITH_TIMEOUT(lamp->state(), Lamp::State::Normal, 1000);

        rig.link()->feed("[<V>650</V><M>2</M>]");
        QCOMPARE(mode->text(), QString());
        QCOMPARE(w->windowTitle(), QString("Wendro  13V -25.6A"));
        rig.link()->feed("[<V>700</V><I>1e308</I>]"); // volts converted, then amps overflow
        QCOMPARE(w->windowTitle(), QString("Wendro  13V -25.6A"));
        QCOMPARE(lamp->state(), Lamp::State::Red);
    }

    // Rows, units, "0.0" values before any frame and the font size follow the flags; only a
    // flag that reads as the number 1 is on.
    void listFollowsConfiguration_data()
    {
        QTest::addColumn<QString>("rpm");
        QTest::addColumn<QString>("ws");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<int>("points");
        const QStringList four{"Volts", "Amps", "Watts", "WattHours"};
        const auto row = [](const char* name, const char* rpm, const char* ws,
                            const QStringList& labels, int points) {
            QTest::newRow(name) << QString(rpm) << QString(ws) << labels << points;
        };
        row("four rows", "0", "0", four, 24);
        row("five rows, RPM", "1", "0", four + QStringList{"RPM"}, 20);
        row("five rows, wind", "0", "1", four + QStringList{"knots"}, 20);
        row("six rows, 1.0 is on", "1.0", "1", four + QStringList{"RPM", "knots"}, 18);
        row("2 is not on", "2", "0", four, 24);
    }
    void listFollowsConfiguration()
    {
        QFETCH(QString, rpm);
        QFETCH(QString, ws);
        QFETCH(QStringList, labels);
        QFETCH(int, points);
        WindowRig rig;
        ProgramConfig program = ProgramConfig::defaults();
        program.DisplayRPM = rpm;
        program.DisplayWS = ws;
        program.WSUnits = "knots";
        auto w = open(rig, program);
        QCOMPARE(column(*w, 2), labels);
        QCOMPARE(column(*w, 1), QStringList(labels.size(), "0.0"));
        auto* list = w->findChild<QTreeWidget*>("ListView1");
        QCOMPARE(list->font().pointSize(), points);
        QCOMPARE(list->font().family(), QString("Arial"));
        QVERIFY(list->isHeaderHidden());
    }

    // A first start must not stop for want of files: it writes the defaults and says so.
    void firstStartCreatesBothFiles()
    {
        WindowRig rig;
        MainWindow w(rig.services());
        QCOMPARE(rig.read("prog.cfg"), ProgramConfig::defaults().fileText());
        QCOMPARE(rig.read("settings.cfg"), CalibrationSettings::defaults().fileText());
        QVERIFY(w.statusText().contains("prog.cfg was missing"));
        QVERIFY(w.statusText().contains("settings.cfg was missing"));
        rig.link()->feed(frame);
        QCOMPARE(w.windowTitle(), live);
    }

    // A damaged file is named with its keys, defaults are used, and the file is left as is.
    void damagedFileIsReportedNotRewritten()
    {
        WindowRig rig;
        const QByteArray damaged = "<Port>1</Port><LogOn>maybe</LogOn><DisplayRPM>0</DisplayRPM>";
        rig.write("prog.cfg", damaged);
        rig.write("settings.cfg", "<VoltDivider>50</VoltDivider>");
        MainWindow w(rig.services());
        const QString status = w.statusText();
        for (const char* named :
             {"prog.cfg", "LogOn", "WSUnits", "DisplayWS", "settings.cfg", "AmpDivider"})
            QVERIFY2(status.contains(named), qPrintable(status));
        QCOMPARE(rig.read("prog.cfg"), damaged);
        QCOMPARE(column(w, 2).size(), 5); // RPM off as the file says, wind on by default
        rig.link()->feed(frame);
        QCOMPARE(w.windowTitle(), live);
    }

    // A port that will not open is explained and retried by the timer only, and an unplugged
    // device is reported once: neither may loop reopening. The half frame in the buffer
    // survives the replug.
    void portTroubleIsRetriedWithoutBusyLoop()
    {
        WindowRig rig;
        rig.refuseOpen = true;
        auto w = open(rig);
        MemorySerialLink* link = rig.link();
        QVERIFY(w->statusText().contains("Cannot open COM1"));
        QVERIFY(w->statusText().contains("Trying again every 5 seconds"));
        auto* retry = w->findChild<QTimer*>("PortRetry");
        QTest::qWait(50);
        QCOMPARE(link->openAttempts, 1);
        link->refuseOpen = false;
        retry->setInterval(10);
        QTRY_VERIFY_WITH_TIMEOUT(link->isOpen(), 1000);
        QVERIFY(w->statusText().isEmpty());

        retry->setInterval(MainWindow::PortRetryMs);
        link->feed("[<V>625</V><I>5");
        link->unplug();
        QCOMPARE(w->statusText(),
                 QString("COM1: device disconnected. Trying again every 5 seconds."));
        QTest::qWait(50);
        QCOMPARE(link->openAttempts, 2);
        retry->setInterval(10);
        QTRY_VERIFY_WITH_TIMEOUT(link->isOpen(), 1000);
        QCOMPARE(link->openAttempts, 3);
        QVERIFY(w->statusText().isEmpty());
        link->feed("62</I>]");
        QCOMPARE(w->windowTitle(), live);
    }

    // The history window is modal, but frames keep arriving behind it; Exit closes the port.
    void historyWindowKeepsThePortOpenExitClosesIt()
    {
        WindowRig rig;
        auto w = open(rig);
        w->show();
        QString modal;
        QTimer::singleShot(0, [&] {
            QWidget* graph = QApplication::activeModalWidget();
            modal = graph ? graph->windowTitle() : QString();
            rig.link()->feed(frame);
            if (graph)
                graph->close();
        });
        w->findChild<QPushButton*>("ShowLogs")->click();
        QCOMPARE(modal, QString("Graph"));
        QCOMPARE(w->windowTitle(), live);
        QVERIFY(rig.link()->isOpen());
        w->findChild<QPushButton*>("Exit")->click();
        QVERIFY(!rig.link()->isOpen() && !w->isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
