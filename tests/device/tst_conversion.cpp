#include "device/LiveDisplay.h"
#include "device/LiveReading.h"

#include <QtTest>

namespace {

const QDateTime noon(QDate(2010, 3, 7), QTime(12, 0));
const QByteArray frame = "[<V>625</V><I>562</I>]"; // 12.5 V, 2.5 A, 31.25 W

LiveReading live(const QStringList& cal = {"50", "512", "20", "4", "2.5"})
{
    LiveReading live;
    live.setCalibration({cal[0], cal[1], cal[2], cal[3], cal[4]});
    return live;
}

} // namespace

class TestConversion : public QObject
{
    Q_OBJECT

private slots:
    // Calibration texts, one frame, and the reading afterwards. The reading starts from 1 in
    // every field (last raw current 500) so a step that stops early shows which fields moved;
    // inf or NaN must never be stored, and the mode is set even when the conversion stops.
    void convert_data()
    {
        QTest::addColumn<QStringList>("cal"); // volt, offset, amp, rpm, ws
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("converted");
        QTest::addColumn<QList<double>>("fields"); // V A RPM wind W lastRawCurrent mode
        using L = QList<double>;
        const QStringList std{"50", "512", "20", "4", "2.5"};
        const auto cal = [](int at, const QString& text) {
            QStringList c{"50", "512", "20", "4", "2.5"};
            c[at] = text;
            return c;
        };
        QTest::newRow("reference figures")
            << std << QByteArray("[<V>625</V><I>562</I><R>10</R><S>50</S>]") << true
            << L{12.5, 2.5, 150, 20, 31.25, 562, 0};
        QTest::newRow("negative current") << std << QByteArray("[<V>625</V><I>462</I>]") << true
                                          << L{12.5, -2.5, 0, 0, -31.25, 462, 0};
        QTest::newRow("absent I") << std << QByteArray("[<V>625</V>]") << true
                                  << L{12.5, -25.6, 0, 0, -320, 0, 0};
        QTest::newRow("0.125 A stored as 0.12") << std << QByteArray("[<V>50</V><I>514.5</I>]")
                                                << true << L{1, 0.12, 0, 0, 0.12, 514.5, 0};
        QTest::newRow("volt divider 0 stops at once, mode kept")
            << cal(0, "0") << QByteArray("[<V>625</V><M>2</M>]") << false
            << L{1, 1, 1, 1, 1, 500, 2};
        QTest::newRow("broken frame clears the mode")
            << std << QByteArray("[</V><M>1</M><V>]") << false << L{1, 1, 1, 1, 1, 500, 0};
        QTest::newRow("amp divider 0 keeps the new volts")
            << cal(2, "0") << frame << false << L{12.5, 1, 1, 1, 1, 500, 0};
        QTest::newRow("offset letters keep the new volts")
            << cal(1, "x") << frame << false << L{12.5, 1, 1, 1, 1, 500, 0};
        QTest::newRow("wind divider 0 stops before watts")
            << cal(4, "0") << QByteArray("[<V>625</V><I>562</I><R>10</R>]") << false
            << L{12.5, 2.5, 150, 1, 1, 562, 0};
        QTest::newRow("overflow stops instead of storing inf")
            << cal(0, "1e-300") << QByteArray("[<V>1e300</V>]") << false
            << L{1, 1, 1, 1, 1, 500, 0};
    }
    void convert()
    {
        QFETCH(QStringList, cal);
        QFETCH(QByteArray, frame);
        QFETCH(bool, converted);
        QFETCH(QList<double>, fields);
        LiveReading l = live(cal);
        Reading& r = l.reading();
        r.Volts = r.Amps = r.RPM = r.WindSpeed = r.Watts = 1;
        r.Mode = 1;
        QCOMPARE(l.handleFrame(frame, noon, false), converted);
        QCOMPARE((QList<double>{r.Volts, r.Amps, r.RPM, r.WindSpeed, r.Watts, r.LastRawCurrent,
                                double(r.Mode)}),
                 fields);
    }

    // Peaks raised while not logging, or starting below 0 so negative amps become a peak.
    void peaksRiseOnlyWhileLogging()
    {
        LiveReading l = live();
        l.handleFrame("[<V>700</V><I>600</I>]", noon, false);
        for (const char* v : {"605", "630", "615"})
            l.handleFrame(QByteArray("[<I>400</I><V>") + v + "</V>]", noon, true);
        QCOMPARE(l.reading().PeakVolts, 12.6);
        QCOMPARE(l.reading().PeakAmps, 0.0);
    }

    // Twelve 5-second steps at 31.25 W are shown as 0.5 Wh; nothing before the first frame;
    // 0.25 shows as 0.2 (halves to even).
    void wattHoursIntegrateFreshPower()
    {
        LiveReading l = live();
        QDateTime t = noon;
        l.wattHourStep(t);
        QCOMPARE(l.reading().WattHours, 0.0);
        l.handleFrame(frame, t, false);
        for (int i = 0; i < 12; ++i)
            l.wattHourStep(t = t.addSecs(5));
        QVERIFY(qAbs(l.reading().WattHours - 12 * 31.25 / 720) < 1e-12);
        const auto shown = [&] { return LiveDisplay::rows(l.reading(), {})[3].value; };
        QCOMPARE(shown(), QString("0.5"));
        l.reading().WattHours = 0.25;
        QCOMPARE(shown(), QString("0.2"));
    }

    // An unplugged logger must not keep counting the last power for ever, nor a clock set
    // back a day make the old frame count as fresh.
    void wattHoursStopWhenFramesStop()
    {
        LiveReading l = live();
        l.handleFrame(frame, noon, false);
        l.wattHourStep(noon.addSecs(60));
        const double atMinute = l.reading().WattHours;
        QVERIFY(atMinute > 0);
        l.wattHourStep(noon.addSecs(61));
        l.wattHourStep(noon.addSecs(3600));
        QCOMPARE(l.reading().WattHours, atMinute);
        l.wattHourStep(noon.addDays(-1));
        QCOMPARE(l.reading().WattHours, 0.0);
    }

    // The daily reset must happen even when no step fell into the first seconds of the day,
    // and only once a day.
    void wattHoursResetOncePerDay()
    {
        LiveReading l = live();
        QDateTime t(QDate(2010, 3, 7), QTime(23, 59, 0));
        l.handleFrame(frame, t, false);
        l.wattHourStep(t);
        QVERIFY(l.reading().WattHours > 0);
        t = QDateTime(QDate(2010, 3, 8), QTime(0, 0, 30)); // the machine slept past midnight
        l.handleFrame(frame, t, false);
        l.wattHourStep(t);
        l.wattHourStep(t.addSecs(5));
        QVERIFY(qAbs(l.reading().WattHours - 2 * 31.25 / 720) < 1e-12);
    }
};

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
