#include "config/CalibrationSettings.h"
#include "config/ProgramConfig.h"
#include "support/WindowRig.h"
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
    // Logging on: the timer runs, the box and Start are disabled and Stop enabled.
    bool logging(bool on) const
    {
        return timer1()->isActive() == on && delay()->isEnabled() != on &&
               start()->isEnabled() != on && stop()->isEnabled() == on;
    }
    // Runs one logging tick as the timer would.
    void tick() const { QMetaObject::invokeMethod(timer1(), "timeout"); }

    std::unique_ptr<MainWindow> w;
};

// At the default dividers raw V is volts * 50 and raw I 562 is 2.5 A.
QByteArray frameAt(int rawV, int mode = 0)
{
    return "[<V>" + QByteArray::number(rawV) + "</V><I>562</I><R>10</R><S>50</S><M>" +
           QByteArray::number(mode) + "</M>]";
}

} // namespace

class TestMainWindowLogging : public QObject
{
    Q_OBJECT

private slots:
    // Clamped in the wrong order, timed from the typed value instead of the clamped one,
    // fractions truncated, text that is not a number accepted, or a message box at start-up.
    void interval_data()
    {
        QTest::addColumn<bool>("atStartUp"); // from LogOn and LogDelay, else typed and Start
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("ms"); // 0: logging stays off
        QTest::addColumn<QString>("shown");
        QTest::newRow("5 becomes 10") << false << "5" << 10000 << "10";
        QTest::newRow("1000 becomes 600") << false << "1000" << 600000 << "600";
        QTest::newRow("12.5 gives 12,500 ms") << false << "12.5" << 12500 << "12.5";
        QTest::newRow("abc refused") << false << "abc" << 0 << "abc";
        QTest::newRow("empty refused") << false << "" << 0 << "";
        QTest::newRow("LogOn 900") << true << "900" << 600000 << "600";
        QTest::newRow("LogOn letters: off, no message") << true << "soon" << 0 << "soon";
    }
    void interval()
    {
        QFETCH(bool, atStartUp);
        QFETCH(QString, typed);
        QFETCH(int, ms);
        QFETCH(QString, shown);
        WindowRig rig;
        ProgramConfig program = ProgramConfig::defaults();
        program.LogOn = atStartUp ? "1" : "0";
        program.LogDelay = atStartUp ? typed : "60";
        Window win(rig, program);
        if (!atStartUp) {
            win.delay()->setText(typed);
            win.start()->click();
        }
        QVERIFY(win.logging(ms > 0));
        QCOMPARE(win.delay()->text(), shown);
        const QString refused = "Invalid delay period, needs to be a number between 10 and 600";
        QCOMPARE(rig.messages.shown, !atStartUp && !ms ? QStringList{refused} : QStringList());
        if (ms)
            QCOMPARE(win.timer1()->interval(), ms);
        win.stop()->click();
        QVERIFY(win.logging(false));
    }

    // Each record holds its own interval's peaks (zeros and the last mode if none) in its
    // day's file; a missing folder is named, the lamp amber, until a good tick clears both.
    void ticksWritePeaksPerIntervalAndDay()
    {
        WindowRig rig;
        ProgramConfig program = ProgramConfig::defaults();
        program.SaveExcel = "1";
        Window win(rig, program);
        QVERIFY(QDir(rig.path("Excel")).removeRecursively());
        rig.clock.set(QDateTime(QDate(2010, 3, 7), QTime(23, 58, 30)));
        rig.link()->feed(frameAt(700));
        win.start()->click();
        rig.link()->feed(frameAt(710));
        win.stop()->click();
        win.start()->click();
        for (int rawV : {605, 630, 615}) // 12.1, 12.6, 12.3 V
            rig.link()->feed(frameAt(rawV, 1));
        rig.clock.set(QDateTime(QDate(2010, 3, 7), QTime(23, 59, 30)));
        win.tick();
        const auto* lamp = win.w->findChild<Lamp*>("BlinkLog");
        QCOMPARE(lamp->state(), Lamp::State::Error);
        QVERIFY2(win.w->statusText().contains("Excel"), qPrintable(win.w->statusText()));

        QVERIFY(QDir(rig.path(".")).mkdir("Excel"));
        rig.clock.set(QDateTime(QDate(2010, 3, 8), QTime(0, 0, 30)));
        win.tick();
        QCOMPARE(rig.read("logs/2010_3_7.txt"),
                 QByteArray("<V>12.6</V><I>2.5</I><W>31.5</W><R>150</R><S>20</S><M>1</M>"
                            "<T>23:59</T>\r\n"));
        QCOMPARE(rig.read("logs/2010_3_8.txt"),
                 QByteArray("<V>0</V><I>0</I><W>0</W><R>0</R><S>0</S><M>1</M><T>00:00</T>\r\n"));
        QCOMPARE(win.w->statusText(), QString());
        QCOMPARE(lamp->state(), Lamp::State::Red);
        QVERIFY(rig.messages.shown.isEmpty());
    }
};

QTEST_MAIN(TestMainWindowLogging)
#include "tst_mainwindow_logging.moc"
