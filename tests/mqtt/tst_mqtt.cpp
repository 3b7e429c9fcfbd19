#include "mqtt/BrokerSettings.h"
#include "mqtt/MqttMessages.h"
#include "mqtt/MqttPublisher.h"
#include "mqtt/MqttSession.h"
#include "mqtt/RecordQueue.h"
#include "support/MqttBroker.h"
#include "support/WindowRig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTimeZone>
#include <QtTest>
#include <cmath>

namespace {

BrokerSettings settings(const QString& url, const QString& station,
                        const QString& passwordFile = {}, const QString& caFile = {})
{
    QString error;
    return BrokerSettings::fromOptions(url, passwordFile, caFile, station, &error).value();
}

// A station fed by hand, and its publisher.
struct Reader : WindowRig
{
    explicit Reader(const BrokerSettings& s)
        : publisher(station(), s, std::make_unique<MqttSession>(s))
    {
    }
    QString status() { return station().statusLine(Station::StatusSource::Broker); }
    MqttPublisher publisher;
};

} // namespace

// Home Assistant's rules for a discovery config, as its sensor and binary sensor platforms
// apply them: the units each device class takes, the state classes it allows, last_reset only
// on a total, and entity ids it accepts. Empty when the config passes.
QString homeAssistantProblem(const QString& component, const QJsonObject& c)
{
    // Device class: its units, then the state classes it allows.
    static const QMap<QString, QStringList> rules = {
        {"voltage", {"V", "mV", "µV", "kV", "MV", "|measurement"}},
        {"current", {"A", "mA", "|measurement"}},
        {"power", {"W", "kW", "MW", "GW", "TW", "mW", "BTU/h", "|measurement"}},
        {"energy",
         {"Wh", "kWh", "MWh", "GWh", "TWh", "mWh", "J", "kJ", "MJ", "GJ", "cal", "kcal", "Mcal",
          "Gcal", "|total", "|total_increasing"}},
        {"wind_speed", {"Beaufort", "ft/s", "km/h", "kn", "m/s", "mph", "|measurement"}}};
    const QString dc = c["device_class"].toString();
    const QString unit = c["unit_of_measurement"].toString();
    const QString sc = c["state_class"].toString();
    const QRegularExpression entityId("^" + component + "\\.[a-z0-9_]+$");
    if (c.contains("object_id") || c["origin"]["name"].toString().isEmpty() ||
        !entityId.match(c["default_entity_id"].toString()).hasMatch())
        return "object_id, no origin, or default_entity_id " + c["default_entity_id"].toString();
    if (component == "binary_sensor")
        return QStringList{"power", "connectivity"}.contains(dc) && unit.isEmpty() ? "" : dc + unit;
    if (!dc.isEmpty() && !(rules[dc].contains(unit) && rules[dc].contains("|" + sc)))
        return dc + " in " + unit + " as " + sc;
    return c.contains("last_reset_value_template") == (sc == "total") ? "" : "last_reset, " + sc;
}

class TestMqtt : public QObject
{
    Q_OBJECT

    Broker broker;

private slots:
    void initTestCase() { QVERIFY(broker.start()); }

    // The bytes subscribers parse: field names, numbers as the log writes them, a value
    // that is not a number kept as text, no unreadable JSON from odd values, the totals with
    // the local midnight they count from, and a record's moment with its offset. Default
    // ports, a station name from any host name, and addresses in status lines (no password).
    void payloads()
    {
        QCOMPARE(settings("mqtts://ann@[::1]", "s").address(), QString("mqtts://ann@[::1]:8883"));
        QCOMPARE(settings("mqtt://h", "s").port, quint16(1883));
        QCOMPARE(BrokerSettings::defaultStation("pi's box.local.lan"), QString("pi-s-box"));
        QCOMPARE(BrokerSettings::defaultStation(""), QString("wendro"));
        Reading r;
        r.Volts = 13.2, r.Amps = -0.5, r.Watts = NAN, r.WattHours = 99;
        r.RPM = 312, r.WindSpeed = 6.3, r.Mode = 1;
        const QTimeZone berlin("Europe/Berlin");
        const QDate day(2026, 12, 7);
        QCOMPARE(StateJson(r, "m\"s", QDateTime(day, QTime(14, 30, 5)),
                           {QDateTime(day, QTime(0, 0), berlin), 1234.5, 56.25}),
                 QByteArray("{\"time\":\"2026-12-07T14:30:05\",\"volts\":13.2,\"amps\":-0.5,"
                            "\"watts\":null,\"watt_hours\":1234.5,\"day_start\":"
                            "\"2026-12-07T00:00:00+01:00\",\"produced_kwh\":56.25,\"rpm\":312,"
                            "\"wind\":6.3,\"wind_unit\":\"m\\\"s\",\"mode\":1}"));
        QCOMPARE(RecordJson("<V>13.2</V><I>-0.25</I><W>x</W><R>0</R><S>6.3</S><M>1</M>"
                            "<T>14:30</T>\r\n",
                            QDateTime(QDate(2026, 1, 2), QTime(14, 30, 10), berlin)),
                 QByteArray("{\"date\":\"2026-01-02\",\"time\":\"14:30\",\"at\":"
                            "\"2026-01-02T14:30:10+01:00\",\"volts\":13.2,\"amps\":-0.25,"
                            "\"watts\":\"x\",\"rpm\":0,\"wind\":6.3,\"mode\":1}"));

        const QList<DiscoveryMessage> d = DiscoveryMessages("Mill-2", "knots", "http://pi:8080/");
        QCOMPARE(
            d[3].topic + d[3].payload,
            "homeassistant/sensor/wendro_Mill-2/energy/config{\"availability_topic\":"
            "\"wendro/Mill-2/availability\",\"default_entity_id\":\"sensor.wendro_mill_2_energy\","
            "\"device\":{\"configuration_url\":\"http://pi:8080/\",\"identifiers\":"
            "[\"wendro_Mill-2\"],\"model\":\"Wendro\",\"name\":\"Wendro Mill-2\",\"sw_version\":"
            "\"" WENDRO_VERSION "\"},\"device_class\":\"energy\",\"last_reset_value_template\":"
            "\"{{ value_json.day_start }}\",\"name\":\"Energy today\",\"origin\":{\"name\":"
            "\"Wendro\",\"sw_version\":\"" WENDRO_VERSION "\"},\"state_class\":\"total\","
            "\"state_topic\":\"wendro/Mill-2/state\",\"suggested_display_precision\":0,"
            "\"unique_id\":\"wendro_Mill-2_energy\",\"unit_of_measurement\":\"Wh\","
            "\"value_template\":\"{{ value_json.watt_hours }}\"}");
    }

