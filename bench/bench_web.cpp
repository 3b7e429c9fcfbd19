// Prints what the web server costs and how it holds under load, against the real service fed
// by the simulator: /api/live for 16 keep-alive clients, 20,000 pipelined requests, 40 large
// pictures asked at once beside another client and the logging tick, 30 MiB of pipelined
// requests, and a noisy day drawn as a 1920 x 1080 PNG beside gnuplot drawing the same
// records, with where our time goes.
#include "ProcessMemory.h"
#include "history/DrawGraph.h"
#include "history/GraphImage.h"
#include "history/HistoryQuery.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QBuffer>
#include <QGuiApplication>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <functional>
#include <csignal>
#include <random>
#include <cstdio>
#include <vector>

namespace {

// A day whose values wander as real wind does (a random walk with gusts), at the record
// limit: a smooth curve would flatter the drawing and the compression.
QByteArray noisyDay(int records)
{
    std::mt19937 random(7);
    std::normal_distribution<double> step(0, 0.35);
    std::uniform_real_distribution<double> gust(0, 1);
    QByteArray text;
    double wind = 6;
    for (int n = 0; n < records; ++n) {
        wind = qBound(0.0, wind + step(random) + (gust(random) < 0.02 ? 3 : 0), 25.0);
        const double amps = qMax(0.0, wind * wind * 0.08 - 1) + step(random) * 0.2;
        const double volts = 12.4 + amps * 0.04 + step(random) * 0.05;
        const int minute = 1 + int(qint64(n) * 1437 / records);
        char line[160];
        std::snprintf(line, sizeof line,
                      "<V>%.2f</V><I>%.2f</I><W>%.2f</W><R>%.1f</R><S>%.1f</S><M>%d</M>"
                      "<T>%02d:%02d</T>\r\n",
                      volts, amps, volts * amps, wind * 40, wind * 3.6, volts > 13.6 ? 1 : 0,
                      minute / 60, minute % 60);
        text += line;
    }
    return text;
}

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(values.size() * share))];
}

struct Service
{
    Service()
    {
        for (const char* folder : {"logs", "html", "Excel"})
            QDir(dir.path()).mkdir(folder);
        QFile::copy(WENDRO_DIST "/html/template.asp", dir.filePath("html/template.asp"));
        write("prog.cfg", "<Port>1</Port><Savehtml>1</Savehtml><SaveExcel>1</SaveExcel>"
                          "<LogDelay>10</LogDelay><LogOn>1</LogOn><DisplayRPM>1</DisplayRPM>"
                          "<DisplayWS>1</DisplayWS><WSUnits>km/h</WSUnits>");
        write("logs/2010_3_7.txt", noisyDay(9999));
        sim.start(WENDRO_SIM, {"--dir", dir.path(), "--interval-ms", "1000"});
        for (int i = 0; i < 100 && !QFileInfo(dir.filePath("COM1")).isSymLink(); ++i)
            QThread::msleep(20);
        program.setReadChannel(QProcess::StandardError);
        program.start(WENDRO_BINARY, {"--headless", "--dir", dir.path(), "--listen", "127.0.0.1:0"});
        QByteArray said;
        while (port == 0 && program.waitForReadyRead(5000)) {
            said += program.readAllStandardError();
            const int at = said.indexOf("http://127.0.0.1:");
            const int end = said.indexOf('/', at + 17);
            if (at >= 0 && end > 0)
                port = quint16(said.mid(at + 17, end - at - 17).toUInt());
        }
    }
    ~Service()
    {
        ::kill(pid_t(program.processId()), SIGTERM);
        program.waitForFinished(10000);
        sim.terminate();
        sim.waitForFinished(5000);
    }
    void write(const QString& name, const QByteArray& bytes)
    {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }
    int residentKb() const { return ::residentKb(QString::number(program.processId())); }
    double processorSeconds() const { return ::processorSeconds(QString::number(program.processId())); }
    QString todaysLog() const
    {
        const QDate today = QDate::currentDate();
        return dir.filePath(QString("logs/%1_%2_%3.txt").arg(today.year()).arg(today.month()).arg(today.day()));
    }
    QTemporaryDir dir;
    QProcess sim;
    QProcess program;
    quint16 port = 0;
};

