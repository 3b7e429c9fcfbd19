#include "device/QtSerialLink.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

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

class TestSerialLink : public QObject
{
    Q_OBJECT

private slots:
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
    void openFailuresAreExplained_data()
    {
        QTest::addColumn<bool>("held");
        QTest::addColumn<QString>("said"); // %1 the link, %2 the device
        QTest::newRow("missing device")
            << false << "Cannot open %1: missing (no such device). Serial ports here: COM3 -> %2";
        QTest::newRow("opened twice") << true
                                      << "Cannot open %1 -> %2: busy (another program has it "
                                         "open). Serial ports here: COM3 -> %2";
    }
    void openFailuresAreExplained()
    {
        QFETCH(bool, held);
        QFETCH(QString, said);
        Pty pty;
        const QString device = held ? pty.slave : "/dev/ttyUSB-gone";
        QVERIFY(pty.link(device, 3));
        QtSerialLink holder(pty.dir.path());
        QVERIFY(!held || holder.open(3));
        QtSerialLink link(pty.dir.path());
        QVERIFY(!link.open(3));
        said = said.arg(pty.dir.filePath("COM3"), device);
        QVERIFY2(link.problem().startsWith(said), qPrintable(link.problem()));
    }
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
