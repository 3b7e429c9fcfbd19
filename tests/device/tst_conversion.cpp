#include "device/LiveDisplay.h"
#include "device/LiveReading.h"

#include <QtTest>

namespace {

CalibrationSettings calibration(const QString& volt = "50", const QString& offset = "512",
                                const QString& amp = "20", const QString& rpm = "4",
                                const QString& ws = "2.5")
{
    return {volt, offset, amp, rpm, ws};
}

const QDateTime noon(QDate(2010, 3, 7), QTime(12, 0));

} // namespace

class TestConversion : public QObject
{
    Q_OBJECT

private slots:
    // Each row: calibration texts, one frame, and the reading fields afterwards. The reading
    // starts from known old values so that a step that stops early shows which fields moved.
    void convert_data()
    {
        QTest::addColumn<QStringList>("cal"); // volt, offset, amp, rpm, ws
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("converted");
        QTest::addColumn<QList<double>>("fields"); // volts amps rpm wind watts lastRawCurrent
        using L = QList<double>;
        const QStringList std{"50", "512", "20", "4", "2.5"};
        // Old values: 1, 1, 1, 1, 1 and last raw current 500.
        QTest::newRow("documented figures")
            << std << QByteArray("[<V>625</V><I>562</I><R>10</R><S>50</S>]") << true
            << L{12.5, 2.5, 150, 20, 31.25, 562};
        QTest::newRow("negative current") << std << QByteArray("[<V>625</V><I>462</I>]") << true
                                          << L{12.5, -2.5, 0, 0, -31.25, 462};
        QTest::newRow("absent I") << std << QByteArray("[<V>625</V>]") << true
                                  << L{12.5, -25.6, 0, 0, -320, 0};
        QTest::newRow("0.125 A stored as 0.12")
            << std << QByteArray("[<V>50</V><I>514.5</I>]") << true << L{1, 0.12, 0, 0, 0.12, 514.5};
        QTest::newRow("negative divider reverses current")
            << QStringList{"50", "0", "-20", "4", "2.5"} << QByteArray("[<I>100</I>]") << true
            << L{0, -5, 0, 0, 0, 100};
        QTest::newRow("volt divider 0 stops at once")
            << QStringList{"0", "512", "20", "4", "2.5"} << QByteArray("[<V>625</V>]") << false
            << L{1, 1, 1, 1, 1, 500};
        QTest::newRow("volt divider letters stop at once")
            << QStringList{"abc", "512", "20", "4", "2.5"} << QByteArray("[<V>625</V>]")
            << false << L{1, 1, 1, 1, 1, 500};
        QTest::newRow("amp divider 0 keeps the new volts")
            << QStringList{"50", "512", "0", "4", "2.5"} << QByteArray("[<V>625</V>]") << false
            << L{12.5, 1, 1, 1, 1, 500};
        QTest::newRow("offset letters keep the new volts")
            << QStringList{"50", "x", "20", "4", "2.5"} << QByteArray("[<V>625</V>]") << false
            << L{12.5, 1, 1, 1, 1, 500};
        QTest::newRow("wind divider 0 stops before watts")
            << QStringList{"50", "512", "20", "4", "0"}
            << QByteArray("[<V>625</V><I>562</I><R>10</R>]") << false
            << L{12.5, 2.5, 150, 1, 1, 562};
        // Doubles do not trap: an overflow must not leave inf in the reading.
        QTest::newRow("overflow stops instead of storing inf")
            << QStringList{"1e-300", "512", "20", "4", "2.5"} << QByteArray("[<V>1e300</V>]")
            << false << L{1, 1, 1, 1, 1, 500};
    }
    void convert()
    {
        QFETCH(QStringList, cal);
        QFETCH(QByteArray, frame);
        QFETCH(bool, converted);
        QFETCH(QList<double>, fields);
        LiveReading live;
        live.setCalibration(calibration(cal[0], cal[1], cal[2], cal[3], cal[4]));
        Reading& r = live.reading();
        r.Volts = r.Amps = r.RPM = r.WindSpeed = r.Watts = 1;
        QCOMPARE(live.handleFrame(frame, noon, false), converted);
        QCOMPARE((QList<double>{r.Volts, r.Amps, r.RPM, r.WindSpeed, r.Watts, r.LastRawCurrent}),
                 fields);
        for (double v : {r.Volts, r.Amps, r.RPM, r.WindSpeed, r.Watts})
            QVERIFY(std::isfinite(v));
    }

    // The mode is set before conversion, so a frame that stops early still shows its mode.
    void modeSurvivesFailedConversion()
    {
        LiveReading live;
        live.setCalibration(calibration("0"));
        QVERIFY(!live.handleFrame("[<M>1</M>]", noon, false));
        QCOMPARE(int(live.reading().Mode), 1);
        QVERIFY(!live.handleFrame("[</V><M>1</M><V>]", noon, false));
        QCOMPARE(int(live.reading().Mode), 0);
    }

