#include "common/DayStamp.h"
#include "station/MinuteStore.h"
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
    return httpAsk(port, "GET " + target + " HTTP/1.1\r\nHost: localhost\r\n\r\n");
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
        m_rig.write("logs/energy.txt", m_rig.clock.now().date().addDays(-1).toString("yyyy-MM-dd 7.5\r\n").toLatin1() +
                                           "2001-01-01 3\r\n");
        // Three minutes of 5 May 2031 in the minute record: two at 08:00, one at 12:30.
        MinuteStore store;
        QCOMPARE(store.open(m_rig.path("logs/minutes.sqlite"), QDate()), QString());
        QVector<MinuteRow> rows;
        for (const auto& [time, watts, wind] : {std::tuple{QTime(8, 0), 10.0, 3.0},
                                                std::tuple{QTime(8, 1), 20.0, 5.0},
                                                std::tuple{QTime(12, 30), 30.0, 4.0}}) {
            MinuteRow r;
            r.start = QDateTime(QDate(2031, 5, 5), time).toSecsSinceEpoch();
            r.frames = 60;
            r.watts = r.wattsMax = watts;
            r.wind = r.windMax = wind;
            r.volts = 12 + watts / 20;
            r.rpm = watts * 10;
            rows << r;
        }
        QCOMPARE(store.write(rows), QString());
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
        const QByteArray yesterday = m_rig.clock.now().date().addDays(-1).toString(Qt::ISODate).toLatin1();
        row("dashboard", "/", 200, "<title>Wendro</title>", "text/html");
        row("turbine page", "/turbine", 200, "<title>Wendro – Turbine</title>", "text/html");
        // The pages' chart library comes from the program itself: no internet needed. That the
        // pages use these is seen by scripts/check-dashboard, in a browser.
        row("uPlot", "/uplot.js", 200, "uPlot", "text/javascript");
        row("uPlot style", "/uplot.css", 200, ".uplot", "text/css");
        row("uPlot licence", "/uplot-license.txt", 200, "MIT License", "text/plain");
        row("pages' script", "/period.js", 200, "function periodSpan", "text/javascript");
        row("pages' style", "/wendro.css", 200, "--accent", "text/css");
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
        // A day in ten columns of 2.4 h: 08:00 and 08:01 share the fourth, 12:30 is in the sixth.
        const QByteArray fourth = QByteArray::number(QDateTime(QDate(2031, 5, 5), QTime(7, 12)).toSecsSinceEpoch());
        row("range", "/api/range?from=2031-05-05&to=2031-05-05&columns=10", 200,
            "{\"start\":" + fourth + ",\"minutes\":2,\"watts\":{\"min\":10,\"mean\":15,\"max\":20},"
            "\"wind\":{\"min\":3,\"mean\":4,\"max\":5},\"volts\":{\"min\":12.5,\"mean\":12.75,"
            "\"max\":13},\"rpm\":{\"min\":100,\"mean\":150,\"max\":200}},{\"start\":");
        row("range as CSV", "/api/range.csv?from=2031-05-05&to=2031-05-05&columns=10", 200,
            "\r\n" + fourth + ",2,10,15,20,3,4,5,12.5,12.75,13,100,150,200\r\n", "text/csv");
        // In columns of 80 minutes, 08:00 opens the seventh: the edge belongs to the later column.
        const QByteArray eight = QByteArray::number(QDateTime(QDate(2031, 5, 5), QTime(8, 0)).toSecsSinceEpoch());
        row("range edge", "/api/range?from=2031-05-05&to=2031-05-05&columns=18", 200,
            "\"minutes\":0},{\"start\":" + eight + ",\"minutes\":2,");
        row("range too long", "/api/range?from=2030-01-01&to=2031-02-05", 413, "at most 400 days");
        row("range columns 9", "/api/range?from=2031-05-05&to=2031-05-05&columns=9", 400, "10 to 4000");
        row("range bad date", "/api/range?from=2031-5-5&to=2031-05-05", 400, "YYYY-MM-DD");
        row("energy by month", "/api/energy?by=month&from=2031-05-01&to=2031-06-30", 200,
            "{\"by\":\"month\",\"periods\":[{\"start\":\"2031-05-01\",\"produced_wh\":1},"
            "{\"start\":\"2031-06-01\",\"produced_wh\":0}]}");
        row("energy by week", "/api/energy?by=week&from=2031-05-01&to=2031-06-30", 400, "day, month or year");
        // Those three minutes as a power curve: one a bin, far from complete.
        row("power curve", "/api/powercurve?from=2031-05-05&to=2031-05-05", 200,
            "\"bin_width\":0.5,\"minutes_used\":3,\"left_out\":{\"load_on\":0,\"few_frames\":0,"
            "\"no_wind\":0},\"complete\":false,\"complete_up_to\":5,\"bins\":[{\"centre\":3,\"wind\":3,"
            "\"watts\":10,\"minutes\":1,\"sd\":0,\"se\":0,\"rpm\":100,\"complete\":false},");
        row("power curve's minutes", "/api/powercurve?from=2031-05-05&to=2031-05-05", 200,
            "\"points\":[[3,10],[5,20],[4,30]]");
        row("power curve as CSV", "/api/powercurve.csv?from=2031-05-05&to=2031-05-05&bin=1", 200,
            "\r\n4,4,30,1,0,0,300,,,0\r\n5,5,20,1,0,0,200,,,0\r\n", "text/csv");
        row("power curve too long", "/api/powercurve?from=2030-01-01&to=2031-02-05", 413, "at most 400 days");
        row("power curve bin 2.5", "/api/powercurve?from=2031-05-05&to=2031-05-05&bin=2.5", 400, "0.1 to 2");
        row("power curve bad date", "/api/powercurve?from=2031-05-05&to=2031-5-32", 400, "YYYY-MM-DD");
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

    // turbine.cfg is read at every request, as the owner edits it: a key that is not numbers
    // is a warning in the answer and on the status line, the rest still used.
    void turbineFileFollowed()
    {
        const QByteArray curve = "/api/powercurve?from=2031-05-05&to=2031-05-05";
        m_rig.write("turbine.cfg", "<RotorDiameter>2</RotorDiameter><MakerCurve>3:0 4</MakerCurve>");
        QByteArray body = get(m_port, curve).body;
        QVERIFY2(body.contains("\"rpm\":100,\"cp\":0.192,\"tsr\":3.49,") &&
                     body.contains("\"warnings\":[\"turbine.cfg: left out, not read as numbers: MakerCurve"),
                 body.constData());
        WindowRig::tick(m_rig.station(), "wattHourTimer");
        QVERIFY(m_rig.station().statusLine(Station::StatusSource::TurbineFile).contains("MakerCurve"));
        m_rig.write("turbine.cfg", "<MakerCurve>3:0 4:60 5:60</MakerCurve>");
        body = get(m_port, curve).body;
        QVERIFY2(body.contains("\"maker\":[[3,0],[4,60],[5,60]]") && !body.contains("warnings") &&
                     !body.contains("\"cp\"") && body.contains("\"ratio\":"),
                 body.constData());
        QFile::remove(m_rig.path("turbine.cfg"));
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

    // Raw requests, as careless and hostile clients send them: what comes back, whether it
    // has a body, and whether the connection then closes. Anything that two readers could
    // read differently (a proxy in front and this server) is refused and the connection
    // closed; a refused HEAD still gets no body.
    void requests_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("statuses");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("halfClose");
        const auto row = [](const char* name, const QByteArray& request, const char* statuses,
                            bool closed, bool halfClose = false) {
            QTest::newRow(name) << request << QString(statuses) << closed << halfClose;
        };
        const QByteArray a9000(9000, 'a');
        const QByteArray live = "GET /api/live HTTP/1.1\r\nHost: localhost\r\n";
        row("HEAD", "HEAD /api/live HTTP/1.1\r\nHost: localhost\r\n\r\n", "200", false);
        row("HEAD of nothing", "HEAD /nothing HTTP/1.1\r\nHost: localhost\r\n\r\n", "404", false);
        row("HEAD too long", "HEAD /" + a9000 + " HTTP/1.1\r\n\r\n", "414", true);
        row("HEAD without Host", "HEAD / HTTP/1.1\r\n\r\n", "400", true);
        row("POST", "POST /api/live HTTP/1.1\r\nHost: localhost\r\nContent-Length: 2\r\n\r\n{}", "405", true);
        row("DELETE", "DELETE / HTTP/1.1\r\nHost: localhost\r\n\r\n", "405", true);
        row("long line", "GET /" + a9000 + " HTTP/1.1\r\n\r\n", "414", true);
        row("long line, unfinished", "GET /" + a9000, "414", true);
        row("long headers", live + "X-A: " + a9000 + "\r\n\r\n", "431", true);
        row("not HTTP", "hello there\r\n\r\n", "400", true);
        row("HTTP/1.0 closes", "GET /api/live HTTP/1.0\r\n\r\n", "200", true);
        row("HTTP/1.0 kept alive", "GET /api/live HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", "200", false);
        row("no headers, then a keep-alive", "GET /api/live HTTP/1.0\r\n\r\n" + live + "Connection: keep-alive\r\n\r\n", "200", true);
        row("two lengths", live + "Content-Length: 0\r\nContent-Length: 46\r\n\r\n" + live + "\r\n", "400", true);
        row("chunked and a length", live + "Transfer-Encoding: chunked\r\nContent-Length: 0\r\n\r\n0\r\n\r\n", "400", true);
        row("a length", live + "Content-Length: 5\r\n\r\nGET /", "400", true);
        row("a length of 0", live + "Content-Length: 0\r\n\r\n", "200", false); // as some proxies send
        row("bare LF", "GET /api/live HTTP/1.1\nHost: localhost\n\n", "400", true);
        row("no colon", live + "NoColon\r\n\r\n", "400", true);
        row("empty name", live + ": x\r\n\r\n", "400", true);
        row("space before colon", "GET /api/live HTTP/1.1\r\nHost : localhost\r\n\r\n", "400", true);
        row("NUL", live + QByteArray("X-A: a\0b\r\n\r\n", 12), "400", true);
        row("folded", live + "X-A: a\r\n b\r\n\r\n", "400", true);
        row("HTTP/1.1 without Host", "GET /api/live HTTP/1.1\r\n\r\n", "400", true);
        row("two Hosts", live + "Host: localhost\r\n\r\n", "400", true);
        row("HTTP/1.1junk", "GET /api/live HTTP/1.1junk\r\nHost: localhost\r\n\r\n", "400", true);
        row("HTTP/1.", "GET /api/live HTTP/1.\r\nHost: localhost\r\n\r\n", "400", true);
        row("HTTP/1.9", "GET /api/live HTTP/1.9\r\nHost: localhost\r\n\r\n", "400", true);
        row("close in a list", live + "Connection: close, te\r\n\r\n", "200", true);
        row("encoded slash", "GET /api%2flive HTTP/1.1\r\nHost: localhost\r\n\r\n", "404", false);
        row("encoded newline in a date", "GET /api/day/2031-05-05%0a HTTP/1.1\r\nHost: localhost\r\n\r\n", "400", false);
        row("another host", "GET /api/live HTTP/1.1\r\nHost: evil.example\r\n\r\n", "421", false);
        row("another host, port", "GET /api/live HTTP/1.1\r\nHost: evil.example:8080\r\n\r\n", "421", false);
        row("localhost, port", "GET /api/live HTTP/1.1\r\nHost: LOCALHOST:8080\r\n\r\n", "200", false);
        row("[::1]", "GET /api/live HTTP/1.1\r\nHost: [::1]:80\r\n\r\n", "200", false);
        row("absolute form", "GET http://127.0.0.1:80/api/live HTTP/1.1\r\nHost: x\r\n\r\n", "200", false);
        row("absolute form, another host", "GET http://evil.example/api/live HTTP/1.1\r\nHost: localhost\r\n\r\n", "421", false);
        row("half-closed, slow answers",
            "GET /api/day/2031-05-05.csv HTTP/1.1\r\nHost: localhost\r\n\r\n"
            "GET /graph/2031-05-05.png?w=2000&h=2000 HTTP/1.1\r\nHost: localhost\r\n\r\n",
            "200 200", true, true);
    }
    void requests()
    {
        QFETCH(QByteArray, request);
        QFETCH(QString, statuses);
        QFETCH(bool, closed);
        QFETCH(bool, halfClose);
        QTcpSocket socket;
        const QStringList expected = statuses.split(' ');
        const QList<HttpReply> replies = httpReplies(m_port, request, expected.size(), &socket, halfClose);
        QStringList got;
        for (const HttpReply& r : replies) {
            got << QString::number(r.status);
            QCOMPARE(r.body.isEmpty(), request.startsWith("HEAD"));
            QVERIFY(r.header("Content-Length").toInt() > 0);
        }
        QCOMPARE(got.join(' '), statuses);
        QCOMPARE(replies.last().closed, closed);
        if (replies.first().status == 405)
            QCOMPARE(replies.first().header("Allow"), QByteArray("GET, HEAD"));
        // An open connection still answers: nothing of the request was left to be misread.
        if (!closed)
            QCOMPARE(httpAsk(m_port, "GET /api/live HTTP/1.1\r\nHost: localhost\r\n\r\n", &socket).status, 200);
    }

    // Graphs are drawn by workers, one request of each client at a time, so a client asking
    // for many large pictures does not keep another waiting.
    void picturesWaitTheirTurn()
    {
        QTcpSocket greedy;
        greedy.connectToHost(QHostAddress::LocalHost, m_port);
        QVERIFY(greedy.waitForConnected(2000));
        greedy.write(QByteArray("GET /graph/2031-05-05.png?w=4096&h=4096 HTTP/1.1\r\n"
                                "Host: localhost\r\n\r\n").repeated(3));
        QTest::qWait(50);
        QCOMPARE(get(m_port, "/api/live").status, 200);
        QVERIFY(!greedy.bytesAvailable());
        QCOMPARE(httpReplies(m_port, {}, 3, &greedy).size(), 3);
    }

    // A client that sends far more requests than it reads answers costs a bounded amount: it
    // is read no further until what it asked for is taken.
    void pipeliningIsBounded()
    {
        QTcpSocket flood;
        flood.connectToHost(QHostAddress::LocalHost, m_port);
        QVERIFY(flood.waitForConnected(2000));
        flood.setReadBufferSize(1024);
        flood.write(QByteArray("GET /api/live HTTP/1.1\r\nHost: localhost\r\n\r\n").repeated(25000));
        QTest::qWait(1000);
        QVERIFY(m_web->heldBytes() < HttpServer::MaxUnparsed + HttpServer::MaxUnread + 4096);
    }

    // A request must be whole within 10 s of its first byte, however the bytes trickle in.
    void slowRequestsAreCutOff()
    {
        QTcpSocket slow;
        slow.connectToHost(QHostAddress::LocalHost, m_port);
        QVERIFY(slow.waitForConnected(2000));
        slow.write("GET /api/live HTTP/1.1\r\n");
        QByteArray in;
        for (int s = 0; s < 14 && slow.state() == QAbstractSocket::ConnectedState; ++s) {
            slow.write("X: 1\r\n");
            QTest::qWait(1000);
            in += slow.readAll();
        }
        QVERIFY2(in.startsWith("HTTP/1.1 408"), in.constData());
        QCOMPARE(slow.state(), QAbstractSocket::UnconnectedState);
    }

    // A day that is over is answered 304 to a client that has it already; today is never
    // cached.
    void pastDaysAreValidated()
    {
        const QDateTime now = m_rig.clock.now();
        m_rig.clock.set(QDateTime(QDate(2031, 5, 6), QTime(12, 0)));
        for (const QByteArray target : {"/api/day/2031-05-05", "/api/day/2031-05-05.csv",
                                        "/graph/2031-05-05.png"}) {
            const HttpReply first = get(m_port, target);
            QVERIFY(!first.header("ETag").isEmpty());
            QCOMPARE(first.header("Cache-Control"), QByteArray("no-cache"));
            const HttpReply again = httpAsk(m_port, "GET " + target + " HTTP/1.1\r\nHost: localhost\r\n"
                                                    "If-None-Match: " + first.header("ETag") + "\r\n\r\n");
            QCOMPARE(again.status, 304);
            QVERIFY(again.body.isEmpty());
        }
        QVERIFY(get(m_port, "/graph/2031-05-05.png?w=300").header("ETag") !=
                get(m_port, "/graph/2031-05-05.png?w=301").header("ETag"));
        m_rig.clock.set(QDateTime(QDate(2031, 5, 5), QTime(23, 0)));
        const HttpReply today = get(m_port, "/api/day/2031-05-05");
        QVERIFY(today.header("ETag").isEmpty());
        QCOMPARE(today.header("Cache-Control"), QByteArray("no-store"));
        m_rig.clock.set(now);
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
            slow.write("GET /graph/2031-05-05.png?w=1000&h=1000 HTTP/1.1\r\nHost: localhost\r\n\r\n");
        QTest::qWait(100);
        QTcpSocket idle[200];
        for (QTcpSocket& s : idle)
            s.connectToHost(QHostAddress::LocalHost, m_port);
        QTRY_COMPARE_WITH_TIMEOUT(m_web->connectionCount(), HttpServer::MaxConnections, 5000);
        QTcpSocket kept;
        QCOMPARE(httpAsk(m_port, "GET /api/live HTTP/1.1\r\nHost: localhost\r\n\r\n", &kept).status, 200);
        QCOMPARE(httpAsk(m_port, "GET /api/live HTTP/1.1\r\nHost: localhost\r\n\r\n", &kept).status, 200); // kept alive
        QCOMPARE(m_web->connectionCount(), HttpServer::MaxConnections);
        QVERIFY(m_rig.station().startLogging("10"));
        m_rig.link()->feed("[<V>650</V><I>562</I>]");
        WindowRig::tick(m_rig.station(), "logTimer");
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