// Counts the whole answers on a connection as they come; HEAD answers have no body.
struct Answers
{
    QTcpSocket socket;
    QByteArray in;
    bool head = false;
    int count = 0;

    // The number of answers that became whole.
    int read()
    {
        in += socket.readAll();
        int whole = 0;
        for (int end; (end = int(in.indexOf("\r\n\r\n"))) >= 0;) {
            const int lengthAt = int(in.indexOf("Content-Length: "));
            const int length = head ? 0 : in.mid(lengthAt + 16, in.indexOf("\r\n", lengthAt) - lengthAt - 16).toInt();
            if (in.size() < end + 4 + length)
                break;
            in.remove(0, end + 4 + length);
            ++whole;
        }
        count += whole;
        return whole;
    }
    void connect(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.waitForConnected(5000);
    }
};

const QByteArray liveRequest = "GET /api/live HTTP/1.1\r\nHost: localhost\r\n\r\n";

// One keep-alive client asking again as soon as each answer is whole.
struct Client : Answers
{
    QElapsedTimer sent;
    std::vector<double>* latencies = nullptr;

    void ask()
    {
        sent.start();
        socket.write(liveRequest);
    }
    void onReadyRead()
    {
        if (Answers::read() == 0)
            return;
        latencies->push_back(sent.nsecsElapsed() / 1e6);
        ask();
    }
};

void liveUnderLoad(Service& service)
{
    std::vector<double> latencies;
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 16; ++i) {
        clients.push_back(std::make_unique<Client>());
        Client* c = clients.back().get();
        c->latencies = &latencies;
        QObject::connect(&c->socket, &QTcpSocket::readyRead, [c] { c->onReadyRead(); });
        QObject::connect(&c->socket, &QTcpSocket::connected, [c] { c->ask(); });
        c->socket.connectToHost(QHostAddress::LocalHost, service.port);
    }
    const int seconds = 12;
    QElapsedTimer run;
    run.start();
    while (run.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    const double elapsed = run.nsecsElapsed() / 1e9;
    const double p99 = percentile(latencies, 0.99);
    QFile log(service.todaysLog());
    log.open(QIODevice::ReadOnly);
    std::printf("/api/live, 16 keep-alive clients for %d s: %.0f requests/s (goal at least 5,000), "
                "99th percentile %.2f ms (goal under 10 ms); records logged meanwhile: %d of %d "
                "ticks\n",
                seconds, latencies.size() / elapsed, p99, int(log.readAll().count('\n')),
                int(elapsed / 10));
}

