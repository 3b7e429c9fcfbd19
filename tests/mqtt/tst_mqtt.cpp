#include "mqtt/BrokerSession.h"
#include "mqtt/BrokerSettings.h"
#include "mqtt/MqttMessages.h"
#include "mqtt/MqttPublisher.h"
#include "mqtt/MqttSession.h"
#include "support/MqttBroker.h"
#include "support/WindowRig.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTimeZone>
#include <QtTest>
#include <cmath>

namespace {

// A broker that takes every message while it is up, numbering them from 1 as libmosquitto
// does.
struct FakeSession : BrokerSession
{
    struct Message
    {
        QByteArray topic, payload;
        int flags; // 10 * QoS + retained
    };
    void start() override {}
    void stop() override { up = false; }
    bool isConnected() const override { return up; }
    bool publish(const QByteArray& topic, const QByteArray& payload, int qos, bool retain,
                 int* messageId) override
    {
        if (up)
            sent << Message{topic, payload, qos * 10 + retain};
        if (up && messageId)
            *messageId = int(sent.size());
        return up;
    }
    void subscribe(const QByteArray& topic) override { subscribed << topic; }
    QString statusText() const override { return {}; }
    bool up = false;
    QList<Message> sent;
    QList<QByteArray> subscribed;
};

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

// What the publisher sends and when, through a fake session with no broker to wait on; then
// the session against a real broker: its refusals, and records over TLS.
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
        QString e;
        QCOMPARE(BrokerSettings::fromOptions("mqtts://ann@[::1]", {}, {}, "s", &e)->address(),
                 QString("mqtts://ann@[::1]:8883"));
        QCOMPARE(BrokerSettings::fromOptions("mqtt://h", {}, {}, "s", &e)->port, quint16(1883));
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

