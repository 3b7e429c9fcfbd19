#include "support/WindowRig.h"
#include "config/CalibrationSettings.h"
#include "config/ProgramConfig.h"
#include "ui/Lamp.h"
#include "ui/MainWindow.h"

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

const QByteArray frame = "[<V>625</V><I>562</I><R>10</R><S>50</S><M>1</M>]\r\n";

QStringList column(const MainWindow& w, int col)
{
    auto* list = w.findChild<QTreeWidget*>("ListView1");
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(col).trimmed();
    return texts;
}

void writeConfigs(WindowRig& rig, const ProgramConfig& program = ProgramConfig::defaults())
{
    rig.write("prog.cfg", program.fileText());
    rig.write("settings.cfg", CalibrationSettings::defaults().fileText());
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    // The waiting caption and "0.0" rows must show until the first frame is converted.
    void framesBecomeRowsCaptionAndModeLabel()
    {
        WindowRig rig;
        writeConfigs(rig);
        MainWindow w(rig.services());
        QCOMPARE(w.windowTitle(), QString("Wendro - Waiting for Signal"));
        QCOMPARE(column(w, 1), QStringList(6, "0.0"));
        QVERIFY(rig.link()->isOpen());
        QCOMPARE(rig.link()->lastPortNumber, 1);

        // A frame split over three events is shown once its closing bracket arrives.
        rig.link()->feed(frame.left(10));
        rig.link()->feed(frame.mid(10, 20));
        QCOMPARE(w.windowTitle(), QString("Wendro - Waiting for Signal"));
        rig.link()->feed(frame.mid(30));
        QCOMPARE(w.windowTitle(), QString("Wendro  12.5V 2.5A"));
        QCOMPARE(column(w, 1), (QStringList{"12.5", "2.5", "31.25", "0", "150", "20"}));
        QCOMPARE(column(w, 2),
                 (QStringList{"Volts", "Amps", "Watts", "WattHours", "RPM", "km/h"}));
        QCOMPARE(w.findChild<QLabel*>("txtMode")->text(), QString("On Load"));

        rig.link()->feed("[<V>650</V><M>0</M>]");
        QCOMPARE(w.findChild<QLabel*>("txtMode")->text(), QString());
        QCOMPARE(w.windowTitle(), QString("Wendro  13V -25.6A"));
    }

    // A frame whose conversion stops must not touch the display.
    void unconvertibleFrameLeavesDisplay()
    {
        WindowRig rig;
        ProgramConfig program = ProgramConfig::defaults();
        rig.write("prog.cfg", program.fileText());
        CalibrationSettings cal = CalibrationSettings::defaults();
        cal.VoltDivider = "0";
        rig.write("settings.cfg", cal.fileText());
        MainWindow w(rig.services());
        rig.link()->feed(frame);
        QCOMPARE(w.windowTitle(), QString("Wendro - Waiting for Signal"));
        QCOMPARE(w.findChild<Lamp*>("BlinkData")->state(), Lamp::State::Red);
    }

    void dataLampGoesRedAndBack()
    {
        WindowRig rig;
        writeConfigs(rig);
        MainWindow w(rig.services());
        auto* lamp = w.findChild<Lamp*>("BlinkData");
        QCOMPARE(lamp->state(), Lamp::State::Normal);
        rig.link()->feed("<V>1</V>"); // no brackets yet: no frame, no flash
        QCOMPARE(lamp->state(), Lamp::State::Normal);
        rig.link()->feed("[]");
        QCOMPARE(lamp->state(), Lamp::State::Red);
        QCOMPARE(lamp->colour(), QColor(255, 0, 0));
        auto* timer2 = w.findChild<QTimer*>("Timer2");
        QVERIFY(timer2->isActive() && timer2->isSingleShot());
        QCOMPARE(timer2->interval(), 250);
        QTRY_COMPARE_WITH_TIMEOUT(lamp->state(), Lamp::State::Normal, 1000);
    }

    void listFollowsConfiguration_data()
    {
        QTest::addColumn<QString>("rpm");
        QTest::addColumn<QString>("ws");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("points");
        QTest::newRow("four rows") << "0" << "0" << 4 << 24;
        QTest::newRow("five rows, wind") << "0" << "1" << 5 << 20;
        QTest::newRow("five rows, RPM") << "1" << "0" << 5 << 20;
        QTest::newRow("six rows") << "1" << "1" << 6 << 18;
    }
    void listFollowsConfiguration()
    {
        QFETCH(QString, rpm);
        QFETCH(QString, ws);
        QFETCH(int, rows);
        QFETCH(int, points);
        WindowRig rig;
        ProgramConfig program = ProgramConfig::defaults();
        program.DisplayRPM = rpm;
        program.DisplayWS = ws;
        program.WSUnits = "mph";
        writeConfigs(rig, program);
        MainWindow w(rig.services());
        auto* list = w.findChild<QTreeWidget*>("ListView1");
        QCOMPARE(list->topLevelItemCount(), rows);
        QCOMPARE(list->font().pointSize(), points);
        QCOMPARE(list->font().family(), QString("Arial"));
        QVERIFY(list->isHeaderHidden());
        if (ws == "1")
            QCOMPARE(column(w, 2).last(), QString("mph"));
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
        QCOMPARE(w.windowTitle(), QString("Wendro  12.5V 2.5A"));
    }

    // A damaged file is named with its keys, defaults are used, and the file is left as is.
    void damagedFileIsReportedNotRewritten()
    {
        WindowRig rig;
        const QByteArray damaged = "Program Config File\r\n<Port>1</Port><LogOn>maybe</LogOn>"
                                   "<DisplayRPM>0</DisplayRPM>";
        rig.write("prog.cfg", damaged);
        rig.write("settings.cfg", "<VoltDivider>50</VoltDivider>");
        MainWindow w(rig.services());
        const QString status = w.statusText();
        QVERIFY2(status.contains("prog.cfg") && status.contains("LogOn") &&
                     status.contains("WSUnits") && status.contains("DisplayWS"),
                 qPrintable(status));
        QVERIFY2(status.contains("settings.cfg") && status.contains("AmpDivider"),
                 qPrintable(status));
        QCOMPARE(rig.read("prog.cfg"), damaged);
        // RPM off as the file says, wind on by default: five rows.
        QCOMPARE(column(w, 2).size(), 5);
        rig.link()->feed(frame);
        QCOMPARE(w.windowTitle(), QString("Wendro  12.5V 2.5A"));
    }

    // A port that will not open is explained and retried by the timer only: no busy loop.
    void portThatCannotOpenIsRetried()
    {
        WindowRig rig;
        writeConfigs(rig);
        rig.refuseOpen = true;
        MainWindow w(rig.services());
        MemorySerialLink* link = rig.link();
        QCOMPARE(link->openAttempts, 1);
        QVERIFY(w.statusText().contains("Cannot open COM1"));
        QVERIFY(w.statusText().contains("Trying again every 5 seconds"));
        auto* retry = w.findChild<QTimer*>("PortRetry");
        QVERIFY(retry->isActive());
        QCOMPARE(retry->interval(), MainWindow::PortRetryMs);

        QTest::qWait(50);
        QCOMPARE(link->openAttempts, 1);

        link->refuseOpen = false;
        retry->setInterval(10);
        QTRY_VERIFY_WITH_TIMEOUT(link->isOpen(), 1000);
        QVERIFY(w.statusText().isEmpty());
        link->feed(frame);
        QCOMPARE(w.windowTitle(), QString("Wendro  12.5V 2.5A"));
    }

    // An unplugged device is reported once; the buffer survives, and a replug resumes.
    void disconnectIsReportedOnceAndRecovers()
    {
        WindowRig rig;
        writeConfigs(rig);
        MainWindow w(rig.services());
        MemorySerialLink* link = rig.link();
        link->feed("[<V>600</V>");
        link->feed("]");
        link->feed("[<V>625</V><I>5"); // half a frame when the cable goes
        link->unplug();
        QCOMPARE(w.statusText(), QString("COM1: device disconnected. Trying again every 5 "
                                         "seconds."));
        QTest::qWait(50);
        QCOMPARE(link->openAttempts, 1);

        w.findChild<QTimer*>("PortRetry")->setInterval(10);
        QTRY_VERIFY_WITH_TIMEOUT(link->isOpen(), 1000);
        QCOMPARE(link->openAttempts, 2);
        QVERIFY(w.statusText().isEmpty());
        link->feed("62</I>]");
        QCOMPARE(w.windowTitle(), QString("Wendro  12.5V 2.5A"));
    }

    // The history window is modal, but frames keep arriving and showing behind it.
    void historyWindowKeepsThePortOpen()
    {
        WindowRig rig;
        writeConfigs(rig);
        MainWindow w(rig.services());
        bool sawGraph = false;
        QTimer::singleShot(0, [&] {
            QWidget* graph = QApplication::activeModalWidget();
            sawGraph = graph && graph->windowTitle() == "Graph";
            rig.link()->feed(frame);
            if (graph)
                graph->close();
        });
        w.findChild<QPushButton*>("ShowLogs")->click();
        QVERIFY(sawGraph);
        QVERIFY(rig.link()->isOpen());
        QCOMPARE(w.windowTitle(), QString("Wendro  12.5V 2.5A"));
    }

    void exitClosesThePort()
    {
        WindowRig rig;
        writeConfigs(rig);
        MainWindow w(rig.services());
        w.show();
        QTest::mouseClick(w.findChild<QPushButton*>("Exit"), Qt::LeftButton);
        QVERIFY(!rig.link()->isOpen());
        QVERIFY(!w.isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