    // Configs Home Assistant takes for every wind unit text: a unit it knows in its own
    // spelling, any other as the owner wrote it and without a device class (knots once made
    // the whole entity fail). Home Assistant coming online gets every config again; the
    // Logger goes off when frames stop, and measured values carry a time after which they
    // count as stale.
    void discoveryAsHomeAssistantReadsIt_data()
    {
        QTest::addColumn<QString>("wind"); // its unit and device class
        QTest::newRow("km/h") << "km/h wind_speed";
        QTest::newRow("knots") << "kn wind_speed";
        QTest::newRow("MPH") << "mph wind_speed";
        QTest::newRow("furlongs") << "furlongs ";
    }
    void discoveryAsHomeAssistantReadsIt()
    {
        QFETCH(QString, wind);
        const QString station = QString(QTest::currentDataTag()).remove('/');
        BrokerSettings s = settings("mqtt://127.0.0.1:" + QString::number(broker.port), station);
        s.loggerSilentMs = 500;
        Reader reader(s);
        reader.write("prog.cfg", "<WSUnits>" + QByteArray(QTest::currentDataTag()) + "</WSUnits>");
        Subscriber sub(broker);
        QVERIFY(sub.ready);
        reader.station().start();
        reader.publisher.start();
        const auto configs = [&] { // entity id: component and config
            QMap<QString, QPair<QString, QJsonObject>> found;
            sub.on({}); // takes in what has come
            for (const QByteArray& line : sub.seen.split('\n')) {
                const QStringList topic = QString(line.left(line.indexOf(' '))).split('/');
                if (topic.size() == 5 && topic[2] == "wendro_" + station)
                    found[topic[3]] = {
                        topic[1], QJsonDocument::fromJson(line.mid(line.indexOf(' '))).object()};
            }
            return found;
        };
        QTRY_COMPARE_WITH_TIMEOUT(configs().size(), 9, 10000);
        for (const auto& [id, c] : configs().asKeyValueRange()) {
            QCOMPARE(id + homeAssistantProblem(c.first, c.second), id);
            QCOMPARE(c.second["expire_after"].toInt(),
                     QString("energy production logger").contains(id) ? 0 : 120);
        }
        const QJsonObject c = configs()["wind"].second;
        QCOMPARE(c["unit_of_measurement"].toString() + ' ' + c["device_class"].toString(), wind);

        QVERIFY(run("mosquitto_pub -t homeassistant/status -m online -p " +
                    QString::number(broker.port)));
        QTRY_COMPARE_WITH_TIMEOUT(
            sub.on("homeassistant/sensor/wendro_" + station + "/wind/config").size(), 2, 5000);

        const QString logger = "wendro/" + station + "/logger";
        QCOMPARE(sub.on(logger), QList<QByteArray>{"OFF"});
        reader.link()->feed("[<V>625</V><I>562</I><M>1</M>]");
        QTRY_COMPARE(sub.on(logger), (QList<QByteArray>{"OFF", "ON", "OFF"}));
    }

