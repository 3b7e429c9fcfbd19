#include "common/DayStamp.h"
#include "support/HttpAsk.h"
#include "support/WindowRig.h"
#include "web/WebServer.h"

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

HttpReply get(quint16 port, const QByteArray& target)
{
    return httpAsk(port, "GET " + target + " HTTP/1.1\r\nHost: x\r\n\r\n");
}

// Three records of 5 May 2031, one with numbers as a person might type them.
const QByteArray day = "<V>12.5</V><I>2.5</I><W>31.25</W><R>150</R><S>20</S><M>1</M><T>08:00</T>\r\n"
                       "<V>12.50</V><I>-1</I><W>-12.5</W><R>0</R><S>3.5</S><M>1</M><T>12:30</T>\r\n"
                       "<V>13</V><I>0</I><W>0</W><R>0</R><S>0</S><M>0</M><T>18:45</T>\r\n";

} // namespace

class TestWeb : public QObject
{
    Q_OBJECT

    WindowRig m_rig;
    std::unique_ptr<WebServer> m_web;
    quint16 m_port = 0;

private slots:
    void initTestCase()
    {
        m_rig.writeConfig();
        m_rig.write("logs/2031_5_5.txt", day);
        m_rig.write("logs/2031_5_6.txt", QByteArray("<V>1</V><I>1</I><W>1</W><R>1</R><S>1</S>"
                                                    "<M>0</M><T>12:00</T>\r\n").repeated(10000));
        m_rig.write("logs/energy.txt", QDate::currentDate().addDays(-1).toString("yyyy-MM-dd 7.5\r\n").toLatin1() +
                                           "2001-01-01 3\r\n");
        m_rig.station().start();
        m_web = std::make_unique<WebServer>(m_rig.station());
        QCOMPARE(m_web->listen(*WebServer::parseAddress("127.0.0.1:0")), QString());
        m_port = m_web->port();
    }

