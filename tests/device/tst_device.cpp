#include "device/FrameDecoder.h"
#include "ui/LiveDisplay.h"
#include "device/LiveReading.h"
#include "device/QtSerialLink.h"
#include "device/ReceiveBuffer.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

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

// A pseudo-terminal, and a folder where a device is linked as COM<N> as the simulator does.
struct Pty
{
    QTemporaryDir dir;
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    QString slave = QString::fromLatin1(ptsname(master));

    bool link(const QString& device, int port)
    {
        return master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0 &&
               QFile::link(device, dir.filePath(QString("COM%1").arg(port)));
    }
    ~Pty() { ::close(master); }
};

} // namespace

// The receive path from the port to the reading: buffer, decoder, conversion and the link.
class TestDevice : public QObject
{
    Q_OBJECT

private slots:
    // Reads in, the frame each completed (empty: none), and the text held after them.
    void receive_data()
    {
        QTest::addColumn<QByteArrayList>("reads");
        QTest::addColumn<QByteArrayList>("frames");
        QTest::addColumn<QByteArray>("held");
        const int cap = 64 * 1024;
        QByteArrayList garbage{QByteArray(cap, 'a')};
        for (int i = 0; i < 40; ++i)
            garbage << QByteArray(5000, char('b' + i % 20));
        QTest::newRow("without [ after the last ], the tail goes with the frame")
            << QByteArrayList{"[<V>1</V>][<V>2</V>]<V>3"}
            << QByteArrayList{"[<V>1</V>][<V>2</V>]<V>3"} << QByteArray();
        // Regression: a read with the end of one frame and the start of the next threw that
        // start away, and with reads cut alike every later frame lost its volts.
        QTest::newRow("a frame begun after the last ] is kept")
            << QByteArrayList{"[<V>1</V>][<V>2<", "/V>][<V>3<", "/V>][<V"}
            << QByteArrayList{"[<V>1</V>]", "[<V>2</V>]", "[<V>3</V>]"} << QByteArray("[<V");
        // A "[" among the newest 64 KiB of garbage still counts.
        QTest::newRow("garbage keeps its newest 64 KiB")
            << garbage + QByteArrayList{"tail[", "]"}
            << QByteArrayList(garbage.size() + 1, {}) +
                   QByteArrayList{(garbage.join() + "tail[").right(cap) + "]"}
            << QByteArray();
        // Regression: noise after a stray "]" stayed whole in the buffer (found by fuzz_receive).
        // Its "[" went out with the oldest text, so a "]" alone completes nothing.
        QTest::newRow("text kept after a frame is capped too")
            << QByteArrayList{"<M>0</M>]", "[" + QByteArray(cap, 'x') + "tail", "]"}
            << QByteArrayList{{}, "<M>0</M>]", {}} << (QByteArray(cap, 'x') + "tail]").right(cap);
    }
    void receive()
    {
        QFETCH(QByteArrayList, reads);
        QFETCH(QByteArrayList, frames);
        QFETCH(QByteArray, held);
        ReceiveBuffer buffer;
        QByteArrayList out;
        for (const QByteArray& read : reads)
            out << buffer.append(read).value_or(QByteArray());
        QCOMPARE(out, frames);
        QCOMPARE(buffer.text().toByteArray(), held);
    }