// Runs the event loop until done() or the time is up.
template <typename Done>
void runUntil(Done done, int ms)
{
    QElapsedTimer run;
    run.start();
    while (!done() && run.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

void pipelined(Service& service)
{
    const int requests = 20000;
    Answers client;
    client.connect(service.port);
    const double before = service.processorSeconds();
    QElapsedTimer wall;
    wall.start();
    client.socket.write(liveRequest.repeated(requests));
    QObject::connect(&client.socket, &QTcpSocket::readyRead, [&client] { client.read(); });
    runUntil([&] { return client.count == requests; }, 60000);
    std::printf("%d pipelined /api/live requests in one write: %d answered in %.2f s, %.2f s of "
                "the service's processor time (goal under 2 s)\n",
                requests, client.count, wall.nsecsElapsed() / 1e9,
                service.processorSeconds() - before);
}

// 40 large pictures asked at once on one connection while another client asks for the live
// reading every 50 ms and the log file is watched for each record as it is written.
void picturesBesideOthers(Service& service)
{
    const int pictures = 40;
    Answers greedy;
    greedy.head = true;
    greedy.connect(service.port);
    QObject::connect(&greedy.socket, &QTcpSocket::readyRead, [&greedy] { greedy.read(); });
    Client other;
    std::vector<double> latencies;
    other.latencies = &latencies;
    other.connect(service.port);
    QObject::connect(&other.socket, &QTcpSocket::readyRead, [&other] {
        if (other.Answers::read() > 0)
            other.latencies->push_back(other.sent.nsecsElapsed() / 1e6);
    });
    QTimer ask;
    QObject::connect(&ask, &QTimer::timeout, [&other] { other.ask(); });
    ask.start(50);
    std::vector<double> recordsAt;
    qint64 logSize = QFileInfo(service.todaysLog()).size();
    QTimer watch;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const qint64 size = QFileInfo(service.todaysLog()).size();
        if (size != logSize)
            recordsAt.push_back(clock.nsecsElapsed() / 1e9);
        logSize = size;
    });
    watch.start(5);
    greedy.socket.write(QByteArray("HEAD /graph/2010-03-07.png?w=4096&h=4096 HTTP/1.1\r\n"
                                   "Host: localhost\r\n\r\n").repeated(pictures));
    // Long enough for at least two records whatever the pictures take.
    runUntil([&] { return greedy.count == pictures && clock.elapsed() > 25000; }, 120000);
    double worst = 0;
    for (size_t i = 1; i < recordsAt.size(); ++i)
        worst = std::max(worst, std::abs(recordsAt[i] - recordsAt[i - 1] - 10));
    std::printf("%d pipelined 4096 x 4096 pictures on one connection: %d drawn in %.1f s; another "
                "client's /api/live meanwhile: 99th percentile %.1f ms, slowest %.1f ms (goal "
                "under 1 s); %d records logged, each within %.3f s of its 10 s interval (goal "
                "0.5 s)\n",
                pictures, greedy.count, clock.nsecsElapsed() / 1e9, percentile(latencies, 0.99),
                percentile(latencies, 1), int(recordsAt.size()), worst);
}

void floodMemory(Service& service)
{
    // Requests padded to 4 KiB, so 30 MiB of them are few enough to answer in seconds.
    const QByteArray request = "GET /api/live HTTP/1.1\r\nHost: localhost\r\nX-Pad: " +
                               QByteArray(4000, 'x') + "\r\n\r\n";
    const int requests = int((30 << 20) / request.size());
    Answers client;
    client.connect(service.port);
    QObject::connect(&client.socket, &QTcpSocket::readyRead, [&client] { client.read(); });
    const int before = service.residentKb();
    int peak = before;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] { peak = std::max(peak, service.residentKb()); });
    sample.start(20);
    client.socket.write(request.repeated(requests));
    runUntil([&] { return client.count == requests; }, 120000);
    std::printf("30 MiB of pipelined requests (%d of 4 KiB), answers read: %d answered; the "
                "service's resident size grew by %.1f MB at most (goal under 5 MB)\n",
                requests, client.count, (peak - before) / 1024.0);
}

// A whole process each time, as a user would run it: curl for ours, gnuplot for the peer.
double processMs(const QString& program, const QStringList& arguments, bool* ran)
{
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.start(program, arguments);
    *ran = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
    return timer.nsecsElapsed() / 1e6;
}

double medianOf(int runs, const std::function<double()>& run)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(run());
    return percentile(times, 0.5);
}

