#include "device/QtSerialLink.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

// A pseudo-terminal whose slave is linked as COM<n> in a folder, like the simulator does.
struct Pty
{
    int master = -1;
    QString slave;

    bool open()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            return false;
        slave = QString::fromLatin1(ptsname(master));
        return true;
    }
    void close()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    ~Pty() { close(); }
};

} // namespace

class TestSerialLink : public QObject
{
    Q_OBJECT

private slots:
    void framesArriveThroughTheComLink()
    {
        QTemporaryDir dir;
        Pty pty;
        QVERIFY(pty.open());
        QVERIFY(QFile::link(pty.slave, dir.filePath("COM1")));
        QtSerialLink link(dir.path());
        QVERIFY2(link.open(1), qPrintable(link.problem()));
        QSignalSpy arrived(&link, &SerialLink::dataArrived);
        const QByteArray frame = "[<V>625</V>]\r\n";
        QCOMPARE(::write(pty.master, frame.data(), frame.size()), ssize_t(frame.size()));
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got += link.readAll()).contains(']'), 3000);
        QCOMPARE(got, frame);
    }

    // A vanished device floods read errors; the link must close at the first and say so once.
    void vanishedDeviceIsReportedOnce()
    {
        QTemporaryDir dir;
        Pty pty;
        QVERIFY(pty.open());
        QVERIFY(QFile::link(pty.slave, dir.filePath("COM1")));
        QtSerialLink link(dir.path());
        QVERIFY(link.open(1));
        QSignalSpy gone(&link, &SerialLink::disconnected);
        pty.close();
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
        const QString problem = link.problem();
        QVERIFY2(problem.contains(dir.filePath("COM3")) && problem.contains("missing") &&
                     problem.contains("Serial ports here:") && problem.contains("COM3 ->"),
                 qPrintable(problem));
    }
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
