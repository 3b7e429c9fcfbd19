#include "common/NumberText.h"
#include "station/MinuteStore.h"
#include "support/ConfigBuilder.h"
#include "support/WindowRig.h"

#include <QTimeZone>
#include <QtTest>
#include <cmath>

namespace {

// Raw values at the default dividers: V / 50 volts, (I - 512) / 20 amps, R / 4 * 60 RPM,
// S / 2.5 in the wind unit.
QByteArray frame(int v, int i, int s, int mode)
{
    return QStringLiteral("[<V>%1</V><I>%2</I><R>10</R><S>%3</S><M>%4</M>]")
        .arg(v).arg(i).arg(s).arg(mode).toLatin1();
}

struct Step
{
    QDateTime at;
    QByteArray frame; // empty: only the station's 5 s step runs
};

QString text(std::optional<double> value)
{
    return value ? NumberText(std::round(*value * 1000) / 1000) : QStringLiteral("-");
}

// A row as "HH:mm frames load wind wind_max wind_sd watts watts_max volts amps rpm", local
// time, numbers to three decimals, "-" for NULL.
QString text(const MinuteRow& r, const QTimeZone& zone)
{
    QStringList parts{QDateTime::fromSecsSinceEpoch(r.start, zone).toString("HH:mm"),
                      QString::number(r.frames), QString::number(r.loadFrames),
                      text(r.wind), text(r.windMax), text(r.windSd)};
    for (double v : {r.watts, r.wattsMax, r.volts, r.amps, r.rpm})
        parts << text(v);
    return parts.join(' ');
}

const QTimeZone berlin("Europe/Berlin");

QDateTime at(int month, int day, int h, int m, int s)
{
    return QDateTime(QDate(2031, month, day), QTime(h, m, s), berlin);
}

} // namespace

class TestMinutes : public QObject
{
    Q_OBJECT

private slots:
    // Each converted frame counts once in its minute of the station's clock, and a minute is
    // written when it is over: by the next frame, the 5 s step, or the end of the program.
    // Wind is kept in m/s; a unit that names none leaves it NULL and says why.
    void rows_data()
    {
        QTest::addColumn<QString>("units");
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("status");
        const QByteArray calm = frame(650, 612, 25, 0); // 13 V, 5 A, 10 in the unit
        const QByteArray gust = frame(625, 562, 50, 1); // 12.5 V, 2.5 A, 20, load on
        QTest::newRow("three minutes, km/h")
            << "km/h"
            << QList<Step>{{at(5, 5, 12, 0, 10), gust}, {at(5, 5, 12, 0, 40), calm},
                           {at(5, 5, 12, 1, 30), gust}, {at(5, 5, 12, 2, 0), calm},
                           {at(5, 5, 12, 3, 5), {}}}
            << QStringList{"12:00 2 1 4.167 5.556 1.964 48.125 65 12.75 3.75 150",
                           "12:01 1 1 5.556 5.556 - 31.25 31.25 12.5 2.5 150",
                           "12:02 1 0 2.778 2.778 - 65 65 13 5 150"}
            << "";
        QTest::newRow("knots") << "KNOTS" << QList<Step>{{at(5, 5, 12, 0, 10), gust}}
                               << QStringList{"12:00 1 1 10.289 10.289 - 31.25 31.25 12.5 2.5 150"}
                               << "";
        QTest::newRow("MPH") << "MPH" << QList<Step>{{at(5, 5, 12, 0, 10), gust}}
                             << QStringList{"12:00 1 1 8.941 8.941 - 31.25 31.25 12.5 2.5 150"}
                             << "";
        QTest::newRow("furlongs")
            << "furlongs" << QList<Step>{{at(5, 5, 12, 0, 10), gust}}
            << QStringList{"12:00 1 1 - - - 31.25 31.25 12.5 2.5 150"}
            << "logs/minutes.sqlite: the wind speed unit \"furlongs\" is none of m/s, km/h, mph, "
               "knots and ft/s, so the minute record keeps no wind";
        QTest::newRow("across midnight")
            << "m/s" << QList<Step>{{at(5, 5, 23, 59, 50), gust}, {at(5, 6, 0, 0, 10), calm}}
            << QStringList{"23:59 1 1 20 20 - 31.25 31.25 12.5 2.5 150",
                           "00:00 1 0 10 10 - 65 65 13 5 150"}
            << "";
        // Set back into a minute already written, the two parts become one row.
        QTest::newRow("clock set back")
            << "m/s"
            << QList<Step>{{at(5, 5, 12, 0, 10), gust}, {at(5, 5, 12, 1, 10), calm},
                           {at(5, 5, 12, 0, 30), calm}, {at(5, 5, 12, 2, 0), {}}}
            << QStringList{"12:00 2 1 15 20 7.071 48.125 65 12.75 3.75 150",
                           "12:01 1 0 10 10 - 65 65 13 5 150"}
            << "";
        // The hour that comes twice when summer time ends gives two rows of its own.
        const QDateTime first =
            QDateTime(QDate(2031, 10, 26), QTime(0, 30, 10), QTimeZone::utc()).toTimeZone(berlin);
        QTest::newRow("summer time ends")
            << "m/s" << QList<Step>{{first, gust}, {first.addSecs(3600), calm}}
            << QStringList{"02:30 1 1 20 20 - 31.25 31.25 12.5 2.5 150",
                           "02:30 1 0 10 10 - 65 65 13 5 150"}
            << "";
    }
    void rows()
    {
        QFETCH(QString, units);
        QFETCH(QList<Step>, steps);
        QFETCH(QStringList, rows);
        QFETCH(QString, status);
        WindowRig rig;
        rig.clock.set(steps.first().at);
        rig.writeConfig(config().units(units));
        Station& s = rig.station();
        s.start();
        for (const Step& step : steps) {
            rig.clock.set(step.at);
            if (step.frame.isEmpty())
                WindowRig::tick(s, "wattHourTimer");
            else
                rig.link()->feed(step.frame);
        }
        QCOMPARE(s.statusLine(Station::StatusSource::Minutes), status);
        s.shutdown();
        MinuteStore store;
        QCOMPARE(store.open(rig.path("logs/minutes.sqlite"), QDate()), QString());
        QStringList found;
        for (const MinuteRow& r : store.rows(0, std::numeric_limits<qint64>::max()))
            found << text(r, berlin);
        QCOMPARE(found, rows);
    }