void pngAgainstGnuplot(Service& service)
{
    const QString url = QString("http://127.0.0.1:%1/graph/2010-03-07.png?w=1920&h=1080").arg(service.port);
    bool ran = false;
    const double ours = medianOf(7, [&] {
        return processMs("curl", {"-sf", "-o", service.dir.filePath("ours.png"), url}, &ran);
    });
    const double live = medianOf(7, [&] {
        return processMs("curl", {"-sf", "-o", "/dev/null",
                                  QString("http://127.0.0.1:%1/api/live").arg(service.port)}, &ran);
    });
    std::printf("a noisy 9,999-record day at 1920 x 1080 as PNG, curl as a whole process: median "
                "%.1f ms (goal under 50 ms)%s; curl alone for /api/live takes %.1f ms\n",
                ours, ran ? "" : " (curl failed)", live);
    processMs("curl", {"-sf", "-o", service.dir.filePath("day.csv"),
                       QString("http://127.0.0.1:%1/api/day/2010-03-07.csv").arg(service.port)}, &ran);
    for (const char* terminal : {"pngcairo", "png"}) {
        const QString script =
            QString("set terminal %1 size 1920,1080; set output '%2'; set datafile separator ','; "
                    "set xdata time; set timefmt '%H:%M'; plot '%3' using 1:2 skip 1 with lines, "
                    "'' using 1:3 skip 1 with lines, '' using 1:4 skip 1 with lines, '' using "
                    "1:5 skip 1 with lines, '' using 1:6 skip 1 with lines")
                .arg(terminal, service.dir.filePath("gnuplot.png"), service.dir.filePath("day.csv"));
        const double peer = medianOf(3, [&] { return processMs("gnuplot", {"-e", script}, &ran); });
        if (ran)
            std::printf("  gnuplot, %s terminal, drawing the same records: median %.1f ms, %.1f "
                        "times ours%s\n",
                        terminal, peer, peer / ours,
                        QByteArray(terminal) == "pngcairo" ? " (goal at least 5)" : "");
        else
            std::printf("  gnuplot with the %s terminal did not run (install gnuplot-nox)\n", terminal);
    }
}

// The steps of one picture in this process, to see which one to make cheaper.
void whereTheTimeGoes(const Service& service)
{
    HistoryData data;
    const auto time = [](const std::function<void()>& step) {
        return medianOf(7, [&] {
            QElapsedTimer timer;
            timer.start();
            step();
            return timer.nsecsElapsed() / 1e6;
        });
    };
    const double query = time([&] {
        HistoryQuery::run(service.dir.path(), QDate(2010, 3, 7), QTime(0, 0), QTime(23, 59), data);
    });
    GraphSettings settings;
    settings.ShowVolts = settings.ShowAmps = settings.ShowWatts = settings.ShowRpm =
        settings.ShowWind = settings.RefVoltsToZero = true;
    settings.WSUnits = "km/h";
    GraphPicture picture;
    const double draw = time([&] { picture = DrawGraph::draw(data, settings, PlotExtents()); });
    QImage image;
    const double render = time([&] { image = GraphImage::render(picture, QSize(1920, 1080)); });
    QImage palette;
    const double convert = time([&] {
        palette = image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
    });
    std::printf("  where our time goes: reading the day %.1f ms, display list %.1f ms, painting "
                "%.1f ms, to a palette %.1f ms, PNG:",
                query, draw, render, convert);
    for (int quality : {0, 50, 70, 90, 100}) {
        QByteArray png;
        const double encode = time([&] {
            png.clear();
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            palette.save(&buffer, "PNG", quality);
        });
        std::printf(" quality %d %.1f ms %lld kB%s", quality, encode,
                    static_cast<long long>(png.size() / 1024), quality == 100 ? "\n" : ",");
    }
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    Service service;
    if (service.port == 0) {
        std::printf("bench_web: the service did not start its web server\n");
        return 1;
    }
    QThread::sleep(2);
    std::printf("service idle with the web server: resident %.1f MB\n", service.residentKb() / 1024.0);
    liveUnderLoad(service);
    pipelined(service);
    picturesBesideOthers(service);
    floodMemory(service);
    pngAgainstGnuplot(service);
    whereTheTimeGoes(service);

    std::vector<std::unique_ptr<QTcpSocket>> open;
    for (int i = 0; i < 64; ++i) {
        open.push_back(std::make_unique<QTcpSocket>());
        open.back()->connectToHost(QHostAddress::LocalHost, service.port);
        open.back()->waitForConnected(2000);
    }
    QThread::sleep(1);
    std::printf("service with 64 connections open: resident %.1f MB (goal under 40 MB)\n",
                service.residentKb() / 1024.0);
    return 0;
}