    // Frames decode with a last raw current of 480; the mode is set as soon as it is read.
    void decoding_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<int>("mode"); // -1: not set
        QTest::addColumn<QList<double>>("virs");
        const auto row = [](const char* name, const char* frame, bool complete, int mode,
                            const QList<double>& virs) {
            QTest::newRow(name) << QByteArray(frame) << complete << mode << virs;
        };
        row("full frame, any order", "[<S>38</S><M>1</M><V>625</V><I>462</I><R>10</R>]", true, 1,
            {625, 462, 10, 38});
        row("letters: I keeps the last raw current, others are 0",
            "[<V>x</V><I>abc</I><R>y</R><S>z</S><M>q</M>]", true, 0, {0, 480, 0, 0});
        row("two frames: the first values count", "[<V>1</V><M>1</M>][<V>2</V><M>0</M>]", true, 1,
            {1, 0, 0, 0});
        row("closing S first stops after the mode", "[</S><M>1</M><S>5]", false, 1, {});
        row("M outside 16 bits stops the frame", "[<V>1</V><M>40000</M>]", false, -1, {});
    }
    void decoding()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, complete);
        QFETCH(int, mode);
        QFETCH(QList<double>, virs);
        const RawFrame raw = FrameDecoder::decode(frame, 480);
        QCOMPARE(raw.complete, complete);
        QCOMPARE(raw.modeSet ? int(raw.mode) : -1, mode);
        if (complete)
            QCOMPARE((QList<double>{raw.v, raw.i, raw.r, raw.s}), virs);
    }

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
        r.Volts = r.Amps = r.RPM = r.WindSpeed = r.Watts = r.Mode = 1;
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
        l.handleFrame("[<I>400</I><V>630</V>]", noon, true);
        QCOMPARE(l.reading().PeakVolts, 12.6);
        QCOMPARE(l.reading().PeakAmps, 0.0);
    }

    // Only fresh power counts: not after an unplug, not with the clock set back.
    void wattHoursCountFreshPowerPerDay()
    {
        LiveReading l = live();
        const auto steps = [&](int n) { return qAbs(l.reading().WattHours - n * 31.25 / 720); };
        const auto shown = [&] { return LiveDisplay::rows(l.reading(), {})[3].value; };
        QDateTime t(QDate(2010, 3, 7), QTime(23, 58, 0));
        l.handleFrame(frame, t, false);
        for (int i = 0; i < 12; ++i)
            l.wattHourStep(t = t.addSecs(5));
        QCOMPARE(shown(), QString("0.5"));
        l.wattHourStep(t.addSecs(1)); // 61 s after the frame
        QVERIFY(steps(12) < 1e-12);

        t = t.addSecs(600); // frames again after a pause
        l.handleFrame(frame, t, false);
        l.wattHourStep(t);
        l.wattHourStep(t.addSecs(5));
        l.wattHourStep(t.addSecs(-20)); // the clock set back
        QVERIFY(steps(14) < 1e-12);
        l.reading().WattHours = 0.25; // shown halves go to even
        QCOMPARE(shown(), QString("0.2"));
    }

    // A vanished device floods read errors; the link must close at the first and say so once.
    void vanishedDeviceIsReportedOnce()
    {
        Pty pty;
        QVERIFY(pty.link(pty.slave, 1));
        QtSerialLink link(pty.dir.path());
        QVERIFY2(link.open(1), qPrintable(link.problem()));
        QSignalSpy gone(&link, &SerialLink::disconnected);
        ::close(std::exchange(pty.master, -1)); // the device vanishes
        QTRY_COMPARE_WITH_TIMEOUT(gone.count(), 1, 3000);
        QTest::qWait(200);
        QCOMPARE(gone.count(), 1);
        QVERIFY(!link.isOpen());
        QCOMPARE(link.problem(), QString("device disconnected"));
    }

    // Why a port would not open, naming the device tried and the ports there are: a link left
    // behind by an unplugged adapter, or a port that another program holds.
    void openFailuresAreExplained()
    {
        // Whether another program holds the device; what is said, %1 the link, %2 the device.
        for (const auto& [held, said] :
             {std::pair{false, "Cannot open %1: missing (no such device). Serial ports here: COM3 -> %2"},
              {true, "Cannot open %1 -> %2: busy (another program has it open). Serial ports here: "
                     "COM3 -> %2"}}) {
            Pty pty;
            const QString device = held ? pty.slave : "/dev/ttyUSB-gone";
            QVERIFY(pty.link(device, 3));
            QtSerialLink holder(pty.dir.path());
            QVERIFY(!held || holder.open(3));
            QtSerialLink link(pty.dir.path());
            QVERIFY(!link.open(3));
            const QString expected = QString(said).arg(pty.dir.filePath("COM3"), device);
            QVERIFY2(link.problem().startsWith(expected), qPrintable(link.problem()));
        }
    }
};

QTEST_GUILESS_MAIN(TestDevice)
#include "tst_device.moc"
