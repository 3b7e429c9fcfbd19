#include "support/WindowRig.h"
#include "config/CalibrationSettings.h"
#include "config/ProgramConfig.h"
#include "ui/Lamp.h"
#include "ui/MainWindow.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

struct Window
{
    explicit Window(WindowRig& rig, const ProgramConfig& program = ProgramConfig::defaults())
    {
        rig.write("prog.cfg", program.fileText());
        rig.write("settings.cfg", CalibrationSettings::defaults().fileText());
        w = std::make_unique<MainWindow>(rig.services());
    }
    QLineEdit* delay() const { return w->findChild<QLineEdit*>("delay"); }
    QPushButton* start() const { return w->findChild<QPushButton*>("StartLogging"); }
    QPushButton* stop() const { return w->findChild<QPushButton*>("StopLogging"); }
    QTimer* timer1() const { return w->findChild<QTimer*>("Timer1"); }
    bool loggingOn() const
    {
        return timer1()->isActive() && !delay()->isEnabled() && !start()->isEnabled() &&
               stop()->isEnabled();
    }
    bool loggingOff() const
    {
        return !timer1()->isActive() && delay()->isEnabled() && start()->isEnabled() &&
               !stop()->isEnabled();
    }
    // Runs one logging tick as the timer would.
    void tick() const { QMetaObject::invokeMethod(timer1(), "timeout"); }

    std::unique_ptr<MainWindow> w;
};

// 12.1 V frames etc. at the default dividers: raw V is volts * 50.
QByteArray frameAt(int rawV, int rawI = 562, int mode = 0)
{
    return "[<V>" + QByteArray::number(rawV) + "</V><I>" + QByteArray::number(rawI) +
           "</I><R>10</R><S>50</S><M>" + QByteArray::number(mode) + "</M>]";
}

} // namespace

class TestMainWindowLogging : public QObject
{
    Q_OBJECT

private slots:
    void startClampsTheInterval_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("ms");
        QTest::newRow("5 becomes 10") << "5" << "10" << 10000;
        QTest::newRow("1000 becomes 600") << "1000" << "600" << 600000;
        QTest::newRow("60 stays") << "60" << "60" << 60000;
        QTest::newRow("fractions count") << "12.5" << "12.5" << 12500;
    }
    void startClampsTheInterval()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, ms);
        WindowRig rig;
        Window win(rig);
        QVERIFY(win.loggingOff());
        win.delay()->setText(typed);
        win.start()->click();
        QVERIFY(win.loggingOn());
        QCOMPARE(win.delay()->text(), shown);
        QCOMPARE(win.timer1()->interval(), ms);
        QVERIFY(rig.messages.shown.isEmpty());
        win.stop()->click();
        QVERIFY(win.loggingOff());
    }

    // Only text that is not a number is refused, with the message and nothing changed.
    void startRefusesTextThatIsNotANumber_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("letters") << "abc";
        QTest::newRow("empty") << "";
    }
    void startRefusesTextThatIsNotANumber()
    {
        QFETCH(QString, typed);
        WindowRig rig;
        Window win(rig);
        win.delay()->setText(typed);
        win.start()->click();
        QCOMPARE(rig.messages.shown,
                 QStringList{"Invalid delay period, needs to be a number between 10 and 600"});
        QVERIFY(win.loggingOff());
        QCOMPARE(win.delay()->text(), typed);
    }

    void automaticStartAtStartUp_data()
    {
        QTest::addColumn<QString>("logDelay");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("ms");
        QTest::newRow("5") << "5" << true << "10" << 10000;
        QTest::newRow("900") << "900" << true << "600" << 600000;
        QTest::newRow("30.5") << "30.5" << true << "30.5" << 30500;
        QTest::newRow("letters: off, no message") << "soon" << false << "soon" << 0;
    }
    void automaticStartAtStartUp()
    {
        QFETCH(QString, logDelay);
        QFETCH(bool, on);
        QFETCH(QString, shown);
        QFETCH(int, ms);
        WindowRig rig;
        ProgramConfig program = ProgramConfig::defaults();
        program.LogOn = "1";
        program.LogDelay = logDelay;
        Window win(rig, program);
        QCOMPARE(win.loggingOn(), on);
        QCOMPARE(win.delay()->text(), shown);
        if (on)
            QCOMPARE(win.timer1()->interval(), ms);
        QVERIFY(rig.messages.shown.isEmpty());
    }

    // Each record holds the peaks of its own interval, in the file of the tick's day.
    void ticksWritePeaksPerIntervalAndDay()
    {
        WindowRig rig;
        Window win(rig);
        rig.clock.set(QDateTime(QDate(2010, 3, 7), QTime(23, 58, 30)));
        rig.link()->feed(frameAt(700)); // before Start: must not count
        win.start()->click();
        for (int rawV : {605, 630, 615}) // 12.1, 12.6, 12.3 V
            rig.link()->feed(frameAt(rawV, 562, 1));
        rig.clock.set(QDateTime(QDate(2010, 3, 7), QTime(23, 59, 30)));
        win.tick();
        rig.clock.set(QDateTime(QDate(2010, 3, 8), QTime(0, 0, 30)));
        win.tick(); // no frames in this interval: zeros and the last mode
        QCOMPARE(rig.read("logs/2010_3_7.txt"),
                 QByteArray("<V>12.6</V><I>2.5</I><W>31.5</W><R>150</R><S>20</S><M>1</M>"
                            "<T>23:59</T>\r\n"));
        QCOMPARE(rig.read("logs/2010_3_8.txt"),
                 QByteArray("<V>0</V><I>0</I><W>0</W><R>0</R><S>0</S><M>1</M><T>00:00</T>\r\n"));
        QCOMPARE(win.w->findChild<Lamp*>("BlinkLog")->state(), Lamp::State::Red);
    }

    // Peaks gathered before Stop belong to no record once logging starts again.
    void stopThenStartDiscardsOldPeaks()
    {
        WindowRig rig;
        Window win(rig);
        win.start()->click();
        rig.link()->feed(frameAt(700));
        win.stop()->click();
        win.start()->click();
        rig.link()->feed(frameAt(605));
        win.tick();
        QVERIFY(rig.read("logs/2010_3_7.txt").startsWith("<V>12.1</V>"));
    }

    // A missing folder costs only that output: the record is still written, one status line
    // names the folder, the lamp turns amber, and the next good tick clears both.
    void missingFolderIsReportedAndOthersStillWritten()
    {
        WindowRig rig;
        ProgramConfig program = ProgramConfig::defaults();
        program.Savehtml = "1";
        program.SaveExcel = "1";
        Window win(rig, program);
        QDir(rig.path("html")).removeRecursively();
        win.start()->click();
        rig.link()->feed(frameAt(625));
        win.tick();
        QVERIFY(rig.read("logs/2010_3_7.txt").startsWith("<V>12.5</V>"));
        QVERIFY(QFile::exists(rig.path("Excel/2010_3_7.xls")));
        QVERIFY2(win.w->statusText().contains("html"), qPrintable(win.w->statusText()));
        auto* lamp = win.w->findChild<Lamp*>("BlinkLog");
        QCOMPARE(lamp->state(), Lamp::State::Error);
        QVERIFY(rig.messages.shown.isEmpty());

        QDir(rig.path(".")).mkdir("html");
        rig.write("html/template.asp", "<VV>");
        win.tick();
        QVERIFY(win.w->statusText().isEmpty());
        QCOMPARE(lamp->state(), Lamp::State::Red);
    }
};

QTEST_MAIN(TestMainWindowLogging)
#include "tst_mainwindow_logging.moc"
