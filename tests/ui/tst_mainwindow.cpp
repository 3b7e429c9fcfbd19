#include "config/ProgramConfig.h"
#include "support/WindowRig.h"
#include "ui/Lamp.h"
#include "ui/MainWindow.h"

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
        auto* mode = w.findChild<QLabel*>("txtMode");
        rig.link()->feed(frame.left(30));
        QCOMPARE(w.windowTitle(), waiting);
        QCOMPARE(lamp->state(), Lamp::State::Normal);
        rig.link()->feed(frame.mid(30));
        QCOMPARE(w.windowTitle(), live);
        QCOMPARE(column(w, 1), (QStringList{"12.5", "2.5", "31.25", "0", "150", "20"}));
        QCOMPARE(mode->text(), QString("On Load"));
        QCOMPARE(lamp->state(), Lamp::State::Red);
        QTRY_COMPARE_WITH_TIMEOUT(lamp->state(), Lamp::State::Normal, 1000);

        rig.link()->feed("[<V>700</V><I>1e308</I>]"); // volts converted, then amps overflow
        QCOMPARE(w.windowTitle(), live);
        QCOMPARE(lamp->state(), Lamp::State::Red);
        rig.link()->feed("[<V>650</V><M>2</M>]");
        QCOMPARE(mode->text(), QString());
    }

    // Only a flag that reads as the number 1 adds its row and shrinks the font.
    void listFollowsConfiguration_data()
    {
        QTest::addColumn<QString>("rpm");
        QTest::addColumn<QString>("ws");
        QTest::addColumn<QStringList>("extraRows");
        QTest::addColumn<int>("points");
        const auto row = [](const char* rpm, const char* ws, const QStringList& extra, int pt) {
            QTest::newRow(qPrintable(QString("RPM %1, wind %2").arg(rpm, ws)))
                << QString(rpm) << QString(ws) << extra << pt;
        };
        row("2", "0", {}, 24);
        row("0", "1", {"knots"}, 20);
        row("1.0", "1", {"RPM", "knots"}, 18);
    }
    void listFollowsConfiguration()
    {
        QFETCH(QString, rpm);
        QFETCH(QString, ws);
        QFETCH(QStringList, extraRows);
        QFETCH(int, points);
        WindowRig rig;
        auto& w = open(rig, {"1", "0", "0", "60", "0", rpm, ws, "knots"});
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
        QTest::qWait(50);
        QCOMPARE(link->openAttempts, 1);
        link->refuseOpen = false;
        retry->setInterval(10);
        QTRY_VERIFY_WITH_TIMEOUT(link->isOpen(), 1000);
        QVERIFY(w.statusText().isEmpty());

        retry->setInterval(Station::PortRetryMs);
        link->feed("[<V>625</V><I>5");
        link->unplug();
        QCOMPARE(w.statusText(),
                 QString("COM1: device disconnected. Trying again every 5 seconds."));
        QTest::qWait(50);
        QCOMPARE(link->openAttempts, 2);
        retry->setInterval(10);
        QTRY_VERIFY_WITH_TIMEOUT(link->isOpen(), 1000);
        QCOMPARE(link->openAttempts, 3);
        QVERIFY(w.statusText().isEmpty());
        link->feed("62</I>]");
        QCOMPARE(w.windowTitle(), live);
    }

    // The logging row follows the station: Start refuses text that is not a number with the
    // message, shows the clamped delay and swaps the buttons; a record that could not be
    // written keeps the log lamp amber until one is.
    void loggingRowAndLamp()
    {
        WindowRig rig;
        MainWindow& w = open(rig, {"1", "0", "1", "60", "0", "1", "1", "km/h"}); // with Excel
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

        auto* logTimer = rig.station().findChild<QTimer*>("Timer1");
        QVERIFY(QDir(rig.path("Excel")).removeRecursively());
        QMetaObject::invokeMethod(logTimer, "timeout");
        QCOMPARE(lamp->state(), Lamp::State::Error);
        QVERIFY(QDir(rig.path(".")).mkdir("Excel"));
        QMetaObject::invokeMethod(logTimer, "timeout");
        QCOMPARE(lamp->state(), Lamp::State::Red);
        QTRY_COMPARE_WITH_TIMEOUT(lamp->state(), Lamp::State::Normal, 1000);
        stop->click();
        QVERIFY(logging(false));
    }

    // The history window is modal, but frames keep arriving behind it; Exit closes the port.
    void historyWindowKeepsThePortOpenExitClosesIt()
    {
        WindowRig rig;
        auto& w = open(rig);
        w.show();
        QString modal;
        QTimer::singleShot(0, [&] {
            QWidget* graph = QApplication::activeModalWidget();
            modal = graph ? graph->windowTitle() : QString();
            rig.link()->feed(frame);
            if (graph)
                graph->close();
        });
        w.findChild<QPushButton*>("ShowLogs")->click();
        QCOMPARE(modal, QString("Graph"));
        QCOMPARE(w.windowTitle(), live);
        w.findChild<QPushButton*>("Exit")->click();
        QVERIFY(!rig.link()->isOpen() && !w.isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