    // Records leave only when acknowledged, in order, even when acknowledgements come out of
    // order; a lost connection sends the unacknowledged ones again; a full queue drops the
    // oldest.
    void recordQueue()
    {
        RecordQueue q(3);
        QVERIFY(q.push("a") && q.push("b") && q.push("c"));
        q.markSent(11), q.markSent(12), q.markSent(13);
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

    // Each TLS refusal and each peer that is no broker is named in the status line, the
    // program goes on, and nothing is tried faster than the backoff. A wrong password is
    // left to the refused station of tst_e2e_mqtt.
    void refusals_data()
    {
        // TLS: the broker's port; FAKE: a fake peer; " CA": with the test authority
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("status");
        const auto row = [](const char* name, const char* url, const char* status) {
            QTest::newRow(name) << QString(url) << QString(status);
        };
        row("unknown authority", "mqtts://localhost:TLS", "certificate not trusted");
        row("other name", "mqtts://127.0.0.1:TLS CA", "host name mismatch");
        row("plain to tls", "mqtt://127.0.0.1:TLS", "closed the connection");
        row("garbage", "mqtt://127.0.0.1:FAKE", "not an MQTT broker");
        row("silent", "mqtt://127.0.0.1:FAKE", "no MQTT answer");
        row("no such name", "mqtt://nonexistent.invalid", "does not resolve");
    }
    void refusals()
    {
        QFETCH(QString, url);
        QFETCH(QString, status);
        QTcpServer fake;
        int connections = 0;
        QObject::connect(&fake, &QTcpServer::newConnection, [&] {
            QTcpSocket* s = fake.nextPendingConnection();
            if (++connections && QTest::currentDataTag() == QLatin1String("garbage"))
                s->write(QByteArray(4096, '\xff'));
        });
        QVERIFY(fake.listen(QHostAddress::LocalHost));
        const QString ca = url.endsWith(" CA") ? broker.dir.filePath("ca.crt") : "";
        url = url.remove(" CA")
                  .replace("TLS", QString::number(broker.tlsPort))
                  .replace("FAKE", QString::number(fake.serverPort()));
        BrokerSettings s = settings(url, "t", "", ca);
        s.answerTimeoutMs = 500;
        Reader reader(s);
        QSignalSpy connected(&reader.publisher, &MqttPublisher::connectedChanged);
        QElapsedTimer started;
        started.start();
        reader.publisher.start();
        QTRY_VERIFY_WITH_TIMEOUT(!reader.status().isEmpty(), 5000);
        QVERIFY2(
            reader.status().contains(status) &&
                reader.status().endsWith(" (trying again every 1 to 60 s; records wait in memory)"),
            qPrintable(reader.status()));
        QCOMPARE(connected.count(), 0);
        if (!url.contains(QString::number(fake.serverPort())))
            return;
        // Tries at 0, 1 and 3 s after failures; a silent peer first gets 0.5 s to answer. A
        // busy machine can only make the tries later, never sooner.
        const bool silent = status == "no MQTT answer";
        QTRY_COMPARE_WITH_TIMEOUT(connections, silent ? 2 : 3, 15000);
        QVERIFY(started.elapsed() >= (silent ? 1300 : 2700)); // coarse timers: 5% early
    }

    // Over TLS with the test-made authority and the first line of a password file: 10,001
    // records while not connected drop the oldest, said once; then the other 10,000 arrive in
    // order and the status line clears. A burst of frames gives two states, the first at once
    // and the newest a second later: not one per frame and not a stale one.
    void recordsAndStatesOverTls()
    {
        Reader reader(settings("mqtts://wendro@localhost:" + QString::number(broker.tlsPort), "q",
                               broker.dir.filePath("right"), broker.dir.filePath("ca.crt")));
        QSignalSpy status(&reader.station(), &Station::statusChanged);
        for (int i = 0; i <= MqttPublisher::MaxWaitingRecords; ++i)
            reader.publisher.publishRecord("<R>" + QByteArray::number(i) + "</R>", {});
        QCOMPARE(status.count(), 1);
        QVERIFY(
            reader.status().contains("more than 10000 records waiting: the oldest were dropped"));
        Subscriber sub(broker);
        QVERIFY(sub.ready);
        reader.station().start();
        reader.publisher.start();
        QTRY_COMPARE_WITH_TIMEOUT(sub.on("wendro/q/record").size(), 10000, 20000);
        const QList<QByteArray> got = sub.on("wendro/q/record");
        for (int i = 0; i < got.size(); ++i)
            QCOMPARE(QJsonDocument::fromJson(got[i])["rpm"].toInt(), i + 1);
        QTRY_VERIFY(reader.publisher.waitingRecords() == 0 && reader.status().isEmpty());

        for (int raw = 600; raw < 610; ++raw)
            reader.link()->feed("[<V>" + QByteArray::number(raw) + "</V><I>500</I><M>1</M>]");
        const double volts = reader.station().reading().Volts;
        const auto newest = [&] {
            const QList<QByteArray> s = sub.on("wendro/q/state");
            return s.isEmpty() ? 0.0 : QJsonDocument::fromJson(s.last())["volts"].toDouble();
        };
        QTRY_COMPARE_WITH_TIMEOUT(newest(), volts, 10000);
        const QList<QByteArray> states = sub.on("wendro/q/state");
        QCOMPARE(states.size(), 2);
        QVERIFY(QJsonDocument::fromJson(states[0])["volts"].toDouble() < volts);
    }
};

QTEST_GUILESS_MAIN(TestMqtt)
#include "tst_mqtt.moc"
