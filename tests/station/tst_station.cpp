#include "common/DayStamp.h"
#include "support/WindowRig.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// At the default dividers raw V is volts * 50 and raw I 562 is 2.5 A.
QByteArray frameAt(int rawV, int mode = 0)
{
    return "[<V>" + QByteArray::number(rawV) + "</V><I>562</I><R>10</R><S>50</S><M>" +
           QByteArray::number(mode) + "</M>]";
}

QDateTime at(int day, int h, int m, int s = 0)
{
    return QDateTime(QDate(2031, 5, day), QTime(h, m, s));
}

Station& startStation(WindowRig& rig, const ProgramConfig& program = ProgramConfig::defaults())
{
    rig.writeConfig(program);
    rig.station().start();
    return rig.station();
}

// Runs a timer's handler as its timeout would.
void fire(Station& station, const char* timer)
{
    QTimer* t = station.findChild<QTimer*>(timer);
    QVERIFY(t && t->isActive());
    QMetaObject::invokeMethod(t, "timeout");
}

} // namespace

class TestStation : public QObject
{
    Q_OBJECT

private slots:
    // Clamped in the wrong order, timed from the given value instead of the clamped one,
    // fractions truncated, or text that is not a number accepted.
    void interval_data()
    {
        QTest::addColumn<bool>("atStartUp"); // from LogOn and LogDelay, else startLogging
        QTest::addColumn<QString>("delay");
        QTest::addColumn<int>("ms"); // 0: logging stays off
        QTest::addColumn<QString>("shown");
        QTest::newRow("5 becomes 10") << false << "5" << 10000 << "10";
        QTest::newRow("12.5 gives 12,500 ms") << false << "12.5" << 12500 << "12.5";
        QTest::newRow("empty refused") << false << "" << 0 << "";
        QTest::newRow("LogOn 900") << true << "900" << 600000 << "600";
        QTest::newRow("LogOn letters: off") << true << "soon" << 0 << "";
    }
    void interval()
    {
        QFETCH(bool, atStartUp);
        QFETCH(QString, delay);
        QFETCH(int, ms);
        QFETCH(QString, shown);
        WindowRig rig;
        ProgramConfig program = ProgramConfig::defaults();
        program.LogOn = atStartUp ? "1" : "0";
        program.LogDelay = atStartUp ? delay : "60";
        QSignalSpy started(&rig.station(), &Station::loggingStarted);
        Station& s = startStation(rig, program);
        if (!atStartUp)
            QCOMPARE(s.startLogging(delay), ms > 0);
        QCOMPARE(s.isLogging(), ms > 0);
        QCOMPARE(started.size(), ms > 0 ? 1 : 0);
        if (ms) {
            QCOMPARE(started[0][0].toString(), shown);
            QCOMPARE(s.loggingIntervalMs(), ms);
        }
        s.stopLogging();
        QVERIFY(!s.isLogging());
    }

    // Each record holds its own interval's peaks (zeros and the last mode if none) in its
    // day's file; a missing folder is named in the status. Ending the station gives the held
    // rows one last try but writes no record for the unfinished interval.
    void recordsPerIntervalAndDay()
    {
        WindowRig rig;
        // The spreadsheet on, so its missing folder holds rows back.
        Station& s = startStation(rig, {"1", "0", "1", "60", "0", "1", "1", "km/h"});
        QVERIFY(QDir(rig.path("Excel")).removeRecursively());
        rig.clock.set(QDateTime(QDate(2010, 3, 7), QTime(23, 58, 30)));
        s.startLogging("60");
        rig.link()->feed(frameAt(710));
        s.stopLogging();
        s.startLogging("60");
        for (int rawV : {605, 630, 615}) // 12.1, 12.6, 12.3 V
            rig.link()->feed(frameAt(rawV, 1));
        rig.clock.set(QDateTime(QDate(2010, 3, 7), QTime(23, 59, 30)));
        fire(s, "Timer1");
        QVERIFY(s.statusLine(Station::StatusSource::Logging).startsWith("Excel/2010_3_7.xls"));
        rig.clock.set(QDateTime(QDate(2010, 3, 8), QTime(0, 0, 30)));
        fire(s, "Timer1");
        QCOMPARE(rig.read("logs/2010_3_7.txt"),
                 QByteArray("<V>12.6</V><I>2.5</I><W>31.5</W><R>150</R><S>20</S><M>1</M>"
                            "<T>23:59</T>\r\n"));
        QCOMPARE(rig.read("logs/2010_3_8.txt"),
                 QByteArray("<V>0</V><I>0</I><W>0</W><R>0</R><S>0</S><M>1</M><T>00:00</T>\r\n"));
        QVERIFY(QDir(rig.path(".")).mkdir("Excel"));
        rig.link()->feed(frameAt(700));
        s.shutdown();
        QVERIFY(rig.read("Excel/2010_3_7.xls").contains("12.6"));
        QVERIFY(rig.read("Excel/2010_3_8.xls").contains("<td>0</td>"));
        QCOMPARE(rig.read("logs/2010_3_8.txt").count('\n'), 1);
    }

