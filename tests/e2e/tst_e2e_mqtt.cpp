#include "support/E2eRig.h"
#include "support/MqttBroker.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The log line a record message stands for, rebuilt from its fields.
QByteArray asLogLine(const QByteArray& record)
{
    const QJsonObject o = QJsonDocument::fromJson(record).object();
    const auto n = [&](const char* key) { return QByteArray::number(o[key].toDouble(), 'g', 15); };
    return "<V>" + n("volts") + "</V><I>" + n("amps") + "</I><W>" + n("watts") + "</W><R>" +
           n("rpm") + "</R><S>" + n("wind") + "</S><M>" + n("mode") + "</M><T>" +
           o["time"].toString().toLatin1() + "</T>";
}

} // namespace

// Headless stations publishing to a real broker that goes away and comes back.
class TestEndToEndMqtt : public QObject
{
    Q_OBJECT

    Broker broker;

private slots:
    void initTestCase() { QVERIFY(broker.start()); }

    // Three headless stations and one with a wrong password, while the broker is stopped and
    // started again between ticks: three devices, and every record of each log, the outage's
    // included, in order; the refused station logs on and says so once.
    void stationsThroughABrokerRestart()
    {
        Subscriber sub(broker);
        QVERIFY(sub.ready);
        const QStringList stations{"a", "b", "c", "w"};
        E2eRig plants[4];
        for (int i = 0; i < 4; ++i) {
            const QString user = stations[i] == "w" ? "wendro@" : "";
            QStringList more{"--station", stations[i], "--mqtt",
                             "mqtt://" + user + "127.0.0.1:" + QString::number(broker.port)};
            if (!user.isEmpty())
                more << "--mqtt-password-file" << broker.dir.filePath("wrong");
            plants[i].write("prog.cfg", E2eRig::loggingConfig());
            QVERIFY2(plants[i].startSim({"--interval-ms", "500"}) && plants[i].startProgram(more),
                     qPrintable(plants[i].error()));
        }
        // QoS 1 is at least once: what the broker sent just before it stopped may come again.
        const auto records = [&](int i) {
            QList<QByteArray> lines;
            for (const QByteArray& r : sub.on("wendro/" + stations[i] + "/record")) {
                if (!lines.contains(asLogLine(r)))
                    lines << asLogLine(r);
            }
            return lines;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(!sub.on("wendro/a/record").isEmpty(),
                                  qPrintable(plants[0].said() + sub.seen), 15000);
        QCOMPARE(sub.on("wendro/a/availability"), QList<QByteArray>{"online"});
        QVERIFY(QJsonDocument::fromJson(sub.on("wendro/a/state").last())["wind_unit"] == "km/h");

        broker.stop();
        QTest::qWait(21000); // ticks at 20 s and 30 s fall in the outage
        QVERIFY(broker.start());
        for (int i = 0; i < 3; ++i)
            QTRY_VERIFY_WITH_TIMEOUT(plants[i].logLines().size() >= 4 &&
                                         records(i).size() == plants[i].logLines().size(),
                                     40000);
        for (E2eRig& p : plants)
            p.stopProgram();
        for (int i = 0; i < 3; ++i) {
            QTRY_COMPARE_WITH_TIMEOUT(records(i), plants[i].logLines(), 5000);
            QTRY_COMPARE(sub.on("wendro/" + stations[i] + "/availability").last(),
                         QByteArray("offline"));
            QVERIFY(sub.seen.contains("{\"identifiers\":[\"wendro_" + stations[i].toUtf8() + "\"]"));
            QCOMPARE(plants[i].said().count("connection lost"), 1);
            QCOMPARE(plants[i].said().count("broker: all well again"), 1);
        }
        QVERIFY(sub.on("wendro/w/record").isEmpty());
        QVERIFY(!plants[3].logLines().isEmpty());
        QVERIFY2(plants[3].said().count("not authorised") == 1, qPrintable(plants[3].said()));
    }
};

QTEST_GUILESS_MAIN(TestEndToEndMqtt)
#include "tst_e2e_mqtt.moc"
