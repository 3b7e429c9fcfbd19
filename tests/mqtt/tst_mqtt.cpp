#include "logging/LogRecord.h"
#include "mqtt/BrokerSettings.h"
#include "mqtt/MqttMessages.h"
#include "mqtt/MqttPublisher.h"
#include "mqtt/RecordQueue.h"
#include "station/Station.h"
#include "support/MemorySerialLink.h"
#include "support/SettableClock.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool run(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    return p.waitForFinished(30000) && p.exitCode() == 0;
}

quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

// A real Mosquitto on two free loopback ports, plain and TLS, with its own configuration, a
// user "wendro" with the password "secret", a certificate authority and a server
// certificate for "localhost" made with openssl, and sessions kept across a restart.
struct Broker
{
    Broker()
    {
        const QString d = dir.path() + '/';
        writeFile(d + "ext", "subjectAltName=DNS:localhost\nbasicConstraints=CA:FALSE\n");
        const QStringList ec = {"-newkey", "ec",    "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                "-nodes",  "-days", "2"};
        made = run("openssl", QStringList{"req", "-x509", "-keyout", d + "ca.key", "-out",
                                          d + "ca.crt", "-subj", "/CN=Wendro test CA"} +
                                  ec) &&
               run("openssl", QStringList{"req", "-keyout", d + "server.key", "-out",
                                          d + "server.csr", "-subj", "/CN=localhost"} +
                                  ec) &&
               run("openssl", {"x509", "-req", "-in", d + "server.csr", "-CA", d + "ca.crt",
                               "-CAkey", d + "ca.key", "-CAcreateserial", "-days", "2", "-extfile",
                               d + "ext", "-out", d + "server.crt"}) &&
               run("mosquitto_passwd", {"-c", "-b", d + "passwd", "wendro", "secret"});
        writeFile(d + "broker.conf",
                  QString("per_listener_settings false\nallow_anonymous true\nuser root\n"
                          "max_queued_messages 0\n"
                          "password_file %1passwd\npersistence true\npersistence_location %1\n"
                          "listener %2 127.0.0.1\nlistener %3 127.0.0.1\ncertfile %1server.crt\n"
                          "keyfile %1server.key\n")
                      .arg(d)
                      .arg(port)
                      .arg(tlsPort)
                      .toUtf8());
    }
    ~Broker() { stop(); }
    bool start()
    {
        process.start("mosquitto", {"-c", dir.filePath("broker.conf")});
        return made && process.waitForStarted() && QTest::qWaitFor([this] {
                   QTcpSocket probe;
                   probe.connectToHost(QHostAddress::LocalHost, port);
                   return probe.waitForConnected(200);
               });
    }
    // SIGTERM, so that it saves the sessions it holds for the subscriber.
    void stop()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
    QString url(const QString& user = {}) const
    {
        return "mqtt://" + (user.isEmpty() ? "" : user + '@') +
               "127.0.0.1:" + QString::number(port);
    }
    QTemporaryDir dir;
    quint16 port = freePort();
    quint16 tlsPort = freePort();
    bool made = false;
    QProcess process;
};

// mosquitto_sub on every topic, with a session that outlives a broker restart.
struct Subscriber : QProcess
{
    ~Subscriber() { kill(), waitForFinished(); }
    explicit Subscriber(const Broker& broker)
    {
        start("mosquitto_sub", {"-p", QString::number(broker.port), "-i", "wendro-test", "-c", "-q",
                                "1", "-v", "-t", "wendro/#", "-t", "homeassistant/#"});
    }
    // Every payload so far on topic, oldest first.
    QList<QByteArray> on(const QString& topic)
    {
        seen += readAllStandardOutput();
        QList<QByteArray> payloads;
        for (const QByteArray& line : seen.split('\n')) {
            if (line.startsWith(topic.toUtf8() + ' '))
                payloads << line.mid(topic.size() + 1);
        }
        return payloads;
    }
    QByteArray seen;
};

// A program folder logging every 10 s, its simulator, and wendro --headless on it.
struct Plant
{
    Plant(const QString& name, const QStringList& mqttArguments) : station(name)
    {
        for (const char* folder : {"logs", "html", "Excel"})
            QDir(dir.path()).mkdir(folder);
        writeFile(dir.filePath("prog.cfg"),
                  "Program Config File\r\n\r\n<Port>1</Port>\r\n<Savehtml>0</Savehtml>\r\n"
                  "<SaveExcel>0</SaveExcel>\r\n<LogDelay>10</LogDelay>\r\n<LogOn>0</LogOn>\r\n"
                  "<DisplayRPM>1</DisplayRPM>\r\n<DisplayWS>1</DisplayWS>\r\n"
                  "<WSUnits>km/h</WSUnits>\r\n\r\n");
        sim.start(WENDRO_SIM, {"--dir", dir.path(), "--interval-ms", "500"});
        linked =
            QTest::qWaitFor([this] { return QFileInfo(dir.filePath("COM1")).isSymLink(); }, 5000);
        wendro.start(WENDRO_BINARY,
                     QStringList{"--headless", "--dir", dir.path(), "--station", name} +
                         mqttArguments);
    }
    ~Plant()
    {
        stop();
        sim.terminate();
        sim.waitForFinished();
    }
    void stop()
    {
        wendro.terminate();
        wendro.waitForFinished(10000);
    }
    QList<QByteArray> logLines() const
    {
        const QDate d = QDate::currentDate();
        const QString log = QString("logs/%1_%2_%3.txt").arg(d.year()).arg(d.month()).arg(d.day());
        QList<QByteArray> lines = readFile(dir.filePath(log)).split('\n');
        lines.removeAll(QByteArray());
        return lines;
    }
    QString said() { return err += QString::fromUtf8(wendro.readAllStandardError()); }
    QString station;
    bool linked = false;
    QTemporaryDir dir;
    QProcess sim;
    QProcess wendro;
    QString err;
};

// The log line a record message stands for, rebuilt from its fields.
QByteArray asLogLine(const QByteArray& record)
{
    const QJsonObject o = QJsonDocument::fromJson(record).object();
    const auto n = [&](const char* key) { return QByteArray::number(o[key].toDouble(), 'g', 15); };
    return "<V>" + n("volts") + "</V><I>" + n("amps") + "</I><W>" + n("watts") + "</W><R>" +
           n("rpm") + "</R><S>" + n("wind") + "</S><M>" + n("mode") + "</M><T>" +
           o["time"].toString().toLatin1() + "</T>\r";
}

// A station with no port, only for the publisher to read and report to.
struct Reader
{
    Reader()
        : station({dir.path(), &clock, [this] {
                       auto made = std::make_unique<MemorySerialLink>();
                       link = made.get();
                       return made;
                   }})
    {
    }
    QTemporaryDir dir;
    SettableClock clock;
    MemorySerialLink* link = nullptr;
    Station station;
    QString status() const { return station.statusLine(Station::StatusSource::Broker); }
};

} // namespace

