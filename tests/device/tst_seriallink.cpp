#include "device/QtSerialLink.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

// A pseudo-terminal whose slave is linked as COM1 in a folder, like the simulator does.
struct Pty
{
    QTemporaryDir dir;
    int master = posix_openpt(O_RDWR | O_NOCTTY);

    bool ready()
    {
        return master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0 &&
               QFile::link(QString::fromLatin1(ptsname(master)), dir.filePath("COM1"));
    }
    ~Pty() { ::close(master); }
};

} // namespace

class TestSerialLink : public QObject
{
    Q_OBJECT

private slots:
    // A vanished device floods read errors; the link must close at the first and say so once.
    void framesArriveThenAVanishedDeviceIsReportedOnce()
    {
        Pty pty;
        QVERIFY(pty.ready());
        QtSerialLink link(pty.dir.path());
        QVERIFY2(link.open(1), qPrintable(link.problem()));
        const QByteArray frame = "[<V>625</V>]\r\n";
        QCOMPARE(::write(pty.master, frame.data(), frame.size()), ssize_t(frame.size()));
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got += link.readAll()).contains(']'), 3000);
        QCOMPARE(got, frame);

        QSignalSpy gone(&link, &SerialLink::disconnected);
        ::close(std::exchange(pty.master, -1)); // the device vanishes
        QTRY_COMPARE_WITH_TIMEOUT(gone.count(), 1, 3000);
        QTest::qWait(200);
        QCOMPARE(gone.count(), 1);
        QVERIFY(!link.isOpen());
        QCOMPARE(link.problem(), QString("device disconnected"));
    }

    // A link left behind by an unplugged adapter names the device and the ports there are.
    void missingDeviceIsExplained()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::link("/dev/ttyUSB-gone", dir.filePath("COM3")));
        QtSerialLink link(dir.path());
        QVERIFY(!link.open(3));
        const QString said = QString("Cannot open %1: missing (no such device). Serial ports "
                                     "here: COM3 -> /dev/ttyUSB-gone")
                                 .arg(dir.filePath("COM3"));
        QVERIFY2(link.problem().startsWith(said), qPrintable(link.problem()));
    }
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
