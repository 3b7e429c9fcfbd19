#include "device/LiveDisplay.h"
#include "device/LiveReading.h"

#include <QtTest>

namespace {

const QDateTime noon(QDate(2010, 3, 7), QTime(12, 0));
const QByteArray frame = "[<V>625</V><I>562</I>]"; // 12.5 V, 2.5 A, 31.25 W

// Volt divider, offset, amp, RPM and wind dividers.
LiveReading live(const QString& calibration = "50 512 20 4 2.5")
{
    const QStringList c = calibration.split(' ');
    LiveReading live;
    live.setCalibration({c[0], c[1], c[2], c[3], c[4]});
    return live;
}

} // namespace

class TestConversion : public QObject
{
    Q_OBJECT

private slots:
    // Fields start at 1 (last raw current 500) so a conversion that stops shows how far it
    // got; inf or NaN is never stored, and the mode is set even when conversion stops.
    void convert_data()
    {
        QTest::addColumn<QString>("calibration");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("converted");
        QTest::addColumn<QList<double>>("fields"); // V A RPM wind W lastRawCurrent mode
        const auto row = [](const char* name, const char* calibration, const QByteArray& frame,
                            bool converted, const QList<double>& fields) {
            QTest::newRow(name) << QString(calibration) << frame << converted << fields;
        };
        const char* usual = "50 512 20 4 2.5";
        row("reference figures", usual, "[<V>625</V><I>562</I><R>10</R><S>50</S>]", true,
            {12.5, 2.5, 150, 20, 31.25, 562, 0});
        row("absent I", usual, "[<V>625</V>]", true, {12.5, -25.6, 0, 0, -320, 0, 0});
        row("0.125 A stored as 0.12", usual, "[<V>50</V><I>514.5</I>]", true,
            {1, 0.12, 0, 0, 0.12, 514.5, 0});
        row("volt divider 0 stops at once, mode kept", "0 512 20 4 2.5", "[<V>625</V><M>2</M>]",
            false, {1, 1, 1, 1, 1, 500, 2});
        row("broken frame clears the mode", usual, "[</V><M>1</M><V>]", false,
            {1, 1, 1, 1, 1, 500, 0});
        row("offset letters keep the new volts", "50 x 20 4 2.5", frame, false,
            {12.5, 1, 1, 1, 1, 500, 0});
        row("wind divider 0 stops before watts", "50 512 20 4 0", "[<V>625</V><I>562</I><R>10</R>]",
            false, {12.5, 2.5, 150, 1, 1, 562, 0});
        row("overflow stops instead of storing inf", "1e-300 512 20 4 2.5", "[<V>1e300</V>]", false,
            {1, 1, 1, 1, 1, 500, 0});
    }
    void convert()
    {
        QFETCH(QString, calibration);
        QFETCH(QByteArray, frame);
        QFETCH(bool, converted);
        QFETCH(QList<double>, fields);
        LiveReading l = live(calibration);
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

    // Only fresh power counts (not after an unplug or with the clock set back), and the count
    // restarts once at midnight even when no step fell into the first seconds of the day.
    void wattHoursCountFreshPowerPerDay()
    {
        LiveReading l = live();
        const auto steps = [&](int n) { return qAbs(l.reading().WattHours - n * 31.25 / 720); };
        const auto shown = [&] { return LiveDisplay::rows(l.reading(), {})[3].value; };
        QDateTime t(QDate(2010, 3, 7), QTime(23, 58, 0));
        l.handleFrame(frame, t, false);
        for (int i = 0; i < 12; ++i)
            l.wattHourStep(t = t.addSecs(5));
        QVERIFY(steps(12) < 1e-12);
        QCOMPARE(shown(), QString("0.5"));
        l.wattHourStep(t.addSecs(1)); // 61 s after the frame
        QVERIFY(steps(12) < 1e-12);

        t = QDateTime(QDate(2010, 3, 8), QTime(0, 0, 30)); // the machine slept past midnight
        l.handleFrame(frame, t, false);
        l.wattHourStep(t);
        l.wattHourStep(t.addSecs(5));
        QVERIFY(steps(2) < 1e-12);
        l.wattHourStep(t.addSecs(-20)); // the clock set back
        QVERIFY(steps(2) < 1e-12);
        l.reading().WattHours = 0.25; // shown halves go to even
        QCOMPARE(shown(), QString("0.2"));
    }
};

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
