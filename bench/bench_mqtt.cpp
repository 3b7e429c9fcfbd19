// Prints what publishing to a broker costs: the time added to each frame, the time to
// publish 10,000 records that waited for the broker, and the resident memory they take.
// Starts its own Mosquitto on a free loopback port.
#include "ProcessMemory.h"
#include "logging/LogRecord.h"
#include "mqtt/MqttPublisher.h"
#include "station/Station.h"
#include "support/MemorySerialLink.h"
#include "support/SettableClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

namespace {

double residentMb()
{
    return residentKb() / 1024.0;
}

// The mean time of one receive event that completes a frame, each frame a second after the
// last, so that every one of them publishes the state when a broker is there. After a second
// of idling the caches are cold, so this is the worst case, and the broker's receive work on
// the loopback is done in this thread's send.
double frameUs(MemorySerialLink* link, int frames)
{
    qint64 ns = 0;
    for (int i = 0; i < frames; ++i) {
        QTest::qWait(MqttPublisher::StateIntervalMs + 50);
        QElapsedTimer t;
        t.start();
        link->feed("[<V>" + QByteArray::number(600 + i) + "</V><I>" + QByteArray::number(520 + i) +
                   "</I><R>12</R><S>40</S><M>1</M>]\r\n");
        ns += t.nsecsElapsed();
    }
    return ns / 1e3 / frames;
}

// The mean time of one receive event in a stream of frames 5 ms apart, where at most one a
// second publishes.
double streamUs(MemorySerialLink* link, int frames)
{
    qint64 ns = 0;
    for (int i = 0; i < frames; ++i) {
        QTest::qWait(5);
        QElapsedTimer t;
        t.start();
        link->feed("[<V>" + QByteArray::number(600 + i % 50) +
                   "</V><I>520</I><R>12</R><S>40</S>"
                   "<M>1</M>]\r\n");
        ns += t.nsecsElapsed();
    }
    return ns / 1e3 / frames;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        port = probe.serverPort();
    }
    QFile conf(dir.filePath(QStringLiteral("broker.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(QStringLiteral("user root\nallow_anonymous true\nlistener %1 127.0.0.1\n")
                   .arg(port)
                   .toUtf8());
    conf.close();
    QProcess broker;
    broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
    const bool up = QTest::qWaitFor([port] {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        return s.waitForConnected(200);
    });
    if (!up) {
        std::fprintf(stderr, "bench_mqtt: mosquitto did not start\n");
        return 1;
    }

    SettableClock clock;
    MemorySerialLink* link = nullptr;
    Station station({dir.path(), &clock, [&link] {
                         auto made = std::make_unique<MemorySerialLink>();
                         link = made.get();
                         return made;
                     }});
    station.start();
    const int frames = 10;
    const int streamed = 600;
    frameUs(link, 1); // warm-up
    const double withoutUs = frameUs(link, frames);
    const double streamWithoutUs = streamUs(link, streamed);
    const double withoutMb = residentMb();

    BrokerSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.station = QStringLiteral("bench");
    {
        MqttPublisher publisher(station, settings);
        publisher.start();
        if (!QTest::qWaitFor([&] { return publisher.isConnected(); }, 5000))
            std::fprintf(stderr, "bench_mqtt: the publisher did not connect\n");
        const double withUs = frameUs(link, frames);
        const double streamWithUs = streamUs(link, streamed);
        std::printf("receive event that completes a frame, frames a second apart, each publishing "
                    "the state: %.1f us without MQTT, %.1f us with (added %.1f us; goal under 50 "
                    "us)\n",
                    withoutUs, withUs, withUs - withoutUs);
        std::printf("the same, frames 5 ms apart, the state published once a second: %.1f us "
                    "without MQTT, %.1f us with (added %.1f us)\n",
                    streamWithoutUs, streamWithUs, streamWithUs - streamWithoutUs);
    }

    MqttPublisher waiting(station, settings);
    Reading r;
    r.PeakVolts = 13.28;
    r.PeakAmps = 12.75;
    r.PeakWatts = 169.32;
    r.PeakRPM = 412.5;
    r.PeakWindSpeed = 31.4;
    r.Mode = 1;
    const QDateTime at(QDate(2026, 12, 7), QTime(14, 30));
    for (int i = 0; i < MqttPublisher::MaxWaitingRecords; ++i)
        waiting.publishRecord(LogRecord(r, at.time()), at.addSecs(10 * i));
    const double withMb = residentMb();
    std::printf("resident memory: %.1f MB without MQTT, %.1f MB with 10000 records waiting "
                "(added %.1f MB; goal under 10 MB)\n",
                withoutMb, withMb, withMb - withoutMb);

    // A plain event loop, as the program runs: QTest's waits sleep between their turns.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (waiting.waitingRecords() == 0)
            loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    QElapsedTimer flush;
    flush.start();
    waiting.start();
    poll.start(1);
    loop.exec();
    const bool sent = waiting.waitingRecords() == 0;
    std::printf("10000 waiting records published after connecting to a local broker: %.0f ms%s\n",
                flush.nsecsElapsed() / 1e6, sent ? "" : " [not all sent within 60 s]");
    broker.terminate();
    broker.waitForFinished();
    return 0;
}
