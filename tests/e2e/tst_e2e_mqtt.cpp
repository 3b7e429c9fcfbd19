#include "support/E2eRig.h"
#include "support/MqttBroker.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

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
            QVERIFY(sub.seen.contains("\"identifiers\":[\"wendro_" + stations[i].toUtf8() + "\"]"));
            QCOMPARE(plants[i].said().count("connection lost"), 1);
            QCOMPARE(plants[i].said().count("broker: all well again"), 1);
        }
        QVERIFY(sub.on("wendro/w/record").isEmpty());
        QVERIFY(!plants[3].logLines().isEmpty());
        QVERIFY2(plants[3].said().count("not authorised") == 1, qPrintable(plants[3].said()));
    }

    // The lifetime total of the Energy dashboard never falls: not while the current is
    // negative and the day's total falls, not after a kill -9 and a restart (once back to the
    // last minute's save). A second program with the same station name once took the session
    // every second: within 20 s one says why, with at most 3 connections each, and they settle.
    void productionThroughKillAndATwin()
    {
        Subscriber sub(broker);
        QVERIFY(sub.ready);
        E2eRig rig, twin;
        rig.write("prog.cfg", E2eRig::loggingConfig());
        const QByteArray frame = "[<V>650</V><I>700</I><R>20</R><S>50</S><M>0</M>]\r\n";
        rig.write("frames.txt",
                  (frame.repeated(35) + QByteArray(frame).replace("700", "330").repeated(70))
                      .repeated(20));
        QVERIFY2(rig.startSim({"--replay", rig.path("frames.txt"), "--interval-ms", "100"}),
                 qPrintable(rig.error()));
        const QStringList mqtt{"--station", "p", "--mqtt",
                               "mqtt://127.0.0.1:" + QString::number(broker.port)};
        QVERIFY2(rig.startProgram(mqtt), qPrintable(rig.error()));
        const auto field = [&](const char* key) { // of every state so far
            QList<double> values;
            for (const QByteArray& state : sub.on("wendro/p/state"))
                values << QJsonDocument::fromJson(state)[key].toDouble();
            return values;
        };
        const auto fell = [](QList<double> v) { return !std::is_sorted(v.begin(), v.end()); };
        QTRY_VERIFY_WITH_TIMEOUT(fell(field("watt_hours")) && field("produced_kwh").last() > 0,
                                 60000);
        const qsizetype before = field("produced_kwh").size();
        ::kill(pid_t(rig.programId()), SIGKILL);
        QVERIFY2(rig.startProgram(mqtt), qPrintable(rig.error()));
        QTRY_VERIFY_WITH_TIMEOUT(field("produced_kwh").size() > before + 5, 20000);
        QVERIFY2(!fell(field("produced_kwh")), qPrintable(sub.seen));

        const auto connections = [&] { return sub.on("wendro/p/availability").count("online"); };
        const qsizetype alone = connections();
        QVERIFY2(twin.startProgram(mqtt), qPrintable(twin.error())); // no frames, so no state
        QTRY_VERIFY_WITH_TIMEOUT(
            (rig.said() + twin.said()).contains("another program uses the station name p"), 20000);
        QVERIFY2(connections() - alone <= 6, qPrintable(sub.seen));
        QTest::qWait(3000); // the connection that ended the other one's is seen too
        const qsizetype settled = connections();
        QTest::qWait(15000);
        QCOMPARE(connections(), settled);
    }
};

QTEST_GUILESS_MAIN(TestEndToEndMqtt)
#include "tst_e2e_mqtt.moc"