class TestMqtt : public QObject
{
    Q_OBJECT

private slots:
    // Bad options stop the program with status 2 and name the value, before any window or
    // file; a password on the command line is refused, since ps shows it to everyone.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("said");
        QTest::newRow("station") << QStringList{"--station", "my plant"}
                                 << "--station \"my plant\"";
        QTest::newRow("scheme") << QStringList{"--mqtt", "http://h"} << "is not an address";
        QTest::newRow("port") << QStringList{"--mqtt", "mqtt://h:0"} << "port must be 1 to 65535";
        QTest::newRow("password") << QStringList{"--mqtt", "mqtt://u:pw@h"} << "no password";
        QTest::newRow("file, no user")
            << QStringList{"--mqtt", "mqtt://h", "--mqtt-password-file", "/etc/hostname"}
            << "needs a user name";
        QTest::newRow("missing file")
            << QStringList{"--mqtt", "mqtt://u@h", "--mqtt-password-file", "/nonexistent"}
            << "--mqtt-password-file /nonexistent:";
        QTest::newRow("ca, plain")
            << QStringList{"--mqtt", "mqtt://h", "--mqtt-ca", "/etc/hostname"}
            << "--mqtt-ca needs an mqtts:// address";
        QTest::newRow("ca, no certificate")
            << QStringList{"--mqtt", "mqtts://h", "--mqtt-ca", "/etc/hostname"}
            << "no certificate OpenSSL can read";
        QTest::newRow("ca, no mqtt") << QStringList{"--mqtt-ca", "x"} << "need --mqtt";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, said);
        QProcess p;
        p.start(WENDRO_BINARY, arguments);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 2);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(err.startsWith("wendro: ") && err.contains(said), qPrintable(err));
    }

    // What a good command line gives: default ports, the password's first line without its
    // line end, and a default station that is a valid name whatever the host is called.
    void settings()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("pw"), "s3 cret\r\nsecond line\n");
        QString error;
        const auto s = BrokerSettings::fromOptions("mqtts://ann@[::1]", dir.filePath("pw"), {},
                                                   "Mill_2-b", &error);
        QVERIFY2(s, qPrintable(error));
        QCOMPARE(s->port, quint16(8883));
        QVERIFY(s->tls);
        QCOMPARE(s->password, QString("s3 cret"));
        QCOMPARE(s->address(), QString("mqtts://ann@[::1]:8883"));
        QCOMPARE(s->topic("state"), QString("wendro/Mill_2-b/state"));
        QCOMPARE(BrokerSettings::fromOptions("mqtt://h", {}, {}, {}, &error)->port, quint16(1883));
        QCOMPARE(BrokerSettings::defaultStation("pi's box.local.lan"), QString("pi-s-box"));
        QCOMPARE(BrokerSettings::defaultStation(""), QString("wendro"));
    }

    // The bytes subscribers parse: field names, numbers as the log writes them, a value
    // that is not a number kept as text, and no unreadable JSON from odd values.
    void payloads()
    {
        Reading r;
        r.Volts = 13.2;
        r.Amps = -0.5;
        r.Watts = NAN;
        r.WattHours = 1234.5;
        r.RPM = 312;
        r.WindSpeed = 6.3;
        r.Mode = 1;
        QCOMPARE(StateJson(r, "m\"s", QDateTime(QDate(2026, 12, 7), QTime(14, 30, 5))),
                 QByteArray("{\"time\":\"2026-12-07T14:30:05\",\"volts\":13.2,\"amps\":-0.5,"
                            "\"watts\":null,\"watt_hours\":1234.5,\"rpm\":312,\"wind\":6.3,"
                            "\"wind_unit\":\"m\\\"s\",\"mode\":1}"));
        QCOMPARE(RecordJson("<V>13.2</V><I>-0.25</I><W>x</W><R>0</R><S>6.3</S><M>1</M>"
                            "<T>14:30</T>\r\n",
                            QDateTime(QDate(2026, 1, 2), QTime(14, 30, 10))),
                 QByteArray("{\"date\":\"2026-01-02\",\"time\":\"14:30\",\"volts\":13.2,"
                            "\"amps\":-0.25,\"watts\":\"x\",\"rpm\":0,\"wind\":6.3,\"mode\":1}"));

        const QList<DiscoveryMessage> d = DiscoveryMessages("mill", "knots");
        QCOMPARE(d.size(), 7);
        QCOMPARE(d[3].topic, QString("homeassistant/sensor/wendro_mill/energy/config"));
        QCOMPARE(d[6].topic, QString("homeassistant/binary_sensor/wendro_mill/load/config"));
        QCOMPARE(d[3].payload,
                 QByteArray("{\"availability_topic\":\"wendro/mill/availability\",\"device\":{"
                            "\"identifiers\":[\"wendro_mill\"],\"model\":\"Wendro\",\"name\":"
                            "\"Wendro mill\",\"sw_version\":\"" WENDRO_VERSION "\"},"
                            "\"device_class\":\"energy\",\"name\":\"Energy today\",\"object_id\":"
                            "\"wendro_mill_energy\",\"state_class\":\"total_increasing\","
                            "\"state_topic\":\"wendro/mill/state\",\"unique_id\":"
                            "\"wendro_mill_energy\",\"unit_of_measurement\":\"Wh\","
                            "\"value_template\":\"{{ value_json.watt_hours }}\"}"));
        QVERIFY(d[5].payload.contains("\"unit_of_measurement\":\"knots\""));
        QVERIFY(d[4].payload.contains("\"unit_of_measurement\":\"rpm\"") &&
                !d[4].payload.contains("device_class"));
        QVERIFY(d[6].payload.contains("\"value_template\":\"{{ 'ON' if value_json.mode == 1 "
                                      "else 'OFF' }}\"") &&
                !d[6].payload.contains("unit_of_measurement"));
    }

    // Records leave only when acknowledged, in order, even when acknowledgements come out of
    // order; a lost connection sends the unacknowledged ones again; a full queue drops the
    // oldest.
    void recordQueue()
    {
        RecordQueue q(3);
        QVERIFY(q.push("a") && q.push("b") && q.push("c"));
        for (int id : {11, 12, 13})
            q.markSent(id);
        QVERIFY(!q.nextToSend());
        QVERIFY(q.acknowledge(12) && !q.acknowledge(99));
        QCOMPARE(q.size(), 3); // "b" waits behind "a"
        q.connectionLost();
        QCOMPARE(q.size(), 2);
        QCOMPARE(*q.nextToSend(), QByteArray("a"));
        q.markSent(1);
        QVERIFY(q.push("d"));
        QVERIFY(!q.push("e")); // full: "a", in flight, goes
        QCOMPARE(q.inFlight(), 0);
        QCOMPARE(*q.nextToSend(), QByteArray("c"));
    }

    // Each refusal and each peer that is no broker is named in the status line, the program
    // goes on, and nothing is tried faster than the backoff.
    void refusals_data()
    {
        QTest::addColumn<QString>("url"); // PLAIN, TLS: the broker's ports; FAKE: a fake peer
        QTest::addColumn<bool>("withCa");
        QTest::addColumn<QString>("status"); // empty: connects
        QTest::newRow("wrong password")
            << "mqtt://wendro@127.0.0.1:PLAIN" << false << "not authorised";
        QTest::newRow("tls") << "mqtts://localhost:TLS" << true << "";
        QTest::newRow("tls, unknown authority")
            << "mqtts://localhost:TLS" << false << "certificate not trusted";
        QTest::newRow("tls, other name") << "mqtts://127.0.0.1:TLS" << true << "host name mismatch";
        QTest::newRow("plain to tls port")
            << "mqtt://127.0.0.1:TLS" << false << "closed the connection";
        QTest::newRow("garbage") << "mqtt://127.0.0.1:FAKE" << false << "not an MQTT broker";
        QTest::newRow("silent") << "mqtt://127.0.0.1:FAKE" << false << "no MQTT answer";
        QTest::newRow("no such name")
            << "mqtt://nonexistent.invalid" << false << "does not resolve";
    }
    void refusals()
    {
        QFETCH(QString, url);
        QFETCH(bool, withCa);
        QFETCH(QString, status);
        Broker broker;
        QVERIFY(broker.start());
        QTcpServer fake;
        int connections = 0;
        QObject::connect(&fake, &QTcpServer::newConnection, [&] {
            QTcpSocket* s = fake.nextPendingConnection();
            ++connections;
            if (QTest::currentDataTag() == QLatin1String("garbage"))
                s->write(QByteArray(4096, '\xff'));
        });
        QVERIFY(fake.listen(QHostAddress::LocalHost));
        url.replace("PLAIN", QString::number(broker.port))
            .replace("TLS", QString::number(broker.tlsPort))
            .replace("FAKE", QString::number(fake.serverPort()));
        writeFile(broker.dir.filePath("wrong"), "wrong\n");
        QString error;
        auto s =
            BrokerSettings::fromOptions(url, url.contains('@') ? broker.dir.filePath("wrong") : "",
                                        withCa ? broker.dir.filePath("ca.crt") : "", "t", &error);
        QVERIFY2(s, qPrintable(error));
        s->answerTimeoutMs = 500;
        Reader reader;
        MqttPublisher publisher(reader.station, *s);
        QSignalSpy connected(&publisher, &MqttPublisher::connectedChanged);
        QElapsedTimer started;
        started.start();
        publisher.start();
        if (status.isEmpty()) {
            QVERIFY(connected.wait(5000));
            QVERIFY(reader.status().isEmpty());
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(!reader.status().isEmpty(), 5000);
        QVERIFY2(reader.status().contains(status), qPrintable(reader.status()));
        QVERIFY(
            reader.status().contains(" (trying again every 1 to 60 s; records wait in memory)"));
        QCOMPARE(connected.count(), 0);
        if (!url.contains(QString::number(fake.serverPort())))
            return;
        QTest::qWait(3500 - int(started.elapsed())); // tries at 0, 1 and 3 s after failures
        QCOMPARE(connections, status == "no MQTT answer" ? 2 : 3); // silent: 0.5 s to answer
    }

    // A burst of frames gives two states: the first at once and the newest a second later,
    // not one per frame and not a stale one.
    void stateAtMostOnceASecond()
    {
        Broker broker;
        QVERIFY(broker.start());
        Reader reader;
        reader.station.start();
        QString error;
        MqttPublisher publisher(reader.station,
                                *BrokerSettings::fromOptions(broker.url(), {}, {}, "s", &error));
        QSignalSpy connected(&publisher, &MqttPublisher::connectedChanged);
        publisher.start();
        QVERIFY(connected.wait(5000));
        QProcess sub;
        sub.start("mosquitto_sub", {"-p", QString::number(broker.port), "-t", "wendro/s/state"});
        QTest::qWait(300);
        for (int raw = 600; raw < 610; ++raw) {
            reader.link->feed("[<V>" + QByteArray::number(raw) + "</V><I>500</I><M>1</M>]");
            QTest::qWait(20);
        }
        QTest::qWait(1500);
        const QList<QByteArray> states = sub.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(states.size(), 2);
        QCOMPARE(QJsonDocument::fromJson(states[1])["volts"].toDouble(),
                 reader.station.reading().Volts);
        QVERIFY(QJsonDocument::fromJson(states[0])["volts"].toDouble() <
                reader.station.reading().Volts);
        sub.kill();
        sub.waitForFinished();
    }

    // 10,001 records while no broker is there: the oldest is dropped and said once; once
    // connected, the other 10,000 arrive in order and the status line clears.
    void waitingRecordsArriveInOrder()
    {
        Broker broker;
        QVERIFY(broker.start());
        Reader reader;
        QString error;
        MqttPublisher publisher(reader.station,
                                *BrokerSettings::fromOptions(broker.url(), {}, {}, "q", &error));
        QSignalSpy status(&reader.station, &Station::statusChanged);
        const QDateTime t(QDate(2026, 12, 7), QTime(0, 0));
        for (int i = 0; i <= MqttPublisher::MaxWaitingRecords; ++i) {
            Reading r;
            r.PeakRPM = i;
            publisher.publishRecord(LogRecord(r, t.time()), t);
        }
        QCOMPARE(status.count(), 1);
        QVERIFY(
            reader.status().contains("more than 10000 records waiting: the oldest were dropped"));
        QProcess sub;
        sub.start("mosquitto_sub", {"-p", QString::number(broker.port), "-q", "1", "-C", "10000",
                                    "-t", "wendro/q/record"});
        QTest::qWait(300);
        QSignalSpy done(&sub, &QProcess::finished);
        publisher.start();
        QVERIFY(done.wait(20000)); // an event loop that does not sleep between its turns
        const QList<QByteArray> got = sub.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(got.size(), 10000);
        for (int i = 0; i < got.size(); ++i)
            QCOMPARE(QJsonDocument::fromJson(got[i])["rpm"].toInt(), i + 1);
        QTRY_COMPARE(publisher.waitingRecords(), 0);
        QVERIFY(reader.status().isEmpty());
    }

    // Three headless stations and one with a wrong password on one broker that is stopped
    // and started again between ticks: three devices, and every record of each log, the
    // outage's included, in order; the refused station logs on and says so once.
    void stationsThroughABrokerRestart()
    {
        Broker broker;
        QVERIFY(broker.start());
        QVERIFY(run("mosquitto_pub",
                    {"-p", QString::number(broker.port), "-r", "-t", "wendro/ready", "-m", "1"}));
        Subscriber sub(broker);
        QTRY_VERIFY_WITH_TIMEOUT(!sub.on("wendro/ready").isEmpty(), 5000);
        writeFile(broker.dir.filePath("wrong"), "not the password\n");
        std::vector<std::unique_ptr<Plant>> plants;
        for (const char* station : {"a", "b", "c"})
            plants.push_back(std::make_unique<Plant>(station, QStringList{"--mqtt", broker.url()}));
        Plant refused("w", {"--mqtt", broker.url("wendro"), "--mqtt-password-file",
                            broker.dir.filePath("wrong")});
        // QoS 1 is at least once: what the broker sent the subscriber just before it stopped
        // may come again after the restart.
        const auto records = [&](const Plant& p) {
            QList<QByteArray> lines;
            for (const QByteArray& r : sub.on("wendro/" + p.station + "/record")) {
                if (!lines.contains(asLogLine(r)))
                    lines << asLogLine(r);
            }
            return lines;
        };

        for (const auto& p : plants)
            QVERIFY(p->linked);
        QTRY_VERIFY2_WITH_TIMEOUT(!sub.on("wendro/a/record").isEmpty(),
                                  qPrintable(plants[0]->said() + sub.seen), 15000);
        QCOMPARE(records(*plants[0]).first(), plants[0]->logLines().first());
        QCOMPARE(sub.on("wendro/a/availability"), QList<QByteArray>{"online"});
        const QJsonObject state = QJsonDocument::fromJson(sub.on("wendro/a/state").last()).object();
        QCOMPARE(QStringList(state.keys()),
                 QStringList({"amps", "mode", "rpm", "time", "volts", "watt_hours", "watts", "wind",
                              "wind_unit"}));
        QVERIFY(state["volts"].toDouble() > 0);

        broker.stop();
        QTest::qWait(21000); // ticks at 20 s and 30 s fall in the outage
        QVERIFY(broker.start());
        for (const auto& p : plants)
            QTRY_VERIFY_WITH_TIMEOUT(
                p->logLines().size() >= 4 && records(*p).size() == p->logLines().size(), 40000);
        for (const auto& p : plants)
            p->stop();
        refused.stop();

        QSet<QString> devices;
        for (const QByteArray& line : sub.seen.split('\n')) {
            if (line.startsWith("homeassistant/"))
                devices << QJsonDocument::fromJson(
                               line.mid(line.indexOf(' ') + 1))["device"]["identifiers"][0]
                               .toString();
        }
        QCOMPARE(devices, QSet<QString>({"wendro_a", "wendro_b", "wendro_c"}));
        for (const auto& p : plants) {
            QTRY_COMPARE_WITH_TIMEOUT(records(*p), p->logLines(), 5000);
            QTRY_COMPARE(sub.on("wendro/" + p->station + "/availability").last(),
                         QByteArray("offline"));
            const QString said = p->said();
            QCOMPARE(said.count("connection lost"), 1);
            QCOMPARE(said.count("broker: all well again"), 1);
        }
        QVERIFY(sub.on("wendro/w/record").isEmpty());
        QVERIFY(!refused.logLines().isEmpty());
        QVERIFY2(refused.said().count("not authorised") == 1, qPrintable(refused.said()));
    }
};

QTEST_GUILESS_MAIN(TestMqtt)
#include "tst_mqtt.moc"
