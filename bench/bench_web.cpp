// Prints what the web server costs: /api/live answered to 16 keep-alive clients of the real
// service while it logs, a day at the record limit drawn as a 1920 x 1080 PNG beside gnuplot
// drawing the same records, and the service's resident memory with 64 connections open.
#include "ProcessMemory.h"
#include "support/SampleDay.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <vector>

namespace {

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
        write("logs/2010_3_7.txt", dayLog(9999));
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
    QTemporaryDir dir;
    QProcess sim;
    QProcess program;
    quint16 port = 0;
};

// One keep-alive client asking again as soon as each answer is whole.
struct Client
{
    QTcpSocket socket;
    QByteArray in;
    QElapsedTimer sent;
    std::vector<double>* latencies = nullptr;

    void ask()
    {
        sent.start();
        socket.write("GET /api/live HTTP/1.1\r\nHost: localhost\r\n\r\n");
    }
    void read()
    {
        in += socket.readAll();
        const int end = in.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const int lengthAt = in.indexOf("Content-Length: ");
        const int length = in.mid(lengthAt + 16, in.indexOf("\r\n", lengthAt) - lengthAt - 16).toInt();
        if (in.size() < end + 4 + length)
            return;
        latencies->push_back(sent.nsecsElapsed() / 1e6);
        in.remove(0, end + 4 + length);
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
        QObject::connect(&c->socket, &QTcpSocket::readyRead, [c] { c->read(); });
        QObject::connect(&c->socket, &QTcpSocket::connected, [c] { c->ask(); });
        c->socket.connectToHost(QHostAddress::LocalHost, service.port);
    }
    const int seconds = 12;
    QElapsedTimer run;
    run.start();
    while (run.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    const double elapsed = run.nsecsElapsed() / 1e9;
    std::sort(latencies.begin(), latencies.end());
    const double p99 = latencies.empty() ? -1 : latencies[size_t(latencies.size() * 0.99)];
    const QDate today = QDate::currentDate();
    QFile log(service.dir.filePath(QString("logs/%1_%2_%3.txt").arg(today.year()).arg(today.month()).arg(today.day())));
    log.open(QIODevice::ReadOnly);
    std::printf("/api/live, 16 keep-alive clients for %d s: %.0f requests/s (goal at least 5,000), "
                "99th percentile %.2f ms (goal under 10 ms); records logged meanwhile: %d of %d "
                "ticks\n",
                seconds, latencies.size() / elapsed, p99, int(log.readAll().count('\n')),
                int(elapsed / 10));
}

double pngMs(quint16 port, const QByteArray& target, QByteArray* body)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.waitForConnected(5000);
    QElapsedTimer timer;
    timer.start();
    socket.write("GET " + target + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
    QByteArray in;
    while (socket.waitForReadyRead(10000))
        in += socket.readAll();
    *body = in.mid(in.indexOf("\r\n\r\n") + 4);
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Service service;
    if (service.port == 0) {
        std::printf("bench_web: the service did not start its web server\n");
        return 1;
    }
    QThread::sleep(2);
    std::printf("service idle with the web server: resident %.1f MB\n", service.residentKb() / 1024.0);
    liveUnderLoad(service);

    std::vector<double> ours;
    QByteArray png;
    for (int i = 0; i < 5; ++i)
        ours.push_back(pngMs(service.port, "/graph/2010-03-07.png?w=1920&h=1080", &png));
    std::sort(ours.begin(), ours.end());
    pngMs(service.port, "/api/day/2010-03-07.csv", &png);
    QFile csv(service.dir.filePath("day.csv"));
    csv.open(QIODevice::WriteOnly);
    csv.write(png);
    csv.close();
    QElapsedTimer timer;
    timer.start();
    QProcess gnuplot;
    gnuplot.start("gnuplot", {"-e",
                              QString("set terminal png size 1920,1080; set output '%1'; "
                                      "set datafile separator ','; set xdata time; "
                                      "set timefmt '%H:%M'; plot '%2' using 1:2 skip 1 with lines, "
                                      "'' using 1:3 skip 1 with lines, '' using 1:4 skip 1 with "
                                      "lines, '' using 1:5 skip 1 with lines, '' using 1:6 skip 1 "
                                      "with lines")
                                  .arg(service.dir.filePath("gnuplot.png"), csv.fileName())});
    const bool ran = gnuplot.waitForFinished(60000) && gnuplot.exitCode() == 0;
    const double peer = timer.nsecsElapsed() / 1e6;
    std::printf("graph of a 9,999-record day at 1920 x 1080 as PNG over HTTP: median %.1f ms "
                "(goal under 50 ms)\n",
                ours[ours.size() / 2]);
    if (ran)
        std::printf("  gnuplot (png terminal) drawing the same records from the CSV: %.1f ms, "
                    "%.1f times our time (we aim for at least 5)\n",
                    peer, peer / ours[ours.size() / 2]);
    else
        std::printf("  gnuplot did not run (install gnuplot-nox): %s\n",
                    gnuplot.readAllStandardError().constData());

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