    // What goes out, and when, for each course of events. Steps: up and down (the
    // connection, as MqttSession reports it), frame:M (a frame in mode M), +N (log records,
    // numbered on), ack:I (the broker acknowledges the I-th record message), topic=payload
    // (a message from the broker), unit:U (prog.cfg's wind unit, read again). Published:
    // "configs" for the nine discovery configs, then each message as topic leaf and what
    // tells it apart, in order, once the timers have had their turn.
    void publishes_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("published");
        QTest::addColumn<QString>("wind"); // the last wind config's unit and device class
        QTest::addColumn<QStringList>("statusLines");
        const auto row = [](const char* name, const QString& steps, const QString& published,
                            const char* wind = "m/s wind_speed", const QStringList& said = {}) {
            QTest::newRow(name) << steps << published << QString(wind) << said;
        };
        const auto records = [](int from, int to) {
            QStringList n;
            for (int i = from; i <= to; ++i)
                n << "record:" + QString::number(i);
            return n.join(' ');
        };
        const QString on = "configs logger:OFF ";
        const QStringList dropped{
            "Broker mqtt://h:1883: more than 10000 records waiting: the oldest were dropped", ""};
        // A unit Home Assistant knows in its own spelling, any other as the owner wrote it and
        // without a device class: knots once made the whole entity fail.
        row("km/h", "unit:km/h up", on.trimmed(), "km/h wind_speed");
        row("knots", "unit:knots up", on.trimmed(), "kn wind_speed");
        row("MPH", "unit:MPH up", on.trimmed(), "mph wind_speed");
        row("furlongs", "unit:furlongs up", on.trimmed(), "furlongs ");
        row("configs again when asked or the unit changes",
            "up homeassistant/status=offline wendro/s/availability=online "
            "homeassistant/status=online unit:m/s unit:km/h",
            on + "configs configs", "km/h wind_speed");
        // The first frame of a burst at once, the newest of the rest a second later; the
        // Logger goes off once frames stop for the silent time.
        row("state throttled", "up frame:1 frame:2 frame:3",
            on + "logger:ON state:1 state:3 logger:OFF");
        row("state due on connecting", "frame:1 up", "configs logger:ON state:1 logger:OFF");
        // Records wait in order and go RecordWindow ahead of the acknowledgements; they leave
        // only when acknowledged, even out of order, and a lost connection sends the others
        // again. Past the cap the oldest goes, in flight or not, said once until connecting.
        row("record window", "up +22 ack:1 ack:0", on + records(0, 21));
        row("records resent", "up +3 ack:1 down +1 up",
            on + records(0, 2) + " " + on + "record:0 record:2 record:3");
        row("records full", "+10001 up", on + records(1, 20), "m/s wind_speed", dropped);
        row("records full in flight", "up +10001 down up",
            on + records(0, 20) + " " + on + records(1, 20), "m/s wind_speed", dropped);
    }
    void publishes()
    {
        QFETCH(QString, steps);
        QFETCH(QString, published);
        QFETCH(QString, wind);
        QFETCH(QStringList, statusLines);
        WindowRig rig;
        rig.write("prog.cfg", "<WSUnits>m/s</WSUnits>");
        rig.write("logs/energy.txt", "2010-03-07 1234.5 56.0412\r\n");
        BrokerSettings settings;
        settings.host = "h", settings.station = "s", settings.loggerSilentMs = 1500;
        auto* session = new FakeSession;
        MqttPublisher publisher(rig.station(), settings, std::unique_ptr<BrokerSession>(session));
        QStringList said;
        connect(&rig.station(), &Station::statusChanged, [&](auto source, const QString& text) {
            if (source == Station::StatusSource::Broker)
                said << text;
        });
        rig.station().start();
        int next = 0;
        for (const QString& step : steps.split(' ')) {
            const QStringList topicPayload = step.split('=');
            if (step == "up" || step == "down") {
                session->up = step == "up";
                session->up ? (emit session->connected(), emit session->statusChanged())
                            : emit session->disconnected();
            } else if (step.startsWith("frame:")) {
                rig.link()->feed("[<V>600</V><I>500</I><M>" + step.mid(6).toUtf8() + "</M>]");
            } else if (step.startsWith('+')) {
                for (int end = next + step.mid(1).toInt(); next < end; ++next)
                    publisher.publishRecord("<R>" + QByteArray::number(next) + "</R>", {});
            } else if (step.startsWith("ack:")) {
                int record = step.mid(4).toInt(), id = 0; // of that record's message
                while (!session->sent[id++].topic.endsWith("/record") || record--)
                    ;
                emit session->delivered(id);
            } else if (topicPayload.size() == 2) {
                emit session->messageReceived(topicPayload[0].toUtf8(), topicPayload[1].toUtf8());
            } else {
                rig.write("prog.cfg", "<WSUnits>" + step.mid(5).toUtf8() + "</WSUnits>");
                rig.station().reloadConfiguration();
            }
        }
        // Configs and the Logger retained at QoS 1, the state retained, records at QoS 1.
        const QMap<QString, int> flags{
            {"config", 11}, {"logger", 11}, {"state", 1}, {"record", 10}};
        const auto shown = [&] {
            QStringList shown;
            for (const FakeSession::Message& m : session->sent) {
                const QJsonObject o = QJsonDocument::fromJson(m.payload).object();
                const QString leaf = m.topic.mid(m.topic.lastIndexOf('/') + 1);
                shown << (leaf == "config"   ? "config"
                          : leaf == "state"  ? "state:" + QString::number(o["mode"].toInt())
                          : leaf == "record" ? "record:" + QString::number(o["rpm"].toInt())
                                             : leaf + ':' + m.payload) +
                             (m.flags == flags[leaf] ? "" : "!");
            }
            return shown.join(' ').replace(QString("config ").repeated(8) + "config", "configs");
        };
        QTRY_COMPARE(shown(), published);
        QCOMPARE(session->subscribed, QList<QByteArray>(steps.count("up"), "homeassistant/status"));
        QCOMPARE(said, statusLines);

        // Configs Home Assistant accepts; states with the energy totals saved on disk and the
        // start of their day.
        QJsonObject windConfig;
        for (const FakeSession::Message& m : session->sent) {
            const QStringList topic = QString(m.topic).split('/');
            const QJsonObject o = QJsonDocument::fromJson(m.payload).object();
            if (topic[0] == "homeassistant") {
                QCOMPARE(topic[3] + homeAssistantProblem(topic[1], o), topic[3]);
                QCOMPARE(o["expire_after"].toInt(),
                         QString("energy production logger").contains(topic[3]) ? 0 : 120);
                windConfig = topic[3] == "wind" ? o : windConfig;
            } else if (topic[2] == "state") {
                QVERIFY(m.payload.contains(
                    ",\"watt_hours\":1234.5,\"day_start\":\"2010-03-07T00:00:00"));
                QVERIFY(m.payload.contains(",\"produced_kwh\":56.0412,"));
            }
        }
        QCOMPARE(windConfig["unit_of_measurement"].toString() + ' ' +
                     windConfig["device_class"].toString(),
                 wind);
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

    // Over TLS with the test-made authority and the first line of a password file: records
    // that waited for the broker are all acknowledged, through three windows of them, and the
    // status line stays clear.
    void recordsOverTls()
    {
        Reader reader(settings("mqtts://wendro@localhost:" + QString::number(broker.tlsPort), "q",
                               broker.dir.filePath("right"), broker.dir.filePath("ca.crt")));
        for (int i = 0; i < 3 * MqttPublisher::RecordWindow; ++i)
            reader.publisher.publishRecord("<R>" + QByteArray::number(i) + "</R>", {});
        reader.publisher.start();
        QTRY_COMPARE_WITH_TIMEOUT(reader.publisher.waitingRecords(), 0, 20000);
        QVERIFY2(reader.status().isEmpty(), qPrintable(reader.status()));
    }
};

QTEST_GUILESS_MAIN(TestMqtt)
#include "tst_mqtt.moc"
