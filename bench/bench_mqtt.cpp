// Prints what publishing to a broker costs: the time added to each frame, the time to
// publish 10,000 records that waited for the broker, the resident memory they take, and the
// processor share of the real service at one frame a second with the broker and the web
// server on (BENCH_SECONDS long, default 60). Starts its own Mosquitto on a free loopback port.
#include "ProcessMemory.h"
#include "logging/LogRecord.h"
#include "mqtt/MqttPublisher.h"
#include "mqtt/MqttSession.h"
#include "station/Station.h"
#include "support/MemorySerialLink.h"
#include "support/SettableClock.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <unistd.h>

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

// Processor seconds a process has used so far, from /proc.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readAll().split(')').last().split(' ');
    return (fields[12].toDouble() + fields[13].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

// wendro --headless with the dashboard and the broker, fed one frame a second by the
// simulator, logging every 10 s: its share of one core over the given seconds.
void serviceShare(quint16 brokerPort, int seconds)
{
    QTemporaryDir folder;
    for (const char* name : {"logs", "html", "Excel"})
        QDir(folder.path()).mkdir(QString::fromLatin1(name));
    QFile cfg(folder.filePath(QStringLiteral("prog.cfg")));
    if (cfg.open(QIODevice::WriteOnly))
        cfg.write("<Port>1</Port><LogDelay>10</LogDelay><LogOn>1</LogOn><WSUnits>km/h</WSUnits>");
    cfg.close();
    QProcess sim;
    sim.start(QStringLiteral(WENDRO_SIM),
              {QStringLiteral("--dir"), folder.path(), QStringLiteral("--interval-ms"),
               QStringLiteral("1000")});
    if (!QTest::qWaitFor(
            [&] { return QFileInfo(folder.filePath(QStringLiteral("COM1"))).isSymLink(); })) {
        std::fprintf(stderr, "bench_mqtt: the simulator did not start\n");
        return;
    }
    QProcess program;
    program.start(QStringLiteral(WENDRO_BINARY),
                  {QStringLiteral("--headless"), QStringLiteral("--dir"), folder.path(),
                   QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                   QStringLiteral("--mqtt"), QStringLiteral("mqtt://127.0.0.1:%1").arg(brokerPort),
                   QStringLiteral("--station"), QStringLiteral("bench-service")});
    program.waitForStarted();
    QThread::sleep(3); // start-up, the connection and the first frames
    const double before = cpuSeconds(program.processId());
    QElapsedTimer timer;
    timer.start();
    QThread::sleep(unsigned(seconds));
    const double used = cpuSeconds(program.processId()) - before;
    const QByteArray said = program.readAllStandardError();
    std::printf("service at one frame a second, broker connected, web server on, logging every "
                "10 s, over %d s: %.2f%% of one core (goal under 0.5%%)%s\n",
                seconds, used * 100 / (timer.nsecsElapsed() / 1e9),
                said.contains("Broker ") ? " [the broker was not reached]" : "");
    ::kill(pid_t(program.processId()), SIGTERM);
    program.waitForFinished(10000);
    sim.terminate();
    sim.waitForFinished(5000);
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
        MqttPublisher publisher(station, settings, std::make_unique<MqttSession>(settings));
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

    MqttPublisher waiting(station, settings, std::make_unique<MqttSession>(settings));
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
    const int seconds = qEnvironmentVariableIntValue("BENCH_SECONDS") > 0
                            ? qEnvironmentVariableIntValue("BENCH_SECONDS")
                            : 60;
    serviceShare(port, seconds);
    broker.terminate();
    broker.waitForFinished();
    return 0;
}