    void peaksRiseOnlyWhileLogging()
    {
        LiveReading live;
        live.setCalibration(calibration());
        const Reading& r = live.reading();
        live.handleFrame("[<V>700</V><I>600</I><R>20</R><S>60</S>]", noon, false);
        QCOMPARE(r.PeakVolts, 0.0);

        live.handleFrame("[<V>605</V><I>400</I>]", noon, true); // 12.1 V, negative amps
        live.handleFrame("[<V>630</V><I>400</I>]", noon, true); // 12.6 V
        live.handleFrame("[<V>615</V><I>400</I>]", noon, true); // 12.3 V
        QCOMPARE(r.PeakVolts, 12.6);
        QCOMPARE(r.PeakAmps, 0.0); // only negative currents since the reset
        QCOMPARE(r.PeakWatts, 0.0);
        live.reading().resetPeaks();
        QCOMPARE(r.PeakVolts, 0.0);
    }

    // 31.25 W for twelve 5-second steps is about 0.52 Wh, shown rounded to one decimal.
    void wattHoursIntegrateFreshPower()
    {
        LiveReading live;
        live.setCalibration(calibration());
        QDateTime t = noon;
        live.wattHourStep(t); // before the first frame: nothing
        QCOMPARE(live.reading().WattHours, 0.0);
        live.handleFrame("[<V>625</V><I>562</I>]", t, false);
        for (int i = 0; i < 12; ++i) {
            t = t.addSecs(5);
            live.wattHourStep(t);
        }
        QVERIFY(qAbs(live.reading().WattHours - 12 * 31.25 / 720) < 1e-12);
        QCOMPARE(LiveDisplay::rows(live.reading(), ProgramConfig::defaults())[3].value,
                 QString("0.5"));
    }

    // An unplugged logger must not keep counting the last power for ever.
    void wattHoursStopWhenFramesStop()
    {
        LiveReading live;
        live.setCalibration(calibration());
        live.handleFrame("[<V>625</V><I>562</I>]", noon, false);
        live.wattHourStep(noon.addSecs(60));
        const double atMinute = live.reading().WattHours;
        QVERIFY(atMinute > 0);
        live.wattHourStep(noon.addSecs(61));
        live.wattHourStep(noon.addSecs(3600));
        QCOMPARE(live.reading().WattHours, atMinute);
        // A clock set back a day makes the frame look like the future: stale too.
        live.wattHourStep(noon.addDays(-1));
        QCOMPARE(live.reading().WattHours, 0.0); // new day, reset; nothing added
    }

    // The daily reset must happen even when no step fell into the first seconds of the day,
    // and only once a day.
    void wattHoursResetOncePerDay()
    {
        LiveReading live;
        live.setCalibration(calibration());
        QDateTime t(QDate(2010, 3, 7), QTime(23, 59, 0));
        live.handleFrame("[<V>625</V><I>562</I>]", t, false);
        live.wattHourStep(t);
        QVERIFY(live.reading().WattHours > 0);
        t = QDateTime(QDate(2010, 3, 8), QTime(0, 0, 30)); // the machine slept past midnight
        live.handleFrame("[<V>625</V><I>562</I>]", t, false);
        live.wattHourStep(t);
        QVERIFY(qAbs(live.reading().WattHours - 31.25 / 720) < 1e-12);
        live.wattHourStep(t.addSecs(5));
        QVERIFY(qAbs(live.reading().WattHours - 2 * 31.25 / 720) < 1e-12);
    }

    void displayRows_data()
    {
        QTest::addColumn<QString>("displayRPM");
        QTest::addColumn<QString>("displayWS");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<int>("points");
        const QStringList four{"Volts", "Amps", "Watts", "WattHours"};
        QTest::newRow("neither") << "0" << "0" << four << 24;
        QTest::newRow("RPM only") << "1" << "0" << four + QStringList{"RPM"} << 20;
        QTest::newRow("wind only") << "0" << "1" << four + QStringList{"knots"} << 20;
        QTest::newRow("both, 1.0 counts as 1")
            << "1.0" << "1" << four + QStringList{"RPM", "knots"} << 18;
        QTest::newRow("2 is not on") << "2" << "0" << four << 24;
    }
    void displayRows()
    {
        QFETCH(QString, displayRPM);
        QFETCH(QString, displayWS);
        QFETCH(QStringList, labels);
        QFETCH(int, points);
        ProgramConfig c = ProgramConfig::defaults();
        c.DisplayRPM = displayRPM;
        c.DisplayWS = displayWS;
        c.WSUnits = "knots";
        QStringList got;
        for (const auto& row : LiveDisplay::startRows(c)) {
            QCOMPARE(row.value, QString("0.0"));
            got << row.label;
        }
        QCOMPARE(got, labels);
        QCOMPARE(LiveDisplay::listFontPointSize(c), points);
    }

    void displayTexts()
    {
        Reading r;
        r.Volts = 12.5;
        r.Amps = -2.5;
        r.WattHours = 0.25;
        QCOMPARE(LiveDisplay::caption(r), QString("Wendro  12.5V -2.5A"));
        QCOMPARE(LiveDisplay::rows(r, ProgramConfig::defaults())[3].value, QString("0.2"));
        r.WattHours = 0.75;
        QCOMPARE(LiveDisplay::rows(r, ProgramConfig::defaults())[3].value, QString("0.8"));
        QCOMPARE(LiveDisplay::modeLabel(1), QString("On Load"));
        QCOMPARE(LiveDisplay::modeLabel(2), QString());
        QCOMPARE(LiveDisplay::modeLabel(0), QString());
    }
};

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