    // The day's watt-hours outlive a restart: today's saved count goes on, a new day starts
    // a new line, a day the clock goes back to goes on from its own count, and every past
    // day is kept. Damaged lines are named once and kept for the owner to mend. The file is
    // written at most once a minute while the count grows, and whole at the end.
    void dayEnergy_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<QDateTime>>("steps"); // each after a frame of 31.25 W
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QByteArray>("midway"); // before the end; empty: as saved
        const auto row = [](const char* name, const QByteArray& file, const QList<QDateTime>& steps,
                            const QByteArray& saved, const char* status = "",
                            const QByteArray& midway = {}) {
            QTest::newRow(name) << file << steps << saved << QString(status)
                                << (midway.isEmpty() ? saved : midway);
        };
        const QByteArray before = "2031-05-04 7.5\r\n2031-05-05 100\r\n";
        row("restart goes on", before, {at(5, 12, 0, 5)},
            "2031-05-04 7.5\r\n2031-05-05 100.043402777778\r\n");
        row("midnight starts a line", before, {at(5, 23, 59, 55), at(6, 0, 0)},
            "2031-05-04 7.5\r\n2031-05-05 100.043402777778\r\n2031-05-06 0.0434027777777778\r\n",
            "", "2031-05-04 7.5\r\n2031-05-05 100.043402777778\r\n");
        row("clock set back a day", before, {at(4, 12, 0, 5)},
            "2031-05-04 7.54340277777778\r\n2031-05-05 100\r\n");
        row("no file yet", {}, {at(5, 12, 0, 5)}, "2031-05-05 0.0434027777777778\r\n");
        row("damaged lines", "2031-05-05 100\r\n2031-5-5 3\r\n2031-05-05 x\nrubbish",
            {at(5, 12, 0, 5)},
            "2031-05-05 100.043402777778\r\n2031-5-5 3\r\n2031-05-05 x\r\nrubbish\r\n",
            "logs/energy.txt line 2 is not a date and watt-hours, skipped: \"2031-5-5 3\"\n"
            "logs/energy.txt line 3 is not a date and watt-hours, skipped: \"2031-05-05 x\"\n"
            "logs/energy.txt line 4 is not a date and watt-hours, skipped: \"rubbish\"");
    }
    void dayEnergy()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<QDateTime>, steps);
        QFETCH(QByteArray, saved);
        QFETCH(QString, status);
        QFETCH(QByteArray, midway);
        WindowRig rig;
        if (!file.isEmpty())
            rig.write("logs/energy.txt", file);
        rig.clock.set(at(5, 12, 0));
        Station& s = startStation(rig);
        for (const QDateTime& step : steps) {
            rig.clock.set(step);
            rig.link()->feed(frameAt(625));
            fire(s, "Timer3");
        }
        QCOMPARE(rig.read("logs/energy.txt"), midway);
        s.shutdown();
        QCOMPARE(rig.read("logs/energy.txt"), saved);
        QCOMPARE(s.statusLine(Station::StatusSource::Energy), status);
    }

    // An energy file that cannot be written is said, and logging goes on.
    void energyFailureIsSaidWhileLoggingGoesOn()
    {
        WindowRig rig;
        QVERIFY(QDir(rig.path("logs")).mkdir("energy.txt"));
        Station& s = startStation(rig);
        s.startLogging("10");
        rig.link()->feed(frameAt(625));
        fire(s, "Timer3");
        QVERIFY(s.statusLine(Station::StatusSource::Energy).startsWith("logs/energy.txt: "));
        fire(s, "Timer1");
        QVERIFY(rig.read("logs/" + DayStamp(rig.clock.now().date()) + ".txt")
                    .startsWith("<V>12.5</V>"));
    }
};

QTEST_MAIN(TestStation)
#include "tst_station.moc"