    // Each path answers with its status, its content type and its body; the query's own
    // messages explain a bad day; no part of a path reaches a file but a checked date.
    void routes_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("type"); // before "; charset"
        QTest::addColumn<QByteArray>("body"); // contained in the reply
        const auto row = [](const char* name, const QByteArray& target, int status,
                            const QByteArray& body, const QByteArray& type = "application/json") {
            QTest::newRow(name) << target << status << type << body;
        };
        const QByteArray yesterday = QDate::currentDate().addDays(-1).toString(Qt::ISODate).toLatin1();
        row("dashboard", "/", 200, "<title>Wendro</title>", "text/html");
        row("day", "/api/day/2031-05-05?from=08:00&to=18:46", 200,
            "{\"date\":\"2031-05-05\",\"from\":\"08:00\",\"records\":[{\"amps\":-1,\"mode\":1,"
            "\"rpm\":0,\"time\":\"12:30\",\"volts\":12.5,\"watts\":-12.5,\"wind\":3.5},{\"amps\":0,"
            "\"mode\":0,\"rpm\":0,\"time\":\"18:45\",\"volts\":13,\"watts\":0,\"wind\":0}],"
            "\"to\":\"18:46\"}");
        row("csv", "/api/day/2031-05-05.csv", 200,
            "time,volts,amps,watts,rpm,wind,mode\r\n08:00,12.5,2.5,31.25,150,20,1\r\n"
            "12:30,12.50,-1,-12.5,0,3.5,1\r\n18:45,13,0,0,0,0,0\r\n",
            "text/csv");
        row("no data", "/api/day/2031-05-04", 404, "{\"error\":\"No data for that date\"}");
        row("too many", "/api/day/2031-05-06.csv", 413, "Over 10,000");
        row("bad date", "/api/day/2031-02-30", 400, "Bad date format for record date");
        row("encoded traversal", "/api/day/%2e%2e%2f%2e%2e%2fetc%2fpasswd.csv", 400, "Bad date");
        row("graph too small", "/graph/2031-05-05.png?w=99", 400, "100 to 4096");
        row("graph bad series", "/graph/2031-05-05.png?series=v,x", 400, "series");
        row("graph no data", "/graph/2031-05-04.png", 404, "No data");
        row("energy", "/api/energy?days=2", 200,
            "\"watt_hours\":0},{\"date\":\"" + yesterday + "\",\"watt_hours\":7.5}]}");
        row("energy days 0", "/api/energy?days=0", 400, "1 to 3660");
        row("energy days 3661", "/api/energy?days=3661", 400, "1 to 3660");
        row("page not written", "/page", 404, "html/log.asp has not been written");
        row("unknown", "/etc/passwd", 404, "no page");
    }
    void routes()
    {
        QFETCH(QByteArray, target);
        QFETCH(int, status);
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, body);
        const QStringList before = QDir(m_rig.path(".")).entryList(QDir::AllEntries, QDir::Name);
        const HttpReply r = get(m_port, target);
        QCOMPARE(r.status, status);
        QCOMPARE(r.header("Content-Type"), type + "; charset=utf-8");
        QVERIFY2(r.body.contains(body), r.body.left(300).constData());
        QCOMPARE(QDir(m_rig.path(".")).entryList(QDir::AllEntries, QDir::Name), before);
    }

    // The live reading with every field, the graph as a PNG of the size asked for, and the
    // page the program wrote from the template, as it is.
    void liveGraphAndPage()
    {
        m_rig.link()->feed("[<V>625</V><I>562</I><R>10</R><S>50</S><M>1</M>]");
        const QJsonObject live = QJsonDocument::fromJson(get(m_port, "/api/live").body).object();
        QCOMPARE(live.keys(), (QStringList{"age_s", "amps", "interval_s", "logging", "mode", "rpm",
                                           "status", "time", "version", "volts", "watt_hours",
                                           "watts", "wind", "wind_unit"}));
        QCOMPARE(live["watts"].toDouble(), 31.25);
        QCOMPARE(live["mode"].toInt(), 1);
        QCOMPARE(live["wind_unit"].toString(), QString("km/h"));
        QCOMPARE(live["time"].toString(), m_rig.clock.now().toString(Qt::ISODate));

        // Amps only: red can then come from the volts labels alone.
        const HttpReply png = get(m_port, "/graph/2031-05-05.png?w=300&h=200&series=a");
        QCOMPARE(png.header("Content-Type"), QByteArray("image/png"));
        const QImage image = QImage::fromData(png.body, "PNG").convertToFormat(QImage::Format_RGB32);
        QCOMPARE(image.size(), QSize(300, 200));
        // The plot on the left, the labels on the right.
        QSet<QRgb> plot, labels;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                (x < image.width() / 2 ? plot : labels).insert(image.pixel(x, y));
        }
        QVERIFY(plot.contains(0xff8080ff) && plot.contains(0xff00ff00)); // load box, amps
        QVERIFY(!plot.contains(0xffff0000) && labels.contains(0xffff0000)); // volts labels only

        m_rig.write("html/log.asp", "<p>12.5 V</p>");
        QCOMPARE(get(m_port, "/page").body, QByteArray("<p>12.5 V</p>"));
    }

    // Only GET and HEAD are served; a request line or headers past 8 KiB are refused and the
    // connection closed, so nobody can make the server hold more.
    void methodsAndLimits_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("closed");
        const auto row = [](const char* name, const QByteArray& request, int status, bool closed) {
            QTest::newRow(name) << request << status << closed;
        };
        const QByteArray a9000(9000, 'a');
        row("HEAD", "HEAD /api/live HTTP/1.1\r\n\r\n", 200, false);
        row("POST", "POST /api/live HTTP/1.1\r\nContent-Length: 2\r\n\r\n{}", 405, true);
        row("DELETE", "DELETE / HTTP/1.1\r\n\r\n", 405, true);
        row("long line", "GET /" + a9000 + " HTTP/1.1\r\n\r\n", 414, true);
        row("long line, unfinished", "GET /" + a9000, 414, true);
        row("long headers", "GET / HTTP/1.1\r\nX-A: " + a9000 + "\r\n\r\n", 431, true);
        row("not HTTP", "hello there\r\n\r\n", 400, true);
        row("HTTP/1.0 closes", "GET /api/live HTTP/1.0\r\n\r\n", 200, true);
    }
    void methodsAndLimits()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        QFETCH(bool, closed);
        const HttpReply r = httpAsk(m_port, request);
        QCOMPARE(r.status, status);
        QCOMPARE(r.closed, closed);
        if (request.startsWith("HEAD"))
            QVERIFY(r.body.isEmpty() && r.header("Content-Length").toInt() > 0);
        if (status == 405)
            QCOMPARE(r.header("Allow"), QByteArray("GET, HEAD"));
    }

    // Idle connections past 64 cannot lock a new client out: the one idle longest makes room;
    // a client that asks for many graphs and reads nothing holds up nobody; and frames,
    // records and answers go on meanwhile.
    void stalledClientsLockNobodyOut()
    {
        QTcpSocket slow;
        slow.setReadBufferSize(1024);
        slow.connectToHost(QHostAddress::LocalHost, m_port);
        QVERIFY(slow.waitForConnected(2000));
        for (int i = 0; i < 100; ++i)
            slow.write("GET /graph/2031-05-05.png?w=1000&h=1000 HTTP/1.1\r\n\r\n");
        QTest::qWait(100);
        QTcpSocket idle[200];
        for (QTcpSocket& s : idle)
            s.connectToHost(QHostAddress::LocalHost, m_port);
        QTRY_COMPARE_WITH_TIMEOUT(m_web->connectionCount(), HttpServer::MaxConnections, 5000);
        QTcpSocket kept;
        QCOMPARE(httpAsk(m_port, "GET /api/live HTTP/1.1\r\n\r\n", &kept).status, 200);
        QCOMPARE(httpAsk(m_port, "GET /api/live HTTP/1.1\r\n\r\n", &kept).status, 200); // kept alive
        QCOMPARE(m_web->connectionCount(), HttpServer::MaxConnections);
        QVERIFY(m_rig.station().startLogging("10"));
        m_rig.link()->feed("[<V>650</V><I>562</I>]");
        QMetaObject::invokeMethod(m_rig.station().findChild<QTimer*>("Timer1"), "timeout");
        QVERIFY(m_rig.read("logs/" + DayStamp(m_rig.clock.now().date()) + ".txt").startsWith("<V>13</V>"));
    }

    // A port that is taken, or an address of another machine, is a clear error.
    void listenFailures()
    {
        WebServer other(m_rig.station());
        QCOMPARE(other.listen(*WebServer::parseAddress(QString("127.0.0.1:%1").arg(m_port))),
                 QString("--listen 127.0.0.1:%1: port %1 is taken by another program").arg(m_port));
        QCOMPARE(other.listen(*WebServer::parseAddress("192.0.2.1:8080")),
                 QString("--listen 192.0.2.1:8080: 192.0.2.1 is not an address of this machine"));
        QVERIFY(!WebServer::parseAddress("8080") && !WebServer::parseAddress("example:80"));
        QCOMPARE(WebServer::exposureWarning(*WebServer::parseAddress("0.0.0.0:80")),
                 QString("warning: --listen 0.0.0.0:80: anyone on that network can read the dashboard"));
        QVERIFY(WebServer::exposureWarning(*WebServer::parseAddress("[::1]:80")).isEmpty());
    }
};

QTEST_MAIN(TestWeb)
#include "tst_web.moc"