    // A database that cannot be opened, is removed or is damaged stops nothing: the daily log
    // goes on, the rows wait and go in once it works again, a damaged file is set aside.
    void faults()
    {
        WindowRig rig;
        rig.clock.set(at(5, 5, 12, 0, 0));
        rig.write("logs/minutes.sqlite", "not a database at all");
        rig.writeConfig(config().units("m/s"));
        Station& s = rig.station();
        s.start();
        QVERIFY(s.startLogging("10"));
        const auto minute = [&](int m) {
            rig.clock.set(at(5, 5, 12, m, 10));
            rig.link()->feed(frame(625, 562, 50, 0));
        };
        minute(0);
        minute(1); // the first row: the garbage is set aside
        QVERIFY(QFileInfo::exists(rig.path("logs/minutes.sqlite.damaged-2031-05-05")));
        QVERIFY(s.statusLine(Station::StatusSource::Minutes).contains("was damaged: kept as"));

        QVERIFY(QFile::remove(rig.path("logs/minutes.sqlite")));
        QVERIFY(QDir(rig.path("logs")).mkdir("minutes.sqlite")); // cannot be a database now
        MinuteStore reader; // as the web server reads it
        const QString unread = reader.openToRead(rig.path("logs/minutes.sqlite"));
        QVERIFY2(unread.contains("minutes.sqlite: cannot open it") && !reader.isOpen(), qPrintable(unread));
        minute(2);
        minute(3);
        QVERIFY(s.statusLine(Station::StatusSource::Minutes).contains("(2 minutes kept"));
        WindowRig::tick(s, "logTimer");
        QVERIFY(rig.read("logs/2031_5_5.txt").startsWith("<V>12.5</V>"));

        QVERIFY(QDir(rig.path("logs/minutes.sqlite")).removeRecursively());
        minute(4);
        QCOMPARE(s.statusLine(Station::StatusSource::Minutes), QString());
        s.shutdown();
        MinuteStore store;
        QCOMPARE(store.open(rig.path("logs/minutes.sqlite"), QDate()), QString());
        QCOMPARE(store.rows(0, std::numeric_limits<qint64>::max()).size(), 4); // 12:01 to 12:04
    }
};

QTEST_MAIN(TestMinutes)
#include "tst_minutes.moc"
